#!/usr/bin/env bash
# Installs what is missing (scripts/install-deps.sh run test windows), then builds and runs every
# test in four stages:
#   1. a release build in build/, with the picture generator and the benchmarks: unit tests, the
#      layering check, the randomized soak, the end-to-end tests, which start their own Xvfb, the
#      per-user install and the Debian package, made with CPack and run unpacked;
#   2. the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer in
#      build-sanitize/, together with a few seconds of each fuzz target;
#   3. the end-to-end tests once more with the real binary under valgrind's memcheck;
#   4. the Windows build, cross-compiled with MinGW-w64 in build-win/: dravix.exe and the tests
#      as Windows programs, all run under Wine on a private Xvfb (a fresh Wine prefix first, then
#      the core's unit tests and soak, the Win32 backend's tests and the end-to-end tests), and
#      the release archive, made with CPack.
# Stops at the first failure, names the stage that failed and exits non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="$(nproc)"

stage="set-up (the packages)"
report() {
    local status=$?
    if [[ -n "$stage" ]]; then
        echo "test: $stage failed (exit $status); the stages after it did not run" >&2
    fi
}
trap report EXIT

scripts/install-deps.sh run test windows

stage="stage 1 of 4 (release build, unit, soak and end-to-end tests)"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DDRAVIX_TESTS=ON -DDRAVIX_TOOLS=ON \
    -DDRAVIX_BENCH=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure --no-tests=error -j2

stage="stage 2 of 4 (sanitizers and fuzz targets)"
cmake -S . -B build-sanitize -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DDRAVIX_SANITIZE=ON -DDRAVIX_FUZZ=ON
cmake --build build-sanitize -j"$jobs"
LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
    ctest --test-dir build-sanitize --output-on-failure --no-tests=error -j2

stage="stage 3 of 4 (end-to-end tests under valgrind)"
scripts/e2e-under-valgrind.sh build

stage="stage 4 of 4 (Windows build under Wine)"
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DDRAVIX_TESTS=ON
cmake --build build-win -j"$jobs"
# Wine now and then fails to start a program at all (no output, ended within milliseconds, as
# when its server is between two programs); a test that fails is run once more, and only a
# second failure fails the stage.
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    ctest --test-dir build-win --output-on-failure --no-tests=error -j2 --repeat until-pass:2
stage=""
echo "test: all 4 stages passed"
