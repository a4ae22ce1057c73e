#!/usr/bin/env bash
# CTest's launcher for Windows test programs in a cross build:
#   wine-run.sh BUILD_DIR PROGRAM.exe [ARGS...]
# The program finds the plug-ins of BUILD_DIR through its Windows path.
# scripts/wine-tests.sh prepares the prefix and the X display; run alone,
# this uses the same prefix under BUILD_DIR (or WINEPREFIX when set).
set -eu
build_dir=$1
shift
export WINEPREFIX=${WINEPREFIX:-$build_dir/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No prompts for the .NET and HTML runtimes, which no test needs.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Z: is Wine's drive for the Unix root.
export OVRA_PLUGIN_DIR="Z:${build_dir//\//\\}"
wine=${OVRA_WINE:-/usr/lib/wine/wine64}

# A Wine that fails to start a program ends at once and says nothing; every
# test program prints before it can fail. Such a start is tried once more.
out=$(mktemp)
trap 'rm -f "$out"' EXIT
for attempt in 1 2; do
  start=$SECONDS
  status=0
  "$wine" "$@" >"$out" 2>&1 || status=$?
  cat "$out"
  if [ "$status" -eq 0 ] || [ -s "$out" ] || [ $((SECONDS - start)) -gt 2 ]; then
    exit "$status"
  fi
  echo "wine-run: Wine ended with status $status before the program printed anything" >&2
done
exit "$status"
