"""Under a Wayland session Tessik says it needs X11, in one clear alert, and quits."""

import time
import unittest

from rig import Desktop, wait_until


class WaylandSession(unittest.TestCase):
    def test_alert_then_quit(self):
        with Desktop("single", env={"XDG_SESSION_TYPE": "wayland"}) as d:
            d.start_tessik(wait=False)
            alert = wait_until(lambda: [w for w in d.windows() if w.get("mapped")], timeout=10,
                               what="the alert")
            self.assertEqual(len(alert), 1)
            title = d.run(["xdotool", "getwindowname", str(alert[0]["id"])]).stdout.strip()
            self.assertTrue(title.startswith("Session Wayland non prise en charge"), title)
            self.assertIsNone(d.tessik.poll())
            d.xdotool("windowfocus", "--sync", alert[0]["id"])
            d.key("Return")
            self.assertEqual(d.tessik.wait(10), 1)


if __name__ == "__main__":
    unittest.main()
