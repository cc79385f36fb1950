"""Tessik in a Wayland session (headless sway with two outputs): it chooses Qt's Wayland platform
and the Wayland services by itself, and where the session offers no screenshot portal at all it
says what is missing and quits."""

import unittest

from rig import wait_until
from wlrig import WaylandDesktop


class WaylandSession(unittest.TestCase):
    def test_runs_as_a_wayland_client_even_with_an_x_display_named(self):
        with WaylandDesktop(portal="mock") as d:
            # No platform forced, and an X display that does not exist (as XWayland would
            # offer one): an X11 start would fail here.
            d.start_tessik(env={"QT_QPA_PLATFORM": None, "DISPLAY": ":97"})
            self.assertIsNone(d.tessik.poll(), d.log())
            self.assertEqual(d.windows(), [], "nothing is shown at launch")
            self.assertEqual(d.stop_tessik(), 0)

    def test_without_a_screenshot_portal_an_alert_names_it_then_quits(self):
        with WaylandDesktop(portal="none") as d:
            d.start_tessik(wait=False)
            alert = wait_until(lambda: d.windows(), timeout=20, what="the alert")
            self.assertEqual(len(alert), 1)
            self.assertTrue(alert[0]["name"].startswith("Portail de capture d'écran introuvable"),
                            alert[0]["name"])
            self.assertIsNone(d.tessik.poll())
            d.key(0 if alert[0]["output"] == "HEADLESS-1" else 1, 0xff0d)  # Return
            self.assertEqual(d.tessik.wait(10), 1)


if __name__ == "__main__":
    unittest.main()
