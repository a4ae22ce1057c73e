#!/usr/bin/env bash
# The project's main job: install, build, and run the demo.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native -j"$(nproc)"
./build/native/qvhost info build/native/uplink.qvm build/native/downlink.qvm build/native/guikit.qvm build/native/adsr.qvm
