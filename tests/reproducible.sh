#!/usr/bin/env bash
# The same sources give the same bytes from any checkout path: unpacks the
# sources as git archive makes them (the revision named inside), lays the
# working files over them, builds the 32-bit DLL and the sample host in a
# folder of another name and depth, and compares the DLL, its full image with
# debug information, its map and its PDB with the build of this tree; then
# makes the unsigned package from both builds and compares the zips.
#   reproducible.sh ROOT WIN32_BUILD_DIR
set -euo pipefail
root=$1 build=$2
tmp=$(mktemp -d /tmp/impapi-reproducible.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
copy=$tmp/another/check-out
mkdir -p "$copy"
git -C "$root" archive HEAD | tar -x -C "$copy"
tar -C "$root" -c --exclude=tools/revision.txt CMakeLists.txt CHANGELOG.md cmake docs include interface src tests tools |
  tar -x -C "$copy"
cmake -S "$copy" -B "$copy/out" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$copy/cmake/mingw-i686.cmake" -DIMPAPI_TESTS=OFF >/dev/null
cmake --build "$copy/out" --target ImpApi_tolva impapi-host >/dev/null
version=$(cat "$copy/out/version.txt")
fail=0
for file in ImpApi_tolva.dll symbols/ImpApi_tolva-$version.{dll,map,pdb}; do
  if cmp "$root/dist/win32/$file" "$copy/dist/win32/$file"; then
    echo "same bytes: $file"
  else
    fail=1
  fi
done
unset IMPAPI_SIGN_PKCS12 IMPAPI_SIGN_PASSWORD_FILE
"$root/tools/dist.sh" "$root" "$build" "$tmp/here" >/dev/null
"$copy/tools/dist.sh" "$copy" "$copy/out" "$tmp/there" >/dev/null
zip=ImpApi_tolva-$version.zip
if cmp "$tmp/here/$zip" "$tmp/there/$zip"; then
  echo "same bytes: $zip"
else
  # The package names the revision: a tree with uncommitted changes says so.
  diff "$tmp/here/ImpApi_tolva-$version/PROVENANCE.txt" "$tmp/there/ImpApi_tolva-$version/PROVENANCE.txt" || true
  fail=1
fi
exit $fail
