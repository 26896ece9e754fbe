#!/usr/bin/env bash
# The mutation run: applies the one-line faults of tests/mutation/faults.txt one at a time to a
# scratch copy of the tree, builds only the test programs the fault's tests need, runs those
# tests, puts the line back, and prints what the tests noticed, by folder.
#
#   scripts/mutate.sh [-j jobs] [-n] [selection ...]
#   scripts/mutate.sh -g count [-s seed] [-j jobs] [-n] [folder ...]
#
# -g draws the faults from the product code instead of the list: scripts/generate_faults.py
# finds every flipped, strict or loose comparison, every integer constant moved by one or
# doubled, every dropped call statement and every negated condition, and draws count of them
# with the seed (1 unless -s gives one), each folder its share. Each is judged by the whole suite
# of the tests that see its folder and by the end-to-end tests. The faults that change nothing
# are named once with their reason in tests/mutation/equivalent.txt; a generated fault that does
# not compile does not count and does not fail the run.
# -n only checks that every chosen fault still finds its text, without building anything.
# A selection is a folder as the table names it (strip, platform/posix, scripts ...), a fault
# number or a range of them (12, 40-55); without one every fault runs. The scratch copy and its
# Release build live in build-mutate/ (src/ and build/) and are kept between runs, so a second
# run builds only what changed; each run first copies the files that changed in the worktree.
# A fault is killed when a test fails (or exceeds the timeout), survives when all pass, is stale
# when its original text is no longer found exactly once, and does not count when it breaks the
# build (then it is a fault no developer could commit). Logs are in build-mutate/logs/<number>.
# DRAVIX_MUTATE_BUILD moves the scratch folder, DRAVIX_MUTATE_LIST names another list and
# DRAVIX_MUTATE_TIMEOUT sets the seconds one test may run (default 120).
#
# The list: one fault a line, fields separated by "@@" (blank lines and # comments skipped):
#   path @@ original text @@ replacement [@@ ctest regex] [@@ equivalent: reason]
# The original is text found exactly once in the file; "{nl}" in it stands for a line break and
# the next line's indentation, so that a short line can take its neighbour along to be unique.
# The replacement may be empty (a dropped call). Without a regex the folder's unit tests run.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
work="${DRAVIX_MUTATE_BUILD:-$root/build-mutate}"
list="${DRAVIX_MUTATE_LIST:-$root/tests/mutation/faults.txt}"
timeout="${DRAVIX_MUTATE_TIMEOUT:-120}"
jobs=2
check_only=""
generated=""
seed=1

usage() {
    echo "usage: $0 [-j jobs] [-n] [-g count [-s seed]] [folder | fault number | first-last ...]" >&2
    exit 2
}
while getopts "j:ng:s:h" option; do
    case "$option" in
    j) jobs="$OPTARG" ;;
    n) check_only=1 ;;
    g) generated="$OPTARG" ;;
    s) seed="$OPTARG" ;;
    *) usage ;;
    esac
done
shift $((OPTIND - 1))
[[ "$jobs" =~ ^[1-9][0-9]*$ && "$timeout" =~ ^[1-9][0-9]*$ && "$seed" =~ ^[0-9]+$ ]] || usage
if [[ -n "$generated" ]]; then
    [[ "$generated" =~ ^[1-9][0-9]*$ ]] || usage
    mkdir -p "$work"
    list="$work/generated.txt"
    python3 "$root/scripts/generate_faults.py" "$root" "$generated" "$seed" \
        "$root/tests/mutation/equivalent.txt" >"$list"
fi
[[ -f "$list" ]] || { echo "no fault list at $list" >&2; exit 2; }
for word in "$@"; do
    [[ "$word" =~ ^[0-9]+(-[0-9]+)?$ || "$word" =~ ^[a-z][a-z0-9_/.]*$ ]] || usage
done

