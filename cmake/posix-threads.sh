#!/bin/sh
# Compiler and linker launcher: runs the posix-threads variant of the MinGW-w64
# compiler CMake asked for (…-g++-win32 becomes …-g++-posix), for test drivers
# that need std::thread and std::mutex. Libraries built with the win32 variant
# link into them unchanged: both variants share one C++ ABI and exception model.
compiler=$1
shift
case $compiler in
  *-posix) exec "$compiler" "$@" ;;
  *) exec "${compiler%-win32}-posix" "$@" ;;
esac
