#!/usr/bin/env python3
"""The Pascal sample host against the 32-bit product DLL: one real import
against the loopback portal, and every other export.

  pascal_host.py ROOT HOST_EXE [WINE...]
"""
import os
import shutil
import subprocess
import sys
import tempfile
import urllib.parse

ROOT, HOST = sys.argv[1], sys.argv[2]
WINE = sys.argv[3:] or [os.path.join(ROOT, "tools", "win32", "run32")]
sys.path.insert(0, os.path.join(ROOT, "tests", "portal"))
import portal  # noqa: E402

ANSWER = b'<?xml version="1.0" encoding="ISO-8859-1"?>\n<depot><position isin="DE0001234567"/></depot>\n'


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def make_tree(prefix):
    """A scratch folder with the target folder and the override file's folder."""
    work = tempfile.mkdtemp(prefix=prefix)
    target = os.path.join(work, "import")
    os.makedirs(target)
    os.makedirs(os.path.join(work, "tolva"))
    return work, target


def run_host(work, args):
    """The host's exit code (-1 when it did not end in time) and output."""
    # Output into a file: Wine's helpers would keep a pipe open.
    with open(os.path.join(work, "out.txt"), "w+b") as out:
        try:
            code = subprocess.call(WINE + [HOST] + args, stdout=out, stderr=subprocess.STDOUT,
                                   stdin=subprocess.DEVNULL, timeout=240)
        except subprocess.TimeoutExpired:
            code = -1
        out.seek(0)
        return code, out.read().decode("cp1252", "replace")


def verdict(failures):
    """Prints each failure; the exit code."""
    for f in failures:
        print("FAIL", f)
    return 1 if failures else 0


DLL = windows_path(os.path.join(ROOT, "dist", "win32", "ImpApi_tolva.dll"))


def main():
    work, target = make_tree("pascal_host_")
    try:
        with portal.Portal() as p, p.server() as server:
            server.script({"status": 200, "body": ANSWER})
            with open(os.path.join(work, "tolva", "tolva.ini"), "w") as ini:
                ini.write("[Global]\r\nHttps=0\r\nServer=%s\r\nTimeout=30\r\n" % server.address)
            params = "UserLogin=pascal\\nPassword=geheim\\nClient=Pascal Host\\nNoMessageBoxes=true"
            code, output = run_host(work, [DLL, windows_path(target), params])
            requests = server.requests
        print(output)
        failures = []
        if code != 0 or "\n0 failed" not in output:
            failures.append("the host reported failures (exit code %d)" % code)
        stored = open(os.path.join(target, "tolva.xml"), "rb").read() if os.path.exists(
            os.path.join(target, "tolva.xml")) else None
        if stored != ANSWER:
            failures.append("tolva.xml is not the portal's answer")
        fields = dict(urllib.parse.parse_qsl(requests[0]["body"].decode("latin-1"), encoding="latin-1")) \
            if len(requests) == 1 else {}
        if fields.get("benutzerkennung") != "pascal" or fields.get("passwort") != "geheim" \
                or fields.get("vermittlernummer") != "4711":
            failures.append("the portal did not receive the host's one request: %s" % requests)
        return verdict(failures)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
