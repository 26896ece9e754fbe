#!/usr/bin/env bash
# Runs the end-to-end tests with every start of the real binary under valgrind's memcheck, and
# fails if memcheck reports any error. Usage: scripts/e2e-under-valgrind.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"

logs="$(mktemp -d)"
trap 'rm -rf "$logs"' EXIT

DRAVIX_E2E_WRAPPER="valgrind --tool=memcheck --error-exitcode=97 --log-file=$logs/memcheck-%p.log" \
    xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    "$build/tests/e2e/dravix_e2e" --dravix-binary="$PWD/$build/dravix"

# Forked launch helpers leave logs without a summary; every run of dravix itself has one.
checked=$(grep -l "ERROR SUMMARY: 0 errors" "$logs"/*.log | wc -l)
if grep -l "ERROR SUMMARY: [1-9]" "$logs"/*.log >/dev/null 2>&1; then
    grep -h -B2 -A20 "ERROR SUMMARY: [1-9]\|^==[0-9]*== [A-Z][a-z]* .*\(read\|write\|uninitialised\|free\)" \
        "$logs"/*.log >&2 || true
    echo "memcheck reported errors" >&2
    exit 1
fi
if [[ $checked -eq 0 ]]; then
    echo "memcheck checked no run of dravix" >&2
    exit 1
fi
echo "memcheck: $checked runs of dravix, no errors"