# The folder a path counts for in the table: the backends' folders apart, the rest by their top.
folder_of() {
    case "$1" in
    platform/posix/* | platform/fltk/* | platform/x11/* | platform/atspi/* | platform/win32/* | \
        platform/fake/*)
        dirname "$1"
        ;;
    */*) echo "${1%%/*}" ;;
    *) echo . ;;
    esac
}
# Replaces the one occurrence of the original text; exit 3 when it occurs not exactly once.
apply_fault() { # file original replacement
    ORIGINAL="$2" REPLACEMENT="$3" perl -0777 -i -pe '
        my $from = join "\n[ \t]*", map { quotemeta } split /\{nl\}/, $ENV{ORIGINAL}, -1;
        (my $to = $ENV{REPLACEMENT}) =~ s/\{nl\}/\n/g;
        my $found = () = /$from/g;
        if ($found != 1) { print STDERR "$found\n"; exit 3; }
        s/$from/$to/;' "$1"
}
# The unit tests that see a folder's code when the fault names none: the core's folders are seen
# by every test of the core, which all run the whole program on the fake desktop.
core_tests='^(scene_test|state_test|strip_test|slots_test|glyphs_test|keyboard_test|app_test)$'
default_tests() {
    case "$1" in
    assets) echo '^(assets_test|scene_test)$' ;;
    scene | state | strip | slots | glyphs | keyboard | app) echo "$core_tests" ;;
    platform) echo '^(held_buttons_test|x11_scale_test|app_test)$' ;;
    platform/posix) echo '^posix_services_test$' ;;
    platform/x11) echo '^(x11_scale_test|x11_properties_test)$' ;;
    platform/fltk) echo '^fltk_input_test$' ;;
    scripts) echo '^per_user_install$' ;;
    *) echo '^$' ;;
    esac
}
# The tests that judge a generated fault: every test program that links the folder's code, and
# the end-to-end tests on Xvfb without a window manager (those under real window managers take
# minutes each and run in scripts/test.sh).
suite_tests() {
    local core='scene_test|state_test|strip_test|slots_test|glyphs_test|keyboard_test|app_test'
    core+='|access_test'
    local fltk='fltk_input_test|lazy_math_test|fltk_desktop_test|fltk_window_manager_test'
    case "$1" in
    assets) echo "^($core|assets_test|draw_assets_reproduces_assets|soak_test|dravix_e2e)\$" ;;
    scene | state | strip | slots | glyphs | keyboard | access)
        echo "^($core|soak_test|dravix_e2e)\$"
        ;;
    app) echo "^($core|command_line_test|soak_test|dravix_e2e)\$" ;;
    platform) # its interfaces are those of every backend
        echo "^($core|held_buttons_test|tick_grid_test|posix_services_test|\
fake_system_contract_test|$fltk|x11_properties_test|x11_scale_test|command_line_test|soak_test|\
dravix_e2e)\$"
        ;;
    platform/posix) echo '^(posix_services_test|dravix_e2e)$' ;;
    platform/fltk) echo "^($fltk|dravix_e2e)\$" ;;
    platform/x11) echo "^(x11_properties_test|x11_scale_test|$fltk|dravix_e2e)\$" ;;
    platform/atspi) echo '^(session_bus_test|dravix_screen_reader_e2e)$' ;;
    *) echo '^$' ;;
    esac
}

