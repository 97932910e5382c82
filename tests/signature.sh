#!/usr/bin/env bash
# The release's signing with a throwaway certificate made here: the signed
# DLL and sample host verify, the signature changes nothing of the
# reproducible image but the certificate table, and their Authenticode digests
# are those of the unsigned files. Then the release's own path, tools/dist.sh,
# with that key: the whole package, verified; with a broken key, nothing.
#   signature.sh ROOT WIN32_BUILD_DIR
set -euo pipefail
root=$1 build=$2
tmp=$(mktemp -d /tmp/impapi-signature.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"
openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/O=Throwaway/CN=ImpApi_tolva test signer" \
  -addext extendedKeyUsage=codeSigning -keyout key.pem -out cert.pem 2>/dev/null
printf 'throwaway-%s' "$RANDOM$RANDOM" > password
openssl pkcs12 -export -inkey key.pem -in cert.pem -passout file:password -out signer.p12
fail=0
for file in ImpApi_tolva.dll impapi-host.exe; do
  cp "$root/dist/win32/$file" "$file"
  "$root/tools/sign.sh" signer.p12 password "" "$file"
  osslsigncode verify -CAfile cert.pem -in "$file" >verify.log 2>&1 || { cat verify.log; fail=1; }
  python3 "$root/tests/signature.py" "$root/dist/win32/$file" "$file" || fail=1
  rm -f signed.der unsigned.der
  osslsigncode extract-data -h sha256 -in "$file" -out signed.der >/dev/null
  osslsigncode extract-data -h sha256 -in "$root/dist/win32/$file" -out unsigned.der >/dev/null
  cmp -s signed.der unsigned.der || { echo "$file: the Authenticode digest changed with the signature"; fail=1; }
done
# A wrong password fails and leaves the file as it was.
cp "$root/dist/win32/ImpApi_tolva.dll" wrong.dll
echo wrong > wrong-password
if "$root/tools/sign.sh" signer.p12 wrong-password "" wrong.dll 2>/dev/null; then
  echo "signing with a wrong password succeeded"; fail=1
fi
cmp wrong.dll "$root/dist/win32/ImpApi_tolva.dll" || fail=1
[ -z "$(ls wrong.dll.signing* 2>/dev/null)" ] || { echo "a half-signed copy was left behind"; fail=1; }

export IMPAPI_SIGN_PKCS12=$tmp/signer.p12 IMPAPI_SIGN_PASSWORD_FILE=$tmp/password
"$root/tools/dist.sh" "$root" "$build" "$tmp/release" >dist.log 2>&1 || { cat dist.log; fail=1; }
version=$(cat "$build/version.txt")
name=ImpApi_tolva-$version
expected="CHANGELOG.md HOST-GUIDE.md ImpApi_tolva.def ImpApi_tolva.dll ImpApi_tolva.h ImpApi_tolva.pas LICENCE.txt
PROVENANCE.txt SHA256SUMS impapi-host.exe licences/README.txt licences/gcc-runtime-libraries.txt
licences/mingw-w64-runtime.txt sample-host/ImpApiHost.dpr sample-host/impapi-host.cpp
symbols/$name.dll symbols/$name.map symbols/$name.pdb"
files=$(cd "$tmp/release/$name" 2>/dev/null && find . -type f | sed 's|^\./||' | LC_ALL=C sort | xargs || true)
[ "$files" = "$(echo $expected)" ] || { echo "package files: '$files'"; fail=1; }
zipped=$(unzip -Z1 "$tmp/release/$name.zip" 2>/dev/null | sed "s|^$name/||" | LC_ALL=C sort | xargs || true)
[ "$zipped" = "$(echo $expected)" ] || { echo "zip entries: '$zipped'"; fail=1; }
if [ -d "$tmp/release/$name" ]; then
  cd "$tmp/release/$name"
  sha256sum --quiet -c SHA256SUMS || fail=1
  for file in ImpApi_tolva.dll impapi-host.exe; do
    osslsigncode verify -CAfile "$tmp/cert.pem" -in "$file" >"$tmp/verify.log" 2>&1 || { cat "$tmp/verify.log"; fail=1; }
  done
  grep -q '`impapi-host.exe` are \*\*signed\*\*' HOST-GUIDE.md || { echo "the guide does not say signed"; fail=1; }
  ! grep -n '@[A-Z_]*@' HOST-GUIDE.md || { echo "the guide keeps a placeholder"; fail=1; }
  grep -q 'are signed' PROVENANCE.txt || { echo "the provenance does not say signed"; fail=1; }
  cd "$tmp"
fi
# A key that does not open leaves neither folder nor zip.
if IMPAPI_SIGN_PASSWORD_FILE=$tmp/wrong-password "$root/tools/dist.sh" "$root" "$build" "$tmp/broken" >dist.log 2>&1; then
  echo "dist with a broken key succeeded"; fail=1
fi
[ -z "$(ls -A "$tmp/broken")" ] || { echo "a broken key left: $(ls -A "$tmp/broken")"; fail=1; }
exit $fail
