"""After a quiet spell with no capture, the tray process gives back the memory it keeps for the
next capture (frames, the transfer segment, the overlay windows' backing stores; the windows
themselves stay); the next capture works as before, its displays read without the segment. The
spell is shortened through TESSIK_IDLE_RELEASE_MS."""

import os
import tempfile
import unittest

from PIL import Image

from patterns import encode
from rig import Desktop, overlays, show_coordinate_pattern, wait_until
from test_export import assert_pattern_region, clipboard_images, open_overlays


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


if __name__ == "__main__":
    unittest.main()
