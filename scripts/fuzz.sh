#!/usr/bin/env bash
# Builds the libFuzzer targets with clang++, AddressSanitizer and UndefinedBehaviorSanitizer in
# build-fuzz/ and runs each for a while.
#
#   scripts/fuzz.sh [seconds per target, default 5] [target ...]
#
# Each target works on build-fuzz/fuzz-corpus/<target>, which is kept between runs so longer
# runs build on earlier ones; the committed seeds in tests/fuzz/corpus/ are read, never written.
# A crashing input is kept in build-fuzz/fuzz-artifacts/, the full output in build-fuzz/fuzz-logs/.
# Needs the Debian packages clang and libclang-rt-14-dev besides the project's own.
# FUZZ_FLAGS adds libFuzzer options, for instance FUZZ_FLAGS="-seed=1" for a repeatable run.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source_dir="${DRAVIX_FUZZ_SOURCE:-$root}"
build="${DRAVIX_FUZZ_BUILD:-$root/build-fuzz}"
seconds="${1:-5}"
shift || true

if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    echo "usage: $0 [seconds per target] [target ...]" >&2
    exit 2
fi
if ! command -v clang++ >/dev/null; then
    echo "clang++ not found: apt-get install clang libclang-rt-14-dev" >&2
    exit 2
fi

cmake -S "$source_dir" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DDRAVIX_SANITIZE=ON -DDRAVIX_FUZZ=ON >/dev/null
cmake --build "$build" --target dravix_fuzz_targets -j "$(nproc)"

# Lines of "name executable committed-corpus", written by tests/fuzz/CMakeLists.txt.
list="$build/fuzz_targets.txt"
if [ ! -s "$list" ]; then
    echo "$list is missing: is tests/fuzz part of the build?" >&2
    exit 2
fi

mkdir -p "$build/fuzz-corpus" "$build/fuzz-artifacts" "$build/fuzz-logs"
failed=()
ran=0
while read -r name executable seeds; do
    if [ $# -gt 0 ] && [[ " $* " != *" $name "* ]]; then
        continue
    fi
    ran=$((ran + 1))
    work="$build/fuzz-corpus/$name"
    log="$build/fuzz-logs/$name.log"
    mkdir -p "$work"
    status=0
    # shellcheck disable=SC2086 # FUZZ_FLAGS is a list of options
    "$executable" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$build/fuzz-artifacts/$name-" ${FUZZ_FLAGS:-} "$work" "$seeds" \
        >"$log" 2>&1 || status=$?
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
    took="$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log")"
    inputs="$(find "$work" -type f | wc -l)"
    if [ "$status" -eq 0 ] && [ -n "$took" ]; then
        printf '%-18s ok      %10s runs in %4s s, %6s inputs in its corpus\n' \
            "$name" "$runs" "$took" "$inputs"
    else
        printf '%-18s FAILED  exit %s after %s runs, see %s\n' "$name" "$status" "${runs:-?}" "$log"
        grep -E '^(==[0-9]+==ERROR|SUMMARY|.*property broken|artifact_prefix|Test unit written)' \
            "$log" | head -n 8 | sed 's/^/    /'
        failed+=("$name")
    fi
done <"$list"

if [ "$ran" -eq 0 ]; then
    echo "no target matches: $*" >&2
    exit 2
fi
if [ ${#failed[@]} -gt 0 ]; then
    echo "failed: ${failed[*]}" >&2
    exit 1
fi
