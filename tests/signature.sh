#!/usr/bin/env bash
# The release's signing step with a throwaway certificate made here: the
# signed DLL and sample host verify, and the signature changes nothing of
# the reproducible image but the certificate table.
set -euo pipefail
root=$1
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
done
# A wrong password fails and leaves the file as it was.
cp "$root/dist/win32/ImpApi_tolva.dll" wrong.dll
echo wrong > wrong-password
if "$root/tools/sign.sh" signer.p12 wrong-password "" wrong.dll 2>/dev/null; then
  echo "signing with a wrong password succeeded"; fail=1
fi
cmp wrong.dll "$root/dist/win32/ImpApi_tolva.dll" || fail=1
[ -z "$(ls wrong.dll.signing* 2>/dev/null)" ] || { echo "a half-signed copy was left behind"; fail=1; }
exit $fail
