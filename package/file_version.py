"""Prints the file version (major.minor.build.revision) of a Windows binary,
read from the fixed part of its version resource."""

import struct
import sys

SIGNATURE = struct.pack("<I", 0xFEEF04BD)


def file_version(data):
    # The signature followed by the structure's version 1.0.
    at = data.find(SIGNATURE + struct.pack("<I", 0x00010000))
    if at < 0:
        raise ValueError("no version resource")
    most, least = struct.unpack_from("<II", data, at + 8)
    return most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as f:
        print(".".join(str(n) for n in file_version(f.read())))
