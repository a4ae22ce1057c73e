#!/usr/bin/env bash
# Installs, builds and runs every test: native, sanitizers, the Windows
# cross-build with its export and import checks and its tests under Wine
# (qvhost.exe included), and the release packages.
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
# Under Wine: the test programs, qvhost.exe's commands and its renders
# against the native qvhost's, byte for byte.
scripts/wine-tests.sh build/windows

echo "== packages"
version=$(sed -n 's/^project(ovra VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
cmake --build --preset native --target package -j"$jobs" >/dev/null
cmake --build --preset windows --target package -j"$jobs" >/dev/null
scripts/check-package.sh "build/native/ovra-$version-linux-x86_64.tar.gz"
scripts/check-package.sh "build/windows/ovra-$version-win64.zip"
