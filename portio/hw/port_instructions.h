#pragma once
// The processor's in/out instructions, for Windows 9x/ME, where a program may use
// them directly. On the NT family they fault with a privileged-instruction error.
#include <stdint.h>

#if defined(_MSC_VER)
#include <intrin.h>
#endif

namespace zephio {

// Returns the value read, zero-extended: the caller compares the whole integer.
// An unknown width code reads nothing and gives 0.
inline uint32_t PortIn(uint16_t port, int width) {
#if defined(_MSC_VER)
  switch (width) {
    case 0: return __inbyte(port);
    case 1: return __inword(port);
    case 2: return __indword(port);
  }
#else
  switch (width) {
    case 0: { uint8_t v; __asm__ __volatile__("inb %w1, %b0" : "=a"(v) : "Nd"(port)); return v; }
    case 1: { uint16_t v; __asm__ __volatile__("inw %w1, %w0" : "=a"(v) : "Nd"(port)); return v; }
    case 2: { uint32_t v; __asm__ __volatile__("inl %w1, %k0" : "=a"(v) : "Nd"(port)); return v; }
  }
#endif
  return 0;
}

inline void PortOut(uint16_t port, uint32_t value, int width) {
#if defined(_MSC_VER)
  switch (width) {
    case 0: __outbyte(port, static_cast<unsigned char>(value)); break;
    case 1: __outword(port, static_cast<unsigned short>(value)); break;
    case 2: __outdword(port, static_cast<unsigned long>(value)); break;
  }
#else
  switch (width) {
    case 0: __asm__ __volatile__("outb %b0, %w1" : : "a"(static_cast<uint8_t>(value)), "Nd"(port)); break;
    case 1: __asm__ __volatile__("outw %w0, %w1" : : "a"(static_cast<uint16_t>(value)), "Nd"(port)); break;
    case 2: __asm__ __volatile__("outl %k0, %w1" : : "a"(value), "Nd"(port)); break;
  }
#endif
}

}  // namespace zephio
