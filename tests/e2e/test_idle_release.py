"""After a quiet spell with no capture, the tray process gives back the memory it keeps for the
next capture (frames, the transfer segment, the overlay windows' backing stores; the windows
themselves stay); the next capture works as before, its displays read without the segment. The
spell is shortened through TESSIK_IDLE_RELEASE_MS."""

import os
import tempfile
import threading
import time
import unittest

from PIL import Image

from patterns import encode
from rig import Desktop, overlays, show_coordinate_pattern, wait_until
from test_export import HOTKEY, assert_pattern_region, clipboard_images, open_overlays


def resident_mib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0.0


def dimmed_pattern_share(d, folder):
    """Share of sampled root pixels showing the coordinate pattern under the overlays' dimming
    (black at 0.4): a backing store given back and not painted again whole shows black or stale
    pixels there."""
    image = Image.open(d.screenshot(os.path.join(folder, "screen.png"))).convert("RGB")
    samples = [(x, y) for _, w, h, left, top, _ in d.monitors
               for x in range(left + 7, left + w, 97) for y in range(top + 5, top + h, 89)]
    shown = sum(1 for x, y in samples
                if all(abs(c - e * 0.6) <= 2 for c, e in zip(image.getpixel((x, y)), encode(x, y))))
    return shown / len(samples)


def spots(d, scales):
    """Root pixels to watch on each display: its edges, its middle, and the rows around the
    first band edges of a frame sent about 1 MiB at a time."""
    out = []
    for (name, w, h, left, top, _) in d.monitors:
        step = int(scales.get(name, 1)) if float(scales.get(name, 1)).is_integer() else 0
        band = (1 << 20) // (w * 4) // step * step if step else h
        rows = {0, 1, h // 2, h - 2, h - 1} | {r for b in (band, 2 * band) for r in (b - 1, b, b + 1)
                                            if 0 <= r < h}
        out += [(left + x, top + y) for y in sorted(rows) for x in (0, w // 2 + 1, w - 1)]
    return out


def watch(d, points, seconds, started):
    """Every value each root pixel shows, in order, for `seconds` after `started` is set."""
    from Xlib import X, display
    dpy = display.Display(d.display)
    root = dpy.screen().root
    seen = {p: [] for p in points}
    started.set()
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        for p in points:
            value = bytes(root.get_image(p[0], p[1], 1, 1, X.ZPixmap, 0xffffffff).data[:3])
            if not seen[p] or seen[p][-1] != value:
                seen[p].append(value)
    dpy.close()
    return seen


def wait_for_release(d, pid):
    """Opens and closes the overlays once, then waits until the memory kept for the next capture
    (a frame and a backing store per display) is given back."""
    open_overlays(d, len(d.monitors))
    d.key("Escape")
    wait_until(lambda: not overlays(d), timeout=10, what="the overlays closed")
    held = resident_mib(pid)
    wait_until(lambda: resident_mib(pid) < held - 20, timeout=30,
               what="the kept memory given back")


class IdleRelease(unittest.TestCase):
    def test_memory_goes_back_after_a_quiet_spell_and_the_next_copy_still_works(self):
        with Desktop("uhd") as d:
            show_coordinate_pattern(d)
            d.start_tessik(env={"TESSIK_IDLE_RELEASE_MS": "6000"})
            pid = d.tessik.pid
            open_overlays(d, 2)
            d.key("Escape")
            wait_until(lambda: not overlays(d), timeout=10, what="the overlays closed")
            # Two 4K frames' worth (a frame and a backing store) is held for the next capture.
            held = resident_mib(pid)
            self.assertGreater(held, 60, "memory kept after a capture")
            wait_until(lambda: resident_mib(pid) < held - 40, timeout=30,
                       what="the kept memory given back")

            open_overlays(d, 2)
            with tempfile.TemporaryDirectory() as folder:
                # The crosshair under the pointer covers a few samples.
                wait_until(lambda: dimmed_pattern_share(d, folder) > 0.97, timeout=10,
                           what="the frozen displays shown dimmed on both overlays")
            d.drag(100, 100, 500, 300)
            d.key("ctrl+c")
            image = clipboard_images(self, d)
            self.assertEqual(image.size, (400, 200))
            assert_pattern_region(self, image, 100, 100)
            wait_until(lambda: not overlays(d), timeout=10, what="the overlays closed")

    def test_the_first_frame_after_a_quiet_spell_is_the_overlay_itself(self):
        # After the release the first frame reaches the screen before Qt's own first paint, drawn
        # band by band; each watched pixel must go from the desktop straight to the overlay, at
        # whole and fractional scales alike.
        for layout in ("uhd", "hidpi", "three_halves"):
            with self.subTest(layout=layout), Desktop(layout) as d:
                show_coordinate_pattern(d)
                d.start_tessik(env={"TESSIK_IDLE_RELEASE_MS": "1500"})
                scales = dict(f.split("=") for f in (d.scale_factors or "").split(";") if f)
                points = spots(d, {k: float(v) for k, v in scales.items()})
                # The crosshair stays off the watched rows and columns.
                name, w, h, left, top, _ = d.monitors[0]
                d.xdotool("mousemove", str(left + w // 3 + 3), str(top + h // 3 + 3))
                wait_for_release(d, d.tessik.pid)

                started, result = threading.Event(), {}
                watcher = threading.Thread(
                    target=lambda: result.update(seen=watch(d, points, 3.0, started)))
                watcher.start()
                started.wait(5)
                d.key(HOTKEY)
                watcher.join()
                wait_until(lambda: len(overlays(d)) == len(d.monitors), timeout=10,
                           what="the overlays")
                changes = {p: v for p, v in result["seen"].items() if len(v) != 2}
                self.assertFalse(changes, "pixels showing something between the desktop and "
                                          f"the overlay: {list(changes.items())[:4]}")
                with tempfile.TemporaryDirectory() as folder:
                    self.assertGreater(dimmed_pattern_share(d, folder), 0.97)
                d.key("Escape")


if __name__ == "__main__":
    unittest.main()
