#!/usr/bin/env bash
# Installs, builds and runs every test: native, sanitizers, the Windows
# cross-build with its export and import checks and its tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
jobs=$(nproc)

echo "== native"
cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs"
ctest --preset native -j"$jobs"

echo "== sanitizers"
cmake --preset asan >/dev/null
cmake --build --preset asan -j"$jobs"
ctest --preset asan -j"$jobs"

echo "== fuzzing (bounded, from the seed corpus)"
./scripts/fuzz.sh

echo "== windows"
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$jobs"
tests/check_exports.sh windows build/windows release
scripts/wine-tests.sh build/windows
