# Cross-compiling with Debian's MinGW-w64 (the posix-threads variant: GoogleTest needs std::mutex).
set(CMAKE_C_COMPILER ${ZEPH_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZEPH_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZEPH_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZEPH_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# One self-contained file per program: nothing to copy next to it under Wine.
# Sections aligned in the file as in memory, so that the loader can map an
# image straight from its file instead of copying it into private memory.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--file-alignment,4096 -Wl,--gc-sections")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--file-alignment,4096 -Wl,--gc-sections")
set(CMAKE_CXX_FLAGS_INIT "-ffunction-sections -fdata-sections")
set(CMAKE_C_FLAGS_INIT "-ffunction-sections -fdata-sections")
# Release binaries ship stripped.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
set(CMAKE_SHARED_LINKER_FLAGS_RELEASE_INIT "-s")
