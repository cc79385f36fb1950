"""Full-screen capture in a Wayland session (headless sway, two outputs with their own coordinate
images, the mock screenshot portal): `tessik --capture-screen` sent to the running instance puts
the whole image of the output the user is on (where the pointer is) on the clipboard as PNG and
TIFF at that output's own scale, although the compositor takes a selection only from a client
with the keyboard; it shows no confirmation, leaves no window, and the keyboard goes back to the
window that had it."""

import io
import os
import subprocess
import tempfile
import unittest

from PIL import Image

import patterns
import test_wayland_capture as area
from rig import TESSIK, wait_until
from sni import FakeDesktop
from wlrig import OUTPUTS, WaylandDesktop

KEY_PROBE = os.environ.get("KEY_PROBE") or os.path.join(
    os.environ.get("TESSIK_BUILD_DIR", "build"), "tests", "e2e", "key_probe")


class KeyProbe:
    """A plain window reporting the keys it receives (key_probe)."""

    def __init__(self, desktop):
        self.desktop = desktop
        self.out = os.path.join(desktop.tmp, "key_probe.log")
        with open(self.out, "wb") as log:
            self.proc = subprocess.Popen([KEY_PROBE], env=desktop.env(), stdout=log,
                                         stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        desktop.procs.append(self.proc)  # stopped with the desktop

    def lines(self):
        with open(self.out, encoding="utf-8", errors="replace") as f:
            return f.read().splitlines()

    def window(self):
        found = self.desktop.windows(pid=self.proc.pid)
        return found[0] if found else None

    def focused(self):
        window = self.window()
        return bool(window and window.get("focused"))


def capture_screen(d):
    done = subprocess.run([TESSIK, "--capture-screen"], env=d.env(), timeout=60,
                          capture_output=True, text=True)
    return done.returncode, done.stderr


def pasted(d, mime, size):
    data = d.paste(mime)
    if not data:
        return None
    image = Image.open(io.BytesIO(data))
    return image if image.size == size else None


def in_place_share(image, pattern_x):
    """The share of (sampled) pixels whose coordinate colour names a place within one pixel of
    where they are; the output's image starts at `pattern_x` in the painted pattern."""
    pixels, width, height = image.convert("RGB").load(), *image.size
    near = total = 0
    for y in range(0, height, 3):
        for x in range(0, width, 3):
            px, py = patterns.decode(pixels[x, y])
            total += 1
            near += abs(px - (pattern_x + x)) <= 1 and abs(py - y) <= 1
    return near / total


class WaylandFullScreenCapture(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="tessik-wlfs-")
        self.addCleanup(lambda: subprocess.run(["rm", "-rf", self.tmp]))

    def copy_and_check(self, d, output, window=None):
        """Runs the command with the pointer on `output` and checks the clipboard holds that
        output's whole image, as PNG and as TIFF, with `window` (a sway node) in it."""
        _name, size, _pos, scale = OUTPUTS[output]
        self.assertEqual(capture_screen(d), (0, ""))
        png = wait_until(lambda: pasted(d, "image/png", size), timeout=30,
                         what=f"output {output + 1}'s image on the clipboard")
        tiff = pasted(d, "image/tiff", size)
        self.assertIsNotNone(tiff, "the TIFF has the PNG's size")
        if scale == max(o[3] for o in OUTPUTS):
            expected = Image.open(os.path.join(self.tmp, f"bg{output + 1}.png")).convert("RGB")
            if window:
                # The probe window is in the picture, where it is on the output.
                (ox, oy), box = OUTPUTS[output][2], window["rect"]
                box = tuple(v * scale for v in (box["x"] - ox, box["y"] - oy,
                                                box["x"] - ox + box["width"],
                                                box["y"] - oy + box["height"]))
                self.assertNotEqual(png.convert("RGB").crop(box).tobytes(),
                                    expected.crop(box).tobytes())
                expected.paste(png.convert("RGB").crop(box), box)
            area.same_pixels(self, png, expected)
            area.same_pixels(self, tiff, expected)
        else:
            # The portal's one image has every output at the highest scale: the compositor
            # resampled this one up, so its edges come back blended (about 1.5 % of pixels).
            pattern_x = sum(o[1][0] for o in OUTPUTS[:output])
            for image in (png, tiff):
                self.assertGreater(in_place_share(image, pattern_x), 0.97)
        types = d.paste_types()
        self.assertLess(types.index("image/png"), types.index("image/tiff"))
        wait_until(lambda: not d.windows(), timeout=15, what="Tessik's windows to close")
        self.assertIsNone(d.tessik.poll(), d.log())

    def test_the_output_under_the_pointer_is_copied_and_the_keyboard_goes_back(self):
        with WaylandDesktop(portal="mock", backgrounds=area.backgrounds(self.tmp)) as d:
            services = FakeDesktop(d.env(), d.tmp, "--notifications")
            self.addCleanup(services.stop)
            # The probe window opens on the second output, where the pointer is, floating.
            d.swaymsg('for_window [title="key-probe"] "floating enable, border none"')
            d.rfb(1, "move:200,150", "sleep:0.3")
            probe = KeyProbe(d)
            wait_until(probe.focused, timeout=20, what="the probe window to have the keyboard")
            window = wait_until(lambda: (w := probe.window()) and w["type"] == "floating_con" and w,
                                timeout=10, what="the probe window floating")
            x0, y0 = OUTPUTS[1][2]
            over_probe = (f"move:{(window['rect']['x'] - x0 + 20) * 2},"
                          f"{(window['rect']['y'] - y0 + 20) * 2}")
            d.start_tessik()

            # The pointer on the first output, its empty workspace focused.
            d.rfb(0, "move:640,360", "sleep:0.3")
            self.copy_and_check(d, 0)

            # Back on the probe window (scale 2): it gets the keyboard back afterwards.
            d.rfb(1, over_probe, "sleep:0.3")
            wait_until(probe.focused, timeout=10, what="the probe window to have the keyboard")
            self.copy_and_check(d, 1, window)
            wait_until(probe.focused, timeout=10, what="the keyboard back on the probe window")
            d.key(1, 0x71)  # q
            wait_until(lambda: "key q" in probe.lines(), timeout=10,
                       what=f"the key in the probe window: {probe.lines()}")
            self.assertEqual(services.calls("Notify"), [],
                             "a full-screen capture shows no confirmation")


if __name__ == "__main__":
    unittest.main()
