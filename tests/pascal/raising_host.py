#!/usr/bin/env python3
"""The Pascal host whose window procedure raises while the plug-in's modal
loops run (tests/pascal/RaisingHost.dpr), against the 32-bit product DLL and
the loopback portal.

  raising_host.py ROOT HOST_EXE [WINE...]
"""
import shutil
import sys

from pascal_host import DLL, make_tree, portal, run_host, verdict, windows_path

LOOPS = ["password prompt", "depot-number prompt", "portal's error box", "certificate prompt",
         "access-data dialog"]
GOOD = {"status": 200, "body": b"<depot/>"}
ERROR = {"status": 200, "body": b"<error><number>7</number><message>kaputt</message></error>"}


def main():
    work, target = make_tree("raising_host_")
    try:
        # Per loop and way to raise: the error box's request, then two good imports.
        script = []
        for loop in LOOPS:
            for _ in range(2):
                script += ([ERROR] if loop == "portal's error box" else []) + [GOOD, GOOD]
        with portal.Portal() as p, p.server() as server:
            server.script(*script)
            code, output = run_host(work, [DLL, windows_path(target), server.address])
            requests = len(server.requests)
        print(output)
        failures = []
        if code != 0 or "\n0 failed" not in output:
            failures.append("the host reported failures or did not end (exit code %d)" % code)
        if requests != len(script):
            failures.append("the portal received %d requests, not %d" % (requests, len(script)))
        return verdict(failures)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
