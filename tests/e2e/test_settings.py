"""The settings window on a real X server: opened from the tray, a shortcut recorded with the
keyboard moves the global hot key, "Par défaut" brings the old one back, a shortcut another
program holds is stored and reported without harm, and a save folder picked in the chooser is
where the next capture lands."""

import configparser
import glob
import json
import os
import time
import unittest

import accessibility
import test_hotkey
from rig import Desktop, overlays, wait_until

OLD_KEY = "ctrl+shift+2"
NEW_KEY = "ctrl+alt+k"
# Command is Ctrl, option is Alt: key code 40 (k), modifiers 256 | 2048.
NEW_SHORTCUT = {"carbonKeyCode": 40, "carbonModifiers": 2304}
DEFAULT_SHORTCUT = {"carbonKeyCode": 19, "carbonModifiers": 768}


def stored(d, key):
    parser = configparser.ConfigParser(interpolation=None)
    parser.optionxform = str
    parser.read(d.path(".config", "Tessik", "Tessik.ini"))
    raw = parser.get("General", key, fallback=None)
    # QSettings quotes strings and escapes their quotes.
    return raw.strip('"').replace('\\"', '"') if raw is not None else None


def stored_shortcut(d):
    raw = stored(d, "GlobalShortcuts_captureArea")
    try:
        return json.loads(raw) if raw else None
    except ValueError:
        return raw


def open_settings(d):
    d.click_tray_icon(1)
    wait_until(d.popup_menus, timeout=5, what="the tray menu")
    # "Réglages…" is the second item from the bottom, reached by wrapping upwards.
    d.key("Up", "Up", "Return")
    window = wait_until(lambda: [w for w in d.windows("Réglages Tessik") if w["width"] == 480],
                        timeout=10, what="the settings window")[0]
    time.sleep(0.5)
    return window


def accessible_texts(d, window_name):
    """What the accessibility bus tells of a window: its controls as "role: name" lines."""
    return [f"{c['role']}: {c['name']}" for c in accessibility.controls(d, window_name)]


def press_expecting_overlays(test, d, keys, expected):
    d.xdotool("key", keys)
    if expected:
        wait_until(lambda: overlays(d), timeout=10, what=f"overlays after {keys}")
        d.xdotool("key", "Escape")
        wait_until(lambda: not overlays(d), timeout=5, what="the overlays to close")
    else:
        time.sleep(1.0)
        test.assertEqual(overlays(d), [], f"{keys} opened the overlays")


