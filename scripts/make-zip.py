#!/usr/bin/env python3
"""Writes a zip that depends on nothing but the files' bytes and the given time.

Usage: make-zip.py <zip> <folder> <unix time> <name>...

The names (paths relative to the folder, with '/') are stored in sorted order, each with the given
time (UTC, as zip's date fields have no zone), plain permissions and the same compression, so that
two builds of the same commit give byte-identical zips.
"""
import sys
import time
import zipfile
from pathlib import Path


def main():
    out, folder, when, names = sys.argv[1], Path(sys.argv[2]), int(sys.argv[3]), sys.argv[4:]
    stamp = time.gmtime(max(when, 315532800))[:6]  # zip dates start in 1980
    with zipfile.ZipFile(out, "w") as archive:
        for name in sorted(names):
            info = zipfile.ZipInfo(name, stamp)
            info.create_system = 3  # Unix, so that the permissions below are read
            info.external_attr = 0o100644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, (folder / name).read_bytes(), compresslevel=9)


if __name__ == "__main__":
    main()
