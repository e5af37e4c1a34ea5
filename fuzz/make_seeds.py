#!/usr/bin/env python3
"""Writes the fuzzers' seed corpora: small archives of every kind the reader meets.

make_seeds.py OUT FIXTURES: OUT/archive, OUT/extract and OUT/unpack, from the unit tests'
fixtures (those under 64 KiB) and archives made here with Python's zipfile. The extraction
fuzzer's inputs start with two bytes that choose its piece size.
"""
import os
import sys
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "unit", "fixtures"))
from make_fixtures import py_zip as archive  # noqa: E402


def made_here():
    text = b"kesto tarune zip reader " * 40
    inner = archive([("autoupdate.exe", b"MZ updater", zipfile.ZIP_DEFLATED),
                     ("readme.txt", text, zipfile.ZIP_DEFLATED)])
    return {
        "stored_and_deflated.zip": archive([("a.txt", text, zipfile.ZIP_STORED),
                                            ("dir/", b"", zipfile.ZIP_STORED),
                                            ("dir/b.txt", text, zipfile.ZIP_DEFLATED)]),
        "nested.zip": archive([("setup.exe", b"MZ installer", zipfile.ZIP_STORED),
                               ("data.zip", inner, zipfile.ZIP_DEFLATED)]),
        "hostile_names.zip": archive([("../up.txt", b"x", zipfile.ZIP_STORED),
                                      ("C:/abs.txt", b"x", zipfile.ZIP_STORED),
                                      ("a/../../b.txt", b"x", zipfile.ZIP_STORED),
                                      ("file:stream", b"x", zipfile.ZIP_STORED),
                                      ("con.txt", b"x", zipfile.ZIP_STORED),
                                      (".. /dots.txt", b"x", zipfile.ZIP_STORED)]),
        "empty_items.zip": archive([("empty.txt", b"", zipfile.ZIP_DEFLATED),
                                    ("z.bin", bytes(3000), zipfile.ZIP_DEFLATED)],
                                   comment=b"comment"),
        "empty_archive.zip": archive([]),
    }


def main():
    out, fixtures = sys.argv[1], sys.argv[2]
    seeds = made_here()
    for name in sorted(os.listdir(fixtures)):
        path = os.path.join(fixtures, name)
        if name.endswith((".zip", ".bin")) and os.path.getsize(path) < 65536:
            with open(path, "rb") as f:
                seeds["fixture_" + name] = f.read()
    for target in ("archive", "extract", "unpack"):
        os.makedirs(os.path.join(out, target), exist_ok=True)
    for name, data in seeds.items():
        for target, prefix in (("archive", b""), ("unpack", b""), ("extract", b"\x00\x00"),
                               ("extract", b"\xff\x0f")):
            suffix = "" if prefix in (b"", b"\x00\x00") else ".4k"
            with open(os.path.join(out, target, name + suffix), "wb") as f:
                f.write(prefix + data)


if __name__ == "__main__":
    main()
