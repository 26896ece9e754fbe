#!/usr/bin/env bash
# Takes the README's picture, docs/dravix-open.png: the real dravix binary, run from a temporary
# folder with a few slots on a private Xvfb, opened, with the pointer on a slot so that its name is
# spelled in the glyph cells. The window's region is cut from a screenshot and enlarged three
# times with nearest-neighbour scaling so that the pixels stay crisp.
#
# Usage: scripts/take-readme-picture.sh [output.png]
#   DRAVIX_BINARY=path  use this dravix instead of building one
#   BUILD_DIR=dir       where to build it when DRAVIX_BINARY is not given (default: build)
# Needs cmake and a compiler (to build), xvfb-run, xdotool, x11-utils (xwininfo) and ImageMagick.
set -euo pipefail

# The toggle's middle in window coordinates (x y), where the clicks land; in the open window the
# toggle sits 300 pixels lower. The C++ tests take the same point from tests/support/toggle_point.h.
toggle=(12 11)

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
output="${1:-$root/docs/dravix-open.png}"

# The rest runs on a private X server of its own.
if [[ -z "${DRAVIX_PICTURE_DISPLAY_READY:-}" ]]; then
    for tool in xvfb-run xdotool xwininfo import convert; do
        command -v "$tool" >/dev/null || {
            echo "take-readme-picture: $tool is missing" >&2
            exit 1
        }
    done
    if [[ -z "${DRAVIX_BINARY:-}" ]]; then
        build="${BUILD_DIR:-$root/build}"
        [[ -f "$build/CMakeCache.txt" ]] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release
        cmake --build "$build" --target dravix -j "$(nproc)"
        DRAVIX_BINARY="$build/dravix"
    fi
    DRAVIX_BINARY="$(realpath "$DRAVIX_BINARY")"
    output="$(realpath -m "$output")"
    mkdir -p "$(dirname "$output")"
    export DRAVIX_BINARY DRAVIX_PICTURE_DISPLAY_READY=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$0" "$output"
fi

folder="$(mktemp -d "${TMPDIR:-/tmp}/dravix-picture-XXXXXX")"
pid=""
cleanup() {
    if [[ -n "$pid" ]] && kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    rm -rf "$folder"
}
trap cleanup EXIT

# The stored files: the closed toggle at Top 600, Left 300 (the open strip then stands at Top 300)
# and a few slots, as path and display name lines with CR LF endings.
cp "$DRAVIX_BINARY" "$folder/dravix"
printf '600\r\n300\r\n' >"$folder/dravix.ini"
{
    printf '%s\r\n%s\r\n' /usr/bin/firefox firefox
    printf '%s\r\n%s\r\n' /home/me/Editor.desktop Editor
    printf '%s\r\n%s\r\n' /home/me/Notes_1.txt Notes_1
    printf '%s\r\n%s\r\n' /home/me/Music Music
    for _ in 4 5 6 7 8 9; do printf '\r\n\r\n'; done
} >"$folder/dravix.dat"

(cd "$folder" && HOME="$folder" exec ./dravix) &
pid=$!

# Prints "left top width height" of the window titled Dravix, or nothing.
geometry() {
    xwininfo -name Dravix 2>/dev/null | awk '
        /Absolute upper-left X/ { x = $NF }
        /Absolute upper-left Y/ { y = $NF }
        /^ *Width:/ { w = $NF }
        /^ *Height:/ { h = $NF }
        END { if (w != "") print x, y, w, h }'
}

# Waits up to five seconds for the window to be width x height; sets left and top.
wait_for_size() {
    local tries
    for ((tries = 0; tries < 100; tries++)); do
        read -r left top width height < <(geometry) || true
        if [[ "${width:-}" == "$1" && "${height:-}" == "$2" ]]; then
            return 0
        fi
        sleep 0.05
    done
    echo "take-readme-picture: the window never became $1 x $2" >&2
    exit 1
}

# The window's region as raw RGB bytes, to tell when its picture has changed.
window_pixels() {
    import -window root -crop "244x323+$left+$top" +repage rgb:-
}

wait_for_size 26 23
# Open the strip: a left click on the toggle; it grows to 244 x 323.
xdotool mousemove $((left + toggle[0])) $((top + toggle[1])) click 1
wait_for_size 244 323
sleep 0.2
before="$(window_pixels | md5sum)"

# The pointer on slot 1 (the second button, 28 pixels from the top) spells "Editor".
xdotool mousemove $((left + 14)) $((top + 28 + 6))
for ((tries = 0; tries < 60; tries++)); do
    [[ "$(window_pixels | md5sum)" != "$before" ]] && break
    sleep 0.05
done
if [[ "$(window_pixels | md5sum)" == "$before" ]]; then
    echo "take-readme-picture: hovering the slot changed nothing" >&2
    exit 1
fi
sleep 0.2

# No date or time chunks, so that taking the picture again gives the same bytes.
import -window root -crop "244x323+$left+$top" +repage "$folder/window.png"
convert "$folder/window.png" -filter point -resize 300% -strip \
    -define png:exclude-chunks=date,time "$output"

# A right click on the toggle ends the program.
xdotool mousemove $((left + toggle[0])) $((top + 300 + toggle[1])) click 3
for ((tries = 0; tries < 60; tries++)); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
done
echo "wrote $output"
