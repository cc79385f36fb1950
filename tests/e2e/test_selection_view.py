"""The selection view on a real X server, through tessik's own overlay: the tool bar's text
tool, typing a text annotation, undo and redo keys, a double click that completes with the
default action, and the ways out (Escape first closes an open text entry; a right click cancels
at once)."""

import io
import time
import unittest

from PIL import Image

import toolbar
from rig import Desktop, overlays, wait_until

HOTKEY = "ctrl+shift+2"
ACCENT = (255, 77, 28)
SCREEN_HEIGHT = 1080
SELECTION = (400, 300, 1000, 700)


def open_overlay(d):
    d.key(HOTKEY)
    wait_until(lambda: len(overlays(d)) == 1, timeout=10, what="the overlay")
    time.sleep(0.3)


def wait_closed(d):
    wait_until(lambda: not overlays(d), timeout=5, what="the overlay to close")


def select(d):
    """Selects root 400,300 to 1000,700: 600x400 points whose view-space origin is (400, 380)."""
    d.drag(*SELECTION)
    time.sleep(0.2)


def click_text_tool(d):
    d.xdotool("mousemove", *toolbar.item_point("text", SELECTION, (0, 0, 1920, SCREEN_HEIGHT, 1)))
    d.xdotool("click", 1)
    time.sleep(0.2)


def accent_pixels(image, box):
    rgb = image.convert("RGB").crop(box)
    return sum(1 for p in rgb.getdata() if all(abs(a - b) <= 40 for a, b in zip(p, ACCENT)))


class SelectionViewOnX(unittest.TestCase):
    def test_text_annotation_undo_redo_and_double_click_completion(self):
        with Desktop("single") as d:
            d.start_tessik()
            open_overlay(d)
            select(d)
            click_text_tool(d)
            d.xdotool("mousemove", 450, 350)
            d.xdotool("click", 1)
            time.sleep(0.2)
            d.xdotool("type", "--delay", "20", "Tessik")
            d.key("Return")  # commits the text; the overlay stays
            time.sleep(0.3)
            self.assertEqual(len(overlays(d)), 1)
            d.key("ctrl+z")
            d.key("ctrl+shift+z")
            time.sleep(0.2)
            d.xdotool("mousemove", 700, 550)
            d.xdotool("click", "--repeat", "2", "--delay", "80", 1)
            wait_closed(d)

            png = wait_until(lambda: d.clipboard("image/png"), timeout=10, what="the copy")
            image = Image.open(io.BytesIO(png))
            self.assertEqual(image.size, (600, 400))
            # The text's top-left is where the click was: 50,50 into the selection.
            self.assertGreater(accent_pixels(image, (50, 50, 150, 80)), 40)
            self.assertEqual(accent_pixels(image, (300, 200, 600, 400)), 0)

    def test_escape_closes_the_text_entry_first_and_a_right_click_cancels(self):
        with Desktop("single") as d:
            d.start_tessik()
            open_overlay(d)
            select(d)
            click_text_tool(d)
            d.xdotool("mousemove", 450, 350)
            d.xdotool("click", 1)
            time.sleep(0.2)
            d.xdotool("type", "x")
            d.key("Escape")
            time.sleep(0.3)
            self.assertEqual(len(overlays(d)), 1, "the first Escape only closes the text entry")
            d.key("Escape")
            wait_closed(d)

            open_overlay(d)
            select(d)
            d.xdotool("mousemove", 1500, 900)
            d.xdotool("click", 3)
            wait_closed(d)
            self.assertIsNone(d.clipboard("image/png"))
            self.assertIsNone(d.tessik.poll())


if __name__ == "__main__":
    unittest.main()
