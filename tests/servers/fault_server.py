#!/usr/bin/env python3
"""Our HTTP test server (standard library only): echoes requests and plays
the faults a client must survive.

Paths (the query string is ignored unless stated):
  /echo...            200, body: request line, each received header line as
                      received, an empty line, the request body. Also answers
                      proxy requests (absolute URL in the request line).
  /setcookie?c=V&c=W  each c becomes one "Set-Cookie: V" line; body as /echo.
  /redirect?to=PATH   302 to PATH.
  /loop               302 to itself, for ever.
  /status/CODE        that status with a small error page.
  /file/N             N pattern bytes with Content-Length, Range -> 206
                      (?total=star: its Content-Range gives the total as "*").
  /range200/N         N pattern bytes, always 200 (ignores Range).
  /blob/NAME          the bytes the test put in server.blobs[NAME], Range -> 206;
                      with server.blob_cuts[NAME] = K the next answer stops
                      before byte K of the file and closes (one answer only).
  /nolength/N         N pattern bytes, no Content-Length, closes at the end.
  /length/N?text=T    as /nolength/N, announced with the Content-Length text T.
  /zero               200 with an empty body.
  /cut/N              announces N bytes, sends half of them, closes.
  /slow/N?ms=M        N pattern bytes in 10240-byte pieces, M ms apart.
  /stall/N?after=K&seconds=S  announces N, sends K bytes, waits S seconds, sends the rest.
  /drip/N?ms=M        announces N pattern bytes, sends them one at a time, M ms
                      apart (default 1000: a byte a second).
  /silent             reads the request and never answers: no status line.
  /__requests         JSON list of the requests seen so far (line, headers, arrival
                      time on this host's monotonic clock), then forgets them.
Pattern byte i is (i * 31 + 7) % 251.
"""

import json
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit


def pattern(start, end):
    return bytes((i * 31 + 7) % 251 for i in range(start, end))


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    server_version = "FaultServer/1"

    def log_message(self, *args):
        pass

    # Every method goes through one dispatcher.
    def do_GET(self):
        self.dispatch()

    do_POST = do_HEAD = do_PUT = do_OPTIONS = do_DELETE = do_TRACE = do_CONNECT = do_PATCH = do_GET

    def read_body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def record(self, body):
        entry = {"line": self.requestline, "headers": [[k, v] for k, v in self.headers.items()],
                 "body": body.decode("latin-1"), "at": time.monotonic()}
        with self.server.lock:
            self.server.requests.append(entry)

    def dispatch(self):
        parts = urlsplit(self.path)
        path, query = parts.path, parse_qs(parts.query)
        body = self.read_body()
        if path != "/__requests":
            self.record(body)
        segments = path.strip("/").split("/")
        head, arg = segments[0], (segments[1] if len(segments) > 1 else "")
        number = int(arg) if arg.isdigit() else 0
        try:
            if head == "__requests":
                with self.server.lock:
                    data, self.server.requests = self.server.requests, []
                self.send_bytes(200, json.dumps(data).encode(), "application/json")
            elif head.startswith("echo"):
                self.send_bytes(200, self.echo_text(body), "text/plain")
            elif head == "setcookie":
                extra = [("Set-Cookie", v) for v in query.get("c", [])]
                self.send_bytes(200, self.echo_text(body), "text/plain", extra)
            elif head == "redirect":
                self.send_bytes(302, b"moved", "text/plain", [("Location", query.get("to", ["/echo"])[0])])
            elif head == "loop":
                self.send_bytes(302, b"moved", "text/plain", [("Location", "/loop")])
            elif head == "status":
                self.send_bytes(number or 500, b"error page %d" % (number or 500), "text/html")
            elif head == "file":
                self.send_ranged(number, query.get("total", [""])[0] == "star")
            elif head == "blob":
                self.send_blob(arg)
            elif head == "range200":
                self.send_bytes(200, pattern(0, number))
            elif head == "zero":
                self.send_bytes(200, b"")
            elif head in ("nolength", "length"):
                self.send_response(200)
                if head == "length":
                    self.send_header("Content-Length", query.get("text", [""])[0])
                self.send_header("Content-Type", "application/octet-stream")
                self.send_header("Connection", "close")
                self.end_headers()
                self.write_all(pattern(0, number))
                self.close_connection = True
            elif head == "cut":
                self.send_response(200)
                self.send_header("Content-Length", str(number))
                self.end_headers()
                self.write_all(pattern(0, number // 2))
                self.close_connection = True
            elif head == "slow":
                delay = int(query.get("ms", ["20"])[0]) / 1000.0
                self.send_response(200)
                self.send_header("Content-Length", str(number))
                self.end_headers()
                for start in range(0, number, 10240):
                    if not self.write_all(pattern(start, min(number, start + 10240))):
                        break
                    if self.server.stopping.wait(delay):
                        break
            elif head == "drip":
                delay = int(query.get("ms", ["1000"])[0]) / 1000.0
                self.send_response(200)
                self.send_header("Content-Length", str(number))
                self.end_headers()
                for at in range(number):
                    if not self.write_all(pattern(at, at + 1)) or self.server.stopping.wait(delay):
                        break
            elif head == "silent":
                # Held until the server stops, then closed without a word.
                self.server.stopping.wait()
                self.close_connection = True
            elif head == "stall":
                after = int(query.get("after", [str(number // 2)])[0])
                seconds = float(query.get("seconds", ["2"])[0])
                self.send_response(200)
                self.send_header("Content-Length", str(number))
                self.end_headers()
                self.write_all(pattern(0, after))
                # A stopping server drops the rest rather than block on a peer that stopped reading.
                if not self.server.stopping.wait(seconds):
                    self.write_all(pattern(after, number))
            else:
                self.send_bytes(404, b"not found", "text/plain")
        except (BrokenPipeError, ConnectionResetError):
            pass

    def echo_text(self, body):
        lines = [self.requestline] + ["%s: %s" % (k, v) for k, v in self.headers.items()]
        return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1") + body

    def write_all(self, data):
        try:
            self.wfile.write(data)
            self.wfile.flush()
            return True
        except (BrokenPipeError, ConnectionResetError):
            return False

    def send_bytes(self, code, data, content_type="application/octet-stream", extra=()):
        self.send_response(code)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()
        if self.command != "HEAD":
            self.write_all(data)

    def send_blob(self, name):
        with self.server.lock:
            data = self.server.blobs.get(name)
            cut = self.server.blob_cuts.pop(name, None)
        if data is None:
            self.send_bytes(404, b"not found", "text/plain")
            return
        start = self.wanted_start(len(data))
        if start is None:
            start = 0
            self.send_response(200)
        else:
            self.send_response(206)
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, len(data) - 1, len(data)))
        self.send_header("Content-Length", str(len(data) - start))
        self.end_headers()
        self.write_all(data[start:len(data) if cut is None else max(start, cut)])
        self.close_connection = True

    def wanted_start(self, size):
        """The first byte an open-ended "bytes=N-" range asks for, if it can be served."""
        wanted = self.headers.get("Range", "")
        if wanted.startswith("bytes=") and wanted.endswith("-") and wanted[6:-1].isdigit() and int(wanted[6:-1]) < size:
            return int(wanted[6:-1])
        return None

    def send_ranged(self, size, hide_total=False):
        start = self.wanted_start(size)
        if start is not None:
            self.send_response(206)
            self.send_header("Content-Range", "bytes %d-%d/%s" % (start, size - 1, "*" if hide_total else size))
            self.send_header("Content-Length", str(size - start))
            self.end_headers()
            self.write_all(pattern(start, size))
        else:
            self.send_bytes(200, pattern(0, size))


class FaultServer(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, address):
        super().__init__(address, Handler)
        self.lock = threading.Lock()
        self.requests = []
        self.blobs = {}
        self.blob_cuts = {}
        self.stopping = threading.Event()

    def shutdown_all(self):
        self.stopping.set()  # releases stalled and slow responses
        self.shutdown()
        self.server_close()


def make_server(port=0):
    return FaultServer(("127.0.0.1", port))


if __name__ == "__main__":
    server = make_server(int(sys.argv[1]) if len(sys.argv) > 1 else 0)
    print(server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.stopping.set()
        server.server_close()
