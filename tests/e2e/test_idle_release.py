"""After a quiet spell with no capture, the tray process gives back the memory it keeps for the
next capture (frames, the transfer segment, the overlay windows' backing stores; the windows
themselves stay); the next capture works as before, its displays read without the segment. The
spell is shortened through TESSIK_IDLE_RELEASE_MS."""

import unittest

from rig import Desktop, overlays, show_coordinate_pattern, wait_until
from test_export import assert_pattern_region, clipboard_images, open_overlays


def resident_mib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0.0


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
            d.drag(100, 100, 500, 300)
            d.key("ctrl+c")
            image = clipboard_images(self, d)
            self.assertEqual(image.size, (400, 200))
            assert_pattern_region(self, image, 100, 100)
            wait_until(lambda: not overlays(d), timeout=10, what="the overlays closed")


if __name__ == "__main__":
    unittest.main()
