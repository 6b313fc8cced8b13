#!/usr/bin/env python3
"""Points a linked program's load-configuration entry at its _load_config_used.

Usage: set-load-config.py <program.exe>

MSVC's linker and lld fill data directory 10 (IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG) from the object
named _load_config_used (src/LoadConfig.cpp); GNU ld 2.40 leaves it empty. This writes the
object's address and its Size field there, found through the program's COFF symbol table (so it
runs before strip), and renews the header's checksum, as GNU ld computed it; no other byte changes.
Running it twice changes nothing more.
"""
import struct
import sys

LOAD_CONFIG = 10
MACHINE_I386 = 0x14C


def fail(message):
    sys.exit(f"set-load-config: {message}")


def checksum(image, field):
    """The PE checksum: 16-bit sums with the carries folded back in, then the file's length."""
    data = bytes(image[:field]) + bytes(4) + bytes(image[field + 4:])
    total = 0
    for (word,) in struct.iter_unpack("<H", data + bytes(len(data) % 2)):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(image)


def main():
    path = sys.argv[1]
    image = bytearray(open(path, "rb").read())
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        fail(f"{path} is not a PE image")
    machine, sections, _, symbols_at, symbols, optional_size = struct.unpack_from("<HHIIIH", image, pe + 4)
    optional = pe + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    if magic not in (0x10B, 0x20B):
        fail(f"{path} is neither PE32 nor PE32+")
    directories = optional + (96 if magic == 0x10B else 112)
    table = optional + optional_size
    headers = [struct.unpack_from("<8sIIII", image, table + 40 * i) for i in range(sections)]
    if not symbols_at:
        fail(f"{path} has no symbol table (stripped?)")

    # i386 C names carry a leading underscore.
    wanted = ("__load_config_used" if machine == MACHINE_I386 else "_load_config_used").encode()
    strings = symbols_at + 18 * symbols
    found = None
    index = 0
    while index < symbols:
        name, value, section, _, _, aux = struct.unpack_from("<8sIhHBB", image, symbols_at + 18 * index)
        if name[:4] == b"\0\0\0\0":
            start = strings + struct.unpack_from("<I", name, 4)[0]
            name = bytes(image[start:image.index(0, start)])
        else:
            name = name.rstrip(b"\0")
        if name == wanted and section > 0:
            found = (section, value)
            break
        index += 1 + aux
    if not found:
        fail(f"{path} defines no {wanted.decode()}")

    _, _, address, raw_size, raw_at = headers[found[0] - 1]
    rva, offset = address + found[1], raw_at + found[1]
    size = struct.unpack_from("<I", image, offset)[0]
    if found[1] + size > raw_size:
        fail(f"{wanted.decode()} runs past its section")
    current = struct.unpack_from("<II", image, directories + 8 * LOAD_CONFIG)
    if current not in ((0, 0), (rva, size)):
        fail(f"{path} already has a load configuration at {current[0]:#x}")
    struct.pack_into("<II", image, directories + 8 * LOAD_CONFIG, rva, size)
    struct.pack_into("<I", image, optional + 64, checksum(image, optional + 64))
    open(path, "wb").write(image)


if __name__ == "__main__":
    main()
