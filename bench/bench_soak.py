#!/usr/bin/python3
"""Soak: 200 area captures through real input on two displays (1920x1080 and 2560x1440) of a
private Xvfb, alternating copy, save and cancel, the selection on one display then the other.
Prints tessik's resident memory every 20 captures, checks every copied image and saved file
(size, readable PNG), and after each dismissal whether a click and a key press reach another
window (an xev window), which a stuck grab or a lost focus would stop.

    python3 bench/bench_soak.py --tessik build/src/App/tessik [--captures 200]
"""

import argparse
import io
import os
import re
import subprocess
import sys
import time

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import rig  # noqa: E402
from rig import Desktop, overlays, wait_until  # noqa: E402

# Two displays side by side, the 1920x1080 one primary.
rig.LAYOUTS["soak"] = ("4480x1440", [("FHD", 1920, 1080, 0, 0, True),
                                     ("QHD", 2560, 1440, 1920, 0, False)], None)
DISPLAYS = [(0, 0, 1920, 1080), (1920, 0, 2560, 1440)]
WITNESS = (60, 60, 240, 160)  # x, y, width, height of the other window, on the first display


def rss_mb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0.0


class Witness:
    """An xev window: counts the button and key presses that reach it."""

    def __init__(self, d):
        x, y, w, h = WITNESS
        self.log = os.path.join(d.tmp, "xev.log")
        out = open(self.log, "wb")
        self.proc = subprocess.Popen(["xev", "-geometry", f"{w}x{h}+{x}+{y}",
                                      "-event", "button", "-event", "keyboard"],
                                     env=d.env(), stdout=out, stderr=subprocess.DEVNULL)
        d.procs.append(self.proc)
        self.d = d
        wait_until(lambda: self.counts() is not None, timeout=10, what="the xev window")
        time.sleep(0.5)

    def counts(self):
        try:
            with open(self.log, encoding="utf-8", errors="replace") as f:
                text = f.read()
        except OSError:
            return None
        return len(re.findall(r"^ButtonPress", text, re.M)), len(re.findall(r"^KeyPress", text, re.M))

    def reached(self):
        """Clicks and types into the window; whether each arrived."""
        clicks, keys = self.counts()
        x, y, w, h = WITNESS
        self.d.xdotool("mousemove", x + w // 2, y + h // 2)
        self.d.xdotool("click", 1)
        self.d.xdotool("key", "a")
        try:
            wait_until(lambda: self.counts()[0] > clicks and self.counts()[1] > keys, timeout=3)
            return True, True
        except TimeoutError:
            now = self.counts()
            return now[0] > clicks, now[1] > keys


def selection(i):
    """A different rectangle each time (root pixels), on one display then the other."""
    left, top, width, height = DISPLAYS[i % 2]
    w, h = 300 + (i * 37) % 900, 200 + (i * 53) % 600
    x = left + 320 + (i * 71) % max(1, width - w - 400)
    y = top + 240 + (i * 29) % max(1, height - h - 300)
    return x, y, w, h


def png_size(data):
    return Image.open(io.BytesIO(data)).size


def capture(d, i, folder, saved_before):
    """One capture; returns (action, ok, detail)."""
    action = ("copy", "save", "cancel")[i % 3]
    d.xdotool("key", "ctrl+shift+2")
    try:
        wait_until(lambda: len(overlays(d)) == 2, timeout=30, what="two overlays")
    except TimeoutError:
        d.key("Escape")
        return action, False
    x, y, w, h = selection(i)
    d.drag(x, y, x + w, y + h)
    time.sleep(0.1)
    if action == "copy":
        d.key("ctrl+c")
        try:
            data = wait_until(lambda: (lambda b: b if b and png_size(b) == (w, h) else None)(
                d.clipboard("image/png")), timeout=30, what="the copied image")
            ok = bool(data)
        except TimeoutError:
            ok = False
    elif action == "save":
        d.key("ctrl+s")
        try:
            new = wait_until(lambda: sorted(set(os.listdir(folder)) - saved_before)
                             if os.path.isdir(folder) else None, timeout=30, what="the file")
            with open(os.path.join(folder, new[0]), "rb") as f:
                ok = len(new) == 1 and png_size(f.read()) == (w, h)
        except (TimeoutError, OSError):
            ok = False
    else:
        d.key("Escape")
        ok = True
    try:
        wait_until(lambda: not overlays(d), timeout=30, what="the overlays to close")
    except TimeoutError:
        ok = False
    return action, ok


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tessik", required=True)
    parser.add_argument("--captures", type=int, default=200)
    args = parser.parse_args()
    rig.TESSIK = args.tessik

    with Desktop("soak") as d:
        content = os.path.join(d.tmp, "desktop.png")
        subprocess.run([sys.executable, os.path.join(HERE, "tools", "gen_content.py"),
                        "4480", "1440", content], check=True)
        d.set_root_pattern(content)
        witness = Witness(d)
        d.start_tessik()
        # Ready once the hot key is registered, which stores the shortcut.
        conf = d.path(".config", "Tessik", "Tessik.ini")
        wait_until(lambda: os.path.exists(conf) and "GlobalShortcuts_captureArea" in open(conf).read(),
                   timeout=60, what="tessik to register its shortcut")
        time.sleep(1.0)
        folder = d.path("Pictures", "Tessik")
        pid = d.tessik.pid
        print(f"soak: {args.captures} area captures on 1920x1080 + 2560x1440, "
              "copy / save / cancel in turn")
        print(f"  RSS after start: {rss_mb(pid):.0f} MB")
        good = {"copy": 0, "save": 0, "cancel": 0}
        done = {"copy": 0, "save": 0, "cancel": 0}
        clicks = keys = 0
        started = time.monotonic()
        for i in range(args.captures):
            saved_before = set(os.listdir(folder)) if os.path.isdir(folder) else set()
            action, ok = capture(d, i, folder, saved_before)
            done[action] += 1
            good[action] += ok
            click, key = witness.reached()
            clicks += click
            keys += key
            if (i + 1) % 20 == 0:
                print(f"  after {i + 1:3d} captures: RSS {rss_mb(pid):.0f} MB")
        elapsed = time.monotonic() - started
        files = len(os.listdir(folder)) if os.path.isdir(folder) else 0
        total = sum(good.values())
        print(f"  good captures: {total} of {args.captures} "
              f"(copy {good['copy']}/{done['copy']}, save {good['save']}/{done['save']}, "
              f"cancel {good['cancel']}/{done['cancel']})")
        print(f"  files written and checked: {good['save']} (folder holds {files})")
        print(f"  input reached the other window after a dismissal: clicks {clicks}/"
              f"{args.captures}, keys {keys}/{args.captures}")
        print(f"  {elapsed:.0f} s in all, {elapsed / args.captures:.2f} s per capture "
              "(input driven by xdotool)")
        alive = d.tessik.poll() is None
        if not alive:
            print(f"  tessik exited with {d.tessik.returncode}")
        return 0 if alive and total == args.captures else 1


if __name__ == "__main__":
    sys.exit(main())
