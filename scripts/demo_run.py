#!/usr/bin/env python3
"""The main job, once, against a local update server (run by scripts/demo).

Generates a demo update tree (the demo updater and its version file), serves
it with nginx on the build's base URL (throttled so the progress is visible
for a few seconds), places an outdated updater in the install directory of
the Wine prefix, runs the program in a Wine virtual desktop, then runs it a
second time (now current), and reports digests, bytes, time, the recorded
launches and the screenshots of the fetching, progress and completed states.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "servers"))
sys.path.insert(0, os.path.join(ROOT, "tests", "app"))

import update_tree as tree  # noqa: E402
from test_servers import Nginx, windows_path  # noqa: E402

WINE = os.path.join(ROOT, "scripts", "wine")
SCREEN = (520, 320)
FETCHING = "正在获取更新程序，请等待..."
DEMO_SIZE = 6 * 1024 * 1024
RATE = "1200k"


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


def run_program(build, screen, work, name, record_frames):
    bin_dir = os.path.join(build, "bin")
    labels = os.path.join(work, name + "-labels.json")
    boxes = os.path.join(work, name + "-boxes.json")
    exit_code = os.path.join(work, name + "-exit-code.txt")
    env = dict(os.environ, DISPLAY=screen.display, PELMORA_LAUNCH_LOG=windows_path(os.path.join(work, "launches.json")),
               PELMORA_UPDATER_LINGER_MS="1500")
    frames_dir = os.path.join(work, name + "-frames")
    os.makedirs(frames_dir, exist_ok=True)
    recorder = FrameRecorder(screen, frames_dir) if record_frames else None
    states, stop = [], threading.Event()
    follower = threading.Thread(target=follow_labels, args=(labels, states, stop), daemon=True)
    follower.start()
    if recorder:
        recorder.start()
    began = time.monotonic()
    result = subprocess.run([WINE, "explorer", "/desktop=Pelmora,%dx%d" % SCREEN,
                             windows_path(os.path.join(bin_dir, "msgbox_watch.exe")),
                             "--labels", "_RT_Label", windows_path(labels), "--timeout", "120000",
                             "--exit-code", windows_path(exit_code),
                             windows_path(boxes), windows_path(os.path.join(bin_dir, "PelmoraBootstrap.exe"))],
                            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    seconds = time.monotonic() - began
    time.sleep(0.1)
    stop.set()
    follower.join()
    if recorder:
        recorder.running = False
        recorder.join()
    try:
        with open(exit_code) as f:
            code = int(f.read())
    except (OSError, ValueError):
        code = None  # the watcher didn't finish
    with open(boxes, encoding="utf-8") if os.path.exists(boxes) else open(os.devnull) as f:
        for line in f:
            print("  message box   " + line.strip())
    return code, seconds, states + [(began + seconds, "")], (recorder.frames if recorder else [])


def frames_inside(frames, start, end):
    """Frames whose whole capture lies inside [start, end)."""
    return [path for began, ended, path in frames if began >= start + 0.03 and ended <= end]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "mingw"))
    parser.add_argument("--out", default=None, help="folder for the screenshots (default: BUILD/demo)")
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
    print("Install dir     C:\\Users\\Administrator\\Desktop\\QRVN服务端  (%s)" % install)
    print("  before        %s, %d bytes (outdated)" % (tree.md5_hex(outdated), len(outdated)))

    screen = Screen(use_user_display=bool(os.environ.get("DISPLAY")) and not os.environ.get("PELMORA_DEMO_XVFB"))
    try:
        # Without sendfile the throttled data flows in small steps, not bursts.
        throttled = "        location /pl/plmr/demo/ { limit_rate %s; sendfile off; output_buffers 1 16k; }" % RATE
        with Nginx(www, port=port, extra=throttled) as nginx:
            code, seconds, states, frames = run_program(build, screen, work, "first", record_frames=True)
            with open(nginx.access_log, encoding="utf-8") as f:
                first_log = f.read().splitlines()
            open(nginx.access_log, "w").close()
            code2, seconds2, states2, _ = run_program(build, screen, work, "second", record_frames=False)
            with open(nginx.access_log, encoding="utf-8") as f:
                second_log = f.read().splitlines()
    finally:
        screen.close()

    with open(updater_path, "rb") as f:
        after = f.read()
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
    shutil.rmtree(work, ignore_errors=True)
    return 0 if code == 0 and code2 == 0 and tree.md5_hex(after) == digest else 1


if __name__ == "__main__":
    sys.exit(main())
