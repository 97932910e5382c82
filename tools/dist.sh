#!/usr/bin/env bash
# The release for host vendors, as OUTPUT/ImpApi_tolva-<version>/ and a zip
# of it: the stripped 32-bit DLL with its symbols, the C header and the Pascal
# unit, the sample hosts, the host-vendor guide (with the facts of this very
# DLL), the changelog, the plug-in's licence and the runtime licences, the
# provenance and SHA256SUMS.
#
#   tools/dist.sh ROOT WIN32_BUILD_DIR OUTPUT
#
# ROOT is the source tree (its dist/win32 holds the built DLL), WIN32_BUILD_DIR
# the 32-bit build tree (for version.txt).
#
# Signing: with IMPAPI_SIGN_PKCS12 (the publisher's key and certificate as a
# PKCS#12 file) and IMPAPI_SIGN_PASSWORD_FILE (a file holding its password)
# the DLL and the sample host are signed with Authenticode (SHA-256), time
# stamped by IMPAPI_SIGN_TIMESTAMP_URL when it is set. Without them the
# package is unsigned, and says so.
#
# Any failure on the way removes the half-built folder and zip: what is left
# is a whole package or nothing.
set -euo pipefail
root=$1 build=$2 output=$3
w32=$root/dist/win32
version=$(cat "$build/version.txt")
name=ImpApi_tolva-$version
out=$output/$name

fail() { echo "dist: $*" >&2; exit 1; }
python3 "$root/tools/changelog_check.py" "$root/CHANGELOG.md" "$version" || exit 1
signing=${IMPAPI_SIGN_PKCS12:+key}${IMPAPI_SIGN_PASSWORD_FILE:+pass}
case $signing in
  key|pass) fail "IMPAPI_SIGN_PKCS12 and IMPAPI_SIGN_PASSWORD_FILE go together" ;;
  keypass) signing=signed ;;
esac

mkdir -p "$output"
rm -rf "$out" "$out.zip"
done=
trap '[ -n "$done" ] || rm -rf "$out" "$out.zip"' EXIT
mkdir -p "$out/symbols" "$out/sample-host" "$out/licences"

"$root/tests/check_dll.sh" "$w32/ImpApi_tolva.dll" >/dev/null || fail "the 32-bit DLL fails its checks"
python3 "$root/tests/pascal/check_unit.py" "$root/include/ImpApi_tolva.pas" "$w32/ImpApi_tolva.def" >/dev/null ||
  fail "the Pascal unit does not match the DLL"
cp "$w32/ImpApi_tolva.dll" "$w32/ImpApi_tolva.def" "$root/include/ImpApi_tolva.h" "$root/include/ImpApi_tolva.pas" \
  "$root/CHANGELOG.md" "$out/"
cp "$w32/symbols/$name.dll" "$w32/symbols/$name.map" "$w32/symbols/$name.pdb" "$out/symbols/"
python3 "$root/tools/symbols.py" check "$w32/ImpApi_tolva.dll" "$w32/symbols/$name.dll" "$w32/symbols/$name.pdb" \
  >/dev/null || fail "the symbols do not match the DLL"
# The sample host loads the DLL from its own folder: it goes beside it.
SOURCE_DATE_EPOCH=0 i686-w64-mingw32-strip -o "$out/impapi-host.exe" "$w32/impapi-host.exe"
cp "$root/tools/host/impapi-host.cpp" "$root/tools/host/ImpApiHost.dpr" "$out/sample-host/"
cp "$root/docs/licence-plugin.txt" "$out/LICENCE.txt"
cp "$root/docs/licences.txt" "$out/licences/README.txt"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$out/licences/gcc-runtime-libraries.txt"
cp /usr/share/doc/mingw-w64-i686-dev/copyright "$out/licences/mingw-w64-runtime.txt"

stamped=${IMPAPI_SIGN_TIMESTAMP_URL:+, time-stamped}
if [ -n "$signing" ]; then
  "$root/tools/sign.sh" "$IMPAPI_SIGN_PKCS12" "$IMPAPI_SIGN_PASSWORD_FILE" "${IMPAPI_SIGN_TIMESTAMP_URL:-}" \
    "$out/ImpApi_tolva.dll" "$out/impapi-host.exe" || fail "signing failed"
  echo "dist: ImpApi_tolva.dll and impapi-host.exe signed${stamped:+ and time-stamped}"
  signature='`ImpApi_tolva.dll` and `impapi-host.exe` are **signed**: they carry the publisher'"'"'s Authenticode signature (SHA-256'"$stamped"'). Check it with `signtool verify /pa /v ImpApi_tolva.dll` (or `Get-AuthenticodeSignature` in PowerShell) before you ship it; `SHA256SUMS` lists the signed files.'
else
  echo "dist: UNSIGNED package (set IMPAPI_SIGN_PKCS12 and IMPAPI_SIGN_PASSWORD_FILE to sign)"
  signature='This package is **unsigned**: it was built without the publisher'"'"'s key and is for testing only. A release for hosts carries the publisher'"'"'s Authenticode signature on `ImpApi_tolva.dll` and `impapi-host.exe`.'
fi
"$root/tools/provenance.sh" "$root" "$version" "$w32/symbols/$name.dll" "$signing" > "$out/PROVENANCE.txt"
facts=$(python3 "$root/tools/release_facts.py" "$out/ImpApi_tolva.dll" "$out/symbols/$name.dll")
FACTS=$facts VERSION=$version INTERFACE=${version%.*} SIGNATURE=$signature python3 -c '
import os, sys
text = open(sys.argv[1], encoding="utf-8").read()
for key, value in (("@FACTS@", os.environ["FACTS"]), ("@VERSION@", os.environ["VERSION"]),
                   ("@INTERFACE_VERSION@", os.environ["INTERFACE"]), ("@SIGNATURE@", os.environ["SIGNATURE"])):
    text = text.replace(key, value)
open(sys.argv[2], "w", encoding="utf-8").write(text)' "$root/docs/host-guide.md" "$out/HOST-GUIDE.md"
(cd "$out" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort | xargs sha256sum > SHA256SUMS)

# The zip is the same bytes for the same files: fixed modes and times, names
# in one order, no extra fields (owners, Unix times).
find "$out" -type d -exec chmod 755 {} + -exec touch -h -d @315532800 {} +
find "$out" -type f -exec chmod 644 {} + -exec touch -h -d @315532800 {} +
(cd "$output" && find "$name" | LC_ALL=C sort | TZ=UTC zip -qX -D "$name.zip" -@)
done=1
echo "dist: $out"
echo "dist: $out.zip"
cat "$out/SHA256SUMS"
