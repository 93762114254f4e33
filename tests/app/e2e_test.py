#!/usr/bin/env python3
"""End-to-end tests of the program: the real executable under Wine and Xvfb,
nginx as the update server on 127.0.0.1 (our fault server behind it for the
faults), the test updater recording every launch, and the message-box
watcher recording message boxes and the status label's texts over time.

    e2e_test.py --bin BUILD/bin --port PORT [unittest args]

UpdateFlowTest covers the flow against a well-behaved server,
HostileServerTest the table of servers (and users) that misbehave.
"""
import argparse
import base64
import json
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from typing import Callable, NamedTuple, Optional, Tuple

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
PROGRESS = "已下载："
TITLE = "提示信息"
VERSION_PATH = "/" + tree.VERSION_FILE
# The progress bar: the draw panel's window class, the fill colour
# (0x00BBGGRR), where its text starts in the client area (half the panel's
# outer width of 290 less 50, and 4 down) and the characters the text is
# made of.
BAR_CLASS = "_RT_DrawPanel"
BAR_COLOUR = 0x00FF00
BAR_TEXT_ORIGIN = (95, 4)
BAR_GLYPHS = "0123456789.% 速度：KB/S"
BAR_OUTER_WIDTH = 290
BAR_SCALE = 10000
BAR_PROGRESS = re.compile(r"^(?P<percent>\d+)%  速度：(?P<speed>\d+(\.\d)?)KB/S$")
BAR_COMPLETED = "100%  速度：0KB/S"
# Wine's report of a crash on the error output, as scripts/wine reads it, and
# the status scripts/wine then exits with.
CRASH_LINE = re.compile(r"^wine: Unhandled |Unhandled (exception|page fault|stack overflow)")
CRASH_STATUS = 86
# msgbox_watch's code for a program it killed at its time limit (0xDEAD; Wine
# passes the low byte on).
KILLED_STATUS = 0xAD


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


def downloaded_share(label, size):
    """The shares of `size` that a progress caption's downloaded size can
    stand for, (low, high): the caption rounds to 0.01 MB."""
    done = float(PROGRESS_SIZES.search(label)["done"]) * 1048576
    half = 0.005 * 1048576
    return max(done - half, 0) / size, (done + half) / size


def fill_range(low, high, client_width):
    """The fill extents of the shares from `low` to `high`: the bar's value
    is the share on a scale of BAR_SCALE, its fill that value's share of the
    panel's outer width, cut off at the client area's edge."""
    def fill(share):
        return min(int(int(share * BAR_SCALE) / BAR_SCALE * BAR_OUTER_WIDTH), client_width)
    return range(fill(low), fill(high) + 1)


class Access(NamedTuple):
    """One line of nginx's access log."""
    path: str
    range: str  # the Range header, "-" when there was none
    status: int
    sent: int  # body bytes


class Run:
    def __init__(self, exit_code, stderr, boxes, labels, launches, access, fault_requests, started, seconds,
                 bars=()):
        self.exit_code = exit_code
        self.crash_lines = [line for line in stderr.splitlines() if CRASH_LINE.search(line)]
        self.access = access  # [Access]
        self.requests = [entry.path for entry in access]
        # [(request line, arrival on time.monotonic(), {header: value})]
        self.fault_requests = fault_requests
        self.boxes = boxes
        self.labels = [entry["text"] for entry in labels]
        self.label_ms = [entry["ms"] for entry in labels]  # since the program's start
        self.launches = launches
        self.started = started  # time.monotonic() just before the start
        self.seconds = seconds
        # The draw panel's successive looks: {"ms", "width", "height", "fill", "text"}.
        self.bars = list(bars)


def read_json_lines(path):
    if not os.path.exists(path):
        return []
    with open(path, encoding="utf-8") as f:
        return [json.loads(line) for line in f if line.strip()]


