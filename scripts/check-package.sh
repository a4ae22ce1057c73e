#!/usr/bin/env bash
# Checks a release package's contents:
#   check-package.sh ovra-<version>-win64.zip
#   check-package.sh ovra-<version>-linux-x86_64.tar.gz
# Every expected file is there and nothing else, every checksum in SHA256SUMS
# holds, and the programs and libraries are built for the package's platform.
set -euo pipefail
archive=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
name=$(basename "$archive")
case "$name" in
  *-win64.zip) platform=win64; top=${name%.zip} ;;
  *-linux-x86_64.tar.gz) platform=linux; top=${name%.tar.gz} ;;
  *) echo "check-package: $name is neither a win64 nor a linux-x86_64 package" >&2; exit 2 ;;
esac
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$archive")
[ -d "$work/$top" ] || { echo "check-package: $name has no folder $top" >&2; exit 1; }
cd "$work/$top"
fail() { echo "check-package: $name: $*" >&2; exit 1; }

libs="uplink downlink guikit adsr"
docs=share/doc/ovra
sums=SHA256SUMS
actual=$(find . -type f | sed 's|^\./||' | sort)
if [ "$platform" = win64 ]; then
  expected=$( { echo README.txt; echo SHA256SUMS; echo qvhost.exe
               for l in $libs; do echo "$l.qvm"; echo "$l.qvm.json"; done; } | sort)
  [ "$actual" = "$expected" ] || fail "contents differ from the expected list:
$(diff <(echo "$expected") <(echo "$actual") || true)"
  for f in qvhost.exe $(for l in $libs; do echo "$l.qvm"; done); do
    file_format=$(x86_64-w64-mingw32-objdump -f "$f" | sed -n 's/.*file format //p')
    [ "$file_format" = pei-x86-64 ] || fail "$f is not a 64-bit Windows image ($file_format)"
    # Only DLLs that every Windows has.
    for dll in $(x86_64-w64-mingw32-objdump -p "$f" | sed -n 's/^\s*DLL Name: //p'); do
      case "${dll,,}" in
        kernel32.dll|user32.dll|gdi32.dll|gdiplus.dll|msvcrt.dll|winmm.dll|shell32.dll|advapi32.dll|ole32.dll) ;;
        *) fail "$f imports $dll, which is not a system DLL" ;;
      esac
    done
  done
else
  sums=$docs/SHA256SUMS
  for f in $docs/README.txt $sums bin/qvhost share/ovra/cmake/ovraConfig.cmake share/ovra/cmake/OvraPlugin.cmake \
           share/ovra/framework/abi/abi.h $docs/writing-a-module.md $docs/validate.md $docs/modules.md \
           $(for l in $libs; do echo "lib/ovra/$l.qvm lib/ovra/$l.qvm.json"; done); do
    [ -f "$f" ] || fail "$f is missing"
  done
  stray=$(echo "$actual" | grep -v -E '^(bin/qvhost|bin/qvhost\.exe|lib/ovra/[^/]+|share/ovra/.+|share/doc/ovra/.+)$' || true)
  [ -z "$stray" ] || fail "files outside the layout: $stray"
  for f in bin/qvhost $(for l in $libs; do echo "lib/ovra/$l.qvm"; done); do
    head -c 4 "$f" | cmp -s - <(printf '\177ELF') || fail "$f is not an ELF file"
  done
  # The packaged host loads the packaged library.
  bin/qvhost info lib/ovra/adsr.qvm | grep -q "QV ADSR4" || fail "bin/qvhost cannot describe lib/ovra/adsr.qvm"
fi

listed=$(sed 's/^[0-9a-f]*  //' $sums | sort)
[ "$listed" = "$(echo "$actual" | grep -vx $sums)" ] || fail "$sums does not list every file exactly once"
sha256sum --quiet -c $sums || fail "a checksum in $sums does not hold"
echo "check-package: $name: $(echo "$actual" | wc -l) files, $(du -b "$archive" | cut -f1) bytes, checksums hold"
