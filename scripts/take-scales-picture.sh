#!/usr/bin/env bash
# Takes docs/dravix-scales.png: the real dravix binary on a private Xvfb, closed and open, first
# with no Xft.dpi in the X resources (scale 1) and then with Xft.dpi 192 (scale 2), the four
# screenshots side by side at their own size, bottom-aligned.
#
# Usage: scripts/take-scales-picture.sh [output.png]
#   DRAVIX_BINARY=path  the dravix to run (default: build/dravix)
# Needs xvfb-run, xdotool, xprop, x11-utils (xwininfo) and ImageMagick.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
output="$(realpath -m "${1:-$root/docs/dravix-scales.png}")"
binary="$(realpath -m "${DRAVIX_BINARY:-$root/build/dravix}")"
[[ -x "$binary" ]] || { echo "take-scales-picture: no dravix at $binary" >&2; exit 1; }
if [[ -z "${DRAVIX_PICTURE_DISPLAY_READY:-}" ]]; then
    export DRAVIX_BINARY="$binary" DRAVIX_PICTURE_DISPLAY_READY=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp -noreset" "$0" "$output"
fi

folder="$(mktemp -d "${TMPDIR:-/tmp}/dravix-scales-XXXXXX")"
trap 'rm -rf "$folder"' EXIT
cp "$binary" "$folder/dravix"

# Waits for the window titled Dravix to be $1 x $2; sets left and top.
wait_for_size() {
    for _ in $(seq 100); do
        read -r left top width height < <(xwininfo -name Dravix 2>/dev/null | awk '
            /Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
            /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF }
            END { if (w != "") print x, y, w, h }') || true
        [[ "${width:-}" == "$1" && "${height:-}" == "$2" ]] && sleep 0.3 && return 0
        sleep 0.05
    done
    echo "take-scales-picture: the window never became $1 x $2" >&2
    exit 1
}

shots=()
for scale in 1 2; do
    # Xlib reads the resources as the program connects; Xft.dpi 96 means a scale of 1. The server
    # keeps them between clients (-noreset).
    xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "Xft.dpi: $((96 * scale))"
    printf '600\r\n300\r\n' >"$folder/dravix.ini"
    printf '\r\n%.0s' $(seq 20) >"$folder/dravix.dat"
    (cd "$folder" && HOME="$folder" exec ./dravix) &
    wait_for_size $((26 * scale)) $((23 * scale))
    import -window root -crop "${width}x${height}+$left+$top" +repage "$folder/closed$scale.png"
    # The toggle's middle is (12, 11) in the program's pixels; open, it sits 300 lower.
    xdotool mousemove $((left + 12 * scale)) $((top + 11 * scale)) click 1
    wait_for_size $((244 * scale)) $((323 * scale))
    import -window root -crop "${width}x${height}+$left+$top" +repage "$folder/open$scale.png"
    xdotool mousemove $((left + 12 * scale)) $((top + 311 * scale)) click 3
    wait
    shots+=("$folder/closed$scale.png" "$folder/open$scale.png")
done

# No date or time chunks, so that taking the picture again gives the same bytes.
convert "${shots[@]}" -bordercolor '#4a5a6a' -border 12 -background '#4a5a6a' -gravity south \
    +append -strip -define png:exclude-chunks=date,time "$output"
echo "wrote $output"