def nginx_extra(fault_port, routes=None):
    """The server block's additions: the fault server under /pl/plmr/fault/,
    a throttled folder, a folder served without ranges, and `routes`: exact paths answered by a fault-server
    route, {path: route}, on which nginx waits for a silent server longer
    than any run lasts."""
    extra = """
        location /pl/plmr/fault/ {{ proxy_pass http://127.0.0.1:{fault}/; proxy_buffering off; }}
        location /pl/plmr/throttled/ {{ limit_rate 300k; }}
        location /pl/plmr/norange/ {{ max_ranges 0; }}
""".format(fault=fault_port)
    for path, route in sorted((routes or {}).items()):
        extra += ("        location = {path} {{ rewrite ^ {route} break; proxy_pass http://127.0.0.1:{fault};"
                  " proxy_buffering off; proxy_read_timeout 600s; }}\n").format(path=path, route=route,
                                                                             fault=fault_port)
    return extra


class ProgramTestCase(unittest.TestCase):
    """One nginx (and our fault server) per class; each test gets a fresh
    install directory in the prefix and fresh records."""

    PROGRAM = "PelmoraBootstrap_e2e.exe"

    @classmethod
    def setUpClass(cls):
        cls.fault = FaultServerThread().start()
        cls.www = tempfile.mkdtemp(prefix="pelmora-e2e-www-")
        cls.routes = {}
        cls.nginx = Nginx(cls.www, port=PORT, extra=nginx_extra(cls.fault.port)).start()
        cls.prefix = os.path.join(os.path.dirname(BIN), "wineprefix")
        with open(os.path.join(BIN, "test_updater.exe"), "rb") as f:
            cls.base_updater = f.read()

    @classmethod
    def tearDownClass(cls):
        cls.nginx.stop()
        cls.fault.stop()
        shutil.rmtree(cls.www, ignore_errors=True)

    @classmethod
    def serve_routes(cls, routes):
        """Restarts nginx with these exact-path fault routes (see nginx_extra)."""
        if routes == cls.routes:
            return
        cls.nginx.stop()
        cls.nginx.extra = nginx_extra(cls.fault.port, routes)
        cls.nginx.start()
        cls.routes = dict(routes)

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="pelmora-e2e-")
        for entry in os.listdir(self.www):
            shutil.rmtree(os.path.join(self.www, entry), ignore_errors=True)
        # The prefix exists once scripts/wine ran a program in it.
        subprocess.run([WINE, os.path.join(BIN, "test_updater.exe")], check=True,
                       env=dict(os.environ, PELMORA_LAUNCH_LOG=windows_path(os.path.join(self.work, "warmup.log"))))
        self.install = tree.install_dir(self.prefix)
        self.updater_path = os.path.join(self.install, tree.UPDATER_NAME)
        self.clear_install_dir()
        self.old = tree.updater_variant(self.base_updater, "old")
        self.new = tree.updater_variant(self.base_updater, "new", 600_000)

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    # --- helpers ---------------------------------------------------------

    def clear_install_dir(self):
        shutil.rmtree(self.install, ignore_errors=True)
        os.makedirs(self.install)

    def install_old(self):
        with open(self.updater_path, "wb") as f:
            f.write(self.old)

    def installed(self):
        with open(self.updater_path, "rb") as f:
            return f.read()

    def run_program(self, close_on_label=None, close_after_ms=None, timeout_ms=90000, read_bar=False):
        """Runs the program once under the watcher. It fails the test when
        Wine reported a crash, whatever the exit code. With `read_bar`, the
        draw panel is read from the screen too (Run.bars)."""
        records = tempfile.mkdtemp(dir=self.work)
        boxes = os.path.join(records, "boxes.json")
        labels = os.path.join(records, "labels.json")
        launches = os.path.join(records, "launches.json")
        command = [WINE, os.path.join(BIN, "msgbox_watch.exe"), "--labels", "_RT_Label", windows_path(labels),
                   "--timeout", str(int(timeout_ms))]
        bars = os.path.join(records, "bars.json")
        if read_bar:
            command += ["--panel", BAR_CLASS, windows_path(bars), "%06X" % BAR_COLOUR,
                        "--panel-text", str(BAR_TEXT_ORIGIN[0]), str(BAR_TEXT_ORIGIN[1]), BAR_GLYPHS]
        if close_on_label:
            command += ["--close-on-label", close_on_label]
        if close_after_ms is not None:
            command += ["--close-after", str(int(close_after_ms))]
        command += [windows_path(boxes), windows_path(os.path.join(BIN, self.PROGRAM))]
        if self.nginx.prefix:  # none while the server is stopped
            open(self.nginx.access_log, "w").close()  # this run's requests only
        with self.fault.server.lock:
            self.fault.server.requests = []
        start = time.monotonic()
        result = subprocess.run(command, env=dict(os.environ, PELMORA_LAUNCH_LOG=windows_path(launches)),
                                stderr=subprocess.PIPE)
        seconds = time.monotonic() - start
        stderr = result.stderr.decode("utf-8", errors="replace")
        sys.stderr.write(stderr)
        # Let the launched updater finish writing its record; after a close
        # there should be none, but a late one must still be seen.
        closing = close_on_label or close_after_ms is not None
        deadline = time.monotonic() + (1 if closing else 10)
        while time.monotonic() < deadline and os.path.exists(self.updater_path) and not os.path.exists(launches):
            if result.returncode != 0:
                break
            time.sleep(0.1)
        # nginx logs a request when its connection ends; the program has ended.
        access = []
        if self.nginx.prefix:
            with open(self.nginx.access_log, encoding="utf-8", errors="replace") as f:
                for line in f:
                    fields = line.split()
                    if fields:
                        access.append(Access(fields[1], fields[3].strip('"'), int(fields[-2]), int(fields[-1])))
        with self.fault.server.lock:
            fault_requests = [(entry["line"], entry["at"], dict(entry["headers"]))
                              for entry in self.fault.server.requests]
        run = Run(result.returncode, stderr, read_json_lines(boxes), read_json_lines(labels),
                  read_json_lines(launches), access, fault_requests, start, seconds, read_json_lines(bars))
        self.assertEqual(run.crash_lines, [], "Wine reported a crash")
        self.assertNotEqual(run.exit_code, CRASH_STATUS, "scripts/wine saw a crash")
        return run

    def assertLaunchedOnce(self, run):
        self.assertEqual(len(run.launches), 1, run.launches)
        launch = run.launches[0]
        # The command line is the install directory and the name, unquoted;
        # the updater was asked for a normal window (SW_SHOWNORMAL).
        self.assertEqual(launch["commandLine"], "C:\\Users\\Administrator\\Desktop\\QRVN服务端\\Pelmora更新.exe")
        self.assertEqual(launch["showWindow"], 1)
        return launch

    def assertOldLaunchedWithoutBox(self, run):
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(run.boxes, [])
        self.assertEqual(self.installed(), self.old, "the previous updater must stay byte for byte")
        self.assertEqual(self.assertLaunchedOnce(run)["size"], len(self.old))

    def assertFailedAndKeptOld(self, run, message, partial_of=None, named_for=None):
        """`partial_of`: the file whose beginning the staging file must keep
        for the next run (see assertStagedPartOf); without it no staging
        file may remain."""
        self.assertEqual(run.exit_code, 0)
        self.assertEqual([(b["caption"], b["text"]) for b in run.boxes], [(TITLE, message)])
        self.assertEqual(self.installed(), self.old, "the previous updater must stay byte for byte")
        if partial_of is None:
            self.assertEqual(self.staging_files(), [], "no staging file may remain")
        else:
            self.assertStagedPartOf(partial_of, named_for)
        launch = self.assertLaunchedOnce(run)
        self.assertEqual(launch["size"], len(self.old))

    def staging_files(self):
        return sorted(name for name in os.listdir(self.install)
                      if name.startswith(tree.UPDATER_NAME + ".") and name.endswith(".part"))

    def staging_path(self, body):
        return os.path.join(self.install, "%s.%s.part" % (tree.UPDATER_NAME, tree.md5_hex(body)))

    def assertStagedPartOf(self, body, named_for=None, whole_allowed=False):
        """The only staging file is the one for the version announced
        (`named_for`, default `body`) and holds a proper, non-empty beginning
        of `body`, what the server sent (or all of it, when `whole_allowed`);
        returns its length."""
        path = self.staging_path(named_for if named_for is not None else body)
        self.assertEqual(self.staging_files(), [os.path.basename(path)])
        with open(path, "rb") as f:
            staged = f.read()
        self.assertTrue(0 < len(staged) < len(body) or (whole_allowed and staged == body), len(staged))
        self.assertTrue(body.startswith(staged), "the staging file must hold the file's first bytes")
        return len(staged)


