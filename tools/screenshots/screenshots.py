#!/usr/bin/env python3
"""Pictures of every window the plug-in shows, made by the plug-in itself.

Runs the screenshot host (tools/screenshots/capture-host.cpp) against the
loopback portal and turns the BMPs it writes into small palette PNGs.

  screenshots.py --host EXE --dll DLL --images DIR -- RUNNER...
      writes DIR/<window>.png (./run screenshots)
  screenshots.py --check --host EXE --dll DLL --images DIR -- RUNNER...
      fails unless DIR holds a picture of every window, each of the size the
      window has today (a layout change needs new pictures)

RUNNER is the command that runs a Windows program (wine64, or tools/win32/run32
for a 32-bit one). The PNGs carry no time stamp or other varying data, so the
same windows give the same bytes.
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "portal"))
import portal  # noqa: E402

# The first import is cancelled while its answer trickles in; the second gets
# the portal's error answer.
TRICKLE = {"status": 200, "body": b"<depot/>" + b" " * 4088, "chunk": 64, "delay": 0.05}
ERROR = {"status": 200, "body": b"<error><number>1017</number><message>Benutzerkennung oder Passwort "
                                b"ung\xfcltig.</message></error>"}


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def read_bmp(path):
    """(width, height, rows of RGB bytes) of a top-down 32-bit BMP."""
    with open(path, "rb") as f:
        data = f.read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    if bits != 32 or height >= 0:
        raise ValueError("%s: not a top-down 32-bit bitmap" % path)
    height = -height
    rows = []
    for y in range(height):
        bgrx = data[offset + y * width * 4:offset + (y + 1) * width * 4]
        rgb = bytearray(width * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = bgrx[2::4], bgrx[1::4], bgrx[0::4]
        rows.append(bytes(rgb))
    return width, height, rows


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def encode_png(width, height, rows):
    """A palette PNG (1, 2, 4 or 8 bits a pixel) when the picture has at most
    256 colours, else RGB. The palette is sorted, so the bytes depend only on
    the pixels."""
    pixels = [row[i:i + 3] for row in rows for i in range(0, len(row), 3)]
    colours = sorted(set(pixels))
    if len(colours) <= 256:
        depth = next(d for d in (1, 2, 4, 8) if len(colours) <= 1 << d)
        index = {c: i for i, c in enumerate(colours)}
        per_byte = 8 // depth
        lines = []
        for y in range(height):
            line = bytearray(b"\0")  # filter: none (the rule for palette images)
            values = [index[p] for p in pixels[y * width:(y + 1) * width]]
            for x in range(0, width, per_byte):
                byte = 0
                for j, v in enumerate(values[x:x + per_byte]):
                    byte |= v << (8 - depth * (j + 1))
                line.append(byte)
            lines.append(bytes(line))
        header = struct.pack(">IIBBBBB", width, height, depth, 3, 0, 0, 0)
        extra = chunk(b"PLTE", b"".join(colours))
    else:
        lines = [b"\0" + row for row in rows]
        header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
        extra = b""
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + extra +
            chunk(b"IDAT", zlib.compress(b"".join(lines), 9)) + chunk(b"IEND", b""))


def png_size(path):
    """Width and height from a PNG's IHDR."""
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        raise ValueError("%s is no PNG" % path)
    return struct.unpack(">II", head[16:24])


def capture(host, dll, runner, out):
    """Runs the screenshot host; returns {name: (width, height)} of its pictures."""
    work = os.path.join(out, "work")
    os.makedirs(os.path.join(work, "import"))
    os.makedirs(os.path.join(work, "tolva"))
    env = dict(os.environ)
    for name in ("http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY"):
        env.pop(name, None)
    with portal.Portal() as p, p.server() as server:
        server.script(TRICKLE, ERROR)
        with open(os.path.join(work, "tolva", "tolva.ini"), "w") as ini:
            ini.write("[Global]\r\nHttps=0\r\nServer=%s\r\nTimeout=30\r\n" % server.address)
        # Output to a file: Wine's helper processes would hold a pipe open.
        log = os.path.join(out, "capture.log")
        with open(log, "w") as f:
            code = subprocess.call(runner + [host, windows_path(dll), windows_path(work), windows_path(out)],
                                   stdout=f, stderr=subprocess.STDOUT, env=env, timeout=300)
        text = open(log, encoding="latin-1").read()
    sys.stdout.write("".join(line + "\n" for line in text.splitlines() if line.startswith("capture:")))
    if code != 0:
        raise SystemExit("screenshots: the screenshot host failed (%d):\n%s" % (code, text))
    sizes = {}
    for line in text.splitlines():
        parts = line.split()
        if len(parts) == 3 and parts[1].isdigit() and parts[2].isdigit():
            sizes[parts[0]] = (int(parts[1]), int(parts[2]))
    return sizes


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--check", action="store_true")
    parser.add_argument("--host", required=True)
    parser.add_argument("--dll", required=True)
    parser.add_argument("--images", required=True)
    parser.add_argument("runner", nargs="+")
    args = parser.parse_args()
    out = tempfile.mkdtemp(prefix="impapi-screenshots-")
    try:
        sizes = capture(args.host, args.dll, args.runner, out)
        made = {}
        for name in sorted(sizes):
            width, height, rows = read_bmp(os.path.join(out, name + ".bmp"))
            made[name] = encode_png(width, height, rows)
        committed = {f[:-4] for f in os.listdir(args.images) if f.endswith(".png")} \
            if os.path.isdir(args.images) else set()
        if args.check:
            problems = ["no picture of the window %s" % n for n in sorted(set(made) - committed)]
            problems += ["%s.png shows no window of the plug-in" % n for n in sorted(committed - set(made))]
            for name in sorted(set(made) & committed):
                have = png_size(os.path.join(args.images, name + ".png"))
                if have != sizes[name]:
                    problems.append("%s.png is %dx%d, the window is %dx%d" % ((name,) + have + sizes[name]))
                elif open(os.path.join(args.images, name + ".png"), "rb").read() != made[name]:
                    print("note: %s.png has the window's size but other pixels" % name)
            for p in problems:
                print("screenshots: " + p)
            if problems:
                print("screenshots: run ./run screenshots and commit docs/images")
                return 1
            print("screenshots: %d pictures match their windows' sizes" % len(made))
            return 0
        os.makedirs(args.images, exist_ok=True)
        for name, data in made.items():
            path = os.path.join(args.images, name + ".png")
            with open(path, "wb") as f:
                f.write(data)
            print("%s  %dx%d  %d bytes" % (os.path.relpath(path), sizes[name][0], sizes[name][1], len(data)))
        for name in sorted(committed - set(made)):
            print("screenshots: %s.png shows no window any more: remove it" % name)
        return 0
    finally:
        shutil.rmtree(out, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
