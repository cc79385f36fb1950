"""The tray icon: a left or right click opens its menu, the menu quits Tessik, and an icon
started before any tray host docks once one appears."""

import time
import unittest

from rig import Desktop, wait_until


def open_menu(d, button=1):
    d.click_tray_icon(button)
    return wait_until(d.popup_menus, timeout=5, what="the tray menu")[0]


class Tray(unittest.TestCase):
    def test_both_clicks_open_the_menu_under_the_icon_and_escape_closes_it(self):
        with Desktop("single", tray=True) as d:
            d.start_tessik()
            for button in (1, 3):
                with self.subTest(button=button):
                    menu = open_menu(d, button)
                    icon = d.tray_icon()
                    # Near the icon, fully on screen (top-right corner of a 1920x1080 display).
                    self.assertLess(abs(menu["y"] - (icon["y"] + icon["height"] // 2)), 40)
                    self.assertLessEqual(menu["x"] + menu["width"], 1920)
                    d.key("Escape")
                    wait_until(lambda: not d.popup_menus(), timeout=5, what="the menu to close")
            self.assertIsNone(d.tessik.poll(), d.log())

    def test_quit_item_and_its_key_equivalent_end_the_process_normally(self):
        for how in ("item", "ctrl+q"):
            with self.subTest(how=how), Desktop("single", tray=True) as d:
                d.start_tessik()
                open_menu(d)
                if how == "item":
                    # The last item, reached by wrapping upwards.
                    d.key("Up", "Return")
                else:
                    d.key("ctrl+q")
                self.assertEqual(d.tessik.wait(10), 0, d.log())

    def test_icon_docks_when_a_tray_host_starts_later(self):
        with Desktop("single", tray=False) as d:
            d.start_tessik()
            time.sleep(1.0)
            self.assertIsNone(d.tessik.poll(), d.log())
            self.assertIsNone(d.tray_icon())
            d.start_tray()
            wait_until(d.tray_icon, timeout=10, what="the icon to dock")
            open_menu(d)
            d.key("Escape")
            self.assertIsNone(d.tessik.poll(), d.log())


if __name__ == "__main__":
    unittest.main()
