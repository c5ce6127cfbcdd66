// What the shipped programs take from us instead of the C++ runtime library.
// They are built without exceptions; the library's own allocation, string and
// error functions were built with them, and linking any one of them brings the
// unwinder, the terminate handler and its name demangler along: most of a
// program's size, and start-up work a resident program pays for nothing.
// Running out of memory, or a length no string can have, ends the program, as
// an exception that nothing catches would.
#include <cstdlib>
#include <new>
#include <string>

void* operator new(std::size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (!p) std::abort();
  return p;
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

#if defined(__GLIBCXX__)
// The library's error reports, which the standard containers call where they
// would throw.
namespace std {
void __throw_bad_alloc() { std::abort(); }
void __throw_bad_array_new_length() { std::abort(); }
void __throw_bad_function_call() { std::abort(); }
void __throw_length_error(const char*) { std::abort(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_out_of_range(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
}  // namespace std

extern "C" void __cxa_pure_virtual() { std::abort(); }

// The string members made here, without exception paths, so that the library's
// prebuilt ones (with them) are not linked.
template class std::basic_string<char>;
#endif
