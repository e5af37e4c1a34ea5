"""The program against what an attacker controls: DLLs planted beside it and hostile servers.

Runs the real program under Wine the way program_e2e.py does (its own temporary folder, the
package on 127.0.0.1:8731)."""
import os
import shutil
import tempfile
from pathlib import Path

from harness import PackageServer, scenarios
from program_e2e import (FAILED, EXCEPTION, Program, box, check_typical, expect,
                         sample_package)

# Names the program loads itself (by import or at run time), and names Windows and Wine load
# for the calls it makes: none may come from the program's folder. Not Windows' known DLLs
# (shlwapi, oleaut32, ws2_32, imm32 ...), always taken from the system folder, which Wine's
# own DLLs load while the process starts; nor version, which Wine's user32 (not Windows')
# loads then, before any code of the program runs; nor propsys, which only Wine's image codecs
# (a COM server GDI+ uses under Wine) import.
PLANTED = ["gdiplus", "wininet", "comctl32", "msimg32", "dwmapi", "uxtheme", "winmm",
           "secur32", "crypt32", "iphlpapi", "winhttp", "mpr", "userenv", "dnsapi",
           "cryptbase", "netapi32", "urlmon", "iertutil"]


def planted_dlls(w):
    downloads = Path(tempfile.mkdtemp(prefix="kesto-downloads-"))
    program = downloads / "KestoQuickSetup.exe"
    shutil.copy(w.program, program)
    shutil.copy(w.driver_exe, downloads / "ui_driver.exe")
    for name in PLANTED:
        shutil.copy(w.build / "tools" / "planted_dll.dll", downloads / f"{name}.dll")
    # Wine prefers its own DLLs to any other of the same name; Windows takes one beside the
    # program first. Wine is told to do the same for these names.
    os.environ["WINEDLLOVERRIDES"] = ",".join(PLANTED) + "=n,b"
    # The premise: a plain LoadLibrary from that folder takes the planted file.
    rc, _ = w.run(downloads / "ui_driver.exe", "load", "gdiplus.dll")
    loaded = downloads / "gdiplus.dll.loaded"
    expect(rc == 1 and loaded.exists(), "the planted DLL was not found by a plain load")
    loaded.unlink()

    server = PackageServer(sample_package(w), "--port-exact", "--throttle", "3000000")
    try:
        check_typical(w, Program(w, program), server.requests)
    finally:
        server.stop()
    taken = sorted(p.name for p in downloads.glob("*.loaded"))
    expect(taken == [], f"planted DLLs were loaded: {taken}")


scenarios({
    "planted_dlls": planted_dlls,
})
