#!/usr/bin/env bash
# dravix.exe as an MSAA screen reader finds it, under Wine on the X display this runs on: a second
# process (msaa_reader.exe) reads the strip's accessible tree, presses the toggle and a slot, and
# the slot's file starts once.
#
#   screen_reader_test.sh <wine prefix> <dravix.exe> <msaa_reader.exe>
set -euo pipefail
export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
dravix="$2"
reader="$3"

work="$(mktemp -d "${TMPDIR:-/tmp}/dravix-msaa-XXXXXX")"
strip_pid=""
cleanup() {
    [[ -z "$strip_pid" ]] || kill "$strip_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

cp "$dravix" "$work/dravix.exe"
report="$work/launches.txt"
printf '@echo started>> "%s"\r\n' "$(windows_path "$report")" >"$work/mark.bat"
mark="$(windows_path "$work/mark.bat")"
{
    for slot in 0 1 2 3 4 5 6 7 8 9; do
        if [[ $slot == 3 ]]; then printf '%s\r\nmark\r\n' "$mark"; else printf '\r\n\r\n'; fi
    done
} >"$work/dravix.dat"
printf '500\r\n300\r\n' >"$work/dravix.ini"

(cd "$work" && exec wine "$work/dravix.exe") &
strip_pid=$!
status=0
wine "$reader" 3 mark "$mark" || status=1
for _ in $(seq 50); do [[ -s "$report" ]] && break; sleep 0.1; done
sleep 0.5
launches="$(grep -c started "$report" 2>/dev/null || true)"
if [[ "$launches" != 1 ]]; then
    echo "FAILED: the slot's file started ${launches:-0} times"
    status=1
fi
exit "$status"
