#!/usr/bin/env bash
# Renders the pictures of docs/images with qvhost from a built tree:
#   scripts/gen-doc-images.sh [BUILD_DIR]      (default: build/native)
# The build needs qvhost, adsr.qvm, guikit.qvm and the example's slew.qvm
# (configure with -DOVRA_BUILD_TESTS=ON, as the native preset does).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
b=${1:-$root/build/native}
q=$b/qvhost
out=$root/docs/images
for f in "$q" "$b/adsr.qvm" "$b/guikit.qvm" "$b/slew.qvm"; do
  [ -e "$f" ] || { echo "gen-doc-images: $f is missing; build first (cmake --build --preset native)" >&2; exit 1; }
done
mkdir -p "$out"

# The envelope with one shape for all three moving segments: gate on at
# 0.1 s, off at 0.6 s; attack 0.25 s, decay and release 0.125 s each.
for shape in -1.0 -0.2 0.0 0.2 1.0; do
  "$q" render "$b/adsr.qvm" "QV ADSR4" \
    --set AttackTime=0.6 --set DecayTime=0.6 --set ReleaseTime=0.6 --set SustainLevel=0.5 \
    --set AttackShape=$shape --set DecayShape=$shape --set ReleaseShape=$shape \
    --set Gate=true@0.1 --set Trigger=true@0.1 --set Gate=false@0.6 \
    --seconds 0.9 --plot "$out/adsr-shape-${shape/-/minus}.png" >/dev/null
done

# Three shapes side by side in one plot: decelerating (1.0), nearly straight
# (0.0) and accelerating (-1.0), from one patch of three envelopes.
patch=$(mktemp -d)
trap 'rm -rf "$patch"' EXIT
{
  echo '{"title": "QV ADSR4: AttackTime, DecayTime, ReleaseTime 0.6 (0.25 s per full swing), SustainLevel 0.5",'
  echo ' "seconds": 0.9, "modules": {'
  sep=""
  for shape in 1.0 0.0 -1.0; do
    name=shape${shape/-/minus}; name=${name/./_}
    echo "$sep \"$name\": {\"library\": \"adsr\", \"id\": \"QV ADSR4\", \"set\": {\"AttackTime\": 0.6, \"DecayTime\": 0.6,"
    echo "   \"ReleaseTime\": 0.6, \"SustainLevel\": 0.5, \"AttackShape\": $shape, \"DecayShape\": $shape, \"ReleaseShape\": $shape}}"
    sep=","
  done
  echo ' }, "timeline": ['
  sep=""
  for name in shape1_0 shape0_0 shapeminus1_0; do
    echo "$sep {\"at\": 0.1, \"set\": \"$name.Gate\", \"value\": true}, {\"at\": 0.1, \"set\": \"$name.Trigger\", \"value\": true},"
    echo "  {\"at\": 0.6, \"set\": \"$name.Gate\", \"value\": false}"
    sep=","
  done
  echo ' ], "record": [{"signals": ["shape1_0.EnvelopeOut", "shape0_0.EnvelopeOut", "shapeminus1_0.EnvelopeOut"],'
  echo '   "plot": "adsr-three-shapes.png"}]}'
} >"$patch/three-shapes.json"
"$q" run "$patch/three-shapes.json" --plugins "$b" --out "$out" -q >/dev/null

# The meters and the hatch fill, each at its own size.
"$q" paint "$b/guikit.qvm" WB-Meter-Float-SDK3 --set Value=3.14159 --set Decimals=3 -o "$out/meter-float.png" >/dev/null
"$q" paint "$b/guikit.qvm" WB-Meter-Int-SDK3 --set Value=-42 -o "$out/meter-int.png" >/dev/null
"$q" paint "$b/guikit.qvm" WB-Meter-Bool-SDK3 --set Value=true -o "$out/meter-bool.png" >/dev/null
"$q" paint "$b/guikit.qvm" WB-Hatches-SDK3 -o "$out/hatches.png" >/dev/null

# The example library: the slew limiter following a stepped signal, and the
# level bar.
"$q" render "$b/slew.qvm" EX-Slew --set Time=0.25 --set Signal=1@0.1 --set Signal=-0.5@0.5 \
  --seconds 1 --plot "$out/slew.png" >/dev/null
"$q" paint "$b/slew.qvm" EX-LevelBar --set Value=0.6 -o "$out/level-bar.png" >/dev/null

echo "wrote $(ls "$out" | wc -l) pictures to ${out#$root/}"
