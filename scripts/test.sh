#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test three ways:
#   1. a release build in build/, with the picture generator and the benchmarks: unit tests, the
#      layering check, the randomized soak and the end-to-end tests, which start their own Xvfb;
#   2. the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer in
#      build-sanitize/, together with a few seconds of each fuzz target;
#   3. the end-to-end tests once more with the real binary under valgrind's memcheck;
#   4. the Windows build, cross-compiled with MinGW-w64 in build-win/: dravix.exe and the tests
#      as Windows programs, all run under Wine on a private Xvfb (a fresh Wine prefix first, then
#      the core's unit tests and soak, the Win32 backend's tests and the end-to-end tests).
# Exits non-zero if anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="$(nproc)"

scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DDRAVIX_TOOLS=ON -DDRAVIX_BENCH=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure --no-tests=error -j2

cmake -S . -B build-sanitize -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DDRAVIX_SANITIZE=ON -DDRAVIX_FUZZ=ON
cmake --build build-sanitize -j"$jobs"
LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
    ctest --test-dir build-sanitize --output-on-failure --no-tests=error -j2

scripts/e2e-under-valgrind.sh build

cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release
cmake --build build-win -j"$jobs"
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    ctest --test-dir build-win --output-on-failure --no-tests=error -j2
echo "stages: 4 passed, 0 failed"