class UpdateFlowTest(ProgramTestCase):
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
        # Left by runs for other versions: they go.
        for stale in (self.staging_path(self.old), self.updater_path + ".part"):
            with open(stale, "wb") as f:
                f.write(self.old[:1000])
        tree.make_tree(self.www, self.new, "v2/Pelmora更新.exe")
        run = self.run_program()
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(run.boxes, [])
        self.assertEqual(self.installed(), self.new)
        self.assertEqual(self.staging_files(), [])
        self.assertEqual(self.assertLaunchedOnce(run)["size"], len(self.new))
        self.assertEqual(run.labels[0], FETCHING)
        self.assertEqual(run.labels[-1], "总大小：%sMB  下载完毕，请稍后..." % megabytes_text(len(self.new)))
        # One request for the version file, one for the updater, no more.
        self.assertEqual(run.access, [Access(VERSION_PATH, "-", 200, run.access[0].sent),
                                      Access("/pl/plmr/v2/Pelmora%E6%9B%B4%E6%96%B0.exe", "-", 200, len(self.new))])

    def test_progress_texts_while_downloading(self):
        self.install_old()
        big = tree.updater_variant(self.base_updater, "big", 1_500_000)
        tree.make_tree(self.www, big, "throttled/Pelmora更新.exe")
        run = self.run_program(read_bar=True)
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(self.installed(), big)
        progress = [t for t in run.labels if "已下载：" in t]
        self.assertTrue(progress, run.labels)
        total = megabytes_text(len(big))
        for text in progress:
            self.assertRegex(text, r"^总大小：%sMB  已下载：\d+(\.\d{1,2})?MB$" % total.replace(".", r"\."))
        self.assertEqual(run.labels[-1], "总大小：%sMB  下载完毕，请稍后..." % total)
        self.assertBarFollowsTheLabel(run, len(big))

    def assertBarFollowsTheLabel(self, run, size):
        """The bar, as read from the screen: at two points or more of the
        download its fill is the share of the percentage it shows and of the
        downloaded size in the status label of about that time; when the
        download is done it is full and shows the completed text."""
        progress = [bar for bar in run.bars
                    if bar["text"] and bar["text"] != BAR_COMPLETED and BAR_PROGRESS.match(bar["text"])]
        self.assertGreaterEqual(len({bar["text"].split("%")[0] for bar in progress}), 2, run.bars)
        label_shares = [(ms, downloaded_share(text, size)) for ms, text in zip(run.label_ms, run.labels)
                        if PROGRESS in text]
        for bar in progress:
            percent = int(BAR_PROGRESS.match(bar["text"])["percent"])
            self.assertIn(bar["fill"], fill_range(percent / 100, (percent + 1) / 100, bar["width"]), bar)
            # The caption is set just before the bar is drawn, and the screen
            # shows the drawing a moment later: the captions shown last
            # before the reading, or the next.
            shown = sum(1 for ms, _ in label_shares if ms <= bar["ms"])
            nearby = label_shares[max(0, shown - 2):shown + 1]
            self.assertTrue(any(bar["fill"] in fill_range(low, high, bar["width"]) for _, (low, high) in nearby),
                            (bar, nearby))
        done = [bar for bar in run.bars if bar["text"] == BAR_COMPLETED]
        self.assertTrue(done, run.bars)
        self.assertEqual([bar["fill"] for bar in done], [bar["width"] for bar in done], done)

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
        self.assertEqual(run.requests, [VERSION_PATH])
        self.assertOldLaunchedWithoutBox(run)

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
        self.assertFailedAndKeptOld(run, "读文件出错", partial_of=pattern(0, 400_000))

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
        self.assertOldLaunchedWithoutBox(run)