class SettingsWindowTest(unittest.TestCase):
    def test_recording_moves_the_hot_key_and_par_defaut_restores_it(self):
        with Desktop("single", tray=True, wm=True) as d:
            d.start_tessik()
            window = open_settings(d)
            # The window opens with "Modifier" focused (the recorder never takes focus itself).
            d.key("space")
            time.sleep(0.3)
            d.xdotool("key", NEW_KEY)
            wait_until(lambda: stored_shortcut(d) == NEW_SHORTCUT, timeout=5,
                       what="the recorded shortcut")
            # Focus the now visible "Par défaut", the first control of the window.
            d.key("Tab")
            press_expecting_overlays(self, d, NEW_KEY, True)
            press_expecting_overlays(self, d, OLD_KEY, False)

            d.xdotool("windowactivate", "--sync", window["id"])
            time.sleep(0.3)
            d.key("space")
            wait_until(lambda: stored_shortcut(d) == DEFAULT_SHORTCUT, timeout=5,
                       what="the default shortcut back")
            press_expecting_overlays(self, d, OLD_KEY, True)
            press_expecting_overlays(self, d, NEW_KEY, False)
            self.assertNotIn("Error registering hotkey", d.log())
            self.assertIsNone(d.tessik.poll(), d.log())

    def test_print_alone_is_recorded_and_opens_the_overlays(self):
        # No window manager: openbox binds Print itself (to a screenshot program), as a desktop
        # may; then the key never reaches Tessik.
        with Desktop("single", tray=True, wm=False) as d:
            d.start_tessik()
            open_settings(d)
            d.key("space")
            time.sleep(0.3)
            # Print is stored as F13, without a modifier, like the other function keys.
            d.xdotool("key", "Print")
            wait_until(lambda: stored_shortcut(d) == {"carbonKeyCode": 105, "carbonModifiers": 0},
                       timeout=5, what="Print recorded")
            d.key("Tab")
            press_expecting_overlays(self, d, "Print", True)
            press_expecting_overlays(self, d, OLD_KEY, False)
            self.assertNotIn("Error registering hotkey", d.log())
            self.assertIsNone(d.tessik.poll(), d.log())

    def test_a_shortcut_another_program_holds_is_stored_reported_and_harmless(self):
        with Desktop("single", tray=True, wm=True) as d:
            d.start_tessik()
            # Another program holds Ctrl+Alt+2 with NumLock only; the plain press still reaches
            # the focused window, but tessik's grab of every lock variant is refused.
            other = test_hotkey.Probe(d, HOTKEY_PROBE_PASSIVE="1")
            other.send("grab 0x1c")
            other.expect("granted")
            open_settings(d)
            d.key("space")
            time.sleep(0.3)
            d.xdotool("key", "ctrl+alt+2")
            wait_until(lambda: stored_shortcut(d) == {"carbonKeyCode": 19, "carbonModifiers": 2304},
                       timeout=5, what="the recorded shortcut")
            wait_until(lambda: "Error registering hotkey ⌥⌘2: 10" in d.log(), timeout=5,
                       what="the registry's error line")
            # The window still works: "Par défaut" puts the default back and it fires.
            d.key("Tab", "space")
            wait_until(lambda: stored_shortcut(d) == DEFAULT_SHORTCUT, timeout=5,
                       what="the default shortcut back")
            press_expecting_overlays(self, d, OLD_KEY, True)
            self.assertIsNone(d.tessik.poll(), d.log())

    def test_the_folder_chooser_speaks_french_and_starts_in_the_nearest_folder(self):
        with Desktop("single", tray=True, wm=True, bus=True) as d:
            # Qt's widgets reach the accessibility bus, started on demand by the session bus.
            d.start_tessik(env=accessibility.enable(d))
            open_settings(d)
            d.key("Tab", "space")
            title = "Dossier d'enregistrement des captures"
            wait_until(lambda: d.windows(title), timeout=10, what="the folder chooser")
            texts = wait_until(lambda: [t for t in accessible_texts(d, title)
                                        if "Voir dans" in t] and accessible_texts(d, title),
                               timeout=20, what="the chooser's controls on the bus")
            # Qt's own texts in French, beside ours.
            for expected in ("label: Voir dans :", "push button: Annuler",
                             "push button: Choisir", "push button: Dossier parent",
                             "push button: Créer un nouveau dossier", "label: Dossier :"):
                self.assertIn(expected, texts)
            self.assertNotIn("push button: Cancel", texts)
            # ~/Pictures/Tessik does not exist yet: the chooser starts in ~/Pictures.
            self.assertIn("combo box: " + d.path("Pictures"), texts)
            d.key("Escape")
            wait_until(lambda: not d.windows(title), timeout=5, what="the chooser to close")
            self.assertIsNone(d.tessik.poll(), d.log())

    def test_a_folder_chosen_in_the_chooser_receives_the_next_capture(self):
        with Desktop("single", tray=True, wm=True) as d:
            # Typed into the chooser with xdotool, which is only reliable for ASCII text.
            target = d.path("Mes captures")
            os.makedirs(target)
            d.start_tessik()
            open_settings(d)
            # "Modifier" has the focus; "Choisir…" comes next.
            d.key("Tab", "space")
            chooser = wait_until(
                lambda: d.windows("Dossier d'enregistrement des captures"), timeout=10,
                what="the folder chooser")
            self.assertTrue(chooser)
            time.sleep(0.5)
            d.xdotool("type", "--delay", "10", target)
            time.sleep(0.3)
            d.key("Return")
            try:
                wait_until(lambda: stored(d, "saveDirectory") == target, timeout=3)
            except TimeoutError:
                # The name's completion list may take the first Return.
                d.key("Return")
                wait_until(lambda: stored(d, "saveDirectory") == target, timeout=5,
                           what="the chosen folder stored")
            self.assertEqual(d.windows("Dossier d'enregistrement des captures"), [])

            d.key(OLD_KEY)
            wait_until(lambda: overlays(d), timeout=10, what="the overlays")
            d.drag(300, 300, 700, 600)
            time.sleep(0.2)
            d.key("ctrl+s")
            files = wait_until(lambda: glob.glob(os.path.join(target, "Tessik_*.png")),
                               timeout=10, what="the saved capture")
            self.assertEqual(len(files), 1)
            self.assertEqual(glob.glob(d.path("Pictures", "Tessik", "*")), [])


if __name__ == "__main__":
    unittest.main()
