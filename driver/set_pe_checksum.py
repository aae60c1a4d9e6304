"""Stores the image checksum in a PE file's optional header.

The NT loader refuses kernel-mode images whose checksum does not match, and
GNU ld leaves the field 0."""
import struct
import sys


def pe_checksum(data):
    """The checksum of an image whose checksum field holds 0."""
    total = 0
    padded = data + b"\0" * (len(data) & 1)
    for (word,) in struct.iter_unpack("<H", padded):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(data)


def main(path):
    with open(path, "rb") as f:
        data = bytearray(f.read())
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    checksum_offset = pe + 4 + 20 + 64
    struct.pack_into("<I", data, checksum_offset, 0)
    struct.pack_into("<I", data, checksum_offset, pe_checksum(bytes(data)))
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