class ResumeTest(ProgramTestCase):
    """What one run fetched, the next run continues; a staging file that
    can't be continued is fetched again whole, in the same run."""

    UPDATER_URL = "/pl/plmr/%s/Pelmora%%E6%%9B%%B4%%E6%%96%%B0.exe"

    def assertReplacedAndLaunched(self, run, body):
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(run.boxes, [])
        self.assertEqual(self.installed(), body)
        self.assertEqual(self.staging_files(), [])
        self.assertEqual(self.assertLaunchedOnce(run)["size"], len(body))

    def updater_requests(self, run):
        return [entry for entry in run.access if entry.path != VERSION_PATH]

    def test_body_cut_at_40_percent_is_continued_by_the_next_run(self):
        self.install_old()
        tree.make_tree(self.www, b"unused", "unused.exe", body=tree.version_json(tree.md5_hex(self.new),
                                                                                "fault/blob/updater"))
        self.fault.server.blobs["updater"] = self.new
        self.fault.server.blob_cuts["updater"] = len(self.new) * 4 // 10
        first = self.run_program()
        self.assertFailedAndKeptOld(first, "读文件出错", partial_of=self.new)
        kept = os.path.getsize(self.staging_path(self.new))
        second = self.run_program()
        self.assertReplacedAndLaunched(second, self.new)
        ranges = [headers.get("Range") for line, _, headers in second.fault_requests if "/blob/updater" in line]
        self.assertEqual(ranges, ["bytes=%d-" % kept])
        self.assertEqual(len(second.access), 2, second.access)

    def test_close_mid_download_is_continued_by_the_next_run(self):
        self.install_old()
        big = tree.updater_variant(self.base_updater, "big", 1_500_000)
        tree.make_tree(self.www, big, "throttled/Pelmora更新.exe")
        first = self.run_program(close_on_label=PROGRESS, timeout_ms=LABEL_CLOSE_LIMIT * 1000)
        self.assertEqual(first.launches, [])
        kept = self.assertStagedPartOf(big)
        second = self.run_program()
        self.assertReplacedAndLaunched(second, big)
        self.assertEqual(self.updater_requests(second),
                         [Access(self.UPDATER_URL % "throttled", "bytes=%d-" % kept, 206, len(big) - kept)])
        # The whole file shows from the first progress text on, what the
        # first run fetched counted in.
        progress = [PROGRESS_SIZES.search(t) for t in second.labels if PROGRESS in t]
        self.assertTrue(progress, second.labels)
        for sizes in progress:
            self.assertEqual(sizes["total"], megabytes_text(len(big)), sizes[0])
            self.assertGreaterEqual(float(sizes["done"]), float(megabytes_text(kept)), sizes[0])

    def test_corrupt_staging_file_is_fetched_again_whole(self):
        self.install_old()
        tree.make_tree(self.www, self.new, "v3/Pelmora更新.exe")
        with open(self.staging_path(self.new), "wb") as f:
            f.write(b"x" * 1000)
        run = self.run_program()
        self.assertReplacedAndLaunched(run, self.new)
        url = self.UPDATER_URL % "v3"
        self.assertEqual(self.updater_requests(run), [Access(url, "bytes=1000-", 206, len(self.new) - 1000),
                                                      Access(url, "-", 200, len(self.new))])

    def test_server_ignoring_ranges_starts_the_file_over(self):
        self.install_old()
        tree.make_tree(self.www, self.new, "norange/Pelmora更新.exe")
        with open(self.staging_path(self.new), "wb") as f:
            f.write(self.new[:100_000])
        run = self.run_program()
        self.assertReplacedAndLaunched(run, self.new)
        self.assertEqual(self.updater_requests(run),
                         [Access(self.UPDATER_URL % "norange", "bytes=100000-", 200, len(self.new))])


