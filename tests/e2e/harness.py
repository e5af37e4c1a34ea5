"""What the end-to-end scenarios share: running Windows programs in the project's prefix,
the UI driver, the package server, and bounded polling."""
import os
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time
from pathlib import Path

TOP = Path(__file__).resolve().parents[2]
WINE_RUN = TOP / "tools" / "wine-run"
# The prefix tools/wine-env.sh chose; every scenario runs under tools/wine-session.
PREFIX = Path(os.environ["WINEPREFIX"])


# Every Windows program a scenario starts, so that none outlives it: a program left behind a
# message box would take the next scenario's clicks.
STARTED = []


def windows_path(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def wait_for(condition, timeout=20.0, what="condition"):
    end = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.05)


class Windows:
    def __init__(self, build):
        self.build = Path(build).resolve()
        self.program = self.build / "KestoQuickSetup.exe"
        self.driver_exe = self.build / "tools" / "ui_driver.exe"

    def start(self, exe, *args, env=None):
        full = dict(os.environ)
        full.update(env or {})
        process = subprocess.Popen([str(WINE_RUN), str(exe), *map(str, args)], env=full,
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                   start_new_session=True)
        STARTED.append(process)
        return process

    @staticmethod
    def stop(process):
        """Ends a started program with its wrapper (they share a process group)."""
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        process.wait()

    def run(self, exe, *args, timeout=60, env=None):
        process = self.start(exe, *args, env=env)
        try:
            out, _ = process.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            raise AssertionError(f"{Path(exe).name} did not end within {timeout} s")
        return process.returncode, out.decode("gbk", "replace")

    def driver(self, *args, timeout=60):
        rc, out = self.run(self.driver_exe, *args, timeout=timeout)
        return rc, out.splitlines()

    def message_box(self, timeout_ms=20000):
        """Caption, text and handle of the message box that appears, or an AssertionError."""
        rc, lines = self.driver("message-box", timeout_ms)
        if rc != 0:
            raise AssertionError("no message box appeared")
        return lines[1], "\n".join(lines[2:]), lines[0]

    def temp_folder(self):
        """The Unix path of the prefix user's temporary folder."""
        users = PREFIX / "drive_c" / "users"
        user = os.environ.get("USER") or "root"
        return users / user / "Temp"


class PackageServer:
    def __init__(self, package, *options, exact_port="8731"):
        """--port-exact (first) serves on the program's own port (8731 unless exact_port says
        otherwise) instead of a free one."""
        self.dir = Path(tempfile.mkdtemp(prefix="kesto-server-"))
        self.log = self.dir / "requests.log"
        port_file = self.dir / "port"
        port = "0"
        if options and options[0] == "--port-exact":
            port, options = exact_port, options[1:]
        self.process = subprocess.Popen(
            [sys.executable, str(TOP / "tools" / "package_server.py"), str(package), "--port",
             port, "--port-file", str(port_file), "--log", str(self.log), *map(str, options)])
        self.port = int(wait_for(lambda: port_file.exists() and port_file.read_text(),
                                 what="the package server's port"))

    def requests(self):
        return self.log.read_text().splitlines() if self.log.exists() else []

    def stop(self):
        self.process.kill()
        self.process.wait()


def remove_tree(path):
    """Removes a folder whatever it holds, read-only files included."""
    def writable_again(function, name, _):
        os.chmod(name, stat.S_IRWXU)
        function(name)
    shutil.rmtree(path, onerror=writable_again)


def scenarios(table):
    """Runs the scenario named by the first argument (the build folder is the second). Every
    temporary file and folder it makes lies in one folder of its own, removed afterwards."""
    name, build = sys.argv[1], sys.argv[2]
    tempfile.tempdir = tempfile.mkdtemp(prefix="kesto-scenario-")
    os.chmod(tempfile.tempdir, 0o711)  # nginx's worker, another user, must pass through
    try:
        table[name](Windows(build))
    except AssertionError as failure:
        print(f"FAILED {name}: {failure}")
        sys.exit(1)
    finally:
        for process in STARTED:
            if process.poll() is None:
                Windows.stop(process)
        remove_tree(tempfile.tempdir)
        tempfile.tempdir = None
    print(f"passed {name}")
