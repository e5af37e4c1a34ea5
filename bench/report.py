#!/usr/bin/env python3
"""The performance report: the zip reader and the whole program against their peers, in one
run on this machine. Run through bench/report (it builds and gives a display and a wineserver).

  extraction   a generated 64 MiB package (deflated and stored items, a nested archive) taken
               apart by whole processes: the zip reader to memory and to files, raw zlib
               inflate plus crc32 over the same items (the limit), Info-ZIP unzip, bsdtar and
               Python's zipfile; throughput of output and peak memory of each
  whole run    KestoQuickSetup.exe under Wine from start to exit against the loopback package
               server, against curl plus bsdtar and curl plus unzip doing the same natively;
               the program's peak memory above the same run with a tiny package

Prints the table (medians, min-max) and writes it as Markdown to bench/results/latest.md; the
plot goes to bench/results/report.png. bench/report.py [REPEATS] (default 5).
"""
import json
import os
import platform
import random
import shutil
import statistics
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
RESULTS = TOP / "bench" / "results"
CLI = TOP / "build" / "native" / "bench" / "extract_cli"
MiB = 1024 * 1024


def words(rng):
    return [bytes(rng.choice(b"abcdefghij klmnop") for _ in range(rng.randint(2, 9)))
            for _ in range(2000)]


def make_package(path, installer):
    """About 64 MiB: deflated text, stored blobs and a nested archive of 8 MiB."""
    rng = random.Random(5)
    vocabulary = words(rng)
    inner = path.parent / "data.zip"
    with zipfile.ZipFile(inner, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("autoupdate.exe", installer.read_bytes())
        for i in range(4):
            z.writestr(f"lib/part{i}.txt", b" ".join(rng.choices(vocabulary, k=400000)))
        z.writestr("lib/blob.bin", rng.randbytes(5 * MiB), zipfile.ZIP_STORED)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("0KestoSetup.exe", installer.read_bytes())
        for i in range(12):  # text that deflates about 3:1
            z.writestr(f"text/part{i:02}.txt", b" ".join(rng.choices(vocabulary, k=900000)))
        for i in range(9):  # data that does not deflate
            z.writestr(f"media/blob{i}.bin", rng.randbytes(4 * MiB), zipfile.ZIP_STORED)
        z.write(inner, "data.zip", zipfile.ZIP_STORED)
    inner.unlink()
    return path


def output_bytes(package):
    with zipfile.ZipFile(package) as z:
        return sum(i.file_size for i in z.infolist() if not i.is_dir())


def largest_nested(package):
    with zipfile.ZipFile(package) as z:
        return max((i.file_size for i in z.infolist() if ".zip" in i.filename), default=0)


def timed(command):
    """Wall time in seconds and peak resident memory in bytes of one whole process. GNU time
    reports the memory: a child forked from this large Python process would start its count
    at this process's size."""
    with tempfile.NamedTemporaryFile("r") as out:
        start = time.monotonic()
        done = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", out.name, *map(str, command)],
                              stdout=subprocess.DEVNULL)
        elapsed = time.monotonic() - start
        if done.returncode != 0:
            raise SystemExit(f"failed: {' '.join(map(str, command))}")
        return elapsed, int(out.read().split()[-1]) * 1024


def fresh(folder):
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    return folder


def extraction(package, work, repeats):
    out = work / "out"
    py = "import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])"
    tools = [
        ("raw zlib + crc32, memory", lambda: [CLI, "raw-memory", package]),
        ("zip reader, memory", lambda: [CLI, "reader-memory", package]),
        ("raw zlib + crc32, files", lambda: [CLI, "raw-files", package, fresh(out)]),
        ("zip reader, files", lambda: [CLI, "reader-files", package, fresh(out)]),
        ("bsdtar", lambda: ["bsdtar", "-xf", package, "-C", fresh(out)]),
        ("Python zipfile", lambda: [sys.executable, "-c", py, package, fresh(out)]),
        ("Info-ZIP unzip", lambda: ["unzip", "-q", "-o", package, "-d", fresh(out)]),
    ]
    rows = {}
    for _ in range(repeats):  # interleaved, so that a slow moment hits every tool alike
        for name, command in tools:
            rows.setdefault(name, []).append(timed(command()))
    shutil.rmtree(out, ignore_errors=True)
    return rows


def program_pid(name):
    """The process whose program (Wine shows the Windows path as argv[0]) is name."""
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                argv0 = Path(f"/proc/{entry}/cmdline").read_bytes().split(b"\0")[0]
            except OSError:
                continue
            if argv0.lower().endswith(name.lower().encode()):
                return entry
    return None


def peak_of_program(process, name="KestoQuickSetup.exe"):
    """The largest VmHWM of the program's process seen until process (its wrapper) ends."""
    peak, pid = 0, None
    while process.poll() is None:
        if pid is None:
            pid = program_pid(name)
        if pid is not None:
            try:
                for line in Path(f"/proc/{pid}/status").read_text().splitlines():
                    if line.startswith("VmHWM:"):
                        peak = max(peak, int(line.split()[1]) * 1024)
            except OSError:
                pass  # the program has ended; its wrapper ends next
        time.sleep(0.005)
    return peak


