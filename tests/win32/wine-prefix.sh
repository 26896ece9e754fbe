#!/usr/bin/env bash
# The Wine prefix that the Windows build's tests run in:
#   wine-prefix.sh create PREFIX [DPI]
#                                    makes a fresh prefix (an old one is removed first), its
#                                    screen at DPI pixels per inch when given (Windows's setting
#                                    of the display scale, 96 at 100 %)
#   wine-prefix.sh shutdown PREFIX   ends its wineserver and every program still running in it
# Wine's offers to install Mono and Gecko are turned off, as nobody is there to answer them.
set -euo pipefail
action="$1"
export WINEPREFIX="$2"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

case "$action" in
create)
    if [[ -d "$WINEPREFIX" ]]; then
        wineserver -k 2>/dev/null || true
        rm -rf "$WINEPREFIX"
    fi
    wineboot -i
    [[ -d "$WINEPREFIX/drive_c/windows" ]] || { echo "wineboot made no prefix" >&2; exit 1; }
    if [[ -n "${3:-}" ]]; then
        wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$3" /f
    fi
    ;;
shutdown)
    [[ -d "$WINEPREFIX" ]] && wineserver -k 2>/dev/null || true
    ;;
*)
    echo "usage: $0 create PREFIX [DPI] | shutdown PREFIX" >&2
    exit 2
    ;;
esac
