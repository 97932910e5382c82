#!/usr/bin/env python3
"""./run demo: two real imports through the DLL against the loopback portal.

The 32-bit sample host loads the product, dist/win32/ImpApi_tolva.dll, and runs
ExportXML twice in one loaded library (through tools/win32/run32 and the i386
Wine loader: a WoW64 process, as a 32-bit host on 64-bit Windows); the override
file points the plug-in at a local portal
(plain HTTP). The first answer asks for a continuation, the second import
sends the token back.
"""
import os
import shutil
import subprocess
import sys
import urllib.parse

ROOT = sys.argv[1] if len(sys.argv) > 1 else os.getcwd()
sys.path.insert(0, os.path.join(ROOT, "tests", "portal"))
import portal  # noqa: E402

FIRST = (b'<?xml version="1.0" encoding="ISO-8859-1"?>\n<depot><position isin="DE0001234567" '
         b'stueck="100"/><AfterImport><ActionType>ContinueImport</ActionType>'
         b'<I_Token>T-2026-12-07-0001</I_Token></AfterImport></depot>\n')
SECOND = (b'<?xml version="1.0" encoding="ISO-8859-1"?>\n<depot><position isin="DE0007654321" '
          b'stueck="5"/></depot>\n')


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def main():
    work = os.path.join(ROOT, "build", "demo")
    shutil.rmtree(work, ignore_errors=True)
    target = os.path.join(work, "import")
    os.makedirs(target)
    os.makedirs(os.path.join(work, "tolva"))
    with portal.Portal() as p, p.server() as server:
        server.script({"status": 200, "body": FIRST}, {"status": 200, "body": SECOND})
        with open(os.path.join(work, "tolva", "tolva.ini"), "w") as ini:
            ini.write("[Global]\r\nHttps=0\r\nServer=%s\r\nTimeout=30\r\n" % server.address)
        print("Portal on http://%s, override file %s/tolva/tolva.ini\n" % (server.address, work))
        params = ["UserLogin=demo\\nPassword=geheim\\nClient=Demo Host\\nClientVersion=1.0 beta"
                  "\\nToken=host-token\\nNoMessageBoxes=true"] * 2
        host = os.path.join(ROOT, "dist", "win32", "impapi-host.exe")
        print("Host: %s (32-bit)\n" % host)
        # Output into a file: Wine's helpers would keep a pipe open.
        with open(os.path.join(work, "host.txt"), "w+b") as out:
            code = subprocess.call([os.path.join(ROOT, "tools", "win32", "run32"), host, "import",
                                    windows_path(target), "0"] + params, stdout=out, stderr=subprocess.STDOUT)
            out.seek(0)
            output = out.read().decode("latin-1")
        print(output)
        print("\nWhat the portal received:")
        for i, request in enumerate(server.requests, 1):
            fields = urllib.parse.parse_qsl(request["body"].decode("latin-1"), keep_blank_values=True,
                                            encoding="latin-1")
            print("  #%d %s %s: %s" % (i, request["method"], request["path"],
                                      ", ".join("%s=%s" % f for f in fields if f[0] != "passwort")))
    answer = os.path.join(target, "tolva.xml")
    if code != 0 or not os.path.exists(answer):
        # The host prints each result with its text; its exit code is the last result.
        results = [line.strip() for line in output.splitlines() if line.startswith("  result ")]
        print("\ndemo: FAILED: " + ("the last import gave " + results[-1][len("result "):] if results else
                                    "the 32-bit host did not start (exit code %d)" % code), file=sys.stderr)
        return code or 1
    print("\ntolva.xml now holds:\n" + open(answer, "rb").read().decode("latin-1"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
