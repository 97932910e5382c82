#!/usr/bin/env bash
# What rebuilds the release byte for byte: the source revision and the
# toolchain that built it.   provenance.sh ROOT VERSION [signed]
set -euo pipefail
root=$1 version=$2 signed=${3:-}
revision=$(git -C "$root" rev-parse HEAD 2>/dev/null || echo unknown)
# Changes not yet committed make the revision alone not enough to rebuild.
if [ "$revision" != unknown ] && [ -n "$(git -C "$root" status --porcelain -- CMakeLists.txt cmake include src tools 2>/dev/null)" ]; then
  revision="$revision (with uncommitted changes: not rebuildable from the revision alone)"
fi
package() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null || echo unknown; }
cat <<TEXT
ImpApi_tolva $version

Source revision: $revision
Compiler:        $(i686-w64-mingw32-g++-posix --version | head -1) (Debian package g++-mingw-w64-i686-posix $(package g++-mingw-w64-i686-posix))
Binutils:        $(i686-w64-mingw32-ld --version | head -1) (Debian package binutils-mingw-w64-i686 $(package binutils-mingw-w64-i686))
mingw-w64:       runtime and headers $(package mingw-w64-i686-dev) (Debian package mingw-w64-i686-dev)
Build tools:     CMake $(package cmake), Ninja $(package ninja-build)
Build host:      $(. /etc/os-release && echo "$PRETTY_NAME") $(uname -m)

To rebuild: check out the revision, run ./run dist on a machine with these
package versions, and compare ImpApi_tolva.dll and symbols/ with the release's.
The folder of the checkout does not matter. $( [ -n "$signed" ] && echo "The released DLL and sample host are
signed: compare them after removing the signature (osslsigncode remove-signature),
or compare the Authenticode hash osslsigncode verify prints." || echo "This package is unsigned.")
TEXT
