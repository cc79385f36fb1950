"""The tray icon: a left or right click opens its menu, its items start both captures and quit
Tessik, the global shortcut pressed while the menu is open captures once, and an icon started
before any tray host docks once one appears."""

import io
import time
import unittest

from PIL import Image

from rig import Desktop, overlays, wait_until


def choose(d, position):
    """Picks the menu's item at `position` (0 = first) with the keyboard."""
    d.key(*(["Down"] * (position + 1)), "Return")


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

    def test_a_click_right_after_the_menu_closed_opens_it_again(self):
        # Qt reports a press this soon after the previous one as a double click.
        with Desktop("single", tray=True) as d:
            d.start_tessik()
            for _ in range(2):
                open_menu(d)
                d.key("Escape")
                wait_until(lambda: not d.popup_menus(), timeout=5, what="the menu to close")
                d.xdotool("click", 1)
                wait_until(d.popup_menus, timeout=5, what="the menu to open again")
                d.key("Escape")
                wait_until(lambda: not d.popup_menus(), timeout=5, what="the menu to close")

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

    def test_items_start_both_captures(self):
        with Desktop("side_by_side", tray=True) as d:
            d.start_tessik()
            open_menu(d)
            # The pointer stays on the icon, so its display (LEFT 1440x900 or RIGHT 1920x1080,
            # wherever the tray host docked) is the one captured.
            icon = d.tray_icon()
            expected = (1440, 900) if icon["x"] < 1440 else (1920, 1080)
            choose(d, 1)  # "Capture plein écran"
            png = wait_until(lambda: d.clipboard("image/png"), timeout=10, what="clipboard")
            self.assertEqual(Image.open(io.BytesIO(png)).size, expected)
            self.assertEqual(overlays(d), [])

            open_menu(d)
            choose(d, 0)  # "Capture zone"
            wait_until(lambda: len(overlays(d)) == 2, timeout=10, what="two overlays")
            d.key("Escape")
            wait_until(lambda: not overlays(d), timeout=5, what="overlays to close")

    def test_global_shortcut_while_the_menu_is_open_captures_once(self):
        with Desktop("side_by_side", tray=True) as d:
            d.start_tessik()
            open_menu(d)
            d.key("ctrl+shift+2")
            wait_until(lambda: not d.popup_menus(), timeout=5, what="the menu to close")
            wait_until(lambda: len(overlays(d)) == 2, timeout=10, what="two overlays")
            d.key("Escape")
            wait_until(lambda: not overlays(d), timeout=5, what="overlays to close")
            time.sleep(1.0)
            self.assertEqual(overlays(d), [], "a second capture followed the first")
            # The menu has closed, so the hot key is live again.
            d.key("ctrl+shift+2")
            wait_until(lambda: len(overlays(d)) == 2, timeout=10, what="overlays again")
            d.key("Escape")

    def test_settings_item_opens_the_window_whose_main_menu_keys_work(self):
        with Desktop("single", tray=True, wm=True) as d:
            d.start_tessik()
            open_menu(d)
            choose(d, 2)  # "Réglages…"
            window = wait_until(lambda: d.windows("Réglages Tessik"), timeout=10,
                                what="the settings window")[0]
            self.assertFalse(window.get("override_redirect"))
            # Linux has no menu bar: the main menu's Ctrl+Q lives in the window itself.
            d.xdotool("windowactivate", "--sync", window["id"])
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
