"""Acceptance journeys on a desktop like a user's: a window manager, a tray host and two
displays, one of them HiDPI. Everything is driven through real input."""

import glob
import os
import subprocess
import time
import unittest

from PIL import Image, ImageChops, ImageStat

import test_settings
import toolbar
from rig import Desktop, overlays, show_coordinate_pattern, toast, wait_until

HOTKEY = "ctrl+shift+2"
HIDPI = (0, 0, 2880, 1800, 2)      # root pixels and scale of the 2x display
RIGHT = (2880, 0, 1920, 1080, 1)


def saved_files(d):
    return sorted(glob.glob(d.path("Pictures", "Tessik", "Tessik_*.png")))


class Journeys(unittest.TestCase):
    def click_item(self, d, item, selection, display):
        x, y = toolbar.item_point(item, selection, display)
        d.xdotool("mousemove", x, y)
        time.sleep(0.05)
        d.xdotool("click", 1)
        time.sleep(0.1)

    def test_first_launch_annotate_with_every_tool_undo_redo_and_save_on_hidpi(self):
        with Desktop("hidpi", tray=True, wm=True) as d:
            show_coordinate_pattern(d)
            d.start_tessik()
            # First launch: the default shortcut stored, the tray icon docked, nothing shown.
            ini = d.path(".config", "Tessik", "Tessik.ini")
            wait_until(lambda: os.path.exists(ini) and "GlobalShortcuts_captureArea" in open(ini).read(),
                       timeout=5, what="the stored shortcut")
            wait_until(d.tray_icon, timeout=10, what="the tray icon")
            self.assertEqual(overlays(d), [])
            self.assertIsNone(toast(d))

            d.xdotool("mousemove", 1500, 900)
            d.key(HOTKEY)
            wait_until(lambda: len(overlays(d)) == 2, timeout=10, what="the overlays")
            sel = (400, 400, 1600, 1200)   # 600x400 points on the 2x display
            d.drag(*sel)

            strokes = {
                "arrow": (500, 500, 900, 700),
                "rectangle": (1000, 450, 1400, 650),
                "highlighter": (450, 800, 1500, 880),
                "pixelate": (1100, 900, 1500, 1150),
                "freehand": (500, 950, 900, 1100),
            }
            self.click_item(d, "blue", sel, HIDPI)
            self.click_item(d, "thick", sel, HIDPI)
            for tool, stroke in strokes.items():
                self.click_item(d, tool, sel, HIDPI)
                d.drag(*stroke)
            self.click_item(d, "text", sel, HIDPI)
            d.xdotool("mousemove", 700, 1150)
            d.xdotool("click", 1)
            time.sleep(0.2)
            d.xdotool("type", "--delay", "20", "Bonjour")
            d.key("Return")
            time.sleep(0.2)

            # Undo takes the text back, redo restores it.
            self.click_item(d, "undo", sel, HIDPI)
            self.click_item(d, "redo", sel, HIDPI)
            # Select mode, pointer away: what is inside the frame is what will be saved.
            self.click_item(d, "select", sel, HIDPI)
            d.xdotool("mousemove", 3500, 900)
            time.sleep(0.4)
            shot = d.screenshot(os.path.join(d.tmp, "overlay.png"))

            d.key("ctrl+s")
            wait_until(lambda: not overlays(d), timeout=5, what="the overlays to close")
            files = wait_until(lambda: saved_files(d), timeout=10, what="the saved file")
            self.assertEqual(len(files), 1)
            shown = wait_until(lambda: toast(d), timeout=5, what="the toast")
            # On the display of the selection, near its bottom.
            self.assertLess(shown["x"] + shown["width"], 2880)
            self.assertGreater(shown["y"], 1800 // 2)

            saved = Image.open(files[0]).convert("RGB")
            self.assertEqual(saved.size, (1200, 800))
            # The saved pixels are what the overlay showed inside the selection (its frame and
            # handles aside): the same capture and the same annotations drawn the same way.
            inner = (8, 8, 1192, 792)
            screen = Image.open(shot).convert("RGB").crop(
                (sel[0] + inner[0], sel[1] + inner[1], sel[0] + inner[2], sel[1] + inner[3]))
            diff = ImageChops.difference(saved.crop(inner), screen)
            self.assertLess(max(ImageStat.Stat(diff).mean), 2.0)
            # And they are not the bare capture: every tool left its mark.
            bare = Image.open(os.path.join(d.tmp, "pattern.png")).convert("RGB").crop(
                (sel[0], sel[1], sel[2], sel[3]))
            for name, (x0, y0, x1, y1) in list(strokes.items()) + [("text", (700, 1150, 840, 1200))]:
                box = (x0 - sel[0], y0 - sel[1], x1 - sel[0], y1 - sel[1])
                changed = ImageChops.difference(saved.crop(box), bare.crop(box))
                self.assertGreater(max(ImageStat.Stat(changed).mean), 3.0, name)

    def test_escape_and_right_click_cancel_without_file_or_toast(self):
        with Desktop("hidpi", tray=True, wm=True) as d:
            d.start_tessik()
            for cancel in ("escape", "right click"):
                d.key(HOTKEY)
                wait_until(lambda: len(overlays(d)) == 2, timeout=10, what="the overlays")
                d.drag(3000, 100, 3400, 400)
                if cancel == "escape":
                    d.key("Escape")
                else:
                    d.xdotool("click", 3)
                wait_until(lambda: not overlays(d), timeout=5, what="the overlays to close")
                time.sleep(0.5)
                self.assertIsNone(toast(d), cancel)
                self.assertEqual(saved_files(d), [], cancel)
                self.assertEqual(d.clipboard_targets(), [], cancel)

    def test_text_entry_keeps_escape_and_return_from_closing_the_overlays(self):
        with Desktop("side_by_side", wm=False) as d:
            d.start_tessik()
            d.key(HOTKEY)
            wait_until(lambda: len(overlays(d)) == 2, timeout=10, what="the overlays")
            left = (0, 0, 1440, 900, 1)
            sel = (200, 200, 900, 500)
            d.drag(*sel)
            self.click_item(d, "text", sel, left)
            d.xdotool("mousemove", 300, 300)
            d.xdotool("click", 1)
            time.sleep(0.2)
            d.xdotool("type", "--delay", "20", "abc")
            d.key("Escape")       # cancels the text, not the capture
            time.sleep(0.3)
            self.assertEqual(len(overlays(d)), 2)
            d.xdotool("click", 1)  # a new text entry
            time.sleep(0.2)
            d.xdotool("type", "--delay", "20", "abc")
            d.key("Return")        # commits the text, does not complete
            time.sleep(0.3)
            self.assertEqual(len(overlays(d)), 2)
            d.key("Return")        # now Return completes with the default action (copy)
            wait_until(lambda: not overlays(d), timeout=5, what="the overlays to close")
            wait_until(lambda: d.clipboard("image/png"), timeout=10, what="the clipboard")

    def click_in_settings(self, d, window, x, y):
        """Clicks a point given in the settings window's own points (it is 480 points wide)."""
        scale = window["width"] / 480
        d.xdotool("mousemove", window["x"] + round(x * scale), window["y"] + round(y * scale))
        time.sleep(0.1)
        d.xdotool("click", 1)
        time.sleep(0.4)

    def test_settings_save_by_double_click_survive_a_restart_and_launch_at_login(self):
        with Desktop("hidpi", tray=True, wm=True) as d:
            d.start_tessik()
            d.click_tray_icon(1)
            wait_until(d.popup_menus, timeout=5, what="the tray menu")
            d.key("Up", "Up", "Return")  # "Réglages…", reached by wrapping upwards
            window = wait_until(lambda: [w for w in d.windows("Réglages Tessik")
                                         if w["width"] in (480, 960)],
                                timeout=10, what="the settings window")[0]
            time.sleep(0.5)
            self.click_in_settings(d, window, 400, 331)          # "Enregistrer"
            wait_until(lambda: test_settings.stored(d, "defaultAction") == "save", timeout=5,
                       what="the default action stored")
            autostart = d.path(".config", "autostart", "tessik.desktop")
            self.click_in_settings(d, window, 427, 462)          # "Lancer Tessik au démarrage"
            wait_until(lambda: os.path.exists(autostart), timeout=5, what="the autostart entry")
            with open(autostart) as f:
                execs = [l[5:].strip('"') for l in f.read().splitlines() if l.startswith("Exec=")]
            self.assertEqual(execs, [os.path.realpath(d.tessik.args[0])])
            self.click_in_settings(d, window, 427, 462)
            wait_until(lambda: not os.path.exists(autostart), timeout=5,
                       what="the autostart entry removed")

            # Quit from the tray and start again: the choice is still there.
            d.click_tray_icon(1)
            wait_until(d.popup_menus, timeout=5, what="the tray menu")
            d.key("Up", "Return")
            self.assertEqual(d.tessik.wait(10), 0)
            d.start_tessik()
            d.xdotool("mousemove", 3500, 500)
            d.key(HOTKEY)
            wait_until(lambda: len(overlays(d)) == 2, timeout=10, what="the overlays")
            d.drag(3000, 200, 3400, 500)
            d.xdotool("mousemove", 3200, 350)
            d.xdotool("click", "--repeat", 2, "--delay", 80, 1)
            files = wait_until(lambda: saved_files(d), timeout=10, what="the saved file")
            self.assertEqual(Image.open(files[0]).size, (400, 300))
            shown = wait_until(lambda: toast(d), timeout=5, what="the toast")
            self.assertGreaterEqual(shown["x"], 2880, "on the display of the selection")

    def test_a_read_only_save_folder_shows_the_alert_and_writes_nothing(self):
        with Desktop("hidpi", tray=True, wm=True) as d:
            folder = d.path("Pictures", "Tessik")
            os.makedirs(folder)
            # Root ignores permission bits: as root the folder is a read-only file system.
            mounted = os.geteuid() == 0 and subprocess.run(
                ["mount", "-t", "tmpfs", "-o", "ro,size=64k", "tmpfs", folder]).returncode == 0
            if os.geteuid() == 0 and not mounted:
                self.skipTest("cannot mount a read-only file system here")
            if not mounted:
                os.chmod(folder, 0o555)
            try:
                self.save_into_unwritable_folder(d, folder)
            finally:
                if mounted:
                    subprocess.run(["umount", folder])

    def save_into_unwritable_folder(self, d, folder):
        """Ctrl+S into a folder that cannot be written: the alert, no file, no toast."""
        d.start_tessik()
        d.key(HOTKEY)
        wait_until(lambda: len(overlays(d)) == 2, timeout=10, what="the overlays")
        d.drag(3000, 200, 3400, 500)
        d.key("ctrl+s")
        alert = wait_until(lambda: [w for w in d.windows("Capture impossible")
                                    if w.get("mapped")], timeout=10, what="the alert")
        self.assertEqual(len(alert), 1)
        self.assertIsNone(toast(d))
        self.assertEqual(os.listdir(folder), [])
        d.xdotool("windowfocus", "--sync", alert[0]["id"])
        d.key("Return")
        wait_until(lambda: not [w for w in d.windows("Capture impossible") if w.get("mapped")],
                   timeout=5, what="the alert to close")
        self.assertIsNone(d.tessik.poll())


if __name__ == "__main__":
    unittest.main()
