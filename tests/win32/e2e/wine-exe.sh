#!/bin/sh
# Starts the harness's copy of the program under Wine. The harness names its copy "dravix"; a hard
# link gives it the name it has on Windows, so that it runs as dravix.exe from that folder. The
# exec keeps the process id, by which the harness knows the program's windows.
set -e
ln -f "$1" "$1.exe"
exec wine "$1.exe"
