"""The copy's confirmation in a Wayland session (headless sway, two outputs, a notification
server on the session bus): a Wayland client can neither place a window on an output nor keep it
from taking the keyboard focus, so the confirmation is a desktop notification with the toast's
text and time, and no window of Tessik's own."""

import subprocess
import unittest

from rig import TESSIK, wait_until
from sni import FakeDesktop
from wlrig import OUTPUTS, WaylandDesktop


class WaylandConfirmation(unittest.TestCase):
    def test_a_copy_is_confirmed_by_a_notification_and_no_window(self):
        with WaylandDesktop(portal="mock") as d:
            services = FakeDesktop(d.env(), d.tmp, "--notifications")
            try:
                d.start_tessik()
                done = subprocess.run([TESSIK, "--capture-area"], env=d.env(), timeout=60,
                                      capture_output=True)
                self.assertEqual(done.returncode, 0)
                wait_until(lambda: len(d.overlays()) == len(OUTPUTS), timeout=30,
                           what="an overlay on each output")
                # The pointer enters the scale-2 output first, so the keyboard follows it there.
                d.rfb(1, "move:10,10", "sleep:0.3")
                d.drag(1, 400, 300, 1000, 700, steps=6)
                d.ctrl(1, 0x63)  # Ctrl+C
                wait_until(lambda: not d.windows(), timeout=15, what="the overlays to close")
                notes = wait_until(lambda: services.calls("Notify"), timeout=15,
                                   what="the notification")
                self.assertEqual(len(notes), 1)
                note = notes[0]
                self.assertEqual((note["app_name"], note["summary"], note["body"]),
                                 ("Tessik", "Copié dans le presse-papiers", ""))
                self.assertEqual(note["hints"].get("desktop-entry"), "io.github.tessik.Tessik")
                self.assertTrue(note["hints"].get("transient"))
                self.assertEqual(note["timeout"], 1750)
                self.assertEqual(d.windows(), [], "no window of Tessik's own for it")
                self.assertIn("image/png", d.paste_types())
            finally:
                services.stop()


if __name__ == "__main__":
    unittest.main()
