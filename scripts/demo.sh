#!/usr/bin/env bash
# The project's main job: install what is missing, build the four libraries
# and qvhost, check the libraries, and run the demo patch. The demo's WAV and
# PNG files land in build/native/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native -j"$(nproc)" --target qvhost uplink downlink guikit adsr
libs=(build/native/uplink.qvm build/native/downlink.qvm build/native/guikit.qvm build/native/adsr.qvm)
./build/native/qvhost info "${libs[@]}" | grep -E '^[^ ]|modules$'
./build/native/qvhost validate "${libs[@]}" | tail -n 1
./build/native/qvhost demo --out build/native/demo
