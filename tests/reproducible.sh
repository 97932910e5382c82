#!/usr/bin/env bash
# The same sources give the same bytes from any checkout path: copies the
# sources to a folder of another name and depth, builds the 32-bit DLL there
# and compares it, its full image with debug information, its map and its PDB
# with the build of this tree.
set -euo pipefail
root=$1
tmp=$(mktemp -d /tmp/impapi-reproducible.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
copy=$tmp/another/check-out
mkdir -p "$copy"
cp -r "$root"/CMakeLists.txt "$root"/cmake "$root"/include "$root"/interface "$root"/src "$root"/tools "$copy/"
cmake -S "$copy" -B "$copy/out" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$copy/cmake/mingw-i686.cmake" -DIMPAPI_TESTS=OFF >/dev/null
cmake --build "$copy/out" --target ImpApi_tolva >/dev/null
version=$(cat "$copy/out/version.txt")
fail=0
for file in ImpApi_tolva.dll symbols/ImpApi_tolva-$version.{dll,map,pdb}; do
  if cmp "$root/dist/win32/$file" "$copy/dist/win32/$file"; then
    echo "same bytes: $file"
  else
    fail=1
  fi
done
exit $fail
