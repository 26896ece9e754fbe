#!/usr/bin/env bash
# Measures the Release build of Dravix on private Xvfb servers, next to the launchers people use
# instead (dmenu, rofi, plank) and xclock as a bare X11 client, and prints a Markdown table:
#
#   - start-up: exec to the first frame (the 26 x 23 window mapped and showing the closed strip,
#     pixel for pixel; for the others, their first window mapped and showing content), median and
#     quartiles of DRAVIX_BENCH_RUNS runs after one warm-up run;
#   - resident memory 5 s after the start: RSS and PSS from /proc/PID/smaps_rollup;
#   - CPU over the idle period at rest (utime + stime from /proc/PID/stat) as % of one core, and
#     wakeups per second over it (voluntary context switches of all its threads, from
#     /proc/PID/task/*/status); for Dravix also the wakeups per second while the strip slides;
#   - start-up again with 60 other applications' windows open, and the replies waited for before the
#     first frame (counted inside the program by a preloaded counter), for Dravix and the floor;
#   - launch latency: left release on slot 0 (XTest) to the first instruction of the program it
#     starts, a static program that appends its start time to a file;
#   - inside the process (Google Benchmark, fake desktop): a slide tick and a hover redraw.
#
# Dravix runs from a temporary folder holding both of its stored files, both as the portable build
# (the toolkit linked in) and as the Debian package's build (the distribution's shared libraries),
# each in a folder of its own. A bare Xlib window with a 100 ms timer (bench/xlib_floor.cpp) gives
# the floor. Nothing here is a test; it runs by hand.
# It installs the Debian packages it needs (scripts/install-deps.sh run bench, the peers among
# them) when they are missing, builds the Release targets in build/ and takes about three minutes.
#
# Settings, for development only; the defaults are the full measurement:
#   DRAVIX_BENCH_RUNS=20            start-up and launch runs per program
#   DRAVIX_BENCH_IDLE_SECONDS=60    length of the idle CPU measurement
#   DRAVIX_BENCH_PEERS="dmenu rofi plank xclock"   the programs compared (may be empty)
#   DRAVIX_BENCH_SOURCE_DIR, DRAVIX_BENCH_BUILD_DIR   what to configure and where to build
set -euo pipefail
cd "$(dirname "$0")/.."

runs="${DRAVIX_BENCH_RUNS:-20}"
idle_seconds="${DRAVIX_BENCH_IDLE_SECONDS:-60}"
settle_seconds=5
peers="${DRAVIX_BENCH_PEERS-dmenu rofi plank xclock}"
source_dir="${DRAVIX_BENCH_SOURCE_DIR:-$PWD}"
build_dir="${DRAVIX_BENCH_BUILD_DIR:-$PWD/build}"

# --- Packages: what the build and the measurement need, and the programs compared --------------
# The run and bench groups of scripts/install-deps.sh, not the test or Windows ones. A peer that
# cannot be installed shows up in the table as one that cannot run; a missing build package
# stops the build below.
scripts/install-deps.sh run bench >&2 || echo "bench: some packages could not be installed" >&2

# --- Build --------------------------------------------------------------------------------------
targets=(dravix dravix_shared dravix_probe dravix_launch_stamp dravix_xlib_floor dravix_core_bench)
cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DDRAVIX_TESTS=OFF \
    -DDRAVIX_BENCH=ON >/dev/null
if ! cmake --build "$build_dir" -j"$(nproc)" --target "${targets[@]}" >"$build_dir/bench-build.log" 2>&1;
then
    tail -n 30 "$build_dir/bench-build.log" >&2
    echo "bench: the build failed (is bench/ added to the root CMakeLists.txt?)" >&2
    exit 1
fi
if ! grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$build_dir/CMakeCache.txt"; then
    echo "bench: $build_dir is not a Release build" >&2
    exit 1
fi
probe="$build_dir/bench/dravix_probe"

