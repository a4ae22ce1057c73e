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
exec "${OVRA_WINE:-/usr/lib/wine/wine64}" "$@"