SIGNING = os.path.join(HERE, "signing")
SIGN_UPDATE = os.path.join(ROOT, "scripts", "sign-update")


def signed_version_file(key, lj, path):
    """scripts/sign-update's version file for the updater at `path`, as a dict."""
    out = subprocess.run([SIGN_UPDATE, "--key", os.path.join(SIGNING, key), "--lj", lj, path],
                         capture_output=True, check=True)
    return json.loads(out.stdout.decode("utf-8"))


class SignedUpdateTest(ProgramTestCase):
    """The program built with an update key: only a file signed by that key
    replaces the updater."""

    PROGRAM = "PelmoraBootstrap_e2e_signed.exe"
    LJ = "signed/Pelmora更新.exe"

    def serve(self, version):
        tree.make_tree(self.www, self.new, self.LJ, body=json.dumps(version, ensure_ascii=False).encode("utf-8"))

    def signed(self, key="update-key.pem", body=None):
        path = os.path.join(self.work, "signed.exe")
        with open(path, "wb") as f:
            f.write(self.new if body is None else body)
        return signed_version_file(key, self.LJ, path)

    def test_a_valid_signature_replaces_the_updater(self):
        self.install_old()
        self.serve(self.signed())
        run = self.run_program()
        self.assertEqual(run.boxes, [])
        self.assertEqual(self.installed(), self.new)
        self.assertEqual(self.staging_files(), [])
        self.assertEqual(self.assertLaunchedOnce(run)["size"], len(self.new))

    def test_a_signature_that_does_not_verify_keeps_the_updater(self):
        good = self.signed()
        raw = base64.b64decode(good["sig"])
        cases = {
            "signature of another file": self.signed(body=self.old)["sig"],
            "signature by another key": self.signed(key="other-key.pem")["sig"],
            "no signature": None,
            "bad Base64": "*" + good["sig"][1:],
            "63 bytes": base64.b64encode(raw[:63]).decode(),
            "a flipped bit": base64.b64encode(bytes([raw[0] ^ 1]) + raw[1:]).decode(),
        }
        for name, signature in cases.items():
            with self.subTest(name):
                self.clear_install_dir()
                self.install_old()
                version = {key: value for key, value in good.items() if key != "sig"}
                if signature is not None:
                    version["sig"] = signature
                self.serve(version)
                run = self.run_program()
                self.assertFailedAndKeptOld(run, "下载的文件校验失败")
                self.assertEqual(len(run.requests), 2, run.requests)  # fetched once: no retry

    def test_a_current_updater_is_started_without_a_signature(self):
        self.install_old()
        tree.make_tree(self.www, self.old, self.LJ)  # digest and path only
        run = self.run_program()
        self.assertOldLaunchedWithoutBox(run)
        self.assertEqual(run.requests, [VERSION_PATH])

    def test_sign_update_output_verifies_with_openssl(self):
        path = os.path.join(self.work, "signed.exe")
        with open(path, "wb") as f:
            f.write(self.new)
        version = self.signed()
        self.assertEqual(set(version), {tree.DIGEST_KEY, "lj", "sig"})
        self.assertEqual((version[tree.DIGEST_KEY], version["lj"]), (tree.md5_hex(self.new), self.LJ))
        raw = base64.b64decode(version["sig"], validate=True)
        self.assertEqual(len(raw), 64)
        signature = os.path.join(self.work, "signature.der")
        with open(signature, "wb") as f:
            f.write(der_signature(raw))
        verified = subprocess.run(["openssl", "dgst", "-sha256", "-verify",
                                   os.path.join(SIGNING, "update-key.pub.pem"), "-signature", signature, path],
                                  capture_output=True, text=True)
        self.assertEqual((verified.returncode, verified.stdout.strip()), (0, "Verified OK"))


