#!/usr/bin/env python3
"""The public interface from one table: interface/ImpApi_tolva.json.

  interface.py texts DIR       the DLL's code-to-text table (core/ResultTable.h
                               and .cpp in DIR)
  interface.py def ARCH OUT    the DLL's .def (ARCH win32: with stdcall sizes)
  interface.py update          rewrite the code lists of the C header and the
                               Pascal unit from the table
  interface.py check           compare the header, the unit, the sources and
                               the documents with the table (a ctest entry)

The header and the unit ship to host developers, so they stay checked-in,
readable files: `update` writes their code lists, `check` fails when anything
in them disagrees with the table. What only the build reads is generated.
"""
import json
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
HEADER = "include/ImpApi_tolva.h"
UNIT = "include/ImpApi_tolva.pas"
PLACEHOLDERS = ("{number}", "{message}")


def load(root=ROOT):
    table = json.loads((root / "interface/ImpApi_tolva.json").read_text(encoding="utf-8"))
    codes = table["codes"]
    for field in ("code", "name", "short"):
        values = [c[field] for c in codes]
        if len(set(values)) != len(values):
            raise ValueError("the table repeats a %s" % field)
    for c in codes:
        if not c["name"].startswith("IMPAPI_TOLVA_") or c["layer"] not in ("run", "transport"):
            raise ValueError("code %d: a name without IMPAPI_TOLVA_ or an unknown layer" % c["code"])
        if c["text"] is not None:
            cp1252(c["text"])  # raises for a character the DLL cannot hold
    return table


def cp1252(text):
    return text.encode("cp1252")


def write_if_changed(path, text):
    path = pathlib.Path(path)
    if not path.exists() or path.read_bytes() != text.encode("utf-8"):
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(text.encode("utf-8"))


def c_literal(text):
    # Every byte outside printable ASCII as an escape, so that the compiler's
    # character set cannot change a byte; a closing quote ends each escape.
    out = []
    for byte in cp1252(text):
        char = chr(byte)
        if char in '"\\':
            out.append("\\" + char)
        elif char == "\r":
            out.append("\\r")
        elif char == "\n":
            out.append("\\n")
        elif 32 <= byte < 127:
            out.append(char)
        else:
            out.append('\\x%02X" "' % byte)
    return '"%s"' % "".join(out)


def texts_sources(table):
    """The core's code-to-text table: a header and the one source that holds
    the texts (a table in a header would put a copy of every text into each
    object that includes it)."""
    note = "// Written by tools/interface.py from interface/ImpApi_tolva.json: edit the table.\n"
    rows = "".join("    {%d, %s, %s},\n" % (c["code"], "true" if c["layer"] == "transport" else "false",
                                            c_literal(c["text"] or "")) for c in table["codes"])
    header = (note + "#pragma once\n#include <cstdint>\n#include <string_view>\n\n"
              "// Every result code with its German text in code page 1252, empty when the\n"
              "// code has none. {number} and {message} stand for the portal's error number\n"
              "// and message. Transport: the transport unit renders the text.\n"
              "struct TResultCodeRow {\n    int32_t Code;\n    bool Transport;\n    std::string_view Text;\n};\n\n"
              "extern const TResultCodeRow ResultCodeRows[%d];\n" % len(table["codes"]))
    source = note + '#include "core/ResultTable.h"\n\nconst TResultCodeRow ResultCodeRows[%d] = {\n%s};\n' % (
        len(table["codes"]), rows)
    return header, source


def def_file(table, arch):
    lines = ["LIBRARY ImpApi_tolva.dll", "EXPORTS"]
    for e in table["exports"]:
        lines.append("  %s = %s@%d" % (e["name"], e["name"], e["argument_bytes"]) if arch == "win32"
                     else "  " + e["name"])
    return "\n".join(lines) + "\n"


# The code lists in the header and the unit: the one run of "NAME = VALUE"
# lines that holds the table's names of that kind.
C_LINE = re.compile(r"^\s*([A-Za-z_]\w*)\s*=\s*[-\w]+,?\s*(/\*.*\*/)?\s*$")
PAS_LINE = re.compile(r"^\s*([A-Za-z_]\w*)\s*=\s*[-\w]+;\s*(\{.*\})?\s*$")


def aligned(cells, comments, indent, opener, closer):
    width = max(len(c) for c in cells) + 1
    return [(indent + cell.ljust(width) + opener + " " + note + " " + closer).rstrip() if note else indent + cell
            for cell, note in zip(cells, comments)]


