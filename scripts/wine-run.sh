#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, for ctest (CMAKE_CROSSCOMPILING_EMULATOR).
# The prefix, WINEPATH (Qt's and mingw's libraries) and the display come from the caller,
# scripts/check-windows.sh.
export WINEDEBUG=${WINEDEBUG:--all}
exec wine "$@"
