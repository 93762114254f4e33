#!/usr/bin/env python3
"""The main job, once, against a local update server (run by scripts/demo).

Generates a demo update tree (the demo updater and its version file), serves
it with nginx on the build's base URL (throttled so the progress is visible
for a few seconds), places an outdated updater in the install directory of
the Wine prefix, runs the program in a Wine virtual desktop, then runs it a
second time (now current), and reports digests, bytes, time, the recorded
launches and the screenshots of the fetching, progress and completed states.

With --signed KEY (a build with KEY's public half built in), the version file
is signed by KEY, and a third run is offered an attacker's update: a version
file and an updater of their own with a valid digest, signed by a key made
on the spot. That run must be refused with the verification box and leave
the updater byte for byte as it was; the box is photographed while it is up.
"""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
from typing import NamedTuple, Optional

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "servers"))
sys.path.insert(0, os.path.join(ROOT, "tests", "app"))

import update_tree as tree  # noqa: E402
from test_servers import Nginx, windows_path  # noqa: E402

WINE = os.path.join(ROOT, "scripts", "wine")
SIGN_UPDATE = os.path.join(ROOT, "scripts", "sign-update")
SCREEN = (520, 320)
FETCHING = "正在获取更新程序，请等待..."
DEMO_SIZE = 6 * 1024 * 1024
RATE = "1200k"
REFUSAL = ("提示信息", "下载的文件校验失败")  # caption, text
FORGED_LJ = "forged/Pelmora更新.exe"
# Not the genuine updater's size, so the launch record tells which one ran.
FORGED_SIZE = 3 * 1024 * 1024
# How long the watcher leaves the refusal up, and how long after it appeared
# it is photographed (the box is drawn by then, and still there).
BOX_DELAY_MS = 2500
BOX_SETTLE_S = 0.5


def base_url(build):
    with open(os.path.join(build, "CMakeCache.txt")) as f:
        for line in f:
            if line.startswith("PELMORA_UPDATE_BASE_URL:"):
                return line.split("=", 1)[1].strip()
    raise SystemExit("no PELMORA_UPDATE_BASE_URL in the build")


