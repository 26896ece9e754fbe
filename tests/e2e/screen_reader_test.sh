#!/usr/bin/env bash
# Dravix as a screen reader finds it, on the X display this runs on (xvfb-run):
#   1. without a session bus no accessibility library is mapped and no process is started;
#   2. on a private session bus with accessibility off the module stays out, and when a screen
#      reader switches it on the strip joins the AT-SPI tree: tests/e2e/screen_reader.py reads
#      and presses it there;
#   3. NO_AT_BRIDGE=1 keeps the module out with accessibility on.
#
#   screen_reader_test.sh <dravix> <dravix-atspi.so> <screen_reader.py>
set -euo pipefail
dravix="$1"
module="$2"
reader="$3"

work="$(mktemp -d "${TMPDIR:-/tmp}/dravix-a11y-XXXXXX")"
started_pids=()
cleanup() {
    local pid
    for pid in "${started_pids[@]}"; do
        # What the bus started for it (the accessibility bus launcher) goes with it.
        for child in $(ps -o pid= --ppid "$pid" 2>/dev/null); do kill "$child" 2>/dev/null || true; done
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

# The strip's folder: the program, its module, a slot whose file writes the launch log.
app="$work/app"
mkdir -p "$app" "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
cp "$dravix" "$module" "$app/"
printf '#!/bin/sh\necho started >>"%s"\n' "$work/launches" >"$app/start.sh"
chmod +x "$app/start.sh"
: >"$work/launches"
{
    for slot in 0 1 2 3 4 5 6 7 8 9; do
        if [[ $slot == 3 ]]; then printf '%s\r\nstart\r\n' "$app/start.sh"; else printf '\r\n\r\n'; fi
    done
} >"$app/dravix.dat"
printf '500\r\n100\r\n' >"$app/dravix.ini"

export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" GSETTINGS_BACKEND=memory
unset NO_AT_BRIDGE AT_SPI_BUS_ADDRESS

accessibility_libraries() {
    grep -E 'libatk|libglib|libgobject|libdbus|dravix-atspi' "/proc/$1/maps" || true
}
run_strip() {
    "$app/dravix" >>"$work/dravix.log" 2>&1 &
    strip_pid=$!
    started_pids+=("$strip_pid")
    sleep 1 # the first frame, then the question on the bus and its answer
}
stop_strip() {
    kill "$strip_pid" 2>/dev/null || true
    wait "$strip_pid" 2>/dev/null || true
}

# 1. No session bus.
(
    unset DBUS_SESSION_BUS_ADDRESS
    run_strip
    [[ -z "$(accessibility_libraries "$strip_pid")" ]] ||
        fail "without a session bus: $(accessibility_libraries "$strip_pid")"
    children="$(ps -o pid=,comm= --ppid "$strip_pid" || true)"
    [[ -z "$children" ]] || fail "without a session bus the strip started: $children"
    stop_strip
    exit "$failures"
) || failures=$((failures + $?))

# 2. A private session bus with the AT-SPI launcher as its only service.
cat >"$work/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$work/bus</listen>
  <standard_session_servicedirs/>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
dbus-daemon --config-file="$work/bus.conf" --nofork --print-address=3 3>"$work/address" &
started_pids+=($!)
for _ in $(seq 50); do [[ -s "$work/address" ]] && break; sleep 0.1; done
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus"
set_accessibility() {
    dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus \
        org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:IsEnabled \
        "variant:boolean:$1" >/dev/null
}

run_strip
[[ -z "$(accessibility_libraries "$strip_pid")" ]] ||
    fail "with accessibility off: $(accessibility_libraries "$strip_pid")"
# A screen reader starts: the launcher comes up on the bus and says accessibility is on.
set_accessibility true
for _ in $(seq 50); do
    grep -q dravix-atspi "/proc/$strip_pid/maps" && break
    sleep 0.1
done
grep -q dravix-atspi "/proc/$strip_pid/maps" || fail "the module was not loaded when accessibility came on"
/usr/bin/python3 "$reader" "$app/dravix.dat" "$work/launches" || fail "the screen reader's view"
stop_strip

# 3. NO_AT_BRIDGE=1 with accessibility on.
NO_AT_BRIDGE=1 run_strip
[[ -z "$(accessibility_libraries "$strip_pid")" ]] ||
    fail "with NO_AT_BRIDGE=1: $(accessibility_libraries "$strip_pid")"
stop_strip

if [[ $failures -gt 0 ]]; then
    cat "$work/dravix.log" >&2
    exit 1
fi
echo "screen reader: all cases passed"