def der_signature(raw):
    """openssl's DER form of r‖s: SEQUENCE { INTEGER r, INTEGER s }."""
    def integer(value):
        body = value.lstrip(b"\0") or b"\0"
        if body[0] & 0x80:
            body = b"\0" + body
        return b"\x02" + bytes([len(body)]) + body
    content = integer(raw[:32]) + integer(raw[32:])
    return b"\x30" + bytes([len(content)]) + content


# How long the program may wait on a fault before it gives up, and the
# margin a run gets beyond that (Wine's start and end, the launch's wait for
# the updater, the watcher's sampling).
VERSION_DEADLINE = 30  # the version check, from the program's start
STALL_DEADLINE = 30    # a download that receives nothing
CLOSE_DEADLINE = 2     # from a close mid-download until the program has ended
MARGIN = 9  # CI shares 2 cores: a loaded machine starts Wine slowly
# Closes race with the download's end and with shutdown: each is repeated.
UNTHROTTLED_CLOSE_RUNS = 5
THROTTLED_CLOSE_RUNS = 3
# A version request that ends by itself, after about 10 s (20 bytes, 0.5 s
# apart), and the moments (ms after the start) of the closes while it runs:
# it is under way by the first of them.
SLOW_VERSION_ROUTE, SLOW_VERSION_SECONDS = "/drip/20?ms=500", 10
DOWNLOAD_MAX_REDIRECTS = 10
VERSION_CLOSE_MOMENTS_MS = (2000, 3000, 4000, 5000, 6000)
NESTING = 20_000
STALLED_SIZE = 600_000
# Large enough that the unthrottled transfer still runs when the first
# progress text shows.
UNTHROTTLED_SIZE = 48 * 1048576
# How long a run that closes on a progress text may take before the watcher
# kills it (s): the throttled download alone would take 13 s.
LABEL_CLOSE_LIMIT = 60

