"""Screen capture on a real X server: every display of several RandR layouts captured pixel-exact
(the root shows a pattern encoding each pixel's coordinates), HiDPI at the monitor's own pixels,
monitors removed or added behind the service's back, no pointer, and a server without MIT-SHM.

The capture service is driven through capture_probe, which checks each capture against the
pattern itself and reports the root coordinates of its top-left pixel and the number of pixels
that do not follow on from it."""

import json
import os
import queue
import subprocess
import threading
import unittest

from rig import LAYOUTS, Desktop, wait_until

HERE = os.path.dirname(os.path.abspath(__file__))
PROBE = os.environ.get("CAPTURE_PROBE") or os.path.join(
    os.environ.get("TESSIK_BUILD_DIR", os.path.join(HERE, "..", "..", "build")),
    "tests", "e2e", "capture_probe")

UNAVAILABLE = "L'écran à capturer n'est plus disponible."


class Probe:
    def __init__(self, desktop, test):
        self.proc = subprocess.Popen([PROBE], env=desktop.env(), stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                     text=True)
        desktop.procs.append(self.proc)  # stopped with the desktop, also on failure
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        test.addCleanup(self._close)

    def _close(self):
        for pipe in (self.proc.stdin, self.proc.stdout):
            try:
                pipe.close()
            except OSError:
                pass

    def _read(self):
        for line in self.proc.stdout:
            self.lines.put(line)

    def __call__(self, command, timeout=30):
        self.proc.stdin.write(command + "\n")
        self.proc.stdin.flush()
        return json.loads(self.lines.get(timeout=timeout))


def monitor(layout, name):
    for m in LAYOUTS[layout][1]:
        if m[0] == name:
            return dict(zip(("name", "w", "h", "x", "y", "primary"), m))
    raise KeyError(name)


