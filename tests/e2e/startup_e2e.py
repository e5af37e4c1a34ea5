"""Start-up of the real program: the running-product guard and a second copy."""
import shutil
import tempfile
from pathlib import Path

from harness import scenarios, windows_path

TITLE = "岫澜汇快速安装程序"


def product_running(w):
    folder = Path(tempfile.mkdtemp(prefix="kesto-product-"))
    product = folder / "kesto.exe"
    shutil.copy(w.build / "tests" / "e2e" / "kesto_stub.exe", product)
    stop = folder / "stop"
    # The guard does not compare the snapshot's first entry: another process goes first.
    keeper = w.start(w.driver_exe, "window", "keeper")
    keeper.stdout.readline()
    stub = w.start(product, windows_path(stop))
    try:
        # The stub must be running before the program looks for it.
        assert w.driver("process", "kesto.exe")[0] == 0, "the stub did not start"
        program = w.start(w.program)
        caption, text, box = w.message_box()
        assert caption == "KestoQuickSetup", caption
        assert text == "岫澜电子经纪平台正在运行，请退出后再试!", text
        w.driver("press", box, 1)
        rc = program.wait(timeout=30)
        assert rc == 0, rc
    finally:
        stop.write_text("")
        stub.wait(timeout=30)
        w.stop(keeper)


def second_copy(w, iconic):
    window = w.start(w.driver_exe, "window", TITLE, *(["iconic"] if iconic else []))
    try:
        handle = window.stdout.readline().decode().strip()
        rc, out = w.run(w.program, timeout=60)
        assert rc == 0, rc
        rc, lines = w.driver("info", handle)
        exists, visible, is_iconic = lines[0].split()[:3]
        assert (exists, visible, is_iconic) == ("1", "1", "0"), lines
        rc, lines = w.driver("foreground")
        assert lines[0] == handle, (lines, handle)
        rc, _ = w.driver("message-box", 500)
        assert rc == 1, "a message box appeared"
    finally:
        w.stop(window)


scenarios({
    "product_running": product_running,
    "second_copy": lambda w: second_copy(w, False),
    "second_copy_minimised": lambda w: second_copy(w, True),
})
