#!/usr/bin/env python3
"""Loopback HTTP server for the updater's tests (Python standard library only).

Serves files from a document root on 127.0.0.1. How a request is answered is chosen by the
first path segment, so one instance serves every case a test needs:

  /<file>            200 with Content-Length and the file (404 when there is no such file)
  /404/...           404 with a short body
  /chunked/<file>    200, Transfer-Encoding: chunked, no Content-Length
  /nolength/<file>   200, no Content-Length, body delimited by closing the connection
  /empty/...         200, Content-Length: 0, no body
  /cl0/<file>        200, Content-Length: 0, but the whole file is sent anyway
  /cut/<file>        200, Content-Length of the whole file, connection closed after half
  /silent/...        connection accepted, request read, never answered; closed after
                     --silent-seconds (or at shutdown)
  /redirect/<file>   302 to /<file> on this server (query kept)
  /slow/<file>       200 with Content-Length, sent at --slow-rate bytes per second

Every request's head (request line and header lines, exactly as received, one per line,
then an empty line) is appended to the --log file, so tests can check what reached the wire.

With --timing FILE, every plain file request (/<file>) is timed from the server's side: after
the body the server waits (at most --silent-seconds) for the client to close its end, then
appends "<path> <bytes sent> <head received> <body sent> <client closed>" (seconds on the
monotonic clock) to FILE, so that a benchmark times any client the same way.

The first line on stdout is "PORT <n>" (flushed), with the port actually bound; pass
--port 0 to have a free one chosen. SIGTERM or SIGINT stops the server cleanly; it also stops
by itself after --lifetime seconds, so a forgotten server does not outlive its test run.
"""

import argparse
import os
import signal
import socket
import socketserver
import sys
import threading
import time
import urllib.parse

MAX_HEAD_BYTES = 65536
HEAD_TIMEOUT_S = 30
SEND_TIMEOUT_S = 60
CHUNK_BYTES = 65536
MODES = {"404", "chunked", "nolength", "empty", "cl0", "cut", "silent", "redirect", "slow"}


class LoopbackServer(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, port, root, log_path, silent_seconds, slow_rate, max_connections,
                 timing_path=None):
        super().__init__(("127.0.0.1", port), RequestHandler)
        self.root = os.path.realpath(root)
        self.silent_seconds = silent_seconds
        self.slow_rate = slow_rate
        self.stopping = threading.Event()
        self.slots = threading.BoundedSemaphore(max_connections)
        self.log_lock = threading.Lock()
        # latin-1 maps every received byte to one character and back, unchanged.
        self.log_file = open(log_path, "a", encoding="latin-1", newline="") if log_path else None
        self.timing_file = open(timing_path, "a", encoding="utf-8") if timing_path else None

    def process_request(self, request, client_address):
        if not self.slots.acquire(blocking=False):
            try:
                request.sendall(b"HTTP/1.1 503 Service Unavailable\r\n"
                                b"Content-Length: 0\r\nConnection: close\r\n\r\n")
            except OSError:
                pass
            self.shutdown_request(request)
            return
        super().process_request(request, client_address)

    def process_request_thread(self, request, client_address):
        try:
            super().process_request_thread(request, client_address)
        finally:
            self.slots.release()

    def log_head(self, lines):
        if not self.log_file:
            return
        with self.log_lock:
            self.log_file.write("\n".join(lines) + "\n\n")
            self.log_file.flush()

    def log_timing(self, path, sent, times):
        if not self.timing_file:
            return
        with self.log_lock:
            self.timing_file.write("%s %d %s\n" % (path, sent, " ".join("%.6f" % t for t in times)))
            self.timing_file.flush()

    def close_log(self):
        with self.log_lock:
            for f in (self.log_file, self.timing_file):
                if f:
                    f.close()
            self.log_file = self.timing_file = None


