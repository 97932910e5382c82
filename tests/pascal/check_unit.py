#!/usr/bin/env python3
"""Checks the Pascal unit's stdcall declarations against the DLL's .def.

A stdcall function removes its own arguments from the stack; the .def of the
32-bit DLL names each export with that byte count (ExportXML = ExportXML@20).
A procedural type in the unit whose arguments add up to another count would
unbalance the host's stack on every call, silently.

  check_unit.py UNIT DEF            check the unit
  check_unit.py --self-test UNIT DEF
                                    also prove that the check catches a wrong
                                    LastImport ("const LastImport: Double")
"""
import re
import sys

# Bytes a value of each type takes on the i386 stack. var/out/constref and
# open arrays pass an address; "const" passes simple types by value, as Delphi does.
SIZES = {"int32": 4, "longint": 4, "integer": 4, "cardinal": 4, "longword": 4, "dword": 4, "pointer": 4,
         "pansichar": 4, "pchar": 4, "pdouble": 4, "pshortstring": 4, "longbool": 4, "single": 4,
         "double": 8, "int64": 8, "qword": 8, "currency": 8, "comp": 8, "extended": 12}


def argument_bytes(params, procedural_types):
    total = 0
    for group in filter(None, (g.strip() for g in params.split(";"))):
        names, _, type_name = group.partition(":")
        names = names.split()
        by_reference = names[0].lower() in ("var", "out", "constref")
        if names[0].lower() in ("var", "out", "const", "constref"):
            names = names[1:]
        count = len(" ".join(names).split(","))
        type_name = type_name.strip().lower()
        if by_reference:
            size = 4
        elif type_name in SIZES:
            size = SIZES[type_name]
        elif type_name in procedural_types:
            size = 4
        else:
            raise ValueError("unknown parameter type %r" % type_name)
        total += count * size
    return total


def check(unit_text, def_text):
    exports = dict((name, int(size)) for name, size in re.findall(r"^\s*(\w+)\s*=\s*\w+@(\d+)", def_text, re.M))
    if not exports:
        return ["no stdcall exports in the .def"]
    types = {}
    pattern = re.compile(r"TImpApiTolva(\w+)\s*=\s*(?:procedure|function)\s*(?:\(([^)]*)\))?[^;]*;\s*(\w+)\s*;",
                         re.I | re.S)
    for name, params, convention in pattern.findall(unit_text):
        types[name] = (params or "", convention)
    procedural = {"timpapitolva" + name.lower() for name in types}
    errors = []
    for name, expected in sorted(exports.items()):
        if name not in types:
            errors.append("%s: no type TImpApiTolva%s in the unit" % (name, name))
            continue
        params, convention = types[name]
        if convention.lower() != "stdcall":
            errors.append("%s: declared %s, not stdcall" % (name, convention))
        try:
            actual = argument_bytes(params, procedural)
        except ValueError as e:
            errors.append("%s: %s" % (name, e))
            continue
        if actual != expected:
            errors.append("%s: the unit passes %d bytes, the DLL removes %d" % (name, actual, expected))
    return errors


def main(argv):
    self_test = argv[:1] == ["--self-test"]
    unit_path, def_path = argv[1:] if self_test else argv
    unit_text = open(unit_path, encoding="latin-1").read()
    def_text = open(def_path).read()
    errors = check(unit_text, def_text)
    for e in errors:
        print("FAIL", e)
    if not errors:
        print("ok   every export of %s matches its declaration in %s" % (def_path, unit_path))
    if self_test:
        wrong = unit_text.replace("LastImport: PDouble", "const LastImport: Double")
        caught = check(wrong, def_text)
        if caught == ["ExportXML: the unit passes 24 bytes, the DLL removes 20"]:
            print("ok   a LastImport declared as const Double is caught")
        else:
            print("FAIL a LastImport declared as const Double is not caught: %s" % caught)
            errors.append("self-test")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
