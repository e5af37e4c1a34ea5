#!/usr/bin/env python3
"""Serves one package at /introduction/download/tarune.zip on a loopback port.

Every request is logged, one line each ("GET /path STATUS"), to --log (default stderr).
Other paths answer 404. Fault modes, for the tests of the download:

  --status N        answer N instead of 200 (the body is still the package)
  --throttle BPS    send the body at about BPS bytes per second
  --cut-after N     send only the first N bytes of the body, then close
  --close           close the connection right after the headers
  --no-length       send no Content-Length (the body ends when the connection closes)
  --length TEXT     announce TEXT as Content-Length, whatever the body's size
  --stall SECONDS   send the headers, then wait that long before the body
  --tls CERT KEY    serve https with this PEM certificate and key

Every fault is bounded: a stall or a throttled body never lasts beyond --max-seconds
(default 60), after which the connection is closed. --port 0 takes a free port; the port is
written to --port-file when given. The server runs until it is killed.
"""
import argparse
import http.server
import os
import socketserver
import ssl
import sys
import threading
import time

PACKAGE_PATH = "/introduction/download/tarune.zip"


def parse():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("package")
    p.add_argument("--port", type=int, default=8731)
    p.add_argument("--port-file")
    p.add_argument("--log")
    p.add_argument("--status", type=int, default=200)
    p.add_argument("--throttle", type=int, default=0)
    p.add_argument("--cut-after", type=int)
    p.add_argument("--close", action="store_true")
    p.add_argument("--no-length", action="store_true")
    p.add_argument("--length")
    p.add_argument("--stall", type=float, default=0)
    p.add_argument("--max-seconds", type=float, default=60)
    p.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"),
                   help="serve https with this PEM certificate and key")
    return p.parse_args()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    options = None
    body = b""
    log_lock = threading.Lock()
    log_file = sys.stderr

    def log_message(self, fmt, *args):  # the access log is ours, below
        pass

    def log_request_line(self, status):
        with self.log_lock:
            self.log_file.write(f"{self.command} {self.path} {status}\n")
            self.log_file.flush()

    def do_GET(self):
        o = self.options
        if self.path != PACKAGE_PATH:
            self.log_request_line(404)
            self.send_response(404)
            self.send_header("Content-Length", "0")
            self.send_header("Connection", "close")
            self.end_headers()
            return
        self.log_request_line(o.status)
        self.send_response(o.status)
        self.send_header("Content-Type", "application/zip")
        if o.length is not None:
            self.send_header("Content-Length", o.length)
        elif not o.no_length:
            self.send_header("Content-Length", str(len(self.body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.flush()
        if o.close:
            return
        deadline = time.monotonic() + o.max_seconds
        if o.stall:
            time.sleep(min(o.stall, o.max_seconds))
        body = self.body if o.cut_after is None else self.body[:o.cut_after]
        chunk = 4096
        started = time.monotonic()
        sent = 0
        while sent < len(body) and time.monotonic() < deadline:
            part = body[sent:sent + chunk]
            try:
                self.wfile.write(part)
                self.wfile.flush()
            except OSError:
                return
            sent += len(part)
            if o.throttle:
                due = started + sent / o.throttle
                pause = due - time.monotonic()
                if pause > 0:
                    time.sleep(min(pause, max(0.0, deadline - time.monotonic())))

    do_HEAD = do_GET


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    o = parse()
    Handler.options = o
    with open(o.package, "rb") as f:
        Handler.body = f.read()
    if o.log:
        Handler.log_file = open(o.log, "a", buffering=1)
    server = Server(("127.0.0.1", o.port), Handler)
    if o.tls:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(*o.tls)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    if o.port_file:
        with open(o.port_file + ".tmp", "w") as f:
            f.write(str(server.server_address[1]))
        os.replace(o.port_file + ".tmp", o.port_file)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
