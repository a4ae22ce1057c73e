#!/usr/bin/env bash
# Runs the Windows test build under Wine, inside a virtual X display, with a
# fresh Wine prefix under the build tree.
#   wine-tests.sh [BUILD_DIR] [CTEST_ARGS...]     (default build/windows)
# Fails when any test fails, when a test runs past its time limit, or when
# the whole run takes longer than OVRA_WINE_TIMEOUT seconds (default 1200).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
wine=${OVRA_WINE:-/usr/lib/wine/wine64}
wineserver=$(dirname "$wine")/wineserver

if [ -z "${OVRA_WINE_DISPLAY:-}" ]; then
  build=$(cd "${1:-$root/build/windows}" && pwd)
  shift || true
  for tool in "$wine" "$wineserver"; do
    [ -x "$tool" ] || { echo "wine-tests: $tool is missing (run scripts/setup.sh)" >&2; exit 2; }
  done
  command -v xvfb-run >/dev/null || { echo "wine-tests: xvfb-run is missing (run scripts/setup.sh)" >&2; exit 2; }
  [ -f "$build/CTestTestfile.cmake" ] || { echo "wine-tests: $build is not a configured build with tests" >&2; exit 2; }
  export OVRA_WINE_DISPLAY=1
  limit=${OVRA_WINE_TIMEOUT:-1200}
  status=0
  # A 24-bit screen: windows then draw like on a desktop.
  timeout --kill-after=20 "$limit" xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build" "$@" || status=$?
  [ "$status" -eq 124 ] && echo "wine-tests: stopped after $limit s" >&2
  exit "$status"
fi

# Inside the virtual display from here on.
build=$1
shift
export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES=mscoree,mshtml=

# A Wine left over from an earlier run must not hold on to the old prefix.
"$wineserver" -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
trap '"$wineserver" -k 2>/dev/null || true' EXIT

start=$SECONDS
timeout 180 "$wine" wineboot --init >/dev/null 2>&1 ||
  { echo "wine-tests: creating the Wine prefix failed" >&2; exit 1; }
reg() { timeout 60 "$wine" reg add "$@" /f >/dev/null; }
# Modules draw with "Arial"; Wine finds the system's Liberation fonts through
# fontconfig, and Liberation Sans has Arial's metrics.
reg 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ /d 'Liberation Sans'
# Windows live on a virtual Wine desktop: without a window manager on the X
# display, Wine would wait for one on every top-level window it hides.
reg 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default
reg 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1024x768
# A crashing program reports on the console and exits; no dialog waits.
reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
# The desktop settings take effect when Wine starts anew; the desktop process
# then keeps one Wine server alive for all test programs, so that each starts
# quickly.
"$wineserver" -k 2>/dev/null || true
"$wineserver" -w
timeout 60 "$wine" wineboot >/dev/null 2>&1 || true
# One program run to the end before the tests start: the desktop and the
# services it starts are up before several tests start at the same moment.
timeout 60 "$wine" cmd /c exit 0 >/dev/null 2>&1 ||
  { echo "wine-tests: Wine cannot run a program in the new prefix" >&2; exit 1; }
echo "wine-tests: prefix ready in $((SECONDS - start)) s ($WINEPREFIX)"

status=0
ctest --test-dir "$build" -j"$(nproc)" --timeout 300 --output-on-failure "$@" || status=$?
echo "wine-tests: done in $((SECONDS - start)) s"
exit $status
