"""The whole program under Wine against a package served on 127.0.0.1:8731 (the address the
test build carries): the typical run (also served by nginx), failures, the close cross, a
package without files, a build without an address, a second copy, a long temporary path.

Each run gets its own temporary folder (set through cmd, since Wine takes TMP from the
prefix's registry), so the unpack folder holds only what this run unpacked."""
import io
import os
import shutil
import subprocess
import tempfile
import time
import zipfile
from pathlib import Path

from harness import STARTED, TOP, PackageServer, scenarios, wait_for, windows_path

TITLE = "岫澜汇快速安装程序"
CAPTION = "KestoQuickSetup"
FAILED = "下载发生错误,请重试!"
EXCEPTION = "升级程序发生异常!"
PATH = "/introduction/download/tarune.zip"
PORT = 8731


def sample_package(w):
    out = Path(tempfile.mkdtemp(prefix="kesto-sample-")) / "tarune.zip"
    subprocess.run(["python3", str(TOP / "tools" / "sample_package.py"),
                    str(w.build / "tools" / "demo_installer.exe"), str(out)], check=True)
    return out


def package_of(entries):
    out = Path(tempfile.mkdtemp(prefix="kesto-pkg-")) / "tarune.zip"
    with zipfile.ZipFile(out, "w") as z:
        for name, data in entries.items():
            z.writestr(name, data)
    return out


class Program:
    """One run of a program build with its own temporary folder."""

    def __init__(self, w, exe=None, temp_name="t", locale=None):
        """locale: the program's own (KESTO_WINE_LOCALE), for a system whose ANSI code page
        is not 936; C.UTF-8 gives 1252."""
        self.w = w
        self.cwd = Path(tempfile.mkdtemp(prefix="kesto-cwd-"))
        self.temp = Path(tempfile.mkdtemp(prefix="kesto-tmp-")) / temp_name
        self.temp.mkdir(parents=True)
        self.tarune = self.temp / "tarune"
        temp = windows_path(self.temp) + "\\"
        exe = exe or w.program
        self.process = subprocess.Popen(
            [str(TOP / "tools" / "wine-run"), "cmd", "/c",
             f"set TMP={temp}&& set TEMP={temp}&& set KESTO_DEMO_AUTOCLOSE=1&& "
             f"{windows_path(exe)}"],
            cwd=self.cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            env=dict(os.environ, **({"KESTO_WINE_LOCALE": locale} if locale else {})),
            start_new_session=True)
        STARTED.append(self.process)
        self.started = time.monotonic()

    def wait(self, timeout=90):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.w.stop(self.process)
            raise AssertionError("the program did not end")

    def report(self):
        path = self.tarune / "demo-installer-report.txt"
        return dict(line.split("=", 1) for line in path.read_text().splitlines()) \
            if path.exists() else None

    def files(self):
        if not self.tarune.exists():
            return []
        return sorted(str(p.relative_to(self.tarune)) for p in self.tarune.rglob("*")
                      if p.is_file())


def dialog(w, timeout_ms=20000):
    rc, lines = w.driver("find", TITLE, timeout_ms)
    if rc != 0:
        raise AssertionError("the progress dialog did not appear")
    return lines[0]


def expect(condition, what):
    if not condition:
        raise AssertionError(what)


def box(w, text_start, caption_expected=CAPTION):
    caption, text, handle = w.message_box()
    expect(caption == caption_expected, caption)
    expect(text.startswith(text_start), text)
    w.driver("press", handle, 1)
    return text


def no_box(w):
    expect(w.driver("message-box", 300)[0] == 1, "a message box appeared")


def check_typical(w, run, server_requests=None):
    handle = dialog(w)
    expect(run.wait() == 0, "exit code")
    expect(w.driver("info", handle)[1][0].split()[0] == "0", "the dialog outlived the process")
    # The installer runs on its own: its report may come after the program has ended.
    report = wait_for(run.report, what="the installer's report")
    expect(run.files() == ["0KestoSetup.exe", "assets.bin", "autoupdatecpy.exe",
                           "demo-installer-report.txt", "docs/guide.txt", "notes.txt",
                           "readme.txt"], run.files())
    expect(report["program"].lower() == (windows_path(run.tarune) + "\\0KestoSetup.exe").lower(),
           report)
    expect(report["parameters"] == "", report)
    expect(report["current"].rstrip("\\").lower() == windows_path(run.cwd).lower(), report)
    if server_requests is not None:
        expect(server_requests() == [f"GET {PATH} 200"], server_requests())


