"""What an area capture in a Wayland session does with each answer of the screenshot portal (the
mock portal answers as told): a cancellation shows nothing, a refusal stored in the permission
store opens the onboarding window, a failure or a garbage answer shows the "Capture impossible"
alert with a French reason, a portal that never answers too; the portal's file never stays in a
temporary place, and stays where it lies in the user's folders."""

import glob
import os
import subprocess
import time
import unittest

from rig import TESSIK, wait_until
from wlrig import WaylandDesktop

RETURN, C = 0xff0d, 0x63


def capture_area(d):
    subprocess.run([TESSIK, "--capture-area"], env=d.env(), check=True, timeout=30,
                   capture_output=True)


def output_index(window):
    return 0 if window["output"] == "HEADLESS-1" else 1


class PortalAnswers(unittest.TestCase):
    def start(self, d):
        d.start_tessik()
        d.set_screenshot_permission("yes")

    def requests(self, d):
        return int(d.mock("ScreenshotRequests").strip("(),").split()[-1])

    def alert_text(self, d):
        """Waits for the alert, reads its text (Ctrl+C copies it), closes it."""
        alert = wait_until(lambda: [w for w in d.windows()
                                    if w["name"].startswith("Capture impossible")],
                           timeout=30, what="the alert")[0]
        out = output_index(alert)
        d.rfb(out, "keydown:ffe3", f"key:{C:x}", "keyup:ffe3")
        text = wait_until(lambda: (d.paste("text/plain") or b"").decode("utf-8", "replace"),
                          timeout=10, what="the alert's text")
        d.key(out, RETURN)
        wait_until(lambda: not d.windows(), timeout=10, what="the alert to close")
        return text

    def test_cancel_refusal_and_failure(self):
        with WaylandDesktop(portal="mock") as d:
            self.start(d)
            d.mock("SetScreenshotMode", "cancel")
            capture_area(d)
            wait_until(lambda: self.requests(d) == 1, timeout=15, what="the portal request")
            deadline = time.monotonic() + 2
            while time.monotonic() < deadline:
                self.assertEqual(d.windows(), [], "a cancelled capture shows nothing")
                time.sleep(0.1)

            d.mock("SetScreenshotMode", "error")
            capture_area(d)
            self.assertIn("La capture a échoué : le portail de capture d'écran n'a pas pu faire "
                          "la capture", self.alert_text(d))

            # Refused in the permission store: the portal answers 2 without a screenshot.
            d.mock("SetScreenshotMode", "grim")
            d.set_screenshot_permission("no")
            capture_area(d)
            onboarding = wait_until(lambda: [w for w in d.windows()
                                             if w["name"].startswith("Bienvenue dans Tessik")],
                                    timeout=30, what="the onboarding window")
            self.assertEqual(len(onboarding), 1)
            self.assertFalse([w for w in d.windows() if w["name"].startswith("Capture")])
            self.assertIsNone(d.tessik.poll())

    def test_garbage_answers_show_the_alert_and_leave_no_file(self):
        cases = [
            ("nouri", "le portail n'a donné aucun fichier"),
            ("noturi", "le portail a donné une adresse qui n'est pas un fichier"),
            ("notpng", "le fichier du portail n'est pas une image PNG"),
            ("small", "ne couvre pas les écrans"),
        ]
        with WaylandDesktop(portal="mock") as d:
            self.start(d)
            for mode, reason in cases:
                with self.subTest(mode):
                    d.mock("SetScreenshotMode", mode)
                    capture_area(d)
                    text = self.alert_text(d)
                    self.assertIn("La capture a échoué : ", text)
                    self.assertIn(reason, text)
                    self.assertFalse(glob.glob(os.path.join(d.run_dir, "mockshot-*.png")))
            # A file the portal wrote into the user's pictures stays there.
            d.mock("SetScreenshotMode", "userdir")
            capture_area(d)
            wait_until(lambda: len(d.overlays()) == 2, timeout=30, what="the overlays")
            d.rfb(1, "move:10,10", "sleep:0.3", "key:ff1b")
            wait_until(lambda: not d.windows(), timeout=15, what="the overlays to close")
            self.assertEqual(len(glob.glob(d.path("Pictures", "mockshot-*.png"))), 1)
            self.assertIsNone(d.tessik.poll())

    def test_a_portal_that_never_answers_ends_in_the_alert(self):
        with WaylandDesktop(portal="mock") as d:
            self.start(d)
            d.mock("SetScreenshotMode", "hang")
            capture_area(d)
            self.assertIn("n'a pas répondu en 10 s", self.alert_text(d))
            # The next capture works again.
            d.mock("SetScreenshotMode", "grim")
            capture_area(d)
            wait_until(lambda: len(d.overlays()) == 2, timeout=30, what="the overlays")


if __name__ == "__main__":
    unittest.main()
