#!/usr/bin/env bash
# Sets up, builds from nothing (AddressSanitizer and UndefinedBehaviorSanitizer on) and runs
# every test, the end-to-end ones included. Extra arguments go to ctest (e.g. -L unit).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQPM_SANITIZE=ON \
  -DQPM_BUILD_BENCHMARKS=OFF
cmake --build build/test
cd build/test
ctest --output-on-failure --timeout 600 -j2 "$@"
