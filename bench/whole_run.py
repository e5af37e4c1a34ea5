#!/usr/bin/env python3
"""The whole program's run against its peers, in one run on this machine:

  start to first visible dialog   KestoQuickSetup.exe started until the UI driver sees the
                                  progress dialog (includes Wine's process start)
  whole run, 64 MiB package       KestoQuickSetup.exe from start to exit (download, unpack,
                                  launch), against curl fetching the same package plus
                                  Info-ZIP unzip unpacking it, natively

Run with a display and a live wineserver (scripts/test's set-up), or through
tests/e2e/run_e2e.sh: tests/e2e/run_e2e.sh bench/whole_run.py [REPEATS]
"""
import random
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile
from pathlib import Path

TOP = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(TOP / "tests" / "e2e"))
from harness import PackageServer, Windows, windows_path  # noqa: E402

URL = "http://127.0.0.1:8731/introduction/download/tarune.zip"


def make_package(path, installer):
    rng = random.Random(5)
    words = [bytes(rng.choice(b"abcdefghij klmnop") for _ in range(rng.randint(2, 9)))
             for _ in range(2000)]
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("0KestoSetup.exe", installer.read_bytes())
        for i in range(16):  # text that deflates about 3:1
            z.writestr(f"text/part{i:02}.txt", b" ".join(rng.choices(words, k=900000)))
        for i in range(8):  # data that does not deflate
            z.writestr(f"media/blob{i}.bin", rng.randbytes(4 * 1024 * 1024), zipfile.ZIP_STORED)
    return path


def run_program(w, temp):
    temp.mkdir(parents=True)
    t = windows_path(temp) + "\\"
    start = time.monotonic()
    p = subprocess.Popen([str(TOP / "tools" / "wine-run"), "cmd", "/c",
                          f"set TMP={t}&& set TEMP={t}&& set KESTO_DEMO_AUTOCLOSE=1&& "
                          f"{windows_path(w.program)}"],
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    rc, _ = w.driver("find", "岫澜汇快速安装程序", 60000)
    shown = time.monotonic() - start if rc == 0 else float("nan")
    p.wait(timeout=600)
    return shown, time.monotonic() - start


def run_peers(folder):
    start = time.monotonic()
    subprocess.run(["curl", "-s", "-o", str(folder / "tarune.zip"), URL], check=True)
    subprocess.run(["unzip", "-q", "-o", str(folder / "tarune.zip"), "-d", str(folder / "out")],
                   check=True)
    return time.monotonic() - start


def main():
    repeats = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    w = Windows(TOP / "build" / "windows")
    work = Path(tempfile.mkdtemp(prefix="kesto-bench-"))
    package = make_package(work / "tarune.zip", w.build / "tools" / "demo_installer.exe")
    size = package.stat().st_size
    server = PackageServer(package, "--port-exact")
    shown, program, peers = [], [], []
    try:
        for i in range(repeats):
            s, t = run_program(w, work / f"run{i}")
            shown.append(s)
            program.append(t)
            peer_dir = work / f"peer{i}"
            peer_dir.mkdir()
            peers.append(run_peers(peer_dir))
            shutil.rmtree(work / f"run{i}", ignore_errors=True)
            shutil.rmtree(peer_dir, ignore_errors=True)
    finally:
        server.stop()
        shutil.rmtree(work, ignore_errors=True)
    med = lambda xs: sorted(xs)[len(xs) // 2]  # noqa: E731
    print(f"package: {size / 2**20:.1f} MiB, {repeats} runs, medians (min-max)")
    print(f"start to first visible dialog: {med(shown) * 1000:.0f} ms "
          f"({min(shown) * 1000:.0f}-{max(shown) * 1000:.0f})")
    print(f"KestoQuickSetup whole run:     {med(program):.2f} s "
          f"({min(program):.2f}-{max(program):.2f})")
    print(f"curl + unzip (native):         {med(peers):.2f} s ({min(peers):.2f}-{max(peers):.2f})")
    print(f"ratio program / (curl + unzip): {med(program) / med(peers):.2f}")


if __name__ == "__main__":
    main()