# --- A private world: temporary folders and X servers, all removed on exit ----------------------
work="$(mktemp -d /tmp/dravix-bench-XXXXXX)"
xvfb_pids=()
cleanup() {
    for pid in "${xvfb_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Starts an Xvfb that does not reset when its last client leaves and sets xvfb_display to its
# display number. Not to be called in a subshell: the cleanup needs its process id.
xvfb_display=""
start_xvfb() {
    local number_file="$work/xvfb-$1.display"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$number_file" \
        >"$work/xvfb-$1.log" 2>&1 &
    xvfb_pids+=($!)
    local _
    for _ in $(seq 200); do
        [[ -s "$number_file" ]] && break
        sleep 0.05
    done
    [[ -s "$number_file" ]] || { echo "bench: Xvfb did not start" >&2; exit 1; }
    xvfb_display="$(head -n 1 "$number_file")"
}

# Dravix in a folder of its own with both stored files: slot 0 starts the stamp program, and the
# toggle sits at Left 400, Top 600, so the open strip (300 pixels taller) stays on the screen.
app="$work/app"
mkdir -p "$app" "$work/home"
cp "$build_dir/dravix" "$build_dir/bench/dravix_launch_stamp" "$app/"
{
    printf '%s\r\n%s\r\n' "$app/dravix_launch_stamp" "stamp"
    for _ in $(seq 18); do printf '\r\n'; done
} >"$app/dravix.dat"
printf '600\r\n400\r\n' >"$app/dravix.ini"
# The package's build, with the same stored files in a folder of its own.
app_shared="$work/app-shared"
mkdir -p "$app_shared"
cp "$build_dir/shared/dravix" "$app/dravix.dat" "$app/dravix.ini" "$app_shared/"

# Every program gets the same plain session: a UTF-8 locale, an empty home, no window manager and
# no D-Bus session bus.
export HOME="$work/home" LANG=C.UTF-8 XDG_CONFIG_HOME="$work/home/.config"
export XDG_CACHE_HOME="$work/home/.cache" XDG_DATA_HOME="$work/home/.local/share"
unset LC_ALL DBUS_SESSION_BUS_ADDRESS XMODIFIERS || true
# dmenu gets what dmenu_run gives it: every command on PATH.
if command -v dmenu_path >/dev/null; then
    dmenu_path >"$work/commands.txt" 2>/dev/null || true
fi
[[ -s "$work/commands.txt" ]] || ls /usr/bin >"$work/commands.txt"

# The probe's options for each program: how it is started and what its first frame must show.
program_label() {
    case "$1" in
    dravix) echo "Dravix" ;;
    dravix_shared) echo "Dravix, the package's build (shared libraries)" ;;
    floor) echo "bare Xlib window (floor)" ;;
    dmenu) echo "dmenu" ;;
    rofi) echo "rofi -show run" ;;
    plank) echo "plank" ;;
    xclock) echo "xclock" ;;
    esac
}
probe_options() {
    case "$1" in
    dravix) echo "--dravix-frame --cwd $app -- $app/dravix" ;;
    dravix_shared) echo "--dravix-frame --cwd $app_shared -- $app_shared/dravix" ;;
    floor) echo "--size 26x23 -- $build_dir/bench/dravix_xlib_floor" ;;
    dmenu) echo "--stdin $work/commands.txt -- dmenu" ;;
    rofi) echo "-- rofi -show run" ;;
    plank) echo "--timeout-ms 20000 -- plank" ;;
    xclock) echo "-- xclock" ;;
    esac
}
programs=(dravix dravix_shared floor)
for peer in $peers; do
    case "$peer" in
    dmenu | rofi | plank | xclock) programs+=("$peer") ;;
    *) echo "bench: unknown peer $peer" >&2; exit 1 ;;
    esac
done

# A field of the probe's output line that starts with the key: field "summary" median.
field() {
    awk -v key="$2" -v name="$3" '$1 == key {
        for (i = 2; i <= NF; i++) { split($i, kv, "="); if (kv[1] == name) print kv[2] } }' "$1"
}

# --- Start-up, then launch latency, on one server, one program at a time ------------------------
start_xvfb main
export DISPLAY=":$xvfb_display"
echo "bench: start-up, $runs runs each (DISPLAY=$DISPLAY)" >&2
for name in "${programs[@]}"; do
    read -r -a options <<<"$(probe_options "$name")"
    log="$work/$name.log"
    # One warm-up run, so that every program starts from a warm page cache.
    "$probe" startup --runs 1 --log "$log" "${options[@]}" >/dev/null 2>&1 || true
    "$probe" startup --runs "$runs" --log "$log" "${options[@]}" >"$work/startup-$name.txt" \
        2>&1 || true
done

