#!/usr/bin/env python3
"""The symbols of the released DLL.

  symbols.py finish PDB_IN PDB_OUT MAP_IN MAP_OUT OUTPUT_DIR
      The linker's PDB with its time stamp set to 0 (matching goes by the
      GUID and age of the CodeView record; the time would make every build
      differ), and its map without the folder it was linked in.
  symbols.py check DLL FULL_IMAGE PDB
      The stripped DLL, the full image and the PDB belong together: one
      CodeView record in both images, the PDB's GUID and age equal to it, and
      every section of the DLL byte for byte in the full image.
"""
import struct
import sys

sys.path.insert(0, __file__.rsplit("/", 1)[0])
from release_facts import Image  # noqa: E402


def raw_sections(data):
    """Name, address and file bytes of each section."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    table = pe + 24 + optional_size
    for i in range(count):
        name, _, va, size, raw = struct.unpack_from("<8sIIII", data, table + 40 * i)
        yield name.rstrip(b"\0").decode(), va, data[raw:raw + size] if raw else b""


def sections_to_compare(path):
    """The sections, with the file offsets in the debug directory set to 0:
    they are the one thing stripping moves (the addresses stay)."""
    image = Image(path)
    rva, size = image.directories[6]
    for name, va, content in raw_sections(image.data):
        if va <= rva < va + len(content):
            content = bytearray(content)
            for at in range(rva - va, rva - va + size, 28):
                content[at + 24:at + 28] = bytes(4)
            content = bytes(content)
        yield name, va, content


def codeview(path):
    image = Image(path)
    rva, size = image.directories[6]
    records = []
    for at in range(image.offset(rva), image.offset(rva) + size, 28):
        kind, length, _, raw = struct.unpack_from("<IIII", image.data, at + 12)
        if kind == 2 and image.data[raw:raw + 4] == b"RSDS":
            guid, age = image.data[raw + 4:raw + 20], struct.unpack_from("<I", image.data, raw + 20)[0]
            name = image.data[raw + 24:raw + length].split(b"\0")[0].decode()
            records.append((guid, age, name))
    if len(records) != 1:
        sys.exit(f"{path}: {len(records)} CodeView records instead of one")
    return records[0]


def pdb_info_offset(data):
    """File offset of the PDB information stream (stream 1) of an MSF 7.0 file."""
    if not data.startswith(b"Microsoft C/C++ MSF 7.00\r\n\x1aDS\0\0\0"):
        raise ValueError("not an MSF 7.0 file")
    block, _, _, directory_bytes, _, map_block = struct.unpack_from("<6I", data, 32)
    count = -(-directory_bytes // block)
    blocks = struct.unpack_from(f"<{count}I", data, map_block * block)
    directory = b"".join(data[b * block:(b + 1) * block] for b in blocks)
    streams = struct.unpack_from("<I", directory)[0]
    sizes = struct.unpack_from(f"<{streams}I", directory, 4)
    at = 4 + 4 * streams + 4 * -(-sizes[0] // block)
    if sizes[1] < 28 or sizes[1] > block:
        raise ValueError("unexpected information stream")
    return struct.unpack_from("<I", directory, at)[0] * block


def finish(pdb_in, pdb_out, map_in, map_out, output_dir):
    data = bytearray(open(pdb_in, "rb").read())
    data[pdb_info_offset(data) + 4:][:4] = bytes(4)
    open(pdb_out, "wb").write(data)
    text = open(map_in, encoding="latin-1").read().replace(output_dir.rstrip("/") + "/", "")
    open(map_out, "w", encoding="latin-1").write(text)


def check(dll, full, pdb):
    record = codeview(dll)
    if codeview(full) != record:
        sys.exit(f"{dll} and {full}: different CodeView records")
    data = open(pdb, "rb").read()
    info = pdb_info_offset(data)
    age, guid = struct.unpack_from("<I", data, info + 8)[0], data[info + 12:info + 28]
    if (guid, age) != record[:2]:
        sys.exit(f"{pdb}: GUID and age differ from the DLL's CodeView record")
    if record[2] != pdb.rsplit("/", 1)[-1]:
        sys.exit(f"{dll}: the CodeView record names {record[2]}, not the PDB beside it")
    full_sections = {name: (va, content) for name, va, content in sections_to_compare(full)}
    for name, va, content in sections_to_compare(dll):
        if full_sections.get(name, (None,))[0] != va:
            sys.exit(f"{full}: section {name} missing or moved")
        if full_sections[name][1] != content:
            sys.exit(f"{dll}: section {name} differs from the full image")
    print(f"{dll}: CodeView {record[0].hex()} age {record[1]} {record[2]} matches the PDB and the full image")


if __name__ == "__main__":
    {"finish": finish, "check": check}[sys.argv[1]](*sys.argv[2:])
