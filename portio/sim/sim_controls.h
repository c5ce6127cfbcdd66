#pragma once
// The simulator build of PortIO.dll exports, besides ReadIOPort and WriteIOPort,
// these controls for the launch-button pad. The hardware library has none of
// them: look each up with GetProcAddress and do without when it is missing.
#include "platform/portio_api.h"

#ifdef __cplusplus
extern "C" {
#endif

// Each returns nonzero when done, 0 for an argument out of range.
// The firmware reports a press of launch button 1..4, as the chipset does.
typedef int(PORTIO_CALL* ZephSimPressFn)(int button);
// Leaves any byte 0..255 in the button register of the chipset.
typedef int(PORTIO_CALL* ZephSimSetButtonByteFn)(int value);
// Nonzero: a SiS host bridge (button register 0x7B); 0: another (register 0xE0 of the second bank).
typedef int(PORTIO_CALL* ZephSimSetChipsetFn)(int sis);
// Copies the path of the file that holds the simulated chipset for every process
// of the user; returns its length, 0 when the state lives in this process only.
typedef int(PORTIO_CALL* ZephSimStateFileFn)(char* path, int size);

#define ZEPHSIM_PRESS_EXPORT "ZephSimPress"
#define ZEPHSIM_SET_BUTTON_BYTE_EXPORT "ZephSimSetButtonByte"
#define ZEPHSIM_SET_CHIPSET_EXPORT "ZephSimSetChipset"
#define ZEPHSIM_STATE_FILE_EXPORT "ZephSimStateFile"

#ifdef __cplusplus
}
#endif
