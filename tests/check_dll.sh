#!/usr/bin/env bash
# Checks the product DLL as a host vendor would: PE32 for i386, exactly the
# documented undecorated exports, and imports from system DLLs only.
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
[ $fail = 0 ] && echo "1 passed, 0 failed: $dll is PE32 with exports $names"
exit $fail