def code_lists(table):
    codes = table["codes"]
    notes = [c["note"] for c in codes]
    prefixed = ["%s = %d" % (c["name"], c["code"]) for c in codes]
    short = ["%s = %s" % (c["short"], c["name"]) for c in codes]
    comma = lambda cells: [cell + ("," if i < len(cells) - 1 else "") for i, cell in enumerate(cells)]
    return {
        (HEADER, "name"): aligned(comma(prefixed), notes, "    ", "/*", "*/"),
        (HEADER, "short"): ["    " + cell for cell in comma(short)],
        (UNIT, "name"): aligned([cell + ";" for cell in prefixed], notes, "  ", "{", "}"),
        (UNIT, "short"): ["  %s;" % cell for cell in short],
    }


def find_run(lines, pattern, names):
    """The start and end of the one run of lines holding the names; None
    when there is not exactly one."""
    runs, start = [], None
    for i, line in enumerate(lines + [""]):
        match = pattern.match(line)
        if match and start is None:
            start = i
        if not match and start is not None:
            if any(pattern.match(l).group(1) in names for l in lines[start:i]):
                runs.append((start, i))
            start = None
    return runs[0] if len(runs) == 1 else None


def regions(root, table):
    """(path, kind, lines of the file, run, wanted lines) for each code list."""
    files = {}
    for (path, kind), wanted in code_lists(table).items():
        lines = files.setdefault(path, (root / path).read_text(encoding="latin-1").split("\n"))
        pattern = C_LINE if path.endswith(".h") else PAS_LINE
        yield path, kind, lines, find_run(lines, pattern, {c[kind] for c in table["codes"]}), wanted


def update(root, table):
    changed = {}
    for path, kind, lines, run, wanted in regions(root, table):
        if run is None:
            raise SystemExit("%s: no single list of the %s names to rewrite" % (path, kind))
        lines[run[0]:run[1]] = wanted
        changed[path] = lines
    for path, lines in changed.items():
        (root / path).write_text("\n".join(lines), encoding="latin-1")


def check_code_lists(root, table):
    for path, kind, lines, run, wanted in regions(root, table):
        if run is None:
            yield "%s: no single list of the codes' %s names" % (path, kind)
        elif lines[run[0]:run[1]] != wanted:
            found = lines[run[0]:run[1]]
            diff = next((i for i, (a, b) in enumerate(zip(found, wanted)) if a != b), min(len(found), len(wanted)))
            yield "%s:%d: the codes' %s list differs from the table: found %r, the table gives %r" % (
                path, run[0] + diff + 1, kind, found[diff] if diff < len(found) else "(end)",
                wanted[diff] if diff < len(wanted) else "(end)")


def constants(text, pattern):
    found = dict(re.findall(pattern, text, re.M))
    resolve = lambda v, depth=0: int(v) if re.fullmatch(r"-?\d+", v) else (
        resolve(found[v], depth + 1) if v in found and depth < 9 else v)
    return {name: resolve(value) for name, value in found.items()}


def check_declarations(root, table):
    """The unit declares every constant and type of the header, by both names."""
    header = (root / HEADER).read_text(encoding="latin-1")
    unit = (root / UNIT).read_text(encoding="latin-1")
    c_consts = constants(header, r"^\s*(\w+)\s*=\s*([-\w]+),?")
    c_consts.update(constants(header, r"^#define (IMPAPI_\w+) ([-\w]+)"))
    pas_consts = constants(unit, r"^\s*(\w+)\s*=\s*([-\w]+);")
    for name, value in sorted(c_consts.items()):
        if pas_consts.get(name) != value:
            yield "%s: %s is %r, in %s %r" % (UNIT, name, pas_consts.get(name, "missing"), HEADER, value)
    exports = [e["name"] for e in table["exports"]]
    wanted = {"ProgrCallback"} | set(exports)
    c_types = set(re.findall(r"\(__stdcall \*ImpApiTolva(\w+)\)", header))
    pas_types = set(re.findall(r"^\s*TImpApiTolva(\w+)\s*=\s*(?:procedure|function)", unit, re.M))
    c_short = dict(re.findall(r"typedef ImpApiTolva(\w+) (T\w+);", header))
    pas_short = dict((b, a) for a, b in re.findall(r"^\s*(T\w+)\s*=\s*TImpApiTolva(\w+);", unit, re.M))
    for path, types, short in ((HEADER, c_types, c_short), (UNIT, pas_types, pas_short)):
        if types != wanted or set(short) != wanted or any(short[n] != "T" + n for n in short):
            yield "%s: the function types are %s, short %s; the table gives %s" % (
                path, sorted(types), sorted(short.values()), sorted(wanted))
    prototypes = re.findall(r"^\w+ __stdcall (\w+)\(", header, re.M)
    if prototypes != exports:
        yield "%s: the prototypes are %s, the table's exports %s" % (HEADER, prototypes, exports)
    sys.path.insert(0, str(root / "tests/pascal"))
    import check_unit  # the unit's stdcall argument sizes
    yield from ("%s: %s" % (UNIT, e) for e in check_unit.check(unit, def_file(table, "win32")))


