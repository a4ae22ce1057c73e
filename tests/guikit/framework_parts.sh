#!/usr/bin/env bash
# guikit carries the first GUI family and the composited drawing base of the
# framework, and nothing of the second family or of the windowed drawing
# bases: its symbol table names the classes compiled into it.
#   framework_parts.sh <guikit.qvm>
set -u
lib=$1
symbols=$(nm -C "$lib") || { echo "FAIL cannot read the symbols of $lib"; exit 1; }
status=0
for wanted in 'MpGuiBase_base::' 'QvGuiCompositedGfxBase::' 'IGuiPinCallback<ovra::IMpUserInterface>'; do
  if grep -qF "$wanted" <<<"$symbols"; then
    echo "ok   carries $wanted"
  else
    echo "FAIL lacks $wanted"; status=1
  fi
done
for unwanted in 'MpGuiBase2' 'QvGuiInvisibleBase' 'IMpUserInterface2' 'IGuiPinCallbackIndexed' \
                'MpGuiWindowsGfxBase' 'QvGuiWindowsGfxBase'; do
  found=$(grep -F "$unwanted" <<<"$symbols" | head -3)
  if [ -n "$found" ]; then
    echo "FAIL carries $unwanted:"; echo "$found"; status=1
  else
    echo "ok   carries no $unwanted"
  fi
done
exit $status