LAUNCHED_OLD = "the existing updater is launched, no box, nothing downloaded"
FAILED = "one box, the existing updater kept and launched"
CLOSED = "nothing launched, the existing updater kept"


PROGRESS_SIZES = re.compile(r"总大小：(?P<total>[\d.]+)MB  已下载：(?P<done>[\d.]+)MB")


def nested_array(depth):
    return "[" * depth + "]" * depth


class Row(NamedTuple):
    name: str
    outcome: str
    deadline: float  # from the start; from the close when the row closes on a label
    version_route: Optional[str] = None  # fault route answering the version file
    # The version file from the served updater's digest; default: that digest and `updater`.
    version_body: Optional[Callable[[str], bytes]] = None
    updater: str = "Pelmora更新.exe"  # "lj": the updater's path under /pl/plmr/
    updater_route: Optional[str] = None  # fault route answering the updater's path
    updater_size: int = 600_000
    message: Optional[str] = None  # the box of a failure
    close_on_label: Optional[str] = None
    close_after_ms: Tuple[int, ...] = ()  # one close of every window per run
    runs: int = 1
    earliest: float = 0  # a program that ends sooner gave up too early
    loop: Optional[str] = None  # fault path of a redirect loop that must be followed, and left
    keeps_part: bool = False  # a failure that leaves the fetched beginning for the next run


