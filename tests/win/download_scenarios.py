"""The download worker against the loopback package server: download_probe runs the real
worker with a real UI thread and reports the notices, titles, exit code, event and hand-over;
the scenarios check them, the server's log, message boxes and the unpack folder."""
import io
import os
import random
import socket
import sys
import tempfile
import zipfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "e2e"))
from harness import PackageServer, scenarios, windows_path  # noqa: E402

PATH = "/introduction/download/tarune.zip"
TITLE = "岫澜汇快速安装程序"
FAILED = "4294967295"  # -1 as the exit code's 32 bits, printed signed below
OTHER_FAILURE = "升级程序发生异常!"


def package_file(data):
    folder = Path(tempfile.mkdtemp(prefix="kesto-package-"))
    path = folder / "tarune.zip"
    path.write_bytes(data)
    return path


def random_bytes(n, seed=7):
    return random.Random(seed).randbytes(n)


def sample_zip():
    inner = io.BytesIO()
    with zipfile.ZipFile(inner, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("autoupdate.exe", b"MZ inner updater")
    outer = io.BytesIO()
    with zipfile.ZipFile(outer, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("setup.exe", b"MZ setup" * 1000)
        z.writestr("readme.txt", "说明".encode("gbk"))
        z.writestr("data.zip", inner.getvalue(), zipfile.ZIP_STORED)
    return outer.getvalue()


class Run:
    def __init__(self, w, url, *options, box=None):
        self.target = Path(tempfile.mkdtemp(prefix="kesto-target-")) / "tarune"
        process = w.start(w.build / "tests" / "win" / "download_probe.exe", url,
                          windows_path(self.target), *options)
        self.box = None
        if box is not None:  # True, or how many ms the box may take to come
            self.box = w.message_box(20000 if box is True else box)
            w.driver("press", self.box[2], 1)
        out, _ = process.communicate(timeout=120)
        self.lines = out.decode("gbk").splitlines()
        facts = dict(line.split(" ", 1) for line in self.lines if " " in line)
        self.exit = facts.get("exit")
        self.event = facts.get("event")
        self.ui = facts.get("uithread")
        self.notices = [tuple(line.split(" ", 2)[1:]) for line in self.lines
                        if line.startswith("notice ")]
        self.titles = [line[6:] for line in self.lines if line.startswith("title ")]
        self.found = facts.get("found")

    def unpacked(self):
        if not self.target.exists():
            return []
        return sorted(p.name for p in self.target.iterdir())


def serve(data, *options):
    return PackageServer(package_file(data), *options)


def url(server):
    return f"http://127.0.0.1:{server.port}{PATH}"


def served_run(w, data, *server_options, probe=(), box=None):
    """One probe run against a server of data with these options, stopped afterwards."""
    server = serve(data, *server_options)
    try:
        return Run(w, url(server), *probe, box=box)
    finally:
        server.stop()


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def expect(condition, what):
    if not condition:
        raise AssertionError(what)


def failed_quietly(run):
    expect(run.exit == "-1", f"exit {run.exit}")
    expect(run.event == "1", "event not signalled")
    expect(run.ui == "0", "UI thread handed over")
    expect(run.unpacked() == [], f"unpacked {run.unpacked()}")


def not_found(w):
    server = serve(sample_zip(), "--status", "404")
    try:
        run = Run(w, url(server))
    finally:
        server.stop()
    failed_quietly(run)
    expect(run.notices == [] and run.titles == [], f"a UI thread ran: {run.lines}")
    expect(server.requests() == [f"GET {PATH} 404"], server.requests())


def unreachable(w):
    run = Run(w, f"http://127.0.0.1:{free_port()}{PATH}", box=True)
    caption, text, _ = run.box
    expect(caption == "download_probe", caption)
    expect(text.startswith("CInternetException for error 12029,"), text)
    expect(len(text.strip()) > len("CInternetException for error 12029,"), "no system text")
    failed_quietly(run)


def no_server(w):
    # A URL that names no server fails as an invalid URL, with the internet message.
    run = Run(w, "http:///introduction/download/tarune.zip", box=True)
    expect(run.box[1].startswith("CInternetException for error 12005,"), run.box[1])
    failed_quietly(run)


def one_chunk(w):
    run = served_run(w, random_bytes(100))
    expect(run.notices == [("100", "正在下载（100%）......"), ("100", "下载完成")], run.notices)
    expect(run.titles == [TITLE], run.titles)
    expect((run.exit, run.event, run.ui) == ("0", "1", "1"), run.lines)


def every_notice_of_a_megabyte(run):
    """The title, and one notice per percentage from the first on: a read is at most 10240
    bytes, under 1 % of the package, so the first percentage the worker meets is 1."""
    expect(run.titles == [TITLE], f"titles {run.titles}")
    expect(run.found == "1", "a search by the title does not find the dialog")
    expect(run.notices and run.notices[-1] == ("100", "下载完成"), run.notices[-1:])
    percents = [int(p) for p, _ in run.notices[:-1]]
    expect(percents and percents[0] == 1, f"first notices {percents[:3]}")
    expect(percents[-1] == 100, percents[-5:])
    expect(all(a < b for a, b in zip(percents, percents[1:])), f"not one per change: {percents}")
    expect(all(text == f"正在下载（{p}%）......" for p, text in run.notices[:-1]), run.notices)
    expect(len(percents) > 50, f"only {len(percents)} notices")
    expect((run.exit, run.ui) == ("0", "1"), run.lines)


def megabyte(w):
    every_notice_of_a_megabyte(served_run(w, random_bytes(1048576)))


def slow_dialog(w):
    # The dialog comes a second after the UI thread starts, long after the 100 ms pause.
    every_notice_of_a_megabyte(served_run(w, random_bytes(1048576),
                                          probe=("--slow-dialog", "1000")))


def no_dialog(w):
    # A UI thread that makes no window: nothing to title or notify, and the run goes on.
    run = served_run(w, sample_zip(), probe=("--no-dialog",))
    expect(run.notices == [] and run.titles == [], run.lines)
    expect((run.exit, run.event, run.ui, run.found) == ("0", "1", "1", "0"), run.lines)
    expect(run.unpacked() == ["autoupdatecpy.exe", "readme.txt", "setup.exe"], run.unpacked())


def cancel(w):
    run = served_run(w, random_bytes(1048576), "--throttle", "400000",
                     probe=("--cancel-after", "3"))
    expect(len(run.notices) == 3, f"notices after the cancel: {run.notices}")
    expect(all(text != "下载完成" for _, text in run.notices), run.notices)
    expect((run.exit, run.event, run.ui) == ("0", "1", "1"), run.lines)
    expect(run.unpacked() == [], run.unpacked())


def finished(w):
    run = served_run(w, sample_zip())
    expect((run.exit, run.event, run.ui) == ("0", "1", "1"), run.lines)
    expect(run.unpacked() == ["autoupdatecpy.exe", "readme.txt", "setup.exe"],
           run.unpacked())
    expect((run.target / "setup.exe").read_bytes() == b"MZ setup" * 1000, "setup.exe differs")


def refused(w, *options, data=None):
    run = served_run(w, data or sample_zip(), *options, box=True)
    expect(run.box[1] == OTHER_FAILURE, run.box[1])
    failed_quietly(run)
    expect(all(text != "下载完成" for _, text in run.notices), run.notices)


def no_ui_thread(w):
    run = served_run(w, sample_zip(), probe=("--no-ui",), box=True)
    expect(run.box[1] == OTHER_FAILURE, run.box[1])
    failed_quietly(run)


def stall(w):
    # Headers, then nothing for longer than the receive time-out (20 s): the run ends with the
    # time-out error instead of waiting for the server. Windows reports 12002; Wine passes the
    # socket's own 10060 through.
    run = served_run(w, sample_zip(), "--stall", "45", box=40000)
    expect(run.box[1].startswith(("CInternetException for error 12002,",
                                  "CInternetException for error 10060,")), run.box[1])
    failed_quietly(run)


scenarios({
    "stall": stall,
    "not_found": not_found,
    "unreachable": unreachable,
    "no_server": no_server,
    "one_chunk": one_chunk,
    "megabyte": megabyte,
    "slow_dialog": slow_dialog,
    "no_dialog": no_dialog,
    "cancel": cancel,
    "finished": finished,
    "no_length": lambda w: refused(w, "--no-length"),
    "longer_than_announced": lambda w: refused(w, "--length", "1000"),
    "shorter_than_announced": lambda w: refused(w, "--length", str(len(sample_zip()) + 500)),
    "no_ui_thread": no_ui_thread,
})
