#!/usr/bin/python3
"""Headless demonstration: a private X server with two displays (one of them 2x), a tray host
and Tessik; one area capture annotated and saved through real input. Leaves the saved PNG and
screenshots of the overlay, its tool bar and the settings window in a folder it prints.

    cmake --build build --target demo        (or: scripts/demo.py --tessik build/src/App/tessik)
"""

import argparse
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import toolbar  # noqa: E402
from rig import Desktop, overlays, wait_until  # noqa: E402

HIDPI = (0, 0, 2880, 1800, 2)


def click(d, x, y, button=1):
    d.xdotool("mousemove", x, y)
    time.sleep(0.05)
    d.xdotool("click", button)
    time.sleep(0.15)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--tessik", default=os.path.join(ROOT, "build", "src", "App", "tessik"))
    ap.add_argument("--out", default=None)
    args = ap.parse_args()
    os.environ["TESSIK_BINARY"] = os.path.abspath(args.tessik)
    import rig
    rig.TESSIK = os.environ["TESSIK_BINARY"]
    out = args.out or tempfile.mkdtemp(prefix="tessik-demo-")
    os.makedirs(out, exist_ok=True)

    with Desktop("hidpi", tray=True, wm=True) as d:
        content = os.path.join(d.tmp, "desktop.png")
        subprocess.run(["/usr/bin/python3", os.path.join(ROOT, "bench", "tools", "gen_content.py"),
                        "4800", "1800", content], check=True, stdout=subprocess.DEVNULL)
        d.set_root_pattern(content)
        d.start_tessik()
        wait_until(d.tray_icon, timeout=10, what="the tray icon")

        d.xdotool("mousemove", 1400, 900)
        d.key("ctrl+shift+2")
        wait_until(lambda: len(overlays(d)) == 2, timeout=10, what="the overlays")
        sel = (500, 300, 2300, 1300)
        d.drag(*sel)
        item = lambda name: toolbar.item_point(name, sel, HIDPI)  # noqa: E731
        click(d, *item("arrow"))
        d.drag(700, 1150, 1150, 800)
        click(d, *item("rectangle"))
        d.drag(1200, 500, 1900, 900)
        click(d, *item("yellow"))
        click(d, *item("highlighter"))
        d.drag(600, 420, 1100, 480)
        click(d, *item("pixelate"))
        d.drag(1700, 1000, 2200, 1250)
        click(d, *item("blue"))
        click(d, *item("text"))
        click(d, 1300, 1000)
        d.xdotool("type", "--delay", "30", "Regardez ici")
        d.key("Return")
        d.xdotool("mousemove", 1900, 1400)
        time.sleep(0.4)
        d.run(["import", "-window", "root", "-crop", "2880x1800+0+0",
               os.path.join(out, "overlay.png")])
        tx, ty = item("select")
        d.run(["import", "-window", "root", "-crop", f"{int(toolbar.WIDTH * 2 + 40)}x{int(toolbar.HEIGHT * 2 + 40)}"
               f"+{tx - 20 - (toolbar.ITEMS['select'][0] + 15) * 2}+{ty - 44 - 20}",
               os.path.join(out, "toolbar.png")])
        d.key("ctrl+s")
        files = wait_until(lambda: glob.glob(d.path("Pictures", "Tessik", "Tessik_*.png")),
                           timeout=10, what="the saved file")
        time.sleep(0.3)
        d.run(["import", "-window", "root", "-crop", "2880x1800+0+0", os.path.join(out, "toast.png")])
        shutil.copy(files[0], os.path.join(out, os.path.basename(files[0])))

        # The settings window, opened from the tray.
        d.click_tray_icon(1)
        time.sleep(0.4)
        settings = None
        for _ in range(6):
            d.key("Down")
            d.key("Return")
            time.sleep(0.6)
            settings = [w for w in d.windows("Réglages") if w.get("mapped")]
            if settings:
                break
            d.key("Escape")
            d.click_tray_icon(1)
            time.sleep(0.3)
            for _ in range(_ + 1):
                d.key("Down")
        if settings:
            w = settings[0]
            d.run(["import", "-window", str(w["id"]), os.path.join(out, "settings.png")])
    print(out)
    for name in sorted(os.listdir(out)):
        print("  " + name)


if __name__ == "__main__":
    main()
