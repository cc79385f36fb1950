"""The area capture's overlays on a real X server: one override-redirect window per display,
covering it exactly, keyboard-focused without a click, closed by Escape, completed by Return or
Ctrl+C with the selection of the display last drawn on."""

import io
import time
import unittest

from PIL import Image

import patterns
from rig import Desktop, overlays, show_coordinate_pattern, wait_until

HOTKEY = "ctrl+shift+2"


def open_overlays(d, count):
    d.key(HOTKEY)
    return wait_until(lambda: len(overlays(d)) == count and overlays(d), timeout=10,
                      what=f"{count} overlays")


def wait_closed(d):
    wait_until(lambda: not overlays(d), timeout=5, what="overlays to close")


class OverlayWindows(unittest.TestCase):
    def test_cover_each_display_exactly_on_hidpi_and_close_on_escape(self):
        with Desktop("hidpi") as d:
            d.start_tessik()
            found = open_overlays(d, 2)
            geometry = sorted((w["x"], w["y"], w["width"], w["height"]) for w in found)
            # Native pixels: the 2x display's overlay covers all 2880x1800 of its pixels.
            self.assertEqual(geometry, [(0, 0, 2880, 1800), (2880, 0, 1920, 1080)])
            # No click happened: Escape reaches the overlay because it has the keyboard focus.
            d.key("Escape")
            wait_closed(d)
            self.assertIsNone(d.tessik.poll())

    def test_cover_each_display_exactly_at_a_fractional_scale(self):
        with Desktop("three_halves") as d:
            d.start_tessik()
            for attempt in ("new windows", "reused windows"):
                found = open_overlays(d, 2)
                geometry = sorted((w["x"], w["y"], w["width"], w["height"]) for w in found)
                # Not one pixel more than the monitor, none over its neighbour.
                self.assertEqual(geometry, [(0, 0, 2560, 1440), (2560, 0, 1920, 1080)], attempt)
                d.key("Escape")
                wait_closed(d)

    def test_the_last_pixel_column_and_row_of_a_2x_display_belong_to_it(self):
        with Desktop("hidpi") as d:
            d.start_tessik()
            for pointer, expected_x in (((2879, 500), 0), ((1000, 1799), 0), ((2879, 1799), 0),
                                        ((2880, 500), 2880)):
                d.xdotool("mousemove", *pointer)
                found = open_overlays(d, 2)
                focus = int(d.run(["xdotool", "getwindowfocus"]).stdout)
                self.assertEqual([w["x"] for w in found if w["id"] == focus], [expected_x],
                                 pointer)
                d.key("Escape")
                wait_closed(d)

    def test_the_display_under_the_pointer_gets_the_keyboard(self):
        for wm in (False, True):
            with self.subTest(wm=wm), Desktop("stacked", wm=wm) as d:
                d.start_tessik()
                for pointer, expected_y in (((100, 899), 0), ((100, 900), 900), ((1800, 1500), 900)):
                    d.xdotool("mousemove", *pointer)
                    found = open_overlays(d, 2)
                    focus = int(d.run(["xdotool", "getwindowfocus"]).stdout)
                    focused = [w for w in found if w["id"] == focus]
                    self.assertEqual([w["y"] for w in focused], [expected_y], pointer)
                    d.key("Escape")
                    wait_closed(d)

    def test_keyboard_focus_without_click_under_a_window_manager(self):
        with Desktop("side_by_side", wm=True) as d:
            d.start_tessik()
            d.xdotool("mousemove", 2000, 500)
            found = open_overlays(d, 2)
            self.assertTrue(all(w["override_redirect"] for w in found))
            d.key("Escape")
            wait_closed(d)

    def test_a_display_removed_while_the_overlays_are_up(self):
        with Desktop("side_by_side") as d:
            d.start_tessik()
            d.xdotool("mousemove", 2000, 500)
            open_overlays(d, 2)
            d.drag(1600, 200, 1800, 300)
            d.run(["xrandr", "--delmonitor", "LEFT"])
            time.sleep(0.5)
            self.assertIsNone(d.tessik.poll(), d.log())
            d.key("Return")   # the selection on the remaining display still completes
            wait_closed(d)
            wait_until(lambda: d.clipboard("image/png"), timeout=10, what="the clipboard")
            # The next capture covers the displays there are now: RandR gives the freed output
            # an automatic monitor of the whole root beside RIGHT.
            monitors = d.run(["xrandr", "--listmonitors"]).stdout.splitlines()[1:]
            found = open_overlays(d, len(monitors))
            self.assertIn((1440, 0, 1920, 1080),
                          [(w["x"], w["y"], w["width"], w["height"]) for w in found])
            d.key("Escape")
            wait_closed(d)
            self.assertIsNone(d.tessik.poll(), d.log())

    def test_ctrl_c_without_selection_does_nothing_then_return_completes(self):
        with Desktop("side_by_side") as d:
            show_coordinate_pattern(d)
            d.start_tessik()
            open_overlays(d, 2)
            d.key("ctrl+c")
            d.key("Return")
            time.sleep(0.5)
            self.assertEqual(len(overlays(d)), 2, "no selection: nothing completes")

            # A selection on LEFT, then one on RIGHT: the first is cleared, RIGHT's is used.
            d.drag(100, 100, 300, 250)
            d.drag(1600, 200, 1800, 300)
            d.key("Return")  # default action: copy
            wait_closed(d)
            png = wait_until(lambda: d.clipboard("image/png"), timeout=10, what="clipboard")
            image = Image.open(io.BytesIO(png)).convert("RGB")
            self.assertEqual(image.size, (200, 100))
            self.assertEqual(patterns.decode(image.getpixel((0, 0))), (1600, 200))
            self.assertEqual(patterns.decode(image.getpixel((199, 99))), (1799, 299))


if __name__ == "__main__":
    unittest.main()
