# Cross-compiling with Debian's MinGW-w64, the win32-threads variant: its runtime
# needs nothing newer than Windows XP (the posix variant's pthreads layer imports
# GetTickCount64 and other Vista-era functions into every program that can throw).
# Test drivers that use std::thread take the posix variant through the launcher
# below (ZEPH_POSIX_THREADS_LAUNCHER), nothing that ships does.
set(CMAKE_C_COMPILER ${ZEPH_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${ZEPH_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${ZEPH_MINGW_PREFIX}-windres)
set(ZEPH_POSIX_THREADS_LAUNCHER ${CMAKE_CURRENT_LIST_DIR}/posix-threads.sh)
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