# --- Read the list -----------------------------------------------------------------------------
# Fields kept per fault number: path, original, replacement, tests, equivalence reason.
declare -a f_path f_original f_replacement f_tests f_equivalent
count=0
while IFS= read -r line || [[ -n "$line" ]]; do
    [[ "$line" =~ ^[[:space:]]*(#|$) ]] && continue
    count=$((count + 1))
    fields=()
    rest="$line"
    while [[ "$rest" == *@@* ]]; do
        fields+=("${rest%%@@*}")
        rest="${rest#*@@}"
    done
    fields+=("$rest")
    for i in "${!fields[@]}"; do
        field="${fields[$i]}"
        field="${field#"${field%%[![:space:]]*}"}"
        fields[i]="${field%"${field##*[![:space:]]}"}"
    done
    if [[ ${#fields[@]} -lt 3 || -z "${fields[0]}" || -z "${fields[1]}" ]]; then
        echo "$list: fault $count has no path, original and replacement: $line" >&2
        exit 2
    fi
    f_path[count]="${fields[0]}"
    f_original[count]="${fields[1]}"
    f_replacement[count]="${fields[2]}"
    f_tests[count]=""
    f_equivalent[count]=""
    for field in "${fields[@]:3}"; do
        if [[ "$field" == equivalent:* ]]; then
            f_equivalent[count]="${field#equivalent:}"
        elif [[ -n "$field" ]]; then
            f_tests[count]="$field"
        fi
    done
    if [[ -n "$generated" ]]; then
        f_tests[count]="$(suite_tests "$(folder_of "${f_path[count]}")")"
    elif [[ -z "${f_tests[count]}" ]]; then
        f_tests[count]="$(default_tests "$(folder_of "${f_path[count]}")")"
    fi
done <"$list"

selected() {
    local number="$1" folder word
    folder="$(folder_of "${f_path[number]}")"
    for word in "${selection[@]}"; do
        if [[ "$word" =~ ^([0-9]+)-([0-9]+)$ ]]; then
            ((number >= BASH_REMATCH[1] && number <= BASH_REMATCH[2])) && return 0
        elif [[ "$word" =~ ^[0-9]+$ ]]; then
            ((number == word)) && return 0
        elif [[ "$folder" == "$word" || "$folder" == "$word"/* ]]; then
            return 0
        fi
    done
    return 1
}
selection=("$@")
chosen=()
for ((n = 1; n <= count; n++)); do
    if [[ ${#selection[@]} -eq 0 ]] || selected "$n"; then
        chosen+=("$n")
    fi
done
if [[ ${#chosen[@]} -eq 0 ]]; then
    echo "no fault matches: $*" >&2
    exit 2
fi

# --- The scratch copy and its build --------------------------------------------------------------
src="$work/src"
build="$work/build"
logs="$work/logs"
mkdir -p "$src" "$logs"
# Copies what differs, so that the build redoes only what changed since the last run (and puts
# back a file that an interrupted run left mutated).
(cd "$root" && git ls-files -co --exclude-standard -z) | while IFS= read -r -d '' file; do
    if [[ -f "$root/$file" ]] && ! cmp -s "$root/$file" "$src/$file"; then
        mkdir -p "$(dirname "$src/$file")"
        cp -p "$root/$file" "$src/$file"
        touch "$src/$file"
    fi
done
if [[ -n "$check_only" ]]; then
    stale_count=0
    for n in "${chosen[@]}"; do
        path="${f_path[n]}"
        if [[ ! -f "$src/$path" ]]; then
            found="no file"
        else
            cp "$src/$path" "$work/original"
            found="$(apply_fault "$work/original" "${f_original[n]}" "${f_replacement[n]}" 2>&1)" &&
                continue
            found="found ${found:-0} times"
        fi
        printf 'stale %3d %s: %s (%s)\n' "$n" "$path" "${f_original[n]}" "$found"
        stale_count=$((stale_count + 1))
    done
    echo "${#chosen[@]} faults, $stale_count stale"
    exit $((stale_count > 0))
fi
# Configured every run, so that test programs added since the last one are known.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
nice cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDRAVIX_TESTS=ON \
    -DDRAVIX_TOOLS=ON "${launcher[@]}" >"$work/configure.log" || { cat "$work/configure.log" >&2; exit 1; }
mapfile -t ninja_targets < <(ninja -C "$build" -t targets all | sed -n 's/^\([A-Za-z0-9_]*\): phony$/\1/p')

# The build targets of the tests a regex selects: a test program is named as its test.
targets_for() {
    local names name target
    mapfile -t names < <(ctest --test-dir "$build" -N -R "$1" | sed -n 's/^ *Test *#[0-9]*: //p')
    for name in "${names[@]}"; do
        case "$name" in
        per_user_install) printf '%s\n' dravix dravix_icons ;;
        draw_assets_reproduces_assets) echo draw_assets ;;
        *e2e*) printf '%s\n' dravix dravix_e2e ;;
        *)
            for target in "${ninja_targets[@]}"; do
                [[ "$target" == "$name" ]] && echo "$name"
            done
            ;;
        esac
    done | sort -u
}
run_tests() { # regex log [timeout]
    local targets
    mapfile -t targets < <(targets_for "$1")
    if [[ ${#targets[@]} -gt 0 ]] &&
        ! nice cmake --build "$build" -j "$jobs" --target "${targets[@]}" >>"$2" 2>&1; then
        return 2
    fi
    # A test's own TIMEOUT outranks --timeout, and a process a fault leaves running (a relay that
    # never ends) holds CTest's pipe open after the test: the outer limit ends either.
    local limit="${3:-$timeout}" status=0
    timeout -k 10 $((limit * 2)) nice ctest --test-dir "$build" -R "$1" -j "$jobs" \
        --timeout "$limit" --output-on-failure >>"$2" 2>&1 || status=1
    end_leftovers
    return "$status"
}
# Ends, by their ids, the processes of the scratch build that are still running.
end_leftovers() {
    local exe
    for exe in /proc/[0-9]*/exe; do
        if [[ "$(readlink "$exe" 2>/dev/null)" == "$build"/* ]]; then
            exe="${exe#/proc/}"
            kill -KILL "${exe%/exe}" 2>/dev/null || true
        fi
    done
}
# The end-to-end tests take most of a minute, so they run only when the faster tests all pass;
# these take seconds, so one that hangs on a fault is ended after half a minute (the whole run of
# them after a minute).
build_and_test() { # regex log
    local quick="${1//|dravix_e2e)/)}"
    if [[ "$quick" == "$1" ]]; then
        run_tests "$1" "$2"
        return
    fi
    run_tests "$quick" "$2" $((timeout < 30 ? timeout : 30)) || return
    run_tests '^dravix_e2e$' "$2"
}

# Every test the chosen faults use passes on the unmutated tree, or no figure means anything.
regexes=()
for n in "${chosen[@]}"; do
    [[ -n "${f_equivalent[n]}" ]] || regexes+=("${f_tests[n]}")
done
# By the tests' names: ctest's regular expressions take no more than nine groups, so the faults'
# own regexes joined would match nothing, and a baseline of no tests passes.
baseline="$(for regex in "${regexes[@]}"; do
    ctest --test-dir "$build" -N -R "$regex" | sed -n 's/^ *Test *#[0-9]*: //p'
done | sort -u | paste -sd'|')"
baseline="^(${baseline})\$"
echo "baseline: $baseline"
: >"$logs/baseline"
if ! build_and_test "$baseline" "$logs/baseline"; then
    [[ -s "$logs/baseline" ]] && tail -n 30 "$logs/baseline" >&2
    echo "the unmutated tree fails its tests: see $logs/baseline" >&2
    exit 1
fi

# --- The table -----------------------------------------------------------------------------------
rate() { # killed survived
    if [[ $(($1 + $2)) -eq 0 ]]; then echo "-"; else echo "$((100 * $1 / ($1 + $2))) %"; fi
}
# Prints the figures by folder and overall; fails below 90 % anywhere, or when the list no longer
# fits the code. A generated fault that does not compile is only named.
report() {
    local folder k s total_k=0 total_s=0 total_e=0 total_st=0 total_u=0 below=0 label
    echo
    printf '%-16s %7s %9s %11s %6s %8s %7s\n' folder killed survived equivalent stale unbuilt rate
    for folder in $(printf '%s\n' "${!killed[@]}" | sort); do
        k=${killed[$folder]} s=${survived[$folder]}
        printf '%-16s %7d %9d %11d %6d %8d %7s\n' "$folder" "$k" "$s" "${equivalent[$folder]}" \
            "${stale[$folder]}" "${unbuilt[$folder]}" "$(rate "$k" "$s")"
        total_k=$((total_k + k)) total_s=$((total_s + s)) total_e=$((total_e + equivalent[$folder]))
        total_st=$((total_st + stale[$folder])) total_u=$((total_u + unbuilt[$folder]))
        ((k + s == 0 || 10 * k >= 9 * (k + s))) || below=1
    done
    printf '%-16s %7d %9d %11d %6d %8d %7s\n' overall "$total_k" "$total_s" "$total_e" "$total_st" \
        "$total_u" "$(rate "$total_k" "$total_s")"
    echo "$(( (SECONDS - started) / 60 )) min $(( (SECONDS - started) % 60 )) s for $judged of ${#chosen[@]} faults"
    for label in "${survivors[@]}"; do echo "survived: $label"; done
    for label in "${stales[@]}"; do echo "stale: $label"; done
    for label in "${unbuilts[@]}"; do echo "breaks the build: $label"; done
    ((below == 0 && ${#stales[@]} == 0)) && [[ ${#unbuilts[@]} -eq 0 || -n "$generated" ]]
}

# --- The faults ----------------------------------------------------------------------------------

current=""
restore() {
    if [[ -n "$current" ]]; then
        cp "$work/original" "$src/$current"
        current=""
    fi
}
trap restore EXIT
# An interrupted run still prints the figures of the faults it judged.
trap 'restore; report; exit 130' INT TERM

declare -A killed survived equivalent stale unbuilt
survivors=()
stales=()
unbuilts=()
started=$SECONDS
judged=0
for n in "${chosen[@]}"; do
    path="${f_path[n]}"
    folder="$(folder_of "$path")"
    log="$logs/$n"
    : "${killed[$folder]:=0}" "${survived[$folder]:=0}" "${equivalent[$folder]:=0}"
    : "${stale[$folder]:=0}" "${unbuilt[$folder]:=0}"
    label="$(printf '%3d %s: %s' "$n" "$path" "${f_original[n]}")"
    printf '%s\n-> %s\ntests %s\n' "${f_original[n]}" "${f_replacement[n]}" "${f_tests[n]}" >"$log"
    if [[ ! -f "$src/$path" ]]; then
        result=stale
    else
        cp "$src/$path" "$work/original"
        current="$path"
        if ! found="$(apply_fault "$src/$path" "${f_original[n]}" "${f_replacement[n]}" 2>&1)"; then
            restore
            result=stale
            label="$label (found ${found:-0} times)"
        elif [[ -n "${f_equivalent[n]}" ]]; then
            result=equivalent
        else
            status=0
            build_and_test "${f_tests[n]}" "$log" || status=$?
            case "$status" in
            0) result=survived ;;
            1) result=killed ;;
            *) result=unbuilt ;;
            esac
        fi
        restore
    fi
    case "$result" in
    killed) killed[$folder]=$((killed[$folder] + 1)) ;;
    survived) survived[$folder]=$((survived[$folder] + 1)); survivors+=("$label") ;;
    equivalent) equivalent[$folder]=$((equivalent[$folder] + 1)) ;;
    stale) stale[$folder]=$((stale[$folder] + 1)); stales+=("$label") ;;
    unbuilt) unbuilt[$folder]=$((unbuilt[$folder] + 1)); unbuilts+=("$label") ;;
    esac
    judged=$((judged + 1))
    printf '%-10s %s\n' "$result" "$label"
done
# The last fault's file is put back; its objects are rebuilt by the next run's first build.
report
