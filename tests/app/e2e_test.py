#!/usr/bin/env python3
"""End-to-end tests of the program: the real executable under Wine and Xvfb,
nginx as the update server on 127.0.0.1 (our fault server behind it for the
faults), the test updater recording every launch, and the message-box
watcher recording message boxes and the status label's texts over time.

    e2e_test.py --bin BUILD/bin --port PORT [unittest args]
"""
import argparse
import hashlib
import json
import math
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "servers"))
sys.path.insert(0, HERE)

import update_tree as tree  # noqa: E402
from fault_server import pattern  # noqa: E402
from test_servers import FaultServerThread, Nginx, windows_path  # noqa: E402

BIN = None
PORT = None
WINE = os.path.join(ROOT, "scripts", "wine")
FETCHING = "正在获取更新程序，请等待..."
TITLE = "提示信息"


def runtime_round(value, decimals):
    """The runtime's rounding: halves away from zero after adding 1e-12."""
    if value == 0:
        return value
    scale = 10 ** decimals
    whole, fraction = divmod(abs(value) * scale + 1e-12, 1)
    result = (whole + 1 if fraction >= 0.5 else whole) / scale
    return math.copysign(result, value)


def megabytes_text(size):
    return "%.13g" % runtime_round(size / 1048576, 2)


class Run:
    def __init__(self, exit_code, boxes, labels, launches, access, seconds):
        self.exit_code = exit_code
        self.access = access  # [(path, status, body bytes sent)]
        self.requests = [path for path, _, _ in access]
        self.boxes = boxes
        self.labels = labels
        self.launches = launches
        self.seconds = seconds


def read_json_lines(path):
    if not os.path.exists(path):
        return []
    with open(path, encoding="utf-8") as f:
        return [json.loads(line) for line in f if line.strip()]


class UpdateFlowTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.fault = FaultServerThread().start()
        cls.www = tempfile.mkdtemp(prefix="pelmora-e2e-www-")
        extra = """
        location /pl/plmr/fault/ {{ proxy_pass http://127.0.0.1:{fault}/; proxy_buffering off; }}
        location /pl/plmr/throttled/ {{ limit_rate 300k; }}
""".format(fault=cls.fault.port)
        cls.nginx = Nginx(cls.www, port=PORT, extra=extra).start()
        cls.prefix = os.path.join(os.path.dirname(BIN), "wineprefix")
        with open(os.path.join(BIN, "test_updater.exe"), "rb") as f:
            cls.base_updater = f.read()

    @classmethod
    def tearDownClass(cls):
        cls.nginx.stop()
        cls.fault.stop()
        shutil.rmtree(cls.www, ignore_errors=True)

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="pelmora-e2e-")
        for entry in os.listdir(self.www):
            shutil.rmtree(os.path.join(self.www, entry), ignore_errors=True)
        # The prefix exists once scripts/wine ran a program in it.
        subprocess.run([WINE, os.path.join(BIN, "test_updater.exe")], check=True,
                       env=dict(os.environ, PELMORA_LAUNCH_LOG=windows_path(os.path.join(self.work, "warmup.log"))))
        self.install = tree.install_dir(self.prefix)
        shutil.rmtree(self.install, ignore_errors=True)
        os.makedirs(self.install)
        self.updater_path = os.path.join(self.install, tree.UPDATER_NAME)
        self.old = tree.updater_variant(self.base_updater, "old")
        self.new = tree.updater_variant(self.base_updater, "new", 600_000)
        open(self.nginx.access_log, "w").close()  # this test's requests only

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    # --- helpers ---------------------------------------------------------

    def install_old(self):
        with open(self.updater_path, "wb") as f:
            f.write(self.old)

    def installed(self):
        with open(self.updater_path, "rb") as f:
            return f.read()

    def run_program(self, close_on_label=None, timeout_ms=90000):
        boxes = os.path.join(self.work, "boxes.json")
        labels = os.path.join(self.work, "labels.json")
        launches = os.path.join(self.work, "launches.json")
        command = [WINE, os.path.join(BIN, "msgbox_watch.exe"), "--labels", "_RT_Label", windows_path(labels),
                   "--timeout", str(timeout_ms)]
        if close_on_label:
            command += ["--close-on-label", close_on_label]
        command += [windows_path(boxes), windows_path(os.path.join(BIN, "PelmoraBootstrap_e2e.exe"))]
        start = time.monotonic()
        result = subprocess.run(command, env=dict(os.environ, PELMORA_LAUNCH_LOG=windows_path(launches)))
        seconds = time.monotonic() - start
        # Let the launched updater finish writing its record.
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and os.path.exists(self.updater_path) and not os.path.exists(launches):
            if result.returncode != 0 or close_on_label:
                break
            time.sleep(0.1)
        # nginx logs a request when its connection ends; the program has ended.
        access = []
        if self.nginx.prefix:  # none while the server is stopped
            with open(self.nginx.access_log, encoding="utf-8", errors="replace") as f:
                for line in f:
                    fields = line.split()
                    if fields:
                        access.append((fields[1], int(fields[-2]), int(fields[-1])))
        return Run(result.returncode, read_json_lines(boxes), [r["text"] for r in read_json_lines(labels)],
                   read_json_lines(launches), access, seconds)

    def assertLaunchedOnce(self, run):
        self.assertEqual(len(run.launches), 1, run.launches)
        launch = run.launches[0]
        # The command line is the install directory and the name, unquoted;
        # the updater was asked for a normal window (SW_SHOWNORMAL).
        self.assertEqual(launch["commandLine"], "C:\\Users\\Administrator\\Desktop\\QRVN服务端\\Pelmora更新.exe")
        self.assertEqual(launch["showWindow"], 1)
        return launch

    def assertFailedAndKeptOld(self, run, message):
        self.assertEqual(run.exit_code, 0)
        self.assertEqual([(b["caption"], b["text"]) for b in run.boxes], [(TITLE, message)])
        self.assertEqual(self.installed(), self.old, "the previous updater must stay byte for byte")
        self.assertFalse(os.path.exists(self.updater_path + ".part"), "the staging file must be removed")
        launch = self.assertLaunchedOnce(run)
        self.assertEqual(launch["size"], len(self.old))

    # --- cases -------------------------------------------------------------

    def test_current_updater_is_launched_at_once(self):
        self.install_old()
        tree.make_tree(self.www, self.old, "Pelmora更新.exe")
        run = self.run_program()
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(run.boxes, [])
        self.assertEqual(run.requests, ["/pl/plmr/danpeizhib.txt"], "no request for the updater file")
        self.assertLaunchedOnce(run)
        self.assertEqual(self.installed(), self.old)
        self.assertTrue(all(text == FETCHING for text in run.labels), run.labels)

    def test_outdated_updater_is_downloaded_verified_replaced_and_launched(self):
        self.install_old()
        tree.make_tree(self.www, self.new, "v2/Pelmora更新.exe")
        run = self.run_program()
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(run.boxes, [])
        self.assertEqual(self.installed(), self.new)
        self.assertFalse(os.path.exists(self.updater_path + ".part"))
        self.assertEqual(self.assertLaunchedOnce(run)["size"], len(self.new))
        self.assertEqual(run.labels[0], FETCHING)
        self.assertEqual(run.labels[-1], "总大小：%sMB  下载完毕，请稍后..." % megabytes_text(len(self.new)))
        self.assertIn("/pl/plmr/v2/Pelmora%E6%9B%B4%E6%96%B0.exe", run.requests)

    def test_progress_texts_while_downloading(self):
        self.install_old()
        big = tree.updater_variant(self.base_updater, "big", 1_500_000)
        tree.make_tree(self.www, big, "throttled/Pelmora更新.exe")
        run = self.run_program()
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(self.installed(), big)
        progress = [t for t in run.labels if "已下载：" in t]
        self.assertTrue(progress, run.labels)
        total = megabytes_text(len(big))
        for text in progress:
            self.assertRegex(text, r"^总大小：%sMB  已下载：\d+(\.\d{1,2})?MB$" % total.replace(".", r"\."))
        self.assertEqual(run.labels[-1], "总大小：%sMB  下载完毕，请稍后..." % total)

    def test_missing_updater_is_downloaded(self):
        tree.make_tree(self.www, self.new, "Pelmora更新.exe")
        run = self.run_program()
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(self.installed(), self.new)
        self.assertLaunchedOnce(run)

    def test_relative_path_is_encoded_as_the_server_expects(self):
        self.install_old()
        lj = "目录 A/新_版/Pelmora更新.exe"
        # A blank travels as "+", which the server takes literally.
        served_as = "目录+A/新_版/Pelmora更新.exe"
        tree.make_tree(self.www, self.new, served_as, body=tree.version_json(tree.md5_hex(self.new), lj))
        run = self.run_program()
        self.assertEqual(run.requests[1],
                         "/pl/plmr/%E7%9B%AE%E5%BD%95+A/%E6%96%B0%5F%E7%89%88/Pelmora%E6%9B%B4%E6%96%B0.exe")
        self.assertEqual(self.installed(), self.new)

    def test_digest_key_written_as_escapes_is_not_matched(self):
        # The key doesn't match, so there is no digest to verify a download
        # against: nothing is fetched and the updater at hand is started.
        self.install_old()
        tree.make_tree(self.www, self.new, "Pelmora更新.exe", escape_key=True)
        with open(os.path.join(self.www, tree.VERSION_FILE), "rb") as f:
            self.assertIn(b"\\u66f4\\u65b0", f.read())
        run = self.run_program()
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(run.requests, ["/pl/plmr/danpeizhib.txt"])
        self.assertEqual(self.installed(), self.old)
        self.assertLaunchedOnce(run)

    def test_no_content_length_keeps_the_fetching_text(self):
        self.install_old()
        size = 300_000
        body = pattern(0, size)
        tree.make_tree(self.www, b"unused", "unused.exe")
        with open(os.path.join(self.www, tree.VERSION_FILE), "wb") as f:
            f.write(tree.version_json(tree.md5_hex(body), "fault/nolength/%d" % size))
        run = self.run_program()
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(run.boxes, [])
        self.assertEqual(self.installed(), body)
        self.assertEqual(run.labels, [FETCHING, "总大小：0MB  下载完毕，请稍后..."])

    def test_updater_answered_with_404(self):
        self.install_old()
        tree.make_tree(self.www, self.new, "v2/Pelmora更新.exe")
        os.remove(os.path.join(self.www, "pl", "plmr", "v2", "Pelmora更新.exe"))
        run = self.run_program()
        self.assertFailedAndKeptOld(run, "不能打开该URL")

    def test_connection_cut_mid_body(self):
        self.install_old()
        tree.make_tree(self.www, b"unused", "unused.exe")
        with open(os.path.join(self.www, tree.VERSION_FILE), "wb") as f:
            f.write(tree.version_json(tree.md5_hex(pattern(0, 400_000)), "fault/cut/400000"))
        run = self.run_program()
        self.assertFailedAndKeptOld(run, "读文件出错")

    def test_wrong_content_is_not_installed(self):
        self.install_old()
        tree.make_tree(self.www, self.new, "Pelmora更新.exe", digest=tree.md5_hex(b"something else"))
        run = self.run_program()
        self.assertFailedAndKeptOld(run, "下载的文件校验失败")

    def test_version_file_unreachable(self):
        self.install_old()
        self.nginx.stop()
        try:
            run = self.run_program()
        finally:
            self.nginx.start()
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(run.boxes, [])
        self.assertEqual(self.installed(), self.old)
        self.assertLaunchedOnce(run)

    def test_window_closed_mid_download(self):
        self.install_old()
        big = tree.updater_variant(self.base_updater, "big", 4_000_000)
        tree.make_tree(self.www, big, "throttled/Pelmora更新.exe")
        run = self.run_program(close_on_label="已下载：")
        self.assertEqual(run.exit_code, 0)
        self.assertTrue(any("已下载：" in t for t in run.labels))
        self.assertEqual(run.boxes, [])
        self.assertEqual(self.installed(), self.old)
        self.assertEqual(run.launches, [], "the updater must not be launched")
        # The program ended with the transfer: the server sent only part of it.
        sent = [bytes_sent for path, _, bytes_sent in run.access if path.startswith("/pl/plmr/throttled/")]
        self.assertTrue(sent)
        self.assertLess(max(sent), len(big))


def main():
    global BIN, PORT
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--port", type=int, required=True)
    args, rest = parser.parse_known_args()
    BIN = os.path.abspath(args.bin)
    PORT = args.port
    unittest.main(argv=[sys.argv[0], "-v"] + rest)


if __name__ == "__main__":
    main()
