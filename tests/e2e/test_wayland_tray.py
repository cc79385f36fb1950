"""The tray in a Wayland session (headless sway, two outputs), with a panel's status-notifier
watcher on the session bus: Tessik's item registers, its exported menu has the four items, a left
click on the item opens no window of Tessik's own (Wayland cannot place a menu of no window),
and "Capture zone" clicked in the menu opens the overlays."""

import time
import unittest

from rig import wait_until
from sni import FakeDesktop, registered_item
from wlrig import OUTPUTS, WaylandDesktop

ITEMS = ["Capture zone", "Capture plein écran", None, "Réglages…", None, "Quitter Tessik"]


class WaylandTray(unittest.TestCase):
    def test_item_registers_and_its_menu_starts_a_capture(self):
        with WaylandDesktop(portal="mock") as d:
            services = FakeDesktop(d.env(), d.tmp, "--watcher")
            try:
                d.start_tessik()
                item = registered_item(services, d.bus_address)
                self.assertEqual(item.properties["Id"], "Tessik")
                self.assertEqual([label for _, label in item.layout()], ITEMS)

                # A left click: the panel calls Activate. Once a later call has been answered,
                # the click has been handled; a window it opened would map within moments.
                item.item.Activate(10, 10, dbus_interface="org.kde.StatusNotifierItem")
                item.layout()
                deadline = time.monotonic() + 2.0
                while time.monotonic() < deadline:
                    self.assertEqual(d.windows(), [], "a left click opens no window")
                    time.sleep(0.1)

                item.click("Réglages…")
                window = wait_until(lambda: d.windows(), timeout=15, what="the settings window")
                self.assertEqual([w.get("name") for w in window], ["Réglages Tessik"])

                item.click("Capture zone")
                overlays = wait_until(lambda: len(d.overlays()) == len(OUTPUTS) and d.overlays(),
                                      timeout=30, what="an overlay on each output")
                self.assertEqual(set(overlays), {name for name, *_ in OUTPUTS})
            finally:
                services.stop()


if __name__ == "__main__":
    unittest.main()
