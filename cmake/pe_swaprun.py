#!/usr/bin/python3
"""Marks a Windows program to run from the paging file when it is started
from removable media, and writes its header checksum anew.

    pe_swaprun.py PROGRAM.exe

NT copies a program whose header carries IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP
into the paging file when it loads it, so that the disc it came from may be
taken out; the flag changes the header, so the checksum is computed again
(the linker leaves it 0).
"""
import array
import struct
import sys

REMOVABLE_RUN_FROM_SWAP = 0x0400


def checksum(data, field):
    """The PE header checksum of `data`, with the 4 bytes at `field` (the
    checksum itself) taken as 0: the 16-bit words added with the carries
    folded back in, plus the file's length."""
    padded = bytearray(data) + (b"\0" if len(data) % 2 else b"")
    padded[field:field + 4] = b"\0\0\0\0"
    words = array.array("H")
    words.frombytes(bytes(padded))
    if sys.byteorder != "little":
        words.byteswap()
    total = sum(words)
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(data)


def mark(path):
    data = bytearray(open(path, "rb").read())
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0" or struct.unpack_from("<H", data, pe + 24)[0] != 0x10B:
        sys.exit("pe_swaprun: %s is no PE32 program" % path)
    characteristics = pe + 22
    field = pe + 24 + 64
    struct.pack_into("<H", data, characteristics,
                     struct.unpack_from("<H", data, characteristics)[0] | REMOVABLE_RUN_FROM_SWAP)
    struct.pack_into("<I", data, field, checksum(data, field))
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    mark(sys.argv[1])
