#!/usr/bin/env bash
# Installs what is missing, builds Dravix in build/ and starts it. Dravix keeps its slots and its
# position beside the program, so they live in build/dravix.dat and build/dravix.ini.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build --target dravix -j"$(nproc)"
exec build/dravix
