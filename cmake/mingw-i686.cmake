set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ZEPH_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Each image asks to be loaded at its preferred base (Windows XP knows nothing
# else): 32-bit Wine moves an image marked as relocatable elsewhere, and every
# page its relocations touch becomes a private copy instead of the file's.
# The x86_64 programs keep address space randomisation, which 64-bit Windows has.
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,--disable-dynamicbase")
string(APPEND CMAKE_SHARED_LINKER_FLAGS_INIT " -Wl,--disable-dynamicbase")
