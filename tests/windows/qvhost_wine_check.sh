#!/usr/bin/env bash
# qvhost.exe as a user runs it, under Wine, on the Windows libraries:
#   qvhost_wine_check.sh commands WINDOWS_BUILD
#       info, render, paint, run and demo succeed and write their files;
#   qvhost_wine_check.sh validate WINDOWS_BUILD
#       qvhost.exe validate passes the four libraries and examples/slew at the
#       default strictness (nothing FAILED or CRASHED);
#   qvhost_wine_check.sh renders WINDOWS_BUILD NATIVE_BUILD
#       "QV ADSR4" rendered by qvhost on Linux and by qvhost.exe under Wine
#       gives byte-identical WAV files for a fixed set of scenarios, and the
#       Linux qvhost names a Windows library as such.
# Runs in the Wine prefix of scripts/wine-tests.sh (WINEPREFIX) when set.
set -euo pipefail
mode=$1
win=$(cd "$2" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
wine=${OVRA_WINE:-/usr/lib/wine/wine64}
export WINEPREFIX=${WINEPREFIX:-$win/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

winpath() { printf 'Z:%s' "${1//\//\\}"; }
# Runs qvhost.exe; the command and what it said are shown when it fails.
qvexe() {
  if ! "$wine" "$win/qvhost.exe" "$@" >"$scratch/out" 2>"$scratch/err"; then
    echo "FAILED: qvhost.exe $*" >&2
    cat "$scratch/out" "$scratch/err" >&2
    exit 1
  fi
}
need() { [ -s "$1" ] || { echo "FAILED: $2 wrote no $1" >&2; exit 1; }; }

if [ "$mode" = commands ]; then
  for lib in uplink downlink guikit adsr; do
    qvexe info "$(winpath "$win/$lib.qvm")"
    grep -q "framework 30800" "$scratch/out" || { echo "FAILED: info $lib: $(cat "$scratch/out")" >&2; exit 1; }
  done
  qvexe render "$(winpath "$win/adsr.qvm")" "QV ADSR4" --set Gate=1@0.1 --set Gate=0@0.6 \
    -o "$(winpath "$scratch/adsr.wav")" --plot "$(winpath "$scratch/adsr.png")"
  need "$scratch/adsr.wav" render
  need "$scratch/adsr.png" render
  qvexe paint "$(winpath "$win/guikit.qvm")" WB-Meter-Float-SDK3 --set Value=0.25 -o "$(winpath "$scratch/meter.png")"
  need "$scratch/meter.png" paint
  qvexe run "$(winpath "$root/examples/demo.json")" --plugins "$(winpath "$win")" --out "$(winpath "$scratch/run")" -q
  need "$scratch/run/envelope.wav" run
  qvexe demo --out "$(winpath "$scratch/demo")" -q
  need "$scratch/demo/envelope.wav" demo
  cmp -s "$scratch/run/envelope.wav" "$scratch/demo/envelope.wav" ||
    { echo "FAILED: run examples/demo.json and demo wrote different envelopes" >&2; exit 1; }
  echo "qvhost.exe: info, render, paint, run and demo passed"
  exit 0
fi

if [ "$mode" = validate ]; then
  slew=$(find "$win" -name slew.qvm -not -path '*/wineprefix/*' | head -n 1)
  [ -n "$slew" ] || { echo "FAILED: no slew.qvm in $win" >&2; exit 1; }
  libs=()
  for lib in uplink downlink guikit adsr; do libs+=("$(winpath "$win/$lib.qvm")"); done
  libs+=("$(winpath "$slew")")
  qvexe validate "${libs[@]}"
  tail -n 1 "$scratch/out"
  exit 0
fi

[ "$mode" = renders ] || { echo "usage: $0 commands|validate|renders WINDOWS_BUILD [NATIVE_BUILD]" >&2; exit 2; }
native=${3:-}
if [ -z "$native" ] || [ ! -x "$native/qvhost" ]; then
  echo "SKIPPED: no native qvhost in '${native}' (build the native preset first)"
  exit 77
fi

# Linux without qvhost.exe names the Windows library and what is missing.
if OVRA_QVHOST_EXE="$scratch/none.exe" "$native/qvhost" info "$win/adsr.qvm" >/dev/null 2>"$scratch/err"; then
  echo "FAILED: the Linux qvhost loaded a Windows library" >&2; exit 1
fi
grep -q "^qvhost: $win/adsr.qvm is a Windows library; qvhost runs it with qvhost.exe under Wine" \
  "$scratch/err" || { echo "FAILED: the Linux qvhost said: $(cat "$scratch/err")" >&2; exit 1; }

# Shapes from strongly negative to strongly positive, short and long
# segments, retriggers, other rates and block sizes.
scenarios=(
  "--set Gate=1@0.1 --set Gate=0@0.6"
  "--set AttackTime=0.1 --set DecayTime=0.2 --set SustainLevel=0.3 --set AttackShape=0.9 --set DecayShape=-0.5 --set ReleaseShape=0.7 --set Gate=1@0.01 --set Gate=0@0.3"
  "--set AttackTime=0.05 --set AttackShape=-0.9 --set DecayShape=0.9 --set ReleaseShape=-0.9 --set SustainLevel=0.8 --set Gate=1@0 --set Gate=0@0.2 --set Gate=1@0.25 --set Gate=0@0.7"
  "--set AttackTime=0.8 --set DecayTime=0.9 --set ReleaseTime=0.9 --set AttackShape=0 --set DecayShape=0 --set ReleaseShape=0 --set Gate=1@0.05 --set Gate=0@1.2 --seconds 2"
  "--set Trigger=1@0.1 --set Trigger=0@0.11 --set Trigger=1@0.4 --set Trigger=0@0.41 --set Gate=1@0.1 --set Gate=0@0.8 --rate 44100 --block 17"
  "--set AttackTime=0.3 --set AttackShape=0.5@0.05 --set ReleaseShape=-0.3@0.4 --set SustainLevel=0@0.2 --set Gate=1@0.02 --set Gate=0@0.5 --rate 96000 --block 256"
)
# And scenarios drawn from a fixed sequence: shapes over their whole range,
# times and levels anywhere, different every scenario, the same every run.
seed=20261209
draw() {  # draw NAME LOW HIGH: NAME becomes a number with three decimals in [LOW, HIGH]
  seed=$(( (seed * 1103515245 + 12345) % 2147483648 ))
  local milli=$(( ($3 - $2) * seed / 2147483647 + $2 ))
  local sign=""
  [ "$milli" -lt 0 ] && { sign=-; milli=$(( -milli )); }
  printf -v "$1" '%s%d.%03d' "$sign" $(( milli / 1000 )) $(( milli % 1000 ))
}
# Bounds in thousandths.
for _ in $(seq 24); do
  draw at 10 1000; draw dt 10 1000; draw rt 10 1000; draw sl 0 1000
  draw as -990 990; draw ds -990 990; draw rs -990 990; draw on 0 300; draw off 350 1200
  scenarios+=("--set AttackTime=$at --set DecayTime=$dt --set ReleaseTime=$rt --set SustainLevel=$sl --set AttackShape=$as --set DecayShape=$ds --set ReleaseShape=$rs --set Gate=1@$on --set Gate=0@$off --seconds 1.5")
done
differ=0
same=0
for i in "${!scenarios[@]}"; do
  read -r -a args <<<"${scenarios[$i]}"
  "$native/qvhost" render "$native/adsr.qvm" "QV ADSR4" "${args[@]}" -o "$scratch/linux-$i.wav" >/dev/null
  qvexe render "$(winpath "$win/adsr.qvm")" "QV ADSR4" "${args[@]}" -o "$(winpath "$scratch/windows-$i.wav")"
  if cmp -s "$scratch/linux-$i.wav" "$scratch/windows-$i.wav"; then
    same=$((same + 1))
  else
    echo "DIFFERENT: scenario $i (${scenarios[$i]}): $(cmp -l "$scratch/linux-$i.wav" "$scratch/windows-$i.wav" | wc -l) bytes differ" >&2
    differ=1
  fi
done
echo "qvhost and qvhost.exe: $same of ${#scenarios[@]} \"QV ADSR4\" renders byte-identical"
exit $differ
