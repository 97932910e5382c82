#!/usr/bin/env bash
# What rebuilds the release byte for byte: the source revision and the
# toolchain that built it.   provenance.sh ROOT VERSION FULL_IMAGE [signed]
set -euo pipefail
root=$1 version=$2 full=$3 signed=${4:-}
# A checkout names its revision; a tree made by git archive carries it in
# tools/revision.txt (export-subst). A checkout inside another one is not asked.
revision=unknown
if [ "$(git -C "$root" rev-parse --show-toplevel 2>/dev/null)" = "$(cd "$root" && pwd -P)" ]; then
  revision=$(git -C "$root" rev-parse HEAD)
  # Changes not yet committed make the revision alone not enough to rebuild.
  if [ -n "$(git -C "$root" status --porcelain -- CMakeLists.txt cmake include src tools docs CHANGELOG.md 2>/dev/null)" ]; then
    revision="$revision (with uncommitted changes: not rebuildable from the revision alone)"
  fi
elif grep -qx '[0-9a-f]\{40\}' "$root/tools/revision.txt" 2>/dev/null; then
  revision=$(cat "$root/tools/revision.txt")
fi
package() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null || echo unknown; }
# The compilers as the DLL's own debug information names them, with the
# number of units each compiled.
producers=$(i686-w64-mingw32-objdump --dwarf=info "$full" |
  sed -n 's/.*DW_AT_producer *: *\((indirect string, offset: 0x[0-9a-f]*): \)\{0,1\}//p' |
  LC_ALL=C sort | uniq -c | LC_ALL=C sort -k1,1nr -k2 | sed 's/^ *\([0-9]*\) \(.*\)/  \1 units: \2/')
cat <<TEXT
ImpApi_tolva $version

Source revision: $revision
Compiler:        $(i686-w64-mingw32-g++-win32 --version | head -1), $(i686-w64-mingw32-g++-win32 -v 2>&1 | grep -i '^thread model')
                 (Debian package g++-mingw-w64-i686-win32 $(package g++-mingw-w64-i686-win32)), driven through
                 cmake/win32-threads.sh
Binutils:        $(i686-w64-mingw32-ld --version | head -1) (Debian package binutils-mingw-w64-i686 $(package binutils-mingw-w64-i686))
mingw-w64:       runtime and headers $(package mingw-w64-i686-dev) (Debian package mingw-w64-i686-dev)
Build tools:     CMake $(package cmake), Ninja $(package ninja-build)
Build host:      $(. /etc/os-release && echo "$PRETTY_NAME") $(uname -m)

The DLL's debug information names the compilers of its units: the plug-in's
own code, and the mingw-w64 start-up and C runtime objects as Debian's package
built them (the C++ runtime and libgcc carry no debug information):
$producers

To rebuild: check out the revision (or unpack a tree made by git archive of
it), run ./run dist on a machine with these package versions, and compare
ImpApi_tolva.dll and symbols/ with the release's. The folder of the checkout
does not matter. $( [ -n "$signed" ] && echo "The released DLL and sample host are signed: compare
their Authenticode digests, which leave out the signature. For each file,
  osslsigncode extract-data -h sha256 -in FILE -out FILE.der
gives the same bytes for the signed release and your unsigned rebuild (the
digest is the last OCTET STRING that openssl asn1parse -inform DER shows; for
the signed file it is also the message digest osslsigncode verify prints).
Whole files differ, even after removing the signature: the signature changes
the header's checksum and certificate entry, and removing it leaves the file
padded to a multiple of 8 bytes." || echo "This package is unsigned.")
TEXT
