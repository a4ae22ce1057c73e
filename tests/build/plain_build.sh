#!/usr/bin/env bash
# A plain configuration on a machine with only a compiler and CMake (the
# optional packages hidden from CMake): the four libraries are built, the
# parts whose dependencies are missing are left out with one line naming
# the Debian package, and asking for such a part fails with that line.
#   plain_build.sh SOURCE_DIR SCRATCH_DIR [--build]
set -euo pipefail
src=$1
scratch=$2
rm -rf "$scratch"
mkdir -p "$scratch"
hidden=(-DCMAKE_DISABLE_FIND_PACKAGE_CLI11=ON -DCMAKE_DISABLE_FIND_PACKAGE_nlohmann_json=ON
        -DCMAKE_DISABLE_FIND_PACKAGE_PkgConfig=ON -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON
        -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON)
fail() { echo "FAILED: $*" >&2; exit 1; }

cmake -S "$src" -B "$scratch/plain" "${hidden[@]}" -DOVRA_BUILD_BENCH=AUTO >"$scratch/plain.log" 2>&1 ||
  { cat "$scratch/plain.log" >&2; fail "the plain configuration failed"; }
for line in \
  "qvhost left out: CLI11 (Debian package libcli11-dev), nlohmann-json (Debian package nlohmann-json3-dev), pkg-config (Debian package pkg-config), libsndfile (Debian package libsndfile1-dev) not found" \
  "The tests left out: GoogleTest (Debian package libgtest-dev) not found" \
  "The benchmarks left out: Google Benchmark (Debian package libbenchmark-dev) not found"; do
  grep -qxF -- "-- $line" "$scratch/plain.log" || { cat "$scratch/plain.log" >&2; fail "no line: $line"; }
done
targets=$(cmake --build "$scratch/plain" --target help)
for lib in uplink downlink guikit adsr; do
  grep -q "\b$lib\b" <<<"$targets" || fail "the plain build has no target $lib"
done
if grep -q "qvhost" <<<"$targets"; then fail "the plain build still has qvhost"; fi

# Asked for explicitly, a part with missing dependencies stops the configuration.
for part in TOOLS TESTS; do
  if cmake -S "$src" -B "$scratch/asked-$part" "${hidden[@]}" -DOVRA_BUILD_$part=ON >"$scratch/asked.log" 2>&1; then
    fail "OVRA_BUILD_$part=ON configured without its dependencies"
  fi
  grep -q "cannot be built: .*(Debian package " "$scratch/asked.log" ||
    { cat "$scratch/asked.log" >&2; fail "OVRA_BUILD_$part=ON failed without naming the package"; }
done

if [ "${3:-}" = --build ]; then
  cmake --build "$scratch/plain" -j"${OVRA_JOBS:-2}" >"$scratch/build.log" 2>&1 ||
    { tail -40 "$scratch/build.log" >&2; fail "the plain build failed"; }
  for lib in uplink downlink guikit adsr; do
    [ -f "$scratch/plain/$lib.qvm" ] || fail "the plain build wrote no $lib.qvm"
  done
fi
rm -rf "$scratch"
echo "plain build: the four libraries, qvhost, tests and benchmarks left out with their packages named"
