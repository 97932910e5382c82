#!/usr/bin/env bash
# Checks the product DLL as a host vendor would: PE32 for i386, exactly the
# documented undecorated exports, imports from system DLLs only, and the
# release properties (no time stamp, ASLR, NX, no NO_SEH, no vectored handler,
# subsystem and versions, sections, frame pointers).
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
# What a binary scanner reads: a DLL of the Windows GUI subsystem for the
# oldest Windows it runs on (7 = 6.1), and only sections of the usual short
# names (a name longer than eight characters would be "/4", pointing into a
# string table the stripped image no longer has).
field() { awk -v f="$1" '$1 == f {print $2}' <<<"$headers"; }
[ "$(field Subsystem)" = 00000002 ] || { echo "subsystem $(field Subsystem), not Windows GUI (2)"; fail=1; }
for f in MajorOSystemVersion:6 MinorOSystemVersion:1 MajorSubsystemVersion:6 MinorSubsystemVersion:1; do
  [ "$(field "${f%:*}")" = "${f#*:}" ] || { echo "${f%:*} is $(field "${f%:*}"), not ${f#*:}"; fail=1; }
done
tools=$(cd "$(dirname "$0")/../tools" && pwd)
sections=$(python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); from release_facts import Image
image = Image(sys.argv[2]); print(" ".join(s[0] for s in image.sections), image.symbol_table)' "$tools" "$dll")
for name in ${sections% *}; do
  case $name in
    .text|.data|.rdata|.buildid|.eh_fram|.bss|.edata|.idata|.CRT|.tls|.rsrc|.reloc) ;;
    *) echo "unexpected section $name"; fail=1 ;;
  esac
done
[ "${sections##* }" = 0 ] || { echo "a COFF symbol or string table is left in the image"; fail=1; }
# Every function of the plug-in's own code keeps its frame pointer, so that a
# debugger walks a crash dump's stack through it; checked in the full image
# and the map beside the DLL, when they are there.
full=$(ls "$(dirname "$dll")"/symbols/ImpApi_tolva-*.dll 2>/dev/null | head -1)
if [ -n "$full" ]; then
  python3 "$tools/symbols.py" frames "$full" "${full%.dll}.map" || fail=1
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
