#!/usr/bin/env bash
# Checks the product DLL as a host vendor would: PE32 for i386, exactly the
# documented undecorated exports, imports from system DLLs only, and the
# release properties (no time stamp, ASLR, NX, no NO_SEH, no vectored handler).
set -euo pipefail
dll=$1
objdump=i686-w64-mingw32-objdump
expected="ApiDataDialog AppVersionCheck ExportXML GetExportErrorMsg ImportVersionInfo RegProgrCallback VersionInfo"
fail=0
$objdump -f "$dll" | grep -q 'file format pei-i386' || { echo "not a PE32 i386 image"; fail=1; }
names=$($objdump -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/\]/ && NR>1 {print $NF}' | sort | xargs)
[ "$names" = "$expected" ] || { echo "exports: '$names', expected '$expected'"; fail=1; }
imports=$($objdump -p "$dll" | awk '/DLL Name:/ {print toupper($3)}' | sort -u)
for imp in $imports; do
  case $imp in
    KERNEL32.DLL|USER32.DLL|GDI32.DLL|ADVAPI32.DLL|WININET.DLL|SHELL32.DLL|MSVCRT.DLL|COMCTL32.DLL) ;;
    API-MS-WIN-*) ;;
    *) echo "imports a non-system DLL: $imp"; fail=1 ;;
  esac
done
# The release: no time stamp, hardened, nothing process-wide from the runtime.
headers=$($objdump -p "$dll")
grep -q '^Time/Date.*1970' <<<"$headers" || { echo "the PE header carries a time stamp"; fail=1; }
flags=$((16#$(awk '/^DllCharacteristics/ {print $2}' <<<"$headers")))
for bit in 0x40:DYNAMIC_BASE 0x100:NX_COMPAT; do
  (( flags & ${bit%%:*} )) || { echo "DllCharacteristics lacks ${bit#*:}"; fail=1; }
done
# The callback's barrier registers a structured exception handler: an image
# marked NO_SEH would have it refused by the system.
(( flags & 0x400 )) && { echo "DllCharacteristics has NO_SEH, which refuses the callback's handler"; fail=1; }
# A vectored handler or winpthread reaches into the host; a cryptographic
# provider would be loaded under the loader lock.
if grep -qiE 'AddVectoredExceptionHandler|pthread|CryptAcquireContext' <<<"$headers"; then
  echo "imports a vectored exception handler, winpthread or a cryptographic provider"; fail=1
fi
# One language in the version resource: German, code page 1252, with every field.
resource=$(i686-w64-mingw32-windres -i "$dll" -O rc)
grep -q '^LANGUAGE 7, 1$' <<<"$resource" || { echo "the version resource's language is not 0x0407"; fail=1; }
grep -q 'VALUE "Translation", 0x407, 1252' <<<"$resource" || { echo "translation is not 0x0407/1252"; fail=1; }
for field in CompanyName FileDescription FileVersion InternalName LegalCopyright OriginalFilename \
             ProductName ProductVersion; do
  grep -q "VALUE \"$field\", \"." <<<"$resource" || { echo "version resource without $field"; fail=1; }
done
grep -q 'VALUE "FileVersion", "[0-9]*\.[0-9]*\.[0-9]*\.[0-9]*"' <<<"$resource" ||
  { echo "FileVersion without a build number"; fail=1; }
[ $fail = 0 ] && echo "1 passed, 0 failed: $dll is PE32 with exports $names"
exit $fail