def run_program(w, temp):
    temp.mkdir(parents=True)
    t = windows_path(temp) + "\\"
    start = time.monotonic()
    p = subprocess.Popen([str(TOP / "tools" / "wine-run"), "cmd", "/c",
                          f"set TMP={t}&& set TEMP={t}&& set KESTO_DEMO_AUTOCLOSE=1&& "
                          f"{windows_path(w.program)}"],
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    peak = peak_of_program(p)
    elapsed = time.monotonic() - start
    if not (temp / "tarune" / "0KestoSetup.exe").exists():
        raise SystemExit("the program did not unpack the package")
    shutil.rmtree(temp, ignore_errors=True)
    return elapsed, peak


def run_curl(folder, unpacker):
    """curl and one unpacker into the empty folder."""
    start = time.monotonic()
    subprocess.run(["curl", "-s", "-o", str(folder / "tarune.zip"), URL], check=True)
    out = folder / "out"
    out.mkdir()
    if unpacker == "bsdtar":
        subprocess.run(["bsdtar", "-xf", str(folder / "tarune.zip"), "-C", str(out)], check=True)
    else:
        subprocess.run(["unzip", "-q", "-o", str(folder / "tarune.zip"), "-d", str(out)],
                       check=True)
    return time.monotonic() - start, 0


def whole_run(w, package, tiny, work, repeats):
    rows = {}
    for label, served in (("tiny", tiny), ("full", package)):
        server = PackageServer(served, "--port-exact")
        try:
            for i in range(repeats):
                rows.setdefault(f"program {label}", []).append(
                    run_program(w, work / f"run-{label}{i}"))
                if label == "full":
                    for unpacker in ("bsdtar", "unzip"):
                        rows.setdefault(f"curl + {unpacker}", []).append(
                            run_curl(fresh(work / "peer"), unpacker))
        finally:
            server.stop()
    return rows


def median(samples, index):
    return statistics.median(s[index] for s in samples)


def spread(samples, index, scale, digits):
    values = [s[index] / scale for s in samples]
    return f"{statistics.median(values):.{digits}f} ({min(values):.{digits}f}-{max(values):.{digits}f})"


def machine():
    cpu = next((line.split(":", 1)[1].strip() for line in open("/proc/cpuinfo")
                if line.startswith("model name")), platform.processor())
    wine = subprocess.run([os.environ["KESTO_WINE"], "--version"], capture_output=True, text=True).stdout.strip()
    return f"{cpu}, {os.cpu_count()} CPUs, {platform.system()} {platform.release()}, {wine}"


def report(package, extracted, whole, repeats):
    produced = output_bytes(package)
    size = package.stat().st_size
    limit = median(extracted["raw zlib + crc32, memory"], 0)
    limit_files = median(extracted["raw zlib + crc32, files"], 0)
    bsdtar = median(extracted["bsdtar"], 0)
    lines = [f"Machine: {machine()}.", "",
             f"Package: {size / MiB:.1f} MiB, {produced / MiB:.1f} MiB of output; {repeats} runs "
             "each, medians (min-max).", "",
             "| extraction (whole process) | time, ms | output, MB/s | vs its raw zlib | "
             "vs bsdtar | peak memory, MiB |",
             "|---|---|---|---|---|---|"]
    for name, samples in extracted.items():
        t = median(samples, 0)
        raw = limit if "memory" in name else limit_files
        lines.append(f"| {name} | {spread(samples, 0, 1e-3, 0)} | {produced / t / 1e6:.0f} | "
                     f"{raw / t:.3f} | {bsdtar / t:.2f} | {spread(samples, 1, MiB, 1)} |")
    baseline = median(whole["program tiny"], 1)
    program = median(whole["program full"], 0)
    lines += ["", "| whole run | time, s | ratio to the program |", "|---|---|---|"]
    for name in ("program full", "curl + bsdtar", "curl + unzip", "program tiny"):
        label = {"program full": "KestoQuickSetup under Wine",
                 "program tiny": "KestoQuickSetup under Wine, tiny package"}.get(name, name)
        lines.append(f"| {label} | {spread(whole[name], 0, 1, 2)} | "
                     f"{median(whole[name], 0) / program:.2f} |")
    above = median(whole["program full"], 1) - baseline
    budget = size + largest_nested(package) + 4 * MiB
    lines += ["",
              f"Whole run: the program takes {program / median(whole['curl + bsdtar'], 0):.2f} "
              f"times as long as curl + bsdtar, {program / median(whole['curl + unzip'], 0):.2f} "
              "times as long as curl + unzip.",
              f"Program peak memory: {median(whole['program full'], 1) / MiB:.1f} MiB, "
              f"{above / MiB:.1f} MiB above the tiny package's run ({baseline / MiB:.1f} MiB); "
              f"the budget (package + largest nested archive + 4 MiB) is {budget / MiB:.1f} MiB."]
    return "\n".join(lines) + "\n", {
        "extraction": {k: [list(s) for s in v] for k, v in extracted.items()},
        "whole": {k: [list(s) for s in v] for k, v in whole.items()},
        "output_bytes": produced, "package_bytes": size}


def main():
    repeats = int(sys.argv[1]) if len(sys.argv) > 1 else 5
    w = Windows(TOP / "build" / os.environ["KESTO_WINDOWS_PRESET"])
    work = Path(tempfile.mkdtemp(prefix="kesto-report-"))
    try:
        installer = w.build / "tools" / "demo_installer.exe"
        package = make_package(work / "tarune.zip", installer)
        tiny = work / "tiny" / "tarune.zip"
        tiny.parent.mkdir()
        with zipfile.ZipFile(tiny, "w") as z:
            z.writestr("0KestoSetup.exe", installer.read_bytes())
        extracted = extraction(package, work, repeats)
        whole = whole_run(w, package, tiny, work, repeats)
        text, data = report(package, extracted, whole, repeats)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    RESULTS.mkdir(exist_ok=True)
    (RESULTS / "latest.md").write_text(text)
    (RESULTS / "latest.json").write_text(json.dumps(data, indent=1))
    print(text)


if __name__ == "__main__":
    main()
