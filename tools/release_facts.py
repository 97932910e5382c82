#!/usr/bin/env python3
"""Prints, as Markdown, what a security review asks of the released DLL: its
header fields and characteristics, imports, exports, TLS callbacks and version
resource, read from the file itself.

  release_facts.py DLL FULL_IMAGE
"""
import hashlib
import os
import re
import struct
import subprocess
import sys

CHARACTERISTICS = [(0x0020, "HIGH_ENTROPY_VA"), (0x0040, "DYNAMIC_BASE (ASLR)"),
                   (0x0080, "FORCE_INTEGRITY"), (0x0100, "NX_COMPAT (DEP)"), (0x0200, "NO_ISOLATION"),
                   (0x0400, "NO_SEH"), (0x0800, "NO_BIND"), (0x4000, "GUARD_CF"),
                   (0x8000, "TERMINAL_SERVER_AWARE")]


class Image:
    def __init__(self, path):
        self.data = open(path, "rb").read()
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        self.machine, sections, self.timestamp, self.symbol_table = struct.unpack_from("<HHII", self.data, pe + 4)
        optional = pe + 24
        self.pe32 = struct.unpack_from("<H", self.data, optional)[0] == 0x10B
        self.image_base = struct.unpack_from("<I" if self.pe32 else "<Q", self.data,
                                             optional + (28 if self.pe32 else 24))[0]
        self.dll_characteristics = struct.unpack_from("<H", self.data, optional + 70)[0]
        self.os_version = struct.unpack_from("<HH", self.data, optional + 40)
        self.subsystem_version = struct.unpack_from("<HH", self.data, optional + 48)
        self.subsystem = struct.unpack_from("<H", self.data, optional + 68)[0]
        directories = optional + (96 if self.pe32 else 112)
        self.directories = [struct.unpack_from("<II", self.data, directories + 8 * i) for i in range(16)]
        size_of_optional = struct.unpack_from("<H", self.data, pe + 20)[0]
        table = optional + size_of_optional
        self.sections = []
        for i in range(sections):
            name, vsize, va, rawsize, raw = struct.unpack_from("<8sIIII", self.data, table + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode(), va, max(vsize, rawsize), raw))

    def offset(self, rva):
        for _, va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError("RVA %#x outside the sections" % rva)

    def pointer(self, rva):
        return struct.unpack_from("<I" if self.pe32 else "<Q", self.data, self.offset(rva))[0]

    def tls_callbacks(self):
        rva, size = self.directories[9]
        if not size:
            return None
        width = 4 if self.pe32 else 8
        callbacks_va = self.pointer(rva + 3 * width)
        result, at = [], callbacks_va - self.image_base
        while callbacks_va and (va := self.pointer(at)):
            result.append(va)
            at += width
        return result



def main(dll, full):
    image = Image(dll)
    prefix = "i686-w64-mingw32-" if image.pe32 else "x86_64-w64-mingw32-"
    headers = subprocess.run([prefix + "objdump", "-p", dll], capture_output=True, text=True, check=True).stdout
    symbols = {}
    for line in subprocess.run([prefix + "nm", full], capture_output=True, text=True, check=True).stdout.splitlines():
        parts = line.split()
        if len(parts) == 3 and not parts[2].startswith("."):  # names, not section symbols
            symbols.setdefault(int(parts[0], 16), parts[2])
    data = open(dll, "rb").read()
    out = []
    out.append("| property | value |\n|---|---|")
    out.append("| file | `%s`, %d bytes (%.0f KiB) |" % (os.path.basename(dll), len(data), len(data) / 1024))
    out.append("| SHA-256 | `%s` |" % hashlib.sha256(data).hexdigest())
    out.append("| machine | %s |" % ("i386 (PE32)" if image.machine == 0x14C else "%#x" % image.machine))
    out.append("| time stamp | %d (none: reproducible build) |" % image.timestamp)
    out.append("| preferred image base | %#x (relocatable) |" % image.image_base)
    out.append("| subsystem | %s %d.%d; operating system %d.%d |" % (
        {2: "Windows GUI", 3: "Windows console"}.get(image.subsystem, str(image.subsystem)),
        *image.subsystem_version, *image.os_version))
    out.append("| sections | %s |" % ", ".join("`%s`" % name for name, *_ in image.sections))
    flags = [name for bit, name in CHARACTERISTICS if image.dll_characteristics & bit]
    out.append("| DllCharacteristics | %#06x: %s |" % (image.dll_characteristics, ", ".join(flags)))
    callbacks = image.tls_callbacks()
    if callbacks is None:
        out.append("| TLS callbacks | none (no TLS directory) |")
    else:
        out.append("| TLS callbacks | %s |" % (", ".join("`%s`" % symbols.get(va, hex(va)).lstrip("_")
                                                         for va in callbacks) or "none"))
    out.append("| load configuration | %s |" % ("present" if image.directories[10][1] else
                                                 "none (the GNU linker writes none; the stack guard is seeded at load)"))
    out.append("")
    out.append("Imports (only system DLLs):\n")
    dll_name = None
    imports = {}
    for line in headers.splitlines():
        m = re.match(r"\s*DLL Name: (\S+)", line)
        if m:
            dll_name = m.group(1)
            imports[dll_name] = []
        elif dll_name and re.match(r"\s+[0-9a-f]+\s+\d+\s+\S+$", line):
            imports[dll_name].append(line.split()[-1])
        elif not line.strip():
            dll_name = dll_name if dll_name and not imports[dll_name] else None
    for name, functions in sorted(imports.items(), key=lambda kv: kv[0].upper()):
        out.append("- `%s`: %s" % (name, ", ".join(sorted(functions))))
    out.append("")
    exports = re.findall(r"^\s*\[\s*\d+\] (\w+)$", headers, re.M)
    out.append("Exports: %s.\n" % ", ".join("`%s`" % e for e in sorted(exports)))
    resource = subprocess.run([prefix + "windres", "-i", dll, "-O", "rc"], capture_output=True, text=True,
                              check=True).stdout
    language = re.search(r"^LANGUAGE (\d+), (\d+)", resource, re.M)
    out.append("Version resource (language %#06x, translation %s):\n" % (
        int(language.group(2)) << 10 | int(language.group(1)),
        re.search(r'"Translation", (.*)', resource).group(1)))
    out.append("| field | value |\n|---|---|")
    for field, value in re.findall(r'VALUE "(\w+)", "([^"]*)"', resource):
        out.append("| %s | %s |" % (field, value))
    print("\n".join(out))


if __name__ == "__main__":
    main(*sys.argv[1:])
