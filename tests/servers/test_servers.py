"""Real servers for the tests, on 127.0.0.1 only, started and stopped by the
tests themselves: nginx serving a folder, and our fault/echo server."""

import os
import shutil
import signal
import socket
import subprocess
import tempfile
import threading
import time

NGINX = shutil.which("nginx") or "/usr/sbin/nginx"


def free_port():
    """A port nobody listens on right now (the kernel's choice)."""
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_port(port, timeout=10.0, process=None):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if process is not None and process.poll() is not None:
            return False
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.5):
                return True
        except OSError:
            time.sleep(0.05)
    return False


def windows_path(unix_path):
    """The path as Wine's Z: drive shows it."""
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


NGINX_CONF = """\
daemon off;
master_process off;
worker_processes 1;
pid {prefix}/nginx.pid;
error_log {prefix}/error.log warn;
events {{ worker_connections 256; }}
http {{
    default_type application/octet-stream;
    log_format plain '$request "$http_range" $status $body_bytes_sent';
    access_log {access_log} plain;
    client_body_temp_path {prefix}/body;
    proxy_temp_path {prefix}/proxy;
    fastcgi_temp_path {prefix}/fastcgi;
    sendfile on;
    limit_conn_zone $binary_remote_addr zone=per_client:1m;
    server {{
        listen 127.0.0.1:{port};
        root {root};
        location / {{ }}
{extra}
    }}
}}
"""


class Nginx:
    """nginx in the foreground with its own prefix, serving `root`."""

    def __init__(self, root, port=None, extra=""):
        """`extra`: more directives for the server block (locations, rates)."""
        self.root = os.path.abspath(root)
        self.port = port
        self.extra = extra
        self.prefix = None
        self.process = None

    @property
    def access_log(self):
        return os.path.join(self.prefix, "access.log")

    def start(self, attempts=5):
        self.prefix = tempfile.mkdtemp(prefix="pelmora-nginx-")
        for _ in range(attempts):
            port = self.port or free_port()
            conf = os.path.join(self.prefix, "nginx.conf")
            with open(conf, "w") as f:
                f.write(NGINX_CONF.format(prefix=self.prefix, access_log=self.access_log, port=port, root=self.root,
                                        extra=self.extra))
            self.process = subprocess.Popen([NGINX, "-p", self.prefix, "-c", conf, "-e", os.path.join(self.prefix, "error.log")],
                                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                            stderr=subprocess.DEVNULL)
            if wait_for_port(port, process=self.process):
                self.port = port
                return self
            self._kill()
        raise RuntimeError("nginx did not start: " + self._error_log())

    def _error_log(self):
        try:
            with open(os.path.join(self.prefix, "error.log")) as f:
                return f.read()
        except OSError:
            return ""

    def _kill(self):
        if self.process and self.process.poll() is None:
            self.process.send_signal(signal.SIGQUIT)
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process = None

    def stop(self):
        self._kill()
        if self.prefix:
            shutil.rmtree(self.prefix, ignore_errors=True)
            self.prefix = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


class FaultServerThread:
    """Our fault/echo server in a thread of this process."""

    def __init__(self, port=0):
        from fault_server import make_server
        self.server = make_server(port)
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)

    def start(self):
        self.thread.start()
        return self

    def stop(self):
        self.server.shutdown_all()
        self.thread.join(10)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()
