"""The program against what an attacker controls: DLLs planted beside it and hostile servers.

Runs the real program under Wine the way program_e2e.py does (its own temporary folder, the
package on 127.0.0.1:8731)."""
import os
import shutil
import subprocess
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


def certificate(folder, name):
    """A self-signed certificate for 127.0.0.1: (PEM certificate, PEM key, DER certificate).
    The address is named as an IP address (what Windows matches) and as a DNS name (what
    Wine's check matches)."""
    cert, key, der = (folder / f"{name}.pem", folder / f"{name}.key", folder / f"{name}.der")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1,DNS:127.0.0.1",
                    "-keyout", str(key), "-out", str(cert)], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["openssl", "x509", "-in", str(cert), "-outform", "DER", "-out", str(der)],
                   check=True)
    return cert, key, der


def https(trusted):
    """The https build against a loopback TLS server whose certificate the prefix trusts (the
    whole run works) or does not (the run fails with the certificate error, nothing comes)."""
    def scenario(w):
        folder = Path(tempfile.mkdtemp(prefix="kesto-tls-"))
        cert, key, der = certificate(folder, "server")
        if trusted:
            rc, _ = w.run(w.build / "tools" / "trust_cert.exe", der)
            expect(rc == 0, "the certificate could not be trusted")
        server = PackageServer(sample_package(w), "--port-exact", "--tls", cert, key,
                               exact_port="8733")
        try:
            run = Program(w, w.build / "KestoQuickSetupTls.exe")
            if trusted:
                check_typical(w, run, server.requests)
                return
            texts = boxes_until_end(w, run)
            expect(run.wait() == 0, "exit code")
        finally:
            server.stop()
        expect(len(texts) == 2 and texts[0].startswith(CERTIFICATE) and texts[1] == FAILED,
               texts)
        expect(run.files() == [], run.files())
    return scenario


def boxes_until_end(w, run):
    """The texts of the message boxes the program shows, each answered, until it ends."""
    texts = []
    while run.process.poll() is None:
        rc, lines = w.driver("message-box", 500)
        if rc == 0:
            texts.append("\n".join(lines[2:]))
            w.driver("press", lines[0], 1)
    return texts


def hostile_server(*options, first):
    def scenario(w):
        server = PackageServer(sample_package(w), "--port-exact", *options)
        try:
            run = Program(w)
            texts = boxes_until_end(w, run)
            expect(run.wait() == 0, "exit code")
        finally:
            server.stop()
        expect(len(texts) == 2 and texts[0].startswith(first) and texts[1] == FAILED, texts)
        expect(run.files() == [], run.files())
    return scenario


# A stall after the headers ends at the 20 s receive time-out: Windows reports 12002, Wine
# passes the socket's own 10060 through. Every other lie about the body is refused.
TIMED_OUT = ("CInternetException for error 12002,", "CInternetException for error 10060,")
# An unknown issuer: ERROR_INTERNET_INVALID_CA, or the wider certificate error.
CERTIFICATE = ("CInternetException for error 12045,", "CInternetException for error 12175,")

if __name__ == "__main__":
    scenarios({
        "planted_dlls": planted_dlls,
        "https_trusted": https(trusted=True),
        "https_untrusted": https(trusted=False),
        "server_stall": hostile_server("--stall", "45", first=TIMED_OUT),
        "server_cut": hostile_server("--cut-after", "20000", first=EXCEPTION),
        "server_length_0": hostile_server("--length", "0", first=EXCEPTION),
        "server_length_absent": hostile_server("--no-length", first=EXCEPTION),
        "server_length_text": hostile_server("--length", "12ab", first=EXCEPTION),
        "server_length_negative": hostile_server("--length", "-5", first=EXCEPTION),
        "server_length_33_bits": hostile_server("--length", "4294967296", first=EXCEPTION),
    })
