#!/bin/sh
# Compiler and linker launcher: runs the win32 thread-model twin of the -posix
# mingw-w64 compiler it is handed.
compiler=$1
shift
exec "${compiler%-posix}-win32" "$@"