PARAM_READ = re.compile(r'\bparam\("(\w+)"\)|\bParamValue\(\s*\w+,\s*"(\w+)"')


def check_parameters(root, table):
    """The run reads exactly the table's parameter names."""
    read = set()
    for source in sorted((root / "src").rglob("*.cpp")):
        read |= {a or b for a, b in PARAM_READ.findall(source.read_text(encoding="utf-8"))}
    if read != set(table["parameters"]):
        yield "src: the run reads the parameters %s, the table names %s" % (sorted(read), sorted(table["parameters"]))


DOCUMENTS = ("README.md", "docs/host-guide.md")


def document_cell(text):
    """A text as the documents' code tables write it; None: the code has none."""
    if text is None:
        return None
    return text.replace("\r\n", "\\r\\n").replace("{number}", "*number*").replace("{message}", "*message*")


def check_documents(root, table):
    """Each document's code table lists every code once, with its text; after
    the text a cell may add a remark in parentheses."""
    for path in DOCUMENTS:
        lines = (root / path).read_text(encoding="utf-8").split("\n")
        start = next((i for i, line in enumerate(lines) if line.startswith("| code | text")), None)
        if start is None:
            yield "%s: no table headed \"| code | text\"" % path
            continue
        rows = {}
        for number, line in enumerate(lines[start + 2:], start + 3):
            if not line.startswith("|"):
                break
            cells = [cell.strip() for cell in line.strip("|").split(" | ")]
            rows.setdefault(int(cells[0]), []).append((number, cells[1]))
        for c in table["codes"]:
            wanted = document_cell(c["text"])
            found = rows.pop(c["code"], [])
            if len(found) != 1:
                yield "%s: the code table lists %d %d times" % (path, c["code"], len(found))
            elif wanted is None and not (found[0][1] == "-" or found[0][1].startswith("(none)")):
                yield "%s:%d: %d has no text, the document gives \"%s\"" % (path, found[0][0], c["code"], found[0][1])
            elif wanted is not None and found[0][1] != wanted and not found[0][1].startswith(wanted + " ("):
                yield "%s:%d: %d reads \"%s\", the table gives \"%s\"" % (path, found[0][0], c["code"], found[0][1], wanted)
        yield from ("%s:%d: %d is not a code of the table" % (path, rows[code][0][0], code) for code in rows)
    guide = (root / DOCUMENTS[1]).read_text(encoding="utf-8")
    yield from ("%s: the parameter `%s` is not named" % (DOCUMENTS[1], name)
                for name in table["parameters"] if not re.search("`%s[`=]" % name, guide))


def check(root, table):
    return [*check_code_lists(root, table), *check_declarations(root, table), *check_parameters(root, table),
            *check_documents(root, table)]


def main(argv):
    table = load()
    if argv[:1] == ["texts"]:
        for name, text in zip(("ResultTable.h", "ResultTable.cpp"), texts_sources(table)):
            write_if_changed(pathlib.Path(argv[1], "core", name), text)
    elif argv[:1] == ["def"]:
        write_if_changed(argv[2], def_file(table, argv[1]))
    elif argv == ["update"]:
        update(ROOT, table)
    elif argv == ["check"]:
        errors = check(ROOT, table)
        for e in errors:
            print("FAIL", e)
        if errors:
            print("(after a change to the table, `tools/interface.py update` rewrites the code lists)")
            return 1
        print("ok   the header, the unit, the sources and the documents agree with interface/ImpApi_tolva.json")
    else:
        print(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
