#!/usr/bin/env bash
# Runs a Windows program under Wine in the given prefix:  wine-run.sh PREFIX PROGRAM [ARGUMENTS]
# The Windows build's tests run through this (CMAKE_CROSSCOMPILING_EMULATOR). Wine's messages
# are silenced and its offers to install Mono and Gecko are turned off; the exit status is the
# program's.
set -euo pipefail
export WINEPREFIX="$1"
shift
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
exec wine "$@"