class Screen:
    """Our own Xvfb (unless the user's display is used) and frame capture."""

    def __init__(self, use_user_display):
        self.process = None
        if use_user_display:
            self.display = os.environ["DISPLAY"]
            return
        number = 90 + os.getpid() % 100
        self.display = ":%d" % number
        self.process = subprocess.Popen(["Xvfb", self.display, "-screen", "0", "%dx%dx24" % SCREEN, "-nolisten", "tcp"],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if subprocess.run(["xdpyinfo", "-display", self.display], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0:
                break
            time.sleep(0.05)

    def capture(self, path):
        subprocess.run(["xwd", "-root", "-silent", "-display", self.display, "-out", path],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def close(self):
        if self.process:
            self.process.terminate()
            self.process.wait()


class FrameRecorder(threading.Thread):
    """Captures frames back to back while the program runs; each frame is
    tagged with the times its capture began and ended."""

    def __init__(self, screen, folder):
        super().__init__(daemon=True)
        self.screen, self.folder = screen, folder
        self.frames = []
        self.running = True

    def run(self):
        n = 0
        while self.running:
            path = os.path.join(self.folder, "frame%05d.xwd" % n)
            began = time.monotonic()
            self.screen.capture(path)
            self.frames.append((began, time.monotonic(), path))
            n += 1


def follow_labels(path, states, stop):
    """Notes the host time at which each new status text appeared."""
    seen = 0
    while not stop.is_set():
        if os.path.exists(path):
            with open(path, encoding="utf-8") as f:
                lines = f.readlines()
            for line in lines[seen:]:
                match = re.search(r'"text": "(.*)"}', line)
                if match:
                    states.append((time.monotonic(), match.group(1)))
            seen = len(lines)
        time.sleep(0.005)


def photograph_first_box(screen, boxes, png, stop):
    """Once the first message box has been recorded in `boxes`, lets it
    settle and captures the screen to `png`."""
    while not stop.is_set():
        if os.path.exists(boxes) and os.path.getsize(boxes) > 0:
            time.sleep(BOX_SETTLE_S)
            shot = png[:-len(".png")] + ".xwd"
            screen.capture(shot)
            subprocess.run(["convert", shot, png], check=True)
            os.remove(shot)
            return
        time.sleep(0.005)


def run_program(build, screen, work, name, record_frames, launches="launches.json", box_shot=None,
                print_boxes=True):
    """One run under the watcher. `box_shot`: a PNG path for a picture of
    the first message box, which is then left up for BOX_DELAY_MS.
    Returns the exit code, the seconds, the status texts over time, the
    frames and the boxes [(caption, text)]."""
    bin_dir = os.path.join(build, "bin")
    labels = os.path.join(work, name + "-labels.json")
    boxes = os.path.join(work, name + "-boxes.json")
    exit_code = os.path.join(work, name + "-exit-code.txt")
    # The watcher runs inside explorer, so scripts/wine can't tell the build
    # from the program it is given: the prefix is named.
    env = dict(os.environ, DISPLAY=screen.display, PELMORA_LAUNCH_LOG=windows_path(os.path.join(work, launches)),
               PELMORA_UPDATER_LINGER_MS="1500", WINEPREFIX=os.path.join(build, "wineprefix"))
    frames_dir = os.path.join(work, name + "-frames")
    os.makedirs(frames_dir, exist_ok=True)
    recorder = FrameRecorder(screen, frames_dir) if record_frames else None
    states, stop = [], threading.Event()
    follower = threading.Thread(target=follow_labels, args=(labels, states, stop), daemon=True)
    follower.start()
    watch_options = []
    photographer = None
    if box_shot:
        watch_options = ["--box-delay", str(BOX_DELAY_MS)]
        photographer = threading.Thread(target=photograph_first_box, args=(screen, boxes, box_shot, stop), daemon=True)
        photographer.start()
    if recorder:
        recorder.start()
    began = time.monotonic()
    result = subprocess.run([WINE, "explorer", "/desktop=Pelmora,%dx%d" % SCREEN,
                             windows_path(os.path.join(bin_dir, "msgbox_watch.exe")),
                             "--labels", "_RT_Label", windows_path(labels), "--timeout", "120000",
                             "--exit-code", windows_path(exit_code)] + watch_options +
                            [windows_path(boxes), windows_path(os.path.join(bin_dir, "PelmoraBootstrap.exe"))],
                            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    seconds = time.monotonic() - began
    time.sleep(0.1)
    stop.set()
    follower.join()
    if photographer:
        photographer.join()
    if recorder:
        recorder.running = False
        recorder.join()
    try:
        with open(exit_code) as f:
            code = int(f.read())
    except (OSError, ValueError):
        code = None  # the watcher didn't finish
    shown = []
    with open(boxes, encoding="utf-8") if os.path.exists(boxes) else open(os.devnull) as f:
        for line in f:
            if print_boxes:
                print("  message box   " + line.strip())
            box = json.loads(line)
            shown.append((box["caption"], box["text"]))
    return code, seconds, states + [(began + seconds, "")], (recorder.frames if recorder else []), shown


def frames_inside(frames, start, end):
    """Frames whose whole capture lies inside [start, end)."""
    return [path for began, ended, path in frames if began >= start + 0.03 and ended <= end]


def sign_version_file(key, www, lj):
    """Signs the updater under `lj` in the tree with `key` (scripts/sign-update)
    and makes that the version file; returns its signature."""
    updater = os.path.join(www, "pl", "plmr", lj)
    body = subprocess.run([SIGN_UPDATE, "--key", key, "--lj", lj, updater], check=True,
                          stdout=subprocess.PIPE).stdout
    with open(os.path.join(www, tree.VERSION_FILE), "wb") as f:
        f.write(body)
    return json.loads(body.decode("utf-8"))["sig"]


def new_key(path):
    """A freshly generated ECDSA P-256 private key (PEM) at `path`."""
    subprocess.run(["openssl", "ecparam", "-name", "prime256v1", "-genkey", "-noout", "-out", path], check=True)


def staging_files(install):
    return sorted(name for name in os.listdir(install)
                  if name.startswith(tree.UPDATER_NAME + ".") and name.endswith(".part"))


def describe(data):
    return "%s, %d bytes" % (tree.md5_hex(data), len(data))


class ForgedRun(NamedTuple):
    """What the attacker's update came to."""
    digest: str       # the forged file's, as the forged version file announces
    signature: str    # by the attacker's key
    before: bytes     # the updater before the run (the genuine one)
    after: bytes
    code: Optional[int]
    seconds: float
    boxes: list       # [(caption, text)]
    served: list      # nginx's access log lines
    staging: list     # staging files left beside the updater
    launches: list    # the demo updater's records, as JSON lines
    screenshot: Optional[str]

    def refused(self):
        """Refused as it must be: the one box, the updater as it was, no
        staging file, the genuine updater started once."""
        started = [json.loads(line)["size"] for line in self.launches]
        return (self.code == 0 and self.boxes == [REFUSAL] and self.after == self.before and not self.staging
                and started == [len(self.before)])


def forged_run(build, screen, work, www, base, install, out, nginx):
    """Offers the attacker's update to the program that has the genuine
    updater; photographs the box while it is up."""
    updater_path = os.path.join(install, tree.UPDATER_NAME)
    forged = tree.updater_variant(base, "forged by an attacker", FORGED_SIZE)
    attacker_key = os.path.join(work, "attacker-key.pem")
    new_key(attacker_key)
    digest = tree.make_tree(www, forged, FORGED_LJ)
    signature = sign_version_file(attacker_key, www, FORGED_LJ)
    with open(updater_path, "rb") as f:
        before = f.read()
    shot = os.path.join(out, "demo-refused.png")
    if os.path.exists(shot):
        os.remove(shot)
    open(nginx.access_log, "w").close()
    code, seconds, _, _, boxes = run_program(build, screen, work, "forged", record_frames=False,
                                             launches="forged-launches.json", box_shot=shot, print_boxes=False)
    with open(nginx.access_log, encoding="utf-8") as f:
        served = f.read().splitlines()
    with open(updater_path, "rb") as f:
        after = f.read()
    launches = os.path.join(work, "forged-launches.json")
    with open(launches, encoding="utf-8") if os.path.exists(launches) else open(os.devnull) as f:
        launched = [line.strip() for line in f if line.strip()]
    return ForgedRun(digest, signature, before, after, code, seconds, boxes, served, staging_files(install),
                     launched, shot if os.path.exists(shot) else None)


def report_forged(run):
    print()
    print("Forged update   a version file and an updater of an attacker, signed by a key of theirs")
    print("  announces     %s = %s (the forged file's own digest), lj = %s" % (tree.DIGEST_KEY, run.digest, FORGED_LJ))
    print("  sig           %s... (by a key made just now, not the program's)" % run.signature[:24])
    print("  before        %s (the genuine updater)" % describe(run.before))
    print("Forged run      exit code %s after %.1f s" % (run.code, run.seconds))
    for line in run.served:
        print("  served        " + line)
    for caption, text in run.boxes:
        print("  message box   %s: %s" % (caption, text))
    print("  after         %s (%s)" % (describe(run.after), "byte-identical to before" if run.after == run.before
                                       else "CHANGED: the forged file was installed"))
    print("  staging files %s" % (", ".join(run.staging) if run.staging else "none left"))
    print("Launches the demo updater recorded in the forged run:")
    for line in run.launches:
        print("  " + line)
    print("Screenshot      %s" % (run.screenshot or "(no box to capture)"))
    print("Forged update   %s" % ("REFUSED: the box, the genuine updater kept and started" if run.refused()
                                  else "NOT REFUSED AS IT MUST BE"))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "mingw"))
    parser.add_argument("--out", default=None, help="folder for the screenshots (default: BUILD/demo)")
    parser.add_argument("--signed", metavar="KEY.pem", default=None,
                        help="the private key whose public key the build has: sign the version file, then try a forgery")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    out = os.path.abspath(args.out or os.path.join(build, "demo"))
    os.makedirs(out, exist_ok=True)

    url = base_url(build)
    match = re.match(r"^http://127\.0\.0\.1:(\d+)$", url)
    if not match:
        raise SystemExit("the demo serves the update tree itself: build with a base URL http://127.0.0.1:PORT (now %s)" % url)
    port = int(match.group(1))

    work = tempfile.mkdtemp(prefix="pelmora-demo-")
    www = os.path.join(work, "www")
    with open(os.path.join(build, "bin", "test_updater.exe"), "rb") as f:
        base = f.read()
    stamp = time.strftime("%Y-%m-%d %H:%M:%S")
    fresh = tree.updater_variant(base, "demo " + stamp, DEMO_SIZE)
    outdated = tree.updater_variant(base, "outdated")
    lj = "demo/Pelmora更新.exe"
    digest = tree.make_tree(www, fresh, lj)
    signature = sign_version_file(os.path.abspath(args.signed), www, lj) if args.signed else None

    # The prefix exists once scripts/wine has run a program in it.
    subprocess.run([WINE, os.path.join(build, "bin", "test_updater.exe")], check=True,
                   env=dict(os.environ, PELMORA_LAUNCH_LOG=windows_path(os.path.join(work, "warmup.json"))))
    install = tree.install_dir(os.path.join(build, "wineprefix"))
    os.makedirs(install, exist_ok=True)
    updater_path = os.path.join(install, tree.UPDATER_NAME)
    with open(updater_path, "wb") as f:
        f.write(outdated)

    print("Update server   %s (nginx, throttled to %s/s)" % (url, RATE))
    print("Version file    %s/%s" % (url, tree.VERSION_FILE))
    print("  announces     %s = %s, lj = %s" % (tree.DIGEST_KEY, digest, lj))
    if signature:
        print("  sig           %s... (by %s, whose public key the program has)" % (signature[:24], args.signed))
    print("Install dir     C:\\Users\\Administrator\\Desktop\\QRVN服务端  (%s)" % install)
    print("  before        %s, %d bytes (outdated)" % (tree.md5_hex(outdated), len(outdated)))

    screen = Screen(use_user_display=bool(os.environ.get("DISPLAY")) and not os.environ.get("PELMORA_DEMO_XVFB"))
    try:
        # Without sendfile the throttled data flows in small steps, not bursts.
        throttled = "        location /pl/plmr/demo/ { limit_rate %s; sendfile off; output_buffers 1 16k; }" % RATE
        with Nginx(www, port=port, extra=throttled) as nginx:
            code, seconds, states, frames, _ = run_program(build, screen, work, "first", record_frames=True)
            with open(nginx.access_log, encoding="utf-8") as f:
                first_log = f.read().splitlines()
            open(nginx.access_log, "w").close()
            code2, seconds2, states2, _, _ = run_program(build, screen, work, "second", record_frames=False)
            with open(nginx.access_log, encoding="utf-8") as f:
                second_log = f.read().splitlines()
            with open(updater_path, "rb") as f:
                after = f.read()
            forged = forged_run(build, screen, work, www, base, install, out, nginx) if args.signed else None
    finally:
        screen.close()

    print()
    print("First run       exit code %s after %.1f s" % (code, seconds))
    for line in first_log:
        print("  served        " + line)
    texts = [text for _, text in states if text]
    shown = texts if len(texts) <= 6 else texts[:3] + ["... (%d status texts in all)" % len(texts)] + texts[-2:]
    print("  status texts  " + "\n                ".join(shown))
    print("  after         %s, %d bytes (%s)" % (tree.md5_hex(after), len(after),
                                                  "matches the version file" if tree.md5_hex(after) == digest
                                                  else "DOES NOT match the version file"))
    print("Second run      exit code %s after %.1f s (updater now current)" % (code2, seconds2))
    for line in second_log:
        print("  served        " + line)

    print("Launches the demo updater recorded:")
    with open(os.path.join(work, "launches.json"), encoding="utf-8") as f:
        for line in f:
            print("  " + line.strip())

    # One screenshot per display state, from the frames captured during it:
    # the first frame of the fetching and completed states (the window goes
    # soon after the completed state), and one from the last progress
    # interval, when the average speed has settled.
    candidates = {"fetching": [], "progress": [], "completed": []}
    for (start, text), (end, _) in zip(states, states[1:]):
        inside = frames_inside(frames, start, end)
        if not inside:
            continue
        if text == FETCHING and not candidates["fetching"]:
            candidates["fetching"] = [inside[0]]
        elif "已下载" in text:
            candidates["progress"] = [inside[len(inside) // 2]]
        elif "下载完毕" in text and not candidates["completed"]:
            candidates["completed"] = [inside[0]]
    names = {}
    for state, chosen in candidates.items():
        names[state] = None
        if chosen:
            names[state] = os.path.join(out, "demo-%s.png" % state)
            subprocess.run(["convert", chosen[0], names[state]], check=True)
    print("Screenshots:")
    for state, png in names.items():
        print("  %-10s %s" % (state, png or "(state too short to capture)"))
    if forged:
        report_forged(forged)
    shutil.rmtree(work, ignore_errors=True)
    refused = forged.refused() if forged else True
    return 0 if code == 0 and code2 == 0 and tree.md5_hex(after) == digest and refused else 1


if __name__ == "__main__":
    sys.exit(main())
