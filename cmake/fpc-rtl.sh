#!/bin/sh
# Builds the four win32 RTL units a Free Pascal console program needs:
# fpc-rtl.sh PPC386 RTL_SOURCE OUT. The RTL's own sources warn a lot, so the
# compiler's output goes to OUT/rtl.log and is shown only on failure.
ppc=$1 src=$2 out=$3
mkdir -p "$out"
set -- -n -Twin32 -Pi386 -v0 -Fi"$src"/inc -Fi"$src"/i386 -Fi"$src"/win -Fi"$src"/win32 -Fi"$src"/objpas \
  -Fu"$out" -FE"$out"
{ "$ppc" "$@" -Us -Sg "$src"/win32/system.pp && "$ppc" "$@" "$src"/win32/sysinitpas.pp &&
  "$ppc" "$@" "$src"/objpas/objpas.pp && "$ppc" "$@" "$src"/inc/fpintres.pp; } >"$out"/rtl.log 2>&1 ||
  { cat "$out"/rtl.log; exit 1; }
