#!/usr/bin/env bash
# Checks that every plug-in library exports MP_GetFactory and nothing else,
# and (Windows) that it imports system DLLs only and, for a release build,
# carries no symbols or debug sections. Prints each Windows DLL's size.
#   check_exports.sh native|windows DIR [release]
set -u
kind=$1
dir=$2
release=${3:-}
status=0
libs=(uplink downlink guikit adsr)
allowed_imports='^(KERNEL32|USER32|GDI32|gdiplus|msvcrt|ucrtbase|api-ms-win-crt-[a-z0-9-]+)\.dll$'
for lib in "${libs[@]}"; do
  file="$dir/$lib.qvm"
  if [ ! -f "$file" ]; then echo "FAIL $lib: $file missing"; status=1; continue; fi
  if [ "$kind" = native ]; then
    exports=$(nm -D --defined-only "$file" | awk '{print $3}' | grep -v '^$' | sort -u)
  else
    exports=$(x86_64-w64-mingw32-objdump -p "$file" | awk '/\[Ordinal\/Name Pointer\] Table/{t=1;next} t&&/^[[:space:]]*\[/{print $NF} t&&/^$/{t=0}' | sort -u)
  fi
  if [ "$exports" != "MP_GetFactory" ]; then
    echo "FAIL $lib exports: $(echo $exports)"; status=1
  else
    echo "ok   $lib exports only MP_GetFactory"
  fi
  if [ "$kind" = windows ]; then
    imports=$(x86_64-w64-mingw32-objdump -p "$file" | awk '/DLL Name:/{print $3}' | sort -u)
    bad=$(echo "$imports" | grep -v -i -E "$allowed_imports" || true)
    if [ -n "$bad" ]; then echo "FAIL $lib imports non-system DLLs: $(echo $bad)"; status=1
    else echo "ok   $lib imports $(echo $imports) ($(stat -c %s "$file") bytes)"; fi
    if [ "$release" = release ]; then
      symbols=$(x86_64-w64-mingw32-objdump -t "$file" | grep -c '^\[' || true)
      debug=$(x86_64-w64-mingw32-objdump -h "$file" | grep -c '\.debug' || true)
      if [ "$symbols" != 0 ] || [ "$debug" != 0 ]; then
        echo "FAIL $lib is not stripped: $symbols symbols, $debug debug sections"; status=1
      fi
    fi
  fi
done
exit $status
