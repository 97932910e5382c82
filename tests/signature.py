"""Compares a signed PE image with the unsigned one it came from: apart from
the certificate table, the data directory entry that points to it and the
header checksum that covers it, every byte must be the same."""
import struct
import sys


def layout(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    security = directories + 4 * 8
    return optional + 64, security, struct.unpack_from("<II", data, security)


def main(unsigned_path, signed_path):
    unsigned = open(unsigned_path, "rb").read()
    signed = open(signed_path, "rb").read()
    checksum, security, (offset, size) = layout(signed)
    if layout(unsigned)[2] != (0, 0):
        sys.exit(f"{unsigned_path}: already has a certificate table")
    if offset < len(unsigned) or offset + size != len(signed):
        sys.exit(f"{signed_path}: the certificate table is not appended at the end")
    # The table starts on an 8-byte boundary: only zeros may pad the image to it.
    if signed[len(unsigned):offset].strip(b"\0"):
        sys.exit(f"{signed_path}: bytes other than padding before the certificate table")
    masked = bytearray(signed[:len(unsigned)])
    original = bytearray(unsigned)
    for field, length in ((checksum, 4), (security, 8)):
        masked[field:field + length] = original[field:field + length]
    if masked != original:
        first = next(i for i in range(len(original)) if masked[i] != original[i])
        sys.exit(f"{signed_path}: the signature changed the image at offset {first:#x}")
    print(f"{signed_path}: image unchanged, certificate table of {size} bytes at {offset:#x}")


if __name__ == "__main__":
    main(*sys.argv[1:])
