#!/usr/bin/env python3
"""Fails when CHANGELOG.md has no section for the version being built:
a release whose changes are not written down must not be packaged.

  changelog_check.py CHANGELOG VERSION
"""
import re
import sys

changelog, version = sys.argv[1], sys.argv[2]
headings = re.findall(r"^## (\S+)", open(changelog, encoding="utf-8").read(), re.M)
if version not in headings:
    sys.exit(f"{changelog}: no section '## {version}' for the version in CMakeLists.txt "
             f"(sections: {', '.join(headings) or 'none'})")