# The same start with a desktop that holds 60 other applications' windows (each with a child, as
# toolkits make them), and the replies each program waits for before its first frame, counted by
# the reply-wait counter loaded into it (on an empty server and with the 60 windows). Dravix and
# the floor only.
desktop_windows=60
for name in dravix floor; do
    read -r -a options <<<"$(probe_options "$name")"
    "$probe" startup --runs "$runs" --windows "$desktop_windows" --log "$work/$name-full.log" \
        "${options[@]}" >"$work/startup-full-$name.txt" 2>&1 || true
    "$probe" replies --runs 3 --log "$work/$name-replies.log" "${options[@]}" \
        >"$work/replies-$name.txt" 2>&1 || true
    "$probe" replies --runs 3 --windows "$desktop_windows" --log "$work/$name-replies.log" \
        "${options[@]}" >"$work/replies-full-$name.txt" 2>&1 || true
done

echo "bench: launch latency, $runs runs" >&2
"$probe" launch --runs "$runs" --cwd "$app" --stamps "$app/launch-stamps.txt" \
    --log "$work/launch.log" -- "$app/dravix" >"$work/launch.txt" 2>&1 || true

# --- Memory and idle CPU: every program at once, each on a server of its own ------------------
echo "bench: memory after ${settle_seconds} s and CPU over ${idle_seconds} s at rest" >&2
rest_pids=()
for name in "${programs[@]}"; do
    read -r -a options <<<"$(probe_options "$name")"
    start_xvfb "rest-$name"
    DISPLAY=":$xvfb_display" "$probe" rest --settle "$settle_seconds" --idle "$idle_seconds" \
        --log "$work/rest-$name.log" "${options[@]}" >"$work/rest-$name.txt" 2>&1 &
    rest_pids+=($!)
done
for pid in "${rest_pids[@]}"; do wait "$pid" || true; done