class RequestHandler(socketserver.BaseRequestHandler):
    def handle(self):
        self.head_only = False
        conn = self.request
        conn.settimeout(HEAD_TIMEOUT_S)
        head = self.read_head(conn)
        if head is None:
            return
        self.head_received = time.monotonic()
        lines = head.decode("latin-1").split("\r\n")
        self.server.log_head(lines)
        parts = lines[0].split(" ")
        if len(parts) != 3:
            self.send_simple(400, "Bad Request")
            return
        method, target, _ = parts
        self.head_only = method == "HEAD"
        if method not in ("GET", "HEAD"):
            self.send_simple(405, "Method Not Allowed")
            return
        self.host = self.header_value(lines[1:], "host") or "127.0.0.1:%d" % self.server.server_address[1]
        url = urllib.parse.urlsplit(target)
        mode, rest = self.split_mode(url.path)
        conn.settimeout(SEND_TIMEOUT_S)
        try:
            getattr(self, "serve_" + mode)(rest, url.query)
        except OSError:
            pass  # the client went away; nothing to tell it

    # -- reading the request -------------------------------------------------------------

    @staticmethod
    def read_head(conn):
        data = b""
        while b"\r\n\r\n" not in data:
            if len(data) > MAX_HEAD_BYTES:
                return None
            try:
                chunk = conn.recv(4096)
            except OSError:
                return None
            if not chunk:
                return None
            data += chunk
        return data.split(b"\r\n\r\n", 1)[0]

    @staticmethod
    def header_value(header_lines, name):
        for line in header_lines:
            key, _, value = line.partition(":")
            if key.strip().lower() == name:
                return value.strip()
        return None

    @staticmethod
    def split_mode(path):
        segments = path.split("/", 2)  # "", first segment, rest
        if len(segments) >= 2 and segments[1] in MODES:
            return segments[1], "/" + (segments[2] if len(segments) > 2 else "")
        return "normal", path

    def resolve_file(self, rest):
        relative = urllib.parse.unquote(rest).lstrip("/")
        candidate = os.path.realpath(os.path.join(self.server.root, relative))
        inside = candidate.startswith(self.server.root + os.sep)
        return candidate if inside and os.path.isfile(candidate) else None

    # -- writing the response ------------------------------------------------------------

    def send_head(self, status, reason, headers):
        lines = ["HTTP/1.1 %d %s" % (status, reason)] + ["%s: %s" % h for h in headers]
        lines += ["Connection: close", "", ""]
        self.request.sendall("\r\n".join(lines).encode("latin-1"))

    def send_simple(self, status, reason):
        body = ("%d %s\n" % (status, reason)).encode("ascii")
        self.send_head(status, reason, [("Content-Type", "text/plain"),
                                        ("Content-Length", str(len(body)))])
        if not self.head_only:
            self.request.sendall(body)

    def send_file_head(self, length):
        headers = [("Content-Type", "application/octet-stream")]
        if length is not None:
            headers.append(("Content-Length", str(length)))
        self.send_head(200, "OK", headers)

    def send_file_bytes(self, path, count=None):
        if self.head_only:
            return
        with open(path, "rb") as f:
            self.request.sendfile(f, 0, count)

    def close_after_sending(self):
        try:
            self.request.shutdown(socket.SHUT_WR)
        except OSError:
            pass

    # -- modes ---------------------------------------------------------------------------

    def serve_normal(self, rest, _query):
        path = self.resolve_file(rest)
        if not path:
            self.send_simple(404, "Not Found")
            return
        size = os.path.getsize(path)
        self.send_file_head(size)
        self.send_file_bytes(path)
        if self.server.timing_file and not self.head_only:
            self.time_transfer(rest, size)

    def time_transfer(self, path, size):
        body_sent = time.monotonic()
        self.request.settimeout(self.server.silent_seconds)
        try:
            while self.request.recv(65536):
                pass
        except OSError:
            pass
        self.server.log_timing(path, size, (self.head_received, body_sent, time.monotonic()))

    def serve_404(self, _rest, _query):
        self.send_simple(404, "Not Found")

    def serve_chunked(self, rest, _query):
        path = self.resolve_file(rest)
        if not path:
            self.send_simple(404, "Not Found")
            return
        self.send_head(200, "OK", [("Content-Type", "application/octet-stream"),
                                   ("Transfer-Encoding", "chunked")])
        if self.head_only:
            return
        with open(path, "rb") as f:
            while True:
                block = f.read(CHUNK_BYTES)
                if not block:
                    break
                self.request.sendall(b"%x\r\n" % len(block) + block + b"\r\n")
        self.request.sendall(b"0\r\n\r\n")

    def serve_nolength(self, rest, _query):
        path = self.resolve_file(rest)
        if not path:
            self.send_simple(404, "Not Found")
            return
        self.send_file_head(None)
        self.send_file_bytes(path)
        self.close_after_sending()

    def serve_empty(self, _rest, _query):
        self.send_file_head(0)

    def serve_cl0(self, rest, _query):
        path = self.resolve_file(rest)
        if not path:
            self.send_simple(404, "Not Found")
            return
        self.send_file_head(0)
        self.send_file_bytes(path)
        self.close_after_sending()

    def serve_cut(self, rest, _query):
        path = self.resolve_file(rest)
        if not path:
            self.send_simple(404, "Not Found")
            return
        size = os.path.getsize(path)
        self.send_file_head(size)
        if size // 2:
            self.send_file_bytes(path, size // 2)
        self.close_after_sending()

    def serve_silent(self, _rest, _query):
        self.server.stopping.wait(self.server.silent_seconds)

    def serve_redirect(self, rest, query):
        location = "http://%s%s" % (self.host, rest) + ("?" + query if query else "")
        self.send_head(302, "Found", [("Location", location), ("Content-Length", "0")])

    def serve_slow(self, rest, _query):
        path = self.resolve_file(rest)
        if not path:
            self.send_simple(404, "Not Found")
            return
        self.send_file_head(os.path.getsize(path))
        if self.head_only:
            return
        piece = max(1, self.server.slow_rate // 10)
        with open(path, "rb") as f:
            while not self.server.stopping.is_set():
                block = f.read(piece)
                if not block:
                    break
                self.request.sendall(block)
                self.server.stopping.wait(len(block) / self.server.slow_rate)


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--port", type=int, default=0, help="port to bind (0: a free one)")
    parser.add_argument("--root", required=True, help="document root")
    parser.add_argument("--log", help="file to append every request head to")
    parser.add_argument("--silent-seconds", type=float, default=120,
                        help="how long /silent/ holds a connection (default 120)")
    parser.add_argument("--slow-rate", type=int, default=65536,
                        help="bytes per second for /slow/ (default 65536)")
    parser.add_argument("--max-connections", type=int, default=32,
                        help="connections served at once; more get 503 (default 32)")
    parser.add_argument("--timing", help="file to append the timing of each /<file> request to")
    parser.add_argument("--lifetime", type=float, default=3600,
                        help="seconds after which the server stops by itself (default 3600)")
    args = parser.parse_args(argv)
    if args.slow_rate <= 0 or args.max_connections <= 0:
        parser.error("--slow-rate and --max-connections must be positive")
    return args


def main(argv):
    args = parse_arguments(argv)
    server = LoopbackServer(args.port, args.root, args.log, args.silent_seconds,
                            args.slow_rate, args.max_connections, args.timing)
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())

    print("PORT %d" % server.server_address[1], flush=True)
    serving = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.2})
    serving.start()
    # Short waits keep the main thread ready for the signal handlers.
    waited = 0.0
    while not stop.wait(0.2) and waited < args.lifetime:
        waited += 0.2

    server.stopping.set()  # wakes /silent/ and /slow/ connections
    server.shutdown()
    serving.join()
    server.server_close()  # waits for the connection threads, all bounded
    server.close_log()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
