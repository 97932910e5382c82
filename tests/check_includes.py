#!/usr/bin/env python3
"""Every include under src/ names the layer folder of what it includes.

A quoted include is looked up beside the including file before the include
roots, so a bare name ("X.h") or a path with ".." reaches files the layer
does not publish. Only "folder/Name.h" goes through the include roots, which
hold the headers of the layer and of those below it.
"""
import pathlib
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]*)[>"]')


def faults(root):
    for path in sorted(root.rglob('*')):
        if not path.is_file():
            continue
        lines = path.read_text(encoding='utf-8', errors='replace').splitlines()
        for number, line in enumerate(lines, 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            quote, name = match.groups()
            parts = re.split(r'[/\\]', name)
            if '..' in parts:
                yield f'{path}:{number}: a relative include: {line.strip()}'
            elif quote == '"' and len(parts) < 2:
                yield f'{path}:{number}: an include without its folder: {line.strip()}'


def main():
    found = list(faults(pathlib.Path(sys.argv[1])))
    for fault in found:
        print(fault)
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main())
