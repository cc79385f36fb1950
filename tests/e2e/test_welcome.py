"""The first launch greets the user with a toast on the primary display naming the shortcut;
later launches do not."""

import configparser
import time
import unittest

from rig import Desktop, toast, wait_until

TOAST_HEIGHT = 38


def welcome_stored(d):
    parser = configparser.ConfigParser(interpolation=None)
    parser.optionxform = str
    parser.read(d.path(".config", "Tessik", "Tessik.ini"))
    return parser.get("General", "welcomeShown", fallback=None)


class WelcomeTest(unittest.TestCase):
    def test_the_first_launch_only_shows_the_greeting_on_the_primary_display(self):
        with Desktop("side_by_side", welcomed=False) as d:
            d.start_tessik()
            shown = wait_until(lambda: toast(d), timeout=10, what="the greeting")
            # RIGHT (1920x1080 at 1440,0) is the primary display: centred on it, 120 above its
            # bottom.
            self.assertEqual(shown["height"], TOAST_HEIGHT)
            self.assertEqual(shown["y"], 1080 - 120 - TOAST_HEIGHT)
            self.assertLessEqual(abs(shown["x"] + shown["width"] / 2 - (1440 + 960)), 1)
            # A sentence, far wider than "Copié dans le presse-papiers" (about 200 points).
            self.assertGreater(shown["width"], 300)
            wait_until(lambda: welcome_stored(d) == "true", timeout=5, what="the flag stored")
            wait_until(lambda: toast(d) is None, timeout=20, what="the greeting to go")

            d.stop_tessik()
            d.start_tessik()
            # Nothing again: watched for as long as the greeting would take to appear.
            deadline = time.monotonic() + 3
            while time.monotonic() < deadline:
                self.assertIsNone(toast(d))
                time.sleep(0.1)
            self.assertIsNone(d.tessik.poll(), d.log())


if __name__ == "__main__":
    unittest.main()
