#!/usr/bin/env bash
# Sets up, builds and starts the Monitor on the default per-user store.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DQPM_BUILD_TESTS=OFF -DQPM_BUILD_BENCHMARKS=OFF
cmake --build build/release --target quorvel-monitor quorvel-monitorctl
exec ./build/release/src/frontend/qt/quorvel-monitor "$@"
