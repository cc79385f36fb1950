"""Area capture in a Wayland session: the screenshot portal's one image of the desktop becomes an
overlay per output; a selection made on the scale-2 output is copied (PNG and TIFF, read with
wl-paste) and saved with exactly that output's pixels; Escape leaves nothing. Each output shows
its own coordinate image (swaybg), so every pixel tells where it came from."""

import glob
import io
import os
import subprocess
import unittest

from PIL import Image

import patterns
from rig import TESSIK, wait_until
from wlrig import OUTPUTS, WaylandDesktop, logical_rect

ESCAPE, RETURN, C, S = 0xff1b, 0xff0d, 0x63, 0x73


def backgrounds(tmp):
    """One coordinate image per output, of its buffer size, cut from one wide pattern so that
    no two outputs share a pixel value."""
    width = sum(w for _, (w, _h), _p, _s in OUTPUTS)
    height = max(h for _, (_w, h), _p, _s in OUTPUTS)
    whole = Image.open(patterns.coordinate_pattern(width, height, os.path.join(tmp, "all.png")))
    paths, x = [], 0
    for i, (_, (w, h), _p, _s) in enumerate(OUTPUTS):
        path = os.path.join(tmp, f"bg{i + 1}.png")
        whole.crop((x, 0, x + w, h)).save(path)
        paths.append(path)
        x += w
    return paths


def desktop(portal, tmp):
    return WaylandDesktop(portal=portal, backgrounds=backgrounds(tmp))


def capture_area(d):
    subprocess.run([TESSIK, "--capture-area"], env=d.env(), check=True, timeout=30,
                   capture_output=True)


def wait_for_overlays(test, d):
    overlays = wait_until(lambda: len(d.overlays()) == len(OUTPUTS) and d.overlays(),
                          timeout=30, what="an overlay on each output")
    for i, (name, *_rest) in enumerate(OUTPUTS):
        x, y, w, h = logical_rect(i)
        test.assertEqual(overlays[name]["rect"], {"x": x, "y": y, "width": w, "height": h})
    return overlays


def wait_for_no_window(d, what="the overlays to close"):
    wait_until(lambda: not d.windows(), timeout=15, what=what)


def same_pixels(test, image, expected):
    test.assertEqual(image.size, expected.size)
    diff = [i for i, (a, b) in enumerate(zip(image.convert("RGB").getdata(),
                                              expected.convert("RGB").getdata())) if a != b]
    test.assertEqual(len(diff), 0, f"{len(diff)} pixels differ, first at {diff[:1]}")


class WaylandAreaCapture(unittest.TestCase):
    # A drag on HEADLESS-2 (scale 2) in its buffer pixels: logical (200,150)-(500,350).
    DRAG = (400, 300, 1000, 700)

    def select_on_second_output(self, d):
        # The pointer enters the second output's overlay first, so the keyboard follows it.
        d.rfb(1, "move:10,10", "sleep:0.3")
        d.drag(1, *self.DRAG, steps=6)

    def expected_selection(self, tmp):
        x0, y0, x1, y1 = self.DRAG
        return Image.open(os.path.join(tmp, "bg2.png")).crop((x0, y0, x1, y1))

    def run_copy(self, portal):
        with desktop(portal, tmp := self.tmp()) as d:
            d.start_tessik()
            capture_area(d)
            wait_for_overlays(self, d)
            self.select_on_second_output(d)
            d.ctrl(1, C)
            wait_for_no_window(d)
            types = wait_until(lambda: "image/png" in d.paste_types() and d.paste_types(),
                               timeout=15, what="an image on the clipboard")
            self.assertLess(types.index("image/png"), types.index("image/tiff"))
            expected = self.expected_selection(tmp)
            same_pixels(self, Image.open(io.BytesIO(d.paste("image/png"))), expected)
            same_pixels(self, Image.open(io.BytesIO(d.paste("image/tiff"))), expected)
            # The running Tessik serves it: a second paste gets the same bytes.
            self.assertEqual(Image.open(io.BytesIO(d.paste("image/png"))).size, expected.size)
            self.assertIsNone(d.tessik.poll())

    def tmp(self):
        import tempfile
        path = tempfile.mkdtemp(prefix="tessik-wlbg-")
        self.addCleanup(lambda: subprocess.run(["rm", "-rf", path]))
        return path

    def test_copy_with_the_mock_portal(self):
        self.run_copy("mock")

    def test_copy_with_the_real_wlr_portal(self):
        self.run_copy("real")

    def test_save_writes_the_selection_and_escape_leaves_nothing(self):
        with desktop("mock", tmp := self.tmp()) as d:
            d.start_tessik()
            capture_area(d)
            wait_for_overlays(self, d)
            d.rfb(1, "move:10,10", "sleep:0.3")
            d.key(1, ESCAPE)
            wait_for_no_window(d)
            self.assertNotIn("image/png", d.paste_types())
            # The portal's file is gone from the runtime folder.
            files = d.mock("ScreenshotFiles")
            self.assertIn("mockshot-1.png", files)
            self.assertFalse(glob.glob(os.path.join(d.run_dir, "mockshot-*.png")))

            capture_area(d)
            wait_for_overlays(self, d)
            self.select_on_second_output(d)
            d.ctrl(1, S)
            wait_for_no_window(d)
            saved = wait_until(lambda: glob.glob(d.path("Pictures", "Tessik", "Tessik_*.png")),
                               timeout=15, what="the saved file")
            self.assertEqual(len(saved), 1)
            same_pixels(self, Image.open(saved[0]), self.expected_selection(tmp))
            self.assertEqual(d.mock("ScreenshotRequests"), "(uint32 2,)",
                             "one portal request per capture, not one per output")


if __name__ == "__main__":
    unittest.main()