# --- Inside the process --------------------------------------------------------------------------
echo "bench: slide tick and hover redraw (Google Benchmark)" >&2
"$build_dir/bench/dravix_core_bench" --benchmark_format=json >"$work/core.json" 2>/dev/null || true
# The time of a benchmark in microseconds, from its real_time and time_unit in the JSON report.
core_us() {
    awk -v name="$1" '
        /"name":/ { gsub(/[",]/, "", $2); current = $2 }
        current == name && /"real_time":/ { gsub(/,/, "", $2); time = $2 }
        current == name && /"time_unit":/ {
            gsub(/[",]/, "", $2)
            scale = ($2 == "ns") ? 0.001 : ($2 == "ms") ? 1000 : ($2 == "s") ? 1000000 : 1
            printf "%.3g", time * scale; exit }' "$work/core.json"
}
slide_us="$(core_us BM_SlideTick/manual_time)"
full_us="$(core_us BM_SlideTickFullFrame/manual_time)"
hover_us="$(core_us BM_HoverRedraw)"
idle_tick_us="$(core_us BM_IdleTick)"

# --- The table ----------------------------------------------------------------------------------
ratio() { # Dravix's figure as a multiple of another's
    awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b == "" || b + 0 == 0) print "–";
        else printf "%.2f×", a / b }'
}
mib() { awk -v k="$1" 'BEGIN { if (k == "") print ""; else printf "%.2f", k / 1024 }'; }

declare -A startup startup_p25 startup_p75 mapped rss pss cpu cpu_ns wakeups failure
for name in "${programs[@]}"; do
    file="$work/startup-$name.txt"
    startup[$name]="$(field "$file" summary median)"
    startup_p25[$name]="$(field "$file" summary p25)"
    startup_p75[$name]="$(field "$file" summary p75)"
    mapped[$name]="$(field "$file" mapped median)"
    rest_file="$work/rest-$name.txt"
    rss[$name]="$(field "$rest_file" rest rss_kib)"
    pss[$name]="$(field "$rest_file" rest pss_kib)"
    cpu[$name]="$(field "$rest_file" rest cpu_percent)"
    cpu_ns[$name]="$(field "$rest_file" rest cpu_ns_percent)"
    wakeups[$name]="$(field "$rest_file" rest wakeups_per_s)"
    failure[$name]="$(grep -h '^failed' "$file" "$rest_file" | head -n 1 | cut -c8- || true)"
done

cores="$(nproc)"
cpu_model="$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)"
echo
echo "### Dravix benchmark, $(date -u '+%Y-%m-%d'), $cores cores"
echo
echo "$cpu_model; $(uname -sr); Xvfb 1280x1024x24 with no window manager; LANG=C.UTF-8;"
echo "$runs start-up runs per program after one warm-up; memory ${settle_seconds} s after the start;"
echo "CPU over ${idle_seconds} s at rest, counted in clock ticks of 10 ms (one tick is" \
    "$(awk -v s="$idle_seconds" 'BEGIN { printf "%.3f", 1 / s }') % here)."
echo "Ratios are Dravix's figure divided by the program's."
echo
echo "| Program | Start-up to first frame, median (p25–p75) | Mapped | RSS | PSS | Idle CPU | Wakeups at rest | Dravix start-up | Dravix RSS | Dravix idle CPU |"
echo "|---|---|---|---|---|---|---|---|---|---|"
for name in "${programs[@]}"; do
    label="$(program_label "$name")"
    if [[ -z "${startup[$name]}" && -z "${rss[$name]}" ]]; then
        echo "| $label | could not run under Xvfb: ${failure[$name]:-no output} | | | | | | | | |"
        continue
    fi
    startup_cell="–"
    [[ -n "${startup[$name]}" ]] &&
        startup_cell="$(printf '%.1f ms (%.1f–%.1f)' "${startup[$name]}" "${startup_p25[$name]}" \
            "${startup_p75[$name]}")"
    mapped_cell="–"
    [[ -n "${mapped[$name]}" ]] && mapped_cell="$(printf '%.1f ms' "${mapped[$name]}")"
    rss_cell="–"
    pss_cell="–"
    cpu_cell="–"
    wakeups_cell="–"
    if [[ -n "${rss[$name]}" ]]; then
        rss_cell="$(mib "${rss[$name]}") MiB"
        pss_cell="$(mib "${pss[$name]}") MiB"
        cpu_cell="$(printf '%.3f %%' "${cpu[$name]}")"
        wakeups_cell="$(printf '%.2f /s' "${wakeups[$name]}")"
    fi
    if [[ "$name" == dravix ]]; then
        echo "| **$label** | **$startup_cell** | $mapped_cell | **$rss_cell** | $pss_cell | **$cpu_cell** | **$wakeups_cell** | | | |"
    else
        echo "| $label | $startup_cell | $mapped_cell | $rss_cell | $pss_cell | $cpu_cell | $wakeups_cell |" \
            "$(ratio "${startup[dravix]}" "${startup[$name]}") |" \
            "$(ratio "${rss[dravix]}" "${rss[$name]}") |" \
            "$(ratio "${cpu[dravix]}" "${cpu[$name]}") |"
    fi
done
echo

declare -A startup_full replies replies_full
for name in dravix floor; do
    startup_full[$name]="$(field "$work/startup-full-$name.txt" summary median)"
    # Counts, printed as whole numbers.
    replies[$name]="$(field "$work/replies-$name.txt" replies median | awk '{ printf "%.0f", $1 }')"
    replies_full[$name]="$(field "$work/replies-full-$name.txt" replies median |
        awk '{ printf "%.0f", $1 }')"
done
echo "| As the desktop fills | Start-up, empty server | With $desktop_windows windows open | Ratio | Replies waited for before the first frame, empty | With $desktop_windows windows |"
echo "|---|---|---|---|---|---|"
for name in dravix floor; do
    printf '| %s | %s ms | %s ms | %s | %s | %s |\n' "$(program_label "$name")" \
        "${startup[$name]:-?}" "${startup_full[$name]:-?}" \
        "$(ratio "${startup_full[$name]:-}" "${startup[$name]:-}")" \
        "${replies[$name]:-?}" "${replies_full[$name]:-?}"
done
echo

launch_median="$(field "$work/launch.txt" summary median)"
slide_wakeups="$(field "$work/rest-dravix.txt" slides wakeups_per_s)"
echo "| Dravix in detail | Figure |"
echo "|---|---|"
if [[ -n "$launch_median" ]]; then
    printf '| Launch latency, release on a slot to the started program'"'"'s first instruction | %.2f ms median (%.2f–%.2f) |\n' \
        "$launch_median" "$(field "$work/launch.txt" summary p25)" \
        "$(field "$work/launch.txt" summary p75)"
else
    echo "| Launch latency | failed: $(grep -h '^failed' "$work/launch.txt" | cut -c8-) |"
fi
echo "| Slide tick, composition and presentation included, mean over a whole slide | ${slide_us:-?} µs |"
echo "| Slide tick that presents the full 244 x 323 frame | ${full_us:-?} µs |"
echo "| Hover redraw, another name in the glyph cells, 244 x 323 frame | ${hover_us:-?} µs |"
echo "| Idle tick (nothing changes, nothing composed) | ${idle_tick_us:-?} µs |"
echo "| Idle CPU from the scheduler's nanosecond count (/proc/PID/schedstat) | $(printf '%.3f %%' "${cpu_ns[dravix]:-0}") |"
echo "| Wakeups while the strip slides, from the press on the toggle to the settled window (3 openings, 3 closings) | ${slide_wakeups:-?} /s |"
echo

# --- Against the targets ------------------------------------------------------------------------
verdict() { awk -v v="$1" -v limit="$2" 'BEGIN { if (v !~ /^[0-9.]+$/) print "not measured";
    else if (v + 0 <= limit + 0) print "met"; else print "missed" }'; }
peer_verdict() { # whether Dravix's figure is below every peer's that was measured
    local key="$1" name worst="met"
    local -n values="$key"
    for name in "${programs[@]}"; do
        [[ "$name" == dravix* || "$name" == floor || -z "${values[$name]}" ]] && continue
        awk -v a="${values[dravix]}" -v b="${values[$name]}" 'BEGIN { exit !(a < b) }' ||
            worst="missed (not below $name)"
    done
    echo "$worst"
}
rss_mib="$(mib "${rss[dravix]:-}")"
echo "| Target | Measured | |"
echo "|---|---|---|"
echo "| Start-up ≤ 8 ms median | ${startup[dravix]:-?} ms | $(verdict "${startup[dravix]:-}" 8) |"
echo "| RSS at rest ≤ 5 MiB | ${rss_mib:-?} MiB | $(verdict "$rss_mib" 5) |"
echo "| Start-up and RSS ahead of every peer | | start-up $(peer_verdict startup), RSS $(peer_verdict rss) |"
echo "| Idle CPU ≤ 0.1 % | ${cpu[dravix]:-?} % | $(verdict "${cpu[dravix]:-}" 0.1) |"
echo "| Wakeups at rest < 0.1 a second | ${wakeups[dravix]:-?} /s | $(verdict "${wakeups[dravix]:-}" 0.099) |"
startup_floor="$(ratio "${startup[dravix]:-}" "${startup[floor]:-}")"
rss_floor="$(ratio "${rss[dravix]:-}" "${rss[floor]:-}")"
echo "| Start-up ≤ 1.5× the bare Xlib floor | $startup_floor | $(verdict "${startup_floor%×}" 1.5) |"
full_ratio="$(ratio "${startup_full[dravix]:-}" "${startup[dravix]:-}")"
echo "| Start-up with $desktop_windows windows open ≤ 1.25× the start on the empty server | $full_ratio |" \
    "$(verdict "${full_ratio%×}" 1.25) |"
echo "| Replies waited for before the first frame on the empty server ≤ 8 (the floor's: ${replies[floor]:-?}) | ${replies[dravix]:-?} |" \
    "$(verdict "${replies[dravix]:-}" 8) |"
echo "| RSS ≤ 1.6× the bare Xlib floor | $rss_floor | $(verdict "${rss_floor%×}" 1.6) |"
shared_rss_floor="$(ratio "${rss[dravix_shared]:-}" "${rss[floor]:-}")"
echo "| The package's build: RSS ≤ 2.5× the floor | $shared_rss_floor |" \
    "$(verdict "${shared_rss_floor%×}" 2.5) |"
shared_floor="$(ratio "${startup[dravix_shared]:-}" "${startup[floor]:-}")"
echo "| The package's build: start-up ≤ 2.5× the floor | $shared_floor |" \
    "$(verdict "${shared_floor%×}" 2.5) |"
echo "| Slide tick ≤ 200 µs | ${full_us:-?} µs (full frame) | $(verdict "$full_us" 200) |"
echo "| Launch latency ≤ 10 ms | ${launch_median:-?} ms | $(verdict "$launch_median" 10) |"
echo

for name in "${programs[@]}"; do
    [[ -n "${failure[$name]}" ]] && echo "Note: $(program_label "$name"): ${failure[$name]}"
done
if [[ " ${programs[*]} " == *" plank "* ]]; then
    echo "Note: plank runs without a D-Bus session bus, as every program here does; it warns and"
    echo "goes on without its window-matching service."
fi
