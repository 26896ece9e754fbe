#!/usr/bin/env bash
# Installs what is missing, builds everything in build/ and runs every test: the unit tests and
# the end-to-end tests, which start their own Xvfb. Exits non-zero if anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure --no-tests=error -j2
