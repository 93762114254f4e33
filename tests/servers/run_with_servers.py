#!/usr/bin/env python3
"""Runs a command with nginx (serving a fresh temporary folder) and our fault
server running on 127.0.0.1, then stops both and returns the command's exit
code. The command learns about them through the environment:
  PELMORA_NGINX_PORT, PELMORA_NGINX_ROOT (Windows path on Wine's Z: drive),
  PELMORA_NGINX_ACCESS_LOG (Windows path), PELMORA_FAULT_PORT.
  run_with_servers.py -- command args...
"""

import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_servers import FaultServerThread, Nginx, windows_path  # noqa: E402


def main(argv):
    if "--" in argv:
        argv = argv[argv.index("--") + 1:]
    if not argv:
        print(__doc__, file=sys.stderr)
        return 2
    root = tempfile.mkdtemp(prefix="pelmora-www-")
    try:
        one_connection = "location /one-connection/ { limit_conn per_client 1; alias %s/; }" % root
        with Nginx(root, extra=one_connection) as nginx, FaultServerThread() as fault:
            env = dict(os.environ)
            env.update(PELMORA_NGINX_PORT=str(nginx.port), PELMORA_NGINX_ROOT=windows_path(root),
                       PELMORA_NGINX_ACCESS_LOG=windows_path(nginx.access_log),
                       PELMORA_FAULT_PORT=str(fault.port))
            return subprocess.call(argv, env=env)
    finally:
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