def typical(w, locale=None):
    server = PackageServer(sample_package(w), "--port-exact", "--throttle", "3000000")
    try:
        check_typical(w, Program(w, locale=locale), server.requests)
    finally:
        server.stop()


def nginx(w):
    root = Path(tempfile.mkdtemp(prefix="kesto-nginx-"))
    (root / "introduction" / "download").mkdir(parents=True)
    shutil.copy(sample_package(w), root / "introduction" / "download" / "tarune.zip")
    root.chmod(0o755)
    conf = root / "nginx.conf"
    conf.write_text(f"""
daemon off;
worker_processes 1;
pid {root}/nginx.pid;
error_log {root}/error.log;
events {{ worker_connections 16; }}
http {{
    access_log {root}/access.log;
    server {{
        listen 127.0.0.1:{PORT};
        root {root};
    }}
}}
""")
    server = subprocess.Popen(["nginx", "-c", str(conf), "-p", str(root)])
    try:
        wait_for(lambda: (root / "nginx.pid").exists(), what="nginx")
        check_typical(w, Program(w))
        log = (root / "access.log").read_text()
        expect(f"GET {PATH} HTTP/1.1\" 200" in log, log)
    finally:
        server.terminate()
        server.wait()


def not_found(w):
    server = PackageServer(sample_package(w), "--port-exact", "--status", "404")
    try:
        run = Program(w)
        box(w, FAILED)
        expect(run.wait() == 0, "exit code")
    finally:
        server.stop()
    expect(run.files() == [], run.files())


def unreachable(w, locale=None):
    run = Program(w, locale=locale)
    box(w, "CInternetException for error 12029,")
    box(w, FAILED)
    expect(run.wait() == 0, "exit code")
    expect(run.files() == [], run.files())


def close_cross(w):
    server = PackageServer(sample_package(w), "--port-exact", "--throttle", "200000")
    try:
        run = Program(w)
        handle = dialog(w)
        w.driver("click", handle, 547, 20)
        expect(run.wait() == 0, "exit code")
        no_box(w)
    finally:
        server.stop()
    expect(run.report() is None, "launched after a cancel")
    expect(run.files() == [], run.files())


def only_folders(w):
    server = PackageServer(package_of({"docs/guide.txt": b"guide", "bin/tool.dat": b"x"}),
                           "--port-exact")
    try:
        run = Program(w)
        expect(run.wait() == 0, "exit code")
        no_box(w)
    finally:
        server.stop()
    expect(run.files() == ["bin/tool.dat", "docs/guide.txt"], run.files())


def no_url(w):
    run = Program(w, w.build / "KestoQuickSetupNoUrl.exe")
    box(w, "配置文件丢失!", "KestoQuickSetupNoUrl")  # the caption is the executable's name
    expect(run.wait() == 0, "exit code")


def second_copy(w, locale=None):
    server = PackageServer(sample_package(w), "--port-exact", "--throttle", "300000")
    try:
        first = Program(w, locale=locale)
        handle = dialog(w)
        second = Program(w, locale=locale)
        expect(second.wait(timeout=30) == 0, "the second copy's exit code")
        no_box(w)
        expect(w.driver("foreground")[1][0] == handle, "the first dialog is not in front")
        expect(first.process.poll() is None, "the first copy ended")
        w.driver("click", handle, 547, 20)
        first.wait()
    finally:
        server.stop()
    expect(second.files() == [], second.files())


def long_temp(w):
    server = PackageServer(sample_package(w), "--port-exact")
    try:
        run = Program(w, temp_name="x" * 90)
        expect(len(windows_path(run.temp)) > 100, "the path is not long")
        check_typical(w, run)
    finally:
        server.stop()


if __name__ == "__main__":
    scenarios({
        "typical": typical,
        "nginx": nginx,
        "not_found": not_found,
        "unreachable": unreachable,
        "close_cross": close_cross,
        "only_folders": only_folders,
        "no_url": no_url,
        "second_copy_of_running": second_copy,
        "long_temp": long_temp,
        # A system whose ANSI code page is 1252: the window title (read back through the
        # driver, which runs in 936 and so converts from the window's UTF-16 text), the
        # single-copy search and the message boxes all still read as GBK says.
        "typical_cp1252": lambda w: typical(w, "C.UTF-8"),
        "second_copy_cp1252": lambda w: second_copy(w, "C.UTF-8"),
        "unreachable_cp1252": lambda w: unreachable(w, "C.UTF-8"),
    })