class CaptureTest(unittest.TestCase):
    def assertExact(self, capture, layout, name):
        m = monitor(layout, name)
        self.assertEqual(capture["screen"]["name"], name)
        self.assertEqual((capture["width"], capture["height"]), (m["w"], m["h"]))
        self.assertEqual((capture["x"], capture["y"]), (m["x"], m["y"]))
        self.assertEqual(capture["mismatches"], 0)

    def test_every_display_is_captured_pixel_exact_in_screen_order(self):
        for layout in ("side_by_side", "stacked", "hidpi"):
            with self.subTest(layout=layout), Desktop(layout) as d:
                probe = Probe(d, self)
                probe("pattern")
                # Primary first, then the others.
                order = sorted(LAYOUTS[layout][1], key=lambda m: not m[5])
                listed = probe("list")["screens"]
                self.assertEqual([s["name"] for s in listed], [m[0] for m in order])
                result = probe("capture-all")
                self.assertNotIn("error", result)
                for capture, m in zip(result["captures"], order, strict=True):
                    self.assertExact(capture, layout, m[0])
                if layout == "hidpi":
                    hidpi = result["captures"][0]["screen"]
                    self.assertEqual((hidpi["width"], hidpi["height"], hidpi["scale"]),
                                     (1440, 900, 2))

    def test_16_and_30_bit_screens_are_captured_exactly(self):
        # 16 bits: every pixel is exactly its 16-bit colour with its bits repeated to fill 8
        # (the probe checks it), and the pattern keeps coordinates modulo 128 x 512.
        # 30 bits: the 8-bit pattern, widened to 10 bits on the server, comes back unchanged.
        for depth, wrap in ((16, (128, 512)), (30, (4096, 4096))):
            for shared in (True, False):
                args = [] if shared else ["-extension", "MIT-SHM"]
                with self.subTest(depth=depth, shared=shared), \
                        Desktop("side_by_side", depth=depth, xvfb_args=args) as d:
                    probe = Probe(d, self)
                    probe("pattern")
                    probe("list")
                    result = probe("capture-all")
                    self.assertNotIn("error", result)
                    for capture, name in zip(result["captures"], ("RIGHT", "LEFT"), strict=True):
                        m = monitor("side_by_side", name)
                        self.assertEqual(capture["screen"]["name"], name)
                        self.assertEqual((capture["width"], capture["height"]), (m["w"], m["h"]))
                        self.assertEqual((capture["x"], capture["y"]),
                                         (m["x"] % wrap[0], m["y"] % wrap[1]))
                        self.assertEqual(capture["mismatches"], 0)

    def test_the_pointer_is_never_captured(self):
        with Desktop("hidpi") as d:
            probe = Probe(d, self)
            probe("pattern")
            for name in ("HIDPI", "RIGHT"):
                m = monitor("hidpi", name)
                d.xdotool("mousemove", m["x"] + m["w"] // 2, m["y"] + m["h"] // 2)
                result = probe("capture-under")
                self.assertNotIn("error", result)
                self.assertExact(result["capture"], "hidpi", name)

    def test_a_display_removed_after_listing_is_unavailable(self):
        with Desktop("side_by_side") as d:
            probe = Probe(d, self)
            probe("list")
            probe("prewarm")  # the service now holds a list with both displays
            d.run(["xrandr", "--delmonitor", "RIGHT"])
            for attempt in ("cached list", "fresh list"):
                with self.subTest(attempt):
                    result = probe("capture-all")
                    self.assertEqual(result.get("kind"), "displayUnavailable", result)
                    self.assertEqual(result["error"], UNAVAILABLE)

    def test_a_display_added_after_caching_is_found(self):
        with Desktop("side_by_side") as d:
            probe = Probe(d, self)
            probe("pattern")
            probe("prewarm")
            d.run(["xrandr", "--setmonitor", "EXTRA", "640/169x180/48+0+900", "none"])
            wait_until(lambda: len(probe("list")["screens"]) == 3, timeout=10,
                       what="the new display in Qt")
            result = probe("capture-all")
            self.assertNotIn("error", result)
            extra = [c for c in result["captures"] if c["screen"]["name"] == "EXTRA"]
            self.assertEqual(len(extra), 1)
            self.assertEqual((extra[0]["width"], extra[0]["height"]), (640, 180))
            self.assertEqual((extra[0]["x"], extra[0]["y"]), (0, 900))
            self.assertEqual(extra[0]["mismatches"], 0)

    def test_a_server_error_is_a_readable_failure_and_leaves_nothing_behind(self):
        with Desktop("side_by_side") as d:
            probe = Probe(d, self)
            probe("pattern")
            # A monitor reaching past the root: the server refuses to read it.
            d.run(["xrandr", "--setmonitor", "OUT", "640/169x480/127+3000+900", "none"])
            wait_until(lambda: len(probe("list")["screens"]) == 3, timeout=10,
                       what="the new display in Qt")
            result = probe("capture-all")
            self.assertEqual(result.get("kind"), "captureFailed", result)
            self.assertEqual(result["error"], "La capture a échoué : le serveur X a refusé la "
                                              "requête ShmGetImage (BadMatch)")
            # The service goes on working.
            d.xdotool("mousemove", 100, 100)
            self.assertExact(probe("capture-under")["capture"], "side_by_side", "LEFT")
            pid = probe.proc.pid
            probe.proc.stdin.write("quit\n")
            probe.proc.stdin.flush()
            self.assertEqual(probe.proc.wait(10), 0)
            segments = subprocess.run(["ipcs", "-m", "-p"], capture_output=True, text=True).stdout
            self.assertNotIn(f" {pid} ", segments, "a shared memory segment outlived the process")

    def test_a_server_without_shared_memory_is_captured_too(self):
        with Desktop("side_by_side", xvfb_args=["-extension", "MIT-SHM"]) as d:
            probe = Probe(d, self)
            probe("pattern")
            probe("list")
            result = probe("capture-all")
            self.assertNotIn("error", result)
            self.assertExact(result["captures"][0], "side_by_side", "RIGHT")
            self.assertExact(result["captures"][1], "side_by_side", "LEFT")


if __name__ == "__main__":
    unittest.main()
