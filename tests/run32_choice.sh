#!/usr/bin/env bash
# How run32 chooses the way to run 32-bit code, on a machine faked by its
# probes: a machine without any way gets one clear line and exit code 127.
set -uo pipefail
RUN32=$(cd "$(dirname "$0")/.." && pwd)/tools/win32/run32
fake=$(mktemp -d)
trap 'rm -rf "$fake"' EXIT
for v in 7.2.0 10.0.2; do
  printf '#!/bin/sh\necho "qemu-i386 version %s (Debian)"\n' "$v" > "$fake/qemu-$v" && chmod +x "$fake/qemu-$v"
done
failures=0
# wish | kernel runs i386 | qemu | expected mode, or "fails:<part of the line>"
while IFS='|' read -r wish native qemu expected; do
  ldso=/lib/ld-linux.so.2
  [ "$native" = yes ] || ldso=$fake/none
  out=$(IMPAPI_WIN32_RUNNER=$wish IMPAPI_I386_LDSO=$ldso IMPAPI_QEMU_I386=$fake/$qemu "$RUN32" --probe 2>&1)
  code=$?
    if [[ $expected == fails:* ]]; then
    [ $code -eq 127 ] && [ "$(wc -l <<<"$out")" -eq 1 ] && [[ $out == *"${expected#fails:}"* ]] && continue
  else
    [ $code -eq 0 ] && [ "$out" = "$expected" ] && continue
  fi
  echo "FAIL: wish=$wish native=$native qemu=$qemu: expected $expected, got ($code) $out"
  failures=$((failures + 1))
done <<'TABLE'
auto|no|none|fails:no qemu-user 10 or later was found
auto|no|qemu-7.2.0|fails:Debian's 7.2 cannot run i386 Wine
auto|no|qemu-10.0.2|emulated
native|no|qemu-10.0.2|fails:this kernel refuses i386 code
sideways|no|qemu-10.0.2|fails:use auto, native or emulated
TABLE
if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  out=$(IMPAPI_WIN32_RUNNER=auto "$RUN32" --probe) && [ "$out" = native ] || { echo "FAIL: auto on an i386 kernel gave $out"; failures=$((failures + 1)); }
  out=$(IMPAPI_WIN32_RUNNER=emulated IMPAPI_QEMU_I386=$fake/qemu-10.0.2 "$RUN32" --probe) && [ "$out" = emulated ] ||
    { echo "FAIL: emulation asked for on an i386 kernel gave $out"; failures=$((failures + 1)); }
fi
[ $failures -eq 0 ] && echo "run32 chooses as expected"
exit $((failures > 0))
