#!/usr/bin/env bash
# Signs Windows images with Authenticode (SHA-256) in place:
#   tools/sign.sh PKCS12-FILE PASSWORD-FILE TIMESTAMP-URL FILE...
# An empty TIMESTAMP-URL signs without a time stamp. The password is read
# from its file by osslsigncode itself: it never appears on a command line.
set -euo pipefail
pkcs12=$1 passfile=$2 timestamp=$3
shift 3
for file in "$@"; do
  tmp=$file.signing
  rm -f "$tmp"
  args=(sign -pkcs12 "$pkcs12" -readpass "$passfile" -h sha256 -n ImpApi_tolva -in "$file" -out "$tmp")
  [ -n "$timestamp" ] && args+=(-ts "$timestamp")
  # A failed signature leaves the unsigned file and no half-written copy.
  if ! osslsigncode "${args[@]}" >/dev/null 2>"$tmp.log"; then
    cat "$tmp.log" >&2
    rm -f "$tmp" "$tmp.log"
    echo "sign: $file could not be signed" >&2
    exit 1
  fi
  rm -f "$tmp.log"
  mv "$tmp" "$file"
done
