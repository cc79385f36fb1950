"""The tray as a StatusNotifierItem, the form Qt takes where a panel offers a status-notifier
watcher (KDE, GNOME with AppIndicator, waybar): the item registers with the watcher, its exported
menu has the four items, and clicking "Capture zone" there starts a capture. On X11 the global
shortcut works again once the panel's menu has closed."""

import unittest

from rig import Desktop, overlays, wait_until
from sni import FakeDesktop, registered_item

ITEMS = ["Capture zone", "Capture plein écran", None, "Réglages…", None, "Quitter Tessik"]


class StatusNotifierTray(unittest.TestCase):
    def check_item_menu_and_capture(self, d, services, address, expected_overlays):
        item = registered_item(services, address)
        self.assertEqual(item.properties["Id"], "Tessik")
        self.assertEqual(item.properties["Status"], "Active")
        self.assertTrue(item.properties["IconPixmap"] or item.properties["IconName"],
                        "the item shows an icon")
        self.assertEqual([label for _, label in item.layout()], ITEMS)
        item.click("Capture zone")
        wait_until(lambda: len(expected_overlays()) == 2, timeout=10, what="two overlays")
        return item

    def test_item_registers_and_its_menu_starts_a_capture_on_x11(self):
        with Desktop("side_by_side", bus=True) as d:
            services = FakeDesktop(d.env(), d.tmp, "--watcher")
            try:
                d.start_tessik()
                self.check_item_menu_and_capture(d, services, d.bus_address,
                                                 lambda: overlays(d))
                d.key("Escape")
                wait_until(lambda: not overlays(d), timeout=5, what="overlays to close")
                # The panel's menu closed, so the global shortcut is live again.
                d.key("ctrl+shift+2")
                wait_until(lambda: len(overlays(d)) == 2, timeout=10, what="overlays again")
                d.key("Escape")
            finally:
                services.stop()


if __name__ == "__main__":
    unittest.main()