ROWS = [
    Row("version_body_dripped", LAUNCHED_OLD, VERSION_DEADLINE, version_route="/drip/120"),
    Row("version_never_answered", LAUNCHED_OLD, VERSION_DEADLINE, version_route="/silent"),
    Row("version_headers_then_silence", LAUNCHED_OLD, VERSION_DEADLINE,
        version_route="/stall/1000?after=10&seconds=600"),
    # Too deep to be JSON: no version information at all.
    Row("relative_path_nested_deep", LAUNCHED_OLD, 0,
        version_body=lambda digest: ('{"Pelmora更新.exe":"%s","lj":%s}' % (digest, nested_array(NESTING))).encode()),
    Row("digest_nested_deep", LAUNCHED_OLD, 0,
        version_body=lambda digest: ('{"Pelmora更新.exe":%s,"lj":"Pelmora更新.exe"}'
                                     % nested_array(NESTING)).encode()),
    Row("download_stalled_after_a_third", FAILED, STALL_DEADLINE, message="读文件出错", updater="hostile/stalled",
        updater_route="/stall/%d?after=%d&seconds=600" % (STALLED_SIZE, STALLED_SIZE // 3), earliest=STALL_DEADLINE,
        updater_size=STALLED_SIZE, keeps_part=True),
    Row("download_redirect_loop", FAILED, 0, message="不能打开该URL", updater="fault/loop", loop="/loop"),
    Row("closed_on_first_progress_unthrottled", CLOSED, CLOSE_DEADLINE, updater="big/Pelmora更新.exe",
        updater_size=UNTHROTTLED_SIZE, close_on_label=PROGRESS, runs=UNTHROTTLED_CLOSE_RUNS),
    Row("closed_on_first_progress_throttled", CLOSED, CLOSE_DEADLINE, updater="throttled/Pelmora更新.exe",
        updater_size=4_000_000, close_on_label=PROGRESS, runs=THROTTLED_CLOSE_RUNS),
    # The close is taken up once the version check has returned (or is cut short by it).
    Row("every_window_closed_during_slow_version_request", CLOSED, SLOW_VERSION_SECONDS,
        version_route=SLOW_VERSION_ROUTE,
        close_after_ms=VERSION_CLOSE_MOMENTS_MS, runs=len(VERSION_CLOSE_MOMENTS_MS)),
]


class HostileServerTest(ProgramTestCase):
    """One generated test per row of ROWS, each run `runs` times."""

    def check_row(self, row):
        routes = {}
        if row.version_route:
            routes[VERSION_PATH] = row.version_route
        if row.updater_route:
            routes["/pl/plmr/" + row.updater] = row.updater_route
        if row.loop:
            routes[row.loop] = row.loop  # where the loop's redirects lead on nginx
        self.serve_routes(routes)
        served = tree.updater_variant(self.base_updater, "served", row.updater_size)
        digest = tree.md5_hex(served)
        tree.make_tree(self.www, served, row.updater, body=row.version_body(digest) if row.version_body else None)
        # A stalled route serves pattern bytes; the staging file keeps those.
        fetched = pattern(0, row.updater_size) if row.updater_route and "/stall/" in row.updater_route else served
        for index in range(row.runs):
            with self.subTest(run=index + 1):
                self.clear_install_dir()
                self.install_old()
                self.check_run(row, index, fetched, served)

    def check_run(self, row, index, fetched, served):
        close_after = row.close_after_ms[index] if row.close_after_ms else None
        # A run that hangs is killed soon after its deadline has passed.
        limit = LABEL_CLOSE_LIMIT if row.close_on_label else row.deadline + MARGIN + 5
        run = self.run_program(close_on_label=row.close_on_label, close_after_ms=close_after,
                               timeout_ms=limit * 1000)
        self.assertNotEqual(run.exit_code, KILLED_STATUS, "still running after %d s: killed" % limit)
        if row.close_on_label:
            closed = [(ms, text) for ms, text in zip(run.label_ms, run.labels) if row.close_on_label in text]
            self.assertTrue(closed, "no %r text to close on: %r" % (row.close_on_label, run.labels))
            close_ms, close_text = closed[0]
            bound = close_ms / 1000 + row.deadline + MARGIN
        else:
            bound = row.deadline + MARGIN
        self.assertLessEqual(run.seconds, bound, "the program ended too late")

        # The run met the fault it is about.
        for route in (row.version_route, row.updater_route):
            if route:
                self.assertTrue(any(route in line for line, *_ in run.fault_requests),
                                "the fault route %s was not reached" % route)
        if row.close_on_label:
            # The close came mid-transfer. (What nginx sent tells nothing:
            # Wine reads the size request's whole body too.)
            sizes = PROGRESS_SIZES.search(close_text)
            self.assertIsNotNone(sizes, close_text)
            self.assertLess(float(sizes["done"]), float(sizes["total"]), close_text)
        if close_after is not None:
            version_at = [at for line, at, _ in run.fault_requests if row.version_route in line]
            self.assertTrue(version_at and version_at[0] < run.started + close_after / 1000,
                            "the close came before the version request")
        if row.loop:
            loops = [line for line, *_ in run.fault_requests if " %s" % row.loop in line]
            self.assertGreaterEqual(len(loops), 3, "the redirect loop was not followed: %r" % run.fault_requests)

        if row.outcome == LAUNCHED_OLD:
            self.assertOldLaunchedWithoutBox(run)
            self.assertEqual([path for path in run.requests if path != VERSION_PATH], [], "nothing downloaded")
        elif row.outcome == FAILED:
            self.assertFailedAndKeptOld(run, row.message, partial_of=fetched if row.keeps_part else None,
                                        named_for=served)
        else:
            self.assertEqual(run.exit_code, 0)
            self.assertEqual(run.boxes, [])
            self.assertEqual(self.installed(), self.old, "the previous updater must stay byte for byte")
            self.assertEqual(run.launches, [], "nothing may be launched after a close")
            if row.close_on_label:
                # What came before the close is kept, unverified, for the next
                # run; a transfer that ended while the window went keeps it all.
                self.assertStagedPartOf(fetched, served, whole_allowed=True)
            else:
                self.assertEqual(self.staging_files(), [])

        self.assertGreaterEqual(run.seconds, row.earliest, "gave up too early")
        if row.loop:
            # The first request and at most 10 redirects; the download gives
            # up at the open, before any other request.
            self.assertLessEqual(len(loops), 1 + DOWNLOAD_MAX_REDIRECTS)


def _row_test(row):
    return lambda self: self.check_row(row)


for _number, _row in enumerate(ROWS, 1):
    setattr(HostileServerTest, "test_%02d_%s" % (_number, _row.name), _row_test(_row))


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
