#!/usr/bin/env python3
"""The symbols of the released DLL.

  symbols.py finish PDB_IN PDB_OUT MAP_IN MAP_OUT OUTPUT_DIR BUILD_DIR
      The linker's PDB with its time stamp set to 0 (matching goes by the
      GUID and age of the CodeView record; the time would make every build
      differ) and without the build folder in its object names, and its map
      without the folder it was linked into.
  symbols.py check DLL FULL_IMAGE PDB
      The stripped DLL, the full image and the PDB belong together: one
      CodeView record in both images, the PDB's GUID and age equal to it, and
      every section of the DLL byte for byte in the full image.
  symbols.py frames FULL_IMAGE MAP
      Every function of the plug-in's own code (the map's function sections
      from its objects, not the runtime's) keeps the frame pointer chain a
      debugger walks when the PDB has no frame data: it sets up its frame
      pointer first, or is a leaf that leaves the register alone.
"""
import re
import struct
import subprocess
import sys

sys.path.insert(0, __file__.rsplit("/", 1)[0])
from release_facts import Image  # noqa: E402


def raw_sections(data):
    """Name, address and file bytes of each section. A name longer than eight
    characters ("/4") is looked up in the string table after the symbols."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    symbols, symbol_count = struct.unpack_from("<II", data, pe + 12)
    table = pe + 24 + optional_size
    for i in range(count):
        name, _, va, size, raw = struct.unpack_from("<8sIIII", data, table + 40 * i)
        name = name.rstrip(b"\0").decode()
        if name.startswith("/") and symbols:
            at = symbols + 18 * symbol_count + int(name[1:])
            name = data[at:data.index(b"\0", at)].decode()
        yield name, va, data[raw:raw + size] if raw else b""


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
        # The stripped image names a section by at most eight characters.
        yield name[:8], va, content


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


MSF = b"Microsoft C/C++ MSF 7.00\r\n\x1aDS\0\0\0"


def read_msf(data):
    """Block size and streams of an MSF 7.0 file (a PDB)."""
    if not data.startswith(MSF):
        raise ValueError("not an MSF 7.0 file")
    block, _, _, directory_bytes, _, map_block = struct.unpack_from("<6I", data, 32)
    count = -(-directory_bytes // block)
    blocks = struct.unpack_from(f"<{count}I", data, map_block * block)
    directory = b"".join(data[b * block:(b + 1) * block] for b in blocks)
    streams = struct.unpack_from("<I", directory)[0]
    sizes = struct.unpack_from(f"<{streams}I", directory, 4)
    at, result = 4 + 4 * streams, []
    for size in sizes:
        size = 0 if size == 0xFFFFFFFF else size
        n = -(-size // block)
        numbers = struct.unpack_from(f"<{n}I", directory, at)
        at += 4 * n
        result.append(b"".join(data[b * block:(b + 1) * block] for b in numbers)[:size])
    return block, result


def write_msf(block, streams):
    """The streams as an MSF 7.0 file, laid out in order: the same streams
    give the same bytes."""
    blocks = [b""] * 3  # the super block and the two free-block maps

    def place(content):
        numbers = []
        for at in range(0, len(content), block):
            while len(blocks) % block in (1, 2):  # further free-block map blocks
                blocks.append(b"")
            numbers.append(len(blocks))
            blocks.append(content[at:at + block])
        return numbers

    lists = [place(content) for content in streams]
    directory = struct.pack(f"<I{len(streams)}I", len(streams), *map(len, streams))
    directory += b"".join(struct.pack(f"<{len(n)}I", *n) for n in lists)
    directory_blocks = place(directory)
    map_block = place(struct.pack(f"<{len(directory_blocks)}I", *directory_blocks))
    if len(map_block) != 1:
        raise ValueError("directory too large")
    total = len(blocks)
    free = bytearray(b"\xff" * block)
    for i in range(total):
        free[i // 8] &= ~(1 << (i % 8)) & 0xFF
    blocks[1] = bytes(free)
    blocks[0] = MSF + struct.pack("<6I", block, 1, total, len(directory), 0, map_block[0])
    return b"".join(content.ljust(block, b"\0") for content in blocks)


def environment_without_folder(symbols, size, folder):
    """A module's symbol stream with the build folder cut from the linker's
    environment record (S_ENVBLOCK: the working folder and the PDB's path);
    the stream and its new symbol size."""
    records, at = bytearray(), 4
    while at < size:
        length, kind = struct.unpack_from("<HH", symbols, at)
        record = symbols[at:at + 2 + length]
        at += 2 + length
        if kind == 0x113D:
            texts = record[5:].split(b"\0")
            texts = texts[:texts.index(b"")] if b"" in texts else texts
            texts = [b"." if t == folder.rstrip(b"/") else t.replace(folder, b"") for t in texts]
            body = struct.pack("<H", kind) + record[4:5] + b"".join(t + b"\0" for t in texts) + b"\0"
            body += bytes(-(len(body) + 2) % 4)
            record = struct.pack("<H", len(body)) + body
        records += record
    return symbols[:4] + records + symbols[size:], 4 + len(records)


def without_folder(streams, folder):
    """The DBI stream (and the linker module's symbols) with the build
    folder cut from the module and object file names and the linker's
    environment: the linker writes them as full paths."""
    dbi = streams[3]
    header, size = dbi[:64], struct.unpack_from("<i", dbi, 24)[0]
    modules, rest, at = bytearray(), dbi[64 + size:], 64
    while at < 64 + size:
        fixed = bytearray(dbi[at:at + 64])
        names = dbi[at + 64:64 + size].split(b"\0", 2)[:2]
        at += 64 + len(names[0]) + len(names[1]) + 2
        at += -at % 4
        stream, symbol_bytes = struct.unpack_from("<HI", fixed, 34)
        if stream != 0xFFFF and folder in streams[stream]:
            streams[stream], symbol_bytes = environment_without_folder(streams[stream], symbol_bytes, folder)
            struct.pack_into("<I", fixed, 36, symbol_bytes)
        record = bytes(fixed) + b"".join(n.replace(folder, b"") + b"\0" for n in names)
        modules += record + bytes(-len(record) % 4)
    streams[3] = header[:24] + struct.pack("<i", len(modules)) + header[28:] + modules + rest


def with_ec_names(streams):
    """The DBI stream with a table of edit-and-continue names (holding only
    the empty name): binutils leaves it out, and readers that look up a
    module's source and PDB names in it (llvm-pdbutil dump -modules) stop.
    The table is laid out as the linker's /names table, which holds just the
    empty name too: signature, version, the names (two zero bytes), a hash
    table of two buckets and the count of names."""
    dbi = streams[3]
    if struct.unpack_from("<i", dbi, 52)[0]:
        return
    modules, contributions, section_map, sources, type_servers = struct.unpack_from("<5i", dbi, 24)
    at = 64 + modules + contributions + section_map + sources + type_servers
    table = struct.pack("<IIi2sI2II", 0xEFFEEFFE, 1, 2, b"\0\0", 2, 1, 0, 1)
    streams[3] = dbi[:52] + struct.pack("<i", len(table)) + dbi[56:at] + table + dbi[at:]


def finish(pdb_in, pdb_out, map_in, map_out, output_dir, build_dir):
    block, streams = read_msf(open(pdb_in, "rb").read())
    info = bytearray(streams[1])
    info[4:8] = bytes(4)  # the link's time
    streams[1] = bytes(info)
    without_folder(streams, build_dir.rstrip("/").encode() + b"/")
    with_ec_names(streams)
    data = write_msf(block, streams)
    if build_dir.encode() in data:
        sys.exit(f"{pdb_in}: the build folder is still named in the PDB")
    open(pdb_out, "wb").write(data)
    text = open(map_in, encoding="latin-1").read().replace(output_dir.rstrip("/") + "/", "")
    open(map_out, "w", encoding="latin-1").write(text)


def check(dll, full, pdb):
    record = codeview(dll)
    if codeview(full) != record:
        sys.exit(f"{dll} and {full}: different CodeView records")
    streams = read_msf(open(pdb, "rb").read())[1]
    info = streams[1]
    age, guid = struct.unpack_from("<I", info, 8)[0], info[12:28]
    if not struct.unpack_from("<i", streams[3], 52)[0]:
        sys.exit(f"{pdb}: no table of edit-and-continue names: the module list cannot be read")
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


OWN_OBJECT = re.compile(r"(^|/)libimpapi\w*\.a\(|CMakeFiles/ImpApi_tolva\.dir/")


def own_functions(map_path):
    """Name and address of each function section the linker placed from the
    plug-in's own objects (GCC's -ffunction-sections: .text$name)."""
    pending, placed = None, False
    for line in open(map_path, encoding="latin-1"):
        placed = placed or line.startswith("Linker script and memory map")  # not the discarded ones
        fields = line.split() if placed else []
        if pending and len(fields) >= 3 and fields[0].startswith("0x"):
            fields = [pending] + fields
        pending = None
        if not fields or not fields[0].startswith(".text$"):
            continue
        if len(fields) == 1:
            pending = fields[0]
        elif len(fields) >= 4 and OWN_OBJECT.search(fields[3]) and int(fields[2], 16):
            yield fields[0][6:], int(fields[1], 16)


def disassembly(full):
    """The instructions of the image's code, by function start address."""
    text = subprocess.run([("i686" if Image(full).pe32 else "x86_64") + "-w64-mingw32-objdump", "-d",
                           "--no-show-raw-insn", full], capture_output=True, text=True, check=True).stdout
    functions, current = {}, None
    for line in text.splitlines():
        if m := re.match(r"([0-9a-f]+) <", line):
            current = functions.setdefault(int(m.group(1), 16), [])
        elif current is not None and (m := re.match(r"\s*[0-9a-f]+:\s*(.*)", line)):
            current.append(m.group(1))
    return functions


FRAME_KEEPING = {"push   %ebp", "mov    %esp,%ebp", "pop    %ebp", "push   %rbp", "mov    %rsp,%rbp", "pop    %rbp"}


def keeps_frame_chain(code):
    """Sets up its frame pointer before it calls anything, and writes the
    register only to set it up and restore it: a function that calls nothing
    may leave it alone (the caller's frame stays the chain's next link)."""
    pushed = framed = False
    for at, instruction in enumerate(code):
        pushed = pushed or instruction in ("push   %ebp", "push   %rbp")
        framed = framed or (pushed and instruction in ("mov    %esp,%ebp", "mov    %rsp,%rbp"))
        if instruction.startswith("call") and not framed:
            return False
        operands = instruction.split(None, 1)[1] if " " in instruction else ""
        # Restoring a saved frame right before jumping into it (a handler's resume) keeps the chain.
        if operands.split(",")[-1] in ("%ebp", "%rbp") and instruction not in FRAME_KEEPING and \
                not code[at + 1:at + 2] == [] and not code[at + 1].startswith("jmp"):
            return False
    return True


def frames(full, map_path):
    code = disassembly(full)
    functions = list(own_functions(map_path))
    broken = [name for name, va in functions if not keeps_frame_chain(code.get(va, []))]
    for name in broken:
        print(f"{full}: {name} does not keep the frame pointer chain")
    if not functions or broken:
        sys.exit(f"{full}: {len(broken)} of {len(functions)} functions of the plug-in break the frame chain")
    print(f"{full}: all {len(functions)} functions of the plug-in keep the frame pointer chain")


if __name__ == "__main__":
    {"finish": finish, "check": check, "frames": frames}[sys.argv[1]](*sys.argv[2:])
