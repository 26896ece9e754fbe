#!/usr/bin/env bash
# Runs the end-to-end tests with every start of the real binary under valgrind's memcheck, and
# fails if memcheck reports any error or a test fails. Usage: scripts/e2e-under-valgrind.sh
# [build folder]. Each run's log goes to <build folder>/memcheck-logs/; the logs that report
# errors are kept there, the others removed.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
[[ "$build" == /* ]] || build="$PWD/$build"

logs="$build/memcheck-logs"
rm -rf "$logs"
mkdir -p "$logs"

e2e_status=0
DRAVIX_E2E_WRAPPER="valgrind --tool=memcheck --error-exitcode=97 --log-file=$logs/memcheck-%p.log" \
    xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    "$build/tests/e2e/dravix_e2e" --dravix-binary="$build/dravix" || e2e_status=$?

# Forked launch helpers leave logs without a summary; every run of dravix itself has one.
shopt -s nullglob
clean=()
reported=()
for log in "$logs"/memcheck-*.log; do
    if grep -q "ERROR SUMMARY: [1-9]" "$log"; then
        reported+=("$log")
    elif grep -q "ERROR SUMMARY: 0 errors" "$log"; then
        clean+=("$log")
    else
        rm -f "$log"
    fi
done
rm -f "${clean[@]}"
checked=$((${#clean[@]} + ${#reported[@]}))

if [[ ${#reported[@]} -gt 0 ]]; then
    for log in "${reported[@]}"; do
        grep -h -B2 -A20 "^==[0-9]*== [A-Z][a-z]* .*\(read\|write\|uninitialised\|free\)" \
            "$log" >&2 || true
    done
    echo "memcheck reported errors in ${#reported[@]} of $checked runs of dravix:" >&2
    for log in "${reported[@]}"; do
        echo "  $log: $(grep -h -o "ERROR SUMMARY: .*" "$log" | tail -n 1)" >&2
    done
    exit 1
fi
rmdir "$logs"
if [[ $e2e_status -ne 0 ]]; then
    echo "memcheck: the end-to-end tests failed (exit $e2e_status), with no memcheck error in" \
        "$checked runs of dravix" >&2
    exit 1
fi
if [[ $checked -eq 0 ]]; then
    echo "memcheck checked no run of dravix" >&2
    exit 1
fi
echo "memcheck: $checked runs of dravix, no errors"
