#!/usr/bin/env bash
# Installs what building and running Dravix needs (scripts/install-deps.sh run) when it is
# missing, builds Dravix in build/ and starts it. Dravix keeps its slots and its position beside
# the program, so they live in build/dravix.dat and build/dravix.ini.
set -euo pipefail
cd "$(dirname "$0")/.."

# Dravix is a window on an X11 desktop (XWayland on a Wayland one). Without one it is still
# built, so that it is ready, but not started.
no_display=""
if [[ -z "${DISPLAY:-}" ]]; then
    no_display="DISPLAY is not set"
elif command -v xdpyinfo >/dev/null && ! xdpyinfo >/dev/null 2>&1; then
    no_display="the X display \"$DISPLAY\" cannot be opened"
fi
if [[ -n "$no_display" ]]; then
    echo "run: $no_display; Dravix needs an X11 or XWayland desktop session." \
        "Building it, but not starting it." >&2
fi

scripts/install-deps.sh run
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DDRAVIX_TESTS=OFF
cmake --build build --target dravix -j"$(nproc)"
if [[ -n "$no_display" ]]; then
    echo "run: built build/dravix; start it from a terminal in your desktop session." >&2
    exit 1
fi
exec build/dravix
