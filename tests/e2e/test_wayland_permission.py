"""The screenshot permission in a Wayland session, through the real portal frontend and its
permission store with the mock backend (which, like GNOME's, has the store consulted): with no
answer stored the onboarding window shows at launch and its request brings up the desktop's
access dialog; a grant is stored and the onboarding switches to its granted screen; a stored
"no" brings the onboarding back at the next capture command and captures nothing; a deny leaves
the first screen."""

import subprocess
import time
import unittest

from rig import TESSIK, wait_until
from wlrig import OUTPUTS, WaylandDesktop

ESCAPE = 0xff1b
ONBOARDING = "Bienvenue dans Tessik"


def onboarding(d):
    found = [w for w in d.windows() if w.get("name") == ONBOARDING]
    return found[0] if found else None


def first_sighting(d):
    """The onboarding window's request screen, once its size has settled: the watcher waits a
    second before its first look at the store, so it is still the first screen."""
    d.start_tessik(wait=False)
    seen = []

    def settled():
        window = onboarding(d)
        seen.append(window["rect"]["height"] if window else None)
        return window if len(seen) > 2 and seen[-1] is not None and seen[-1] == seen[-3] else None
    return wait_until(settled, timeout=20, interval=0.1, what="the onboarding")


def capture_area(d):
    subprocess.run([TESSIK, "--capture-area"], env=d.env(), check=True, timeout=30,
                   capture_output=True)


class ScreenshotPermission(unittest.TestCase):
    def test_no_answer_yet_the_onboarding_asks_and_a_grant_shows_the_granted_screen(self):
        with WaylandDesktop(portal="mock", permission=None) as d:
            self.assertEqual(d.screenshot_permission(), {})
            d.mock("SetAccessDelay", 3.0)  # the user reads the dialog first
            request_height = first_sighting(d)["rect"]["height"]
            wait_until(lambda: d.screenshot_permission() == {"": ["yes"]}, timeout=15,
                       what="the grant in the store")
            self.assertIn("AccessDialog", d.read_log("mock"))
            wait_until(lambda: onboarding(d)["rect"]["height"] < request_height, timeout=20,
                       what=f"the granted screen (the request screen was {request_height} high, "
                            f"the window is {onboarding(d)['rect']})")
            # Granted: a capture command now captures.
            d.run(["swaymsg", f"[title=\"{ONBOARDING}\"] kill"], check=False)
            wait_until(lambda: not d.windows(), timeout=10, what="the onboarding to close")
            capture_area(d)
            wait_until(lambda: len(d.overlays()) == len(OUTPUTS), timeout=30,
                       what="the overlays")
            d.key(0, ESCAPE)
            self.assertIsNone(d.tessik.poll(), d.log())

    def test_a_deny_leaves_the_first_screen(self):
        with WaylandDesktop(portal="mock", permission=None) as d:
            d.mock("SetAccessAnswer", 2)
            d.mock("SetAccessDelay", 1.0)
            request_height = first_sighting(d)["rect"]["height"]
            wait_until(lambda: d.screenshot_permission() == {"": ["no"]}, timeout=15,
                       what="the deny in the store")
            time.sleep(2.5)  # two looks of the watcher
            self.assertEqual(onboarding(d)["rect"]["height"], request_height)
            self.assertEqual(d.mock("ScreenshotRequests"), "(uint32 0,)")

    def test_a_stored_no_brings_the_onboarding_back_at_the_next_capture_and_captures_nothing(self):
        with WaylandDesktop(portal="mock", permission="no") as d:
            first_sighting(d)
            d.run(["swaymsg", f"[title=\"{ONBOARDING}\"] kill"], check=False)
            wait_until(lambda: not d.windows(), timeout=10, what="the onboarding to close")
            capture_area(d)
            wait_until(lambda: onboarding(d), timeout=20, what="the onboarding again")
            time.sleep(1.0)
            self.assertEqual(d.overlays(), {})
            self.assertEqual([w["name"] for w in d.windows()], [ONBOARDING])
            self.assertEqual(d.mock("ScreenshotRequests"), "(uint32 0,)")
            self.assertNotIn("AccessDialog", d.read_log("mock"))
            self.assertIsNone(d.tessik.poll(), d.log())


if __name__ == "__main__":
    unittest.main()
