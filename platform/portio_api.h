#pragma once
// The exports of PortIO.dll. Both builds of the library (hardware and simulator)
// export these two functions by their plain names.
#include <stdint.h>

#if defined(_WIN32)
#define PORTIO_CALL __stdcall
#else
#define PORTIO_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t(PORTIO_CALL* ReadIOPortFn)(uint16_t port, int width);
typedef void(PORTIO_CALL* WriteIOPortFn)(uint16_t port, uint32_t value, int width);

#define PORTIO_DLL_NAME "PortIO.dll"
#define PORTIO_READ_EXPORT "ReadIOPort"
#define PORTIO_WRITE_EXPORT "WriteIOPort"

#ifdef __cplusplus
}
#endif
