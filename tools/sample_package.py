#!/usr/bin/env python3
"""Builds the sample package: sample_package.py INSTALLER OUT.zip

The package holds, in this order of their names on NTFS and under Wine alike:
  0KestoSetup.exe   the demo installer; the digit sorts before every letter, so it is the
                    first plain file of the unpack folder and the one that is launched
  assets.bin        2 MiB of stored data, so that the download takes a visible moment
  data.zip          a nested archive holding autoupdate.exe (unpacked as autoupdatecpy.exe)
                    and notes.txt
  readme.txt        a GBK text
  docs/guide.txt    a file in a folder (folders are never launched)
"""
import io
import random
import sys
import zipfile
from pathlib import Path


def build(installer, out):
    inner = io.BytesIO()
    with zipfile.ZipFile(inner, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("autoupdate.exe", installer.read_bytes())
        z.writestr("notes.txt", "更新程序的说明。\r\n".encode("gbk"))
    out.parent.mkdir(parents=True, exist_ok=True)
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("0KestoSetup.exe", installer.read_bytes())
        z.writestr("assets.bin", random.Random(1).randbytes(2 * 1024 * 1024), zipfile.ZIP_STORED)
        z.writestr("data.zip", inner.getvalue(), zipfile.ZIP_STORED)
        z.writestr("readme.txt", "岫澜汇示例安装包。\r\n".encode("gbk"))
        z.writestr("docs/guide.txt", "安装指南。\r\n".encode("gbk"))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    build(Path(sys.argv[1]), Path(sys.argv[2]))
