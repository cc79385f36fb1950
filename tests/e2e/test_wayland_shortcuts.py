"""The global shortcut in a Wayland session, through the real portal frontend with the mock
backend: the first launch binds captureArea with its preferred trigger, the desktop's Activate
opens the overlays, a recorded shortcut is bound again and still captures, a refused bind prints
the registry's line, and a desktop without the portal gets the command to bind, and that
command captures. What the settings row shows is read from the accessibility bus."""

import ast
import configparser
import json
import os
import time
import unittest

import accessibility
from rig import TESSIK, wait_until
from wlrig import OUTPUTS, PYTHON, TOOLS, WaylandDesktop

ESCAPE, SPACE, K = 0xff1b, 0x20, 0x6b
CTRL, ALT = 0xffe3, 0xffe9
# Command is Ctrl, option is Alt: key code 40 (k), modifiers 256 | 2048.
NEW_SHORTCUT = {"carbonKeyCode": 40, "carbonModifiers": 2304}


def bound(d):
    """(session, shortcut id, preferred trigger) of every bind the mock holds."""
    return ast.literal_eval(d.mock("ListBound").replace("@a(sss) ", ""))[0]


def stored_shortcut(d):
    parser = configparser.ConfigParser(interpolation=None)
    parser.optionxform = str
    parser.read(d.path(".config", "Tessik", "Tessik.ini"))
    raw = parser.get("General", "GlobalShortcuts_captureArea", fallback=None)
    try:
        return json.loads(raw.strip('"').replace('\\"', '"')) if raw else None
    except ValueError:
        return raw


def store_shortcut(d, shortcut):
    """Writes the area-capture shortcut into the settings as Tessik stores it."""
    text = json.dumps(shortcut, separators=(",", ":"))
    os.makedirs(os.path.dirname(d.path(".config", "Tessik", "Tessik.ini")), exist_ok=True)
    with open(d.path(".config", "Tessik", "Tessik.ini"), "w", encoding="utf-8") as f:
        f.write('[General]\nGlobalShortcuts_captureArea="' + text.replace('"', '\\"') + '"\n')


def overlays(d):
    """Tessik's overlay windows: every window of its own but the settings and onboarding."""
    return [w for w in d.windows() if w.get("name") not in ("Réglages Tessik",
                                                            "Bienvenue dans Tessik")]


def expect_overlays(test, d):
    wait_until(lambda: len(overlays(d)) == len(OUTPUTS), timeout=30, what="the overlays")
    d.key(0, ESCAPE)
    wait_until(lambda: not overlays(d), timeout=15, what="the overlays to close")


def expect_no_overlays(test, d):
    time.sleep(1.5)
    test.assertEqual(overlays(d), [])


def open_settings(d):
    d.run([TESSIK, "--settings"])
    return wait_until(lambda: [w for w in d.windows() if w.get("name") == "Réglages Tessik"],
                      timeout=20, what="the settings window")[0]


def shortcut_row(d):
    """The settings' shortcut row as the accessibility bus shows it: the field, the "Modifier"
    button, the status line under them and the copy button; {} while the window is not there."""
    controls = accessibility.controls(d, "Réglages Tessik")
    edit = [i for i, c in enumerate(controls) if c["role"] == "push button"
            and c["name"] == "Modifier"]
    if not edit:
        return {}
    field = [c for c in controls[:edit[0]] if c["role"] == "text"]
    copy = [c for c in controls if c["name"] == "Copier la commande"]
    return {"field": field[-1] if field else None, "edit": controls[edit[0]],
            "status": controls[edit[0] + 1]["name"], "copy": copy[0] if copy else None}


def field_text(d):
    field = shortcut_row(d).get("field")
    return field and field["text"]


class PortalShortcut(unittest.TestCase):
    def test_bound_at_launch_activated_by_the_desktop_and_bound_again_when_recorded(self):
        with WaylandDesktop(portal="mock") as d:
            d.start_tessik(env=accessibility.enable(d))
            first = wait_until(lambda: bound(d), timeout=15, what="the bind")
            self.assertEqual([(i, t) for _s, i, t in first], [("captureArea", "CTRL+SHIFT+2")])
            session = first[0][0]
            d.mock("Activate", session, "captureArea")
            expect_overlays(self, d)
            # An id Tessik never asked for runs nothing.
            d.mock("Activate", session, "somethingElse")
            expect_no_overlays(self, d)

            # The row shows the trigger the desktop reports (the mock repeats the preferred one),
            # not Tessik's own name of the shortcut (Ctrl+Maj+2).
            open_settings(d)
            wait_until(lambda: field_text(d) == "CTRL+SHIFT+2", timeout=20,
                       what="the desktop's trigger in the field")
            row = shortcut_row(d)
            self.assertTrue(row["field"]["enabled"] and row["edit"]["enabled"], row)
            self.assertEqual(row["status"],
                             "Cliquez sur Modifier pour enregistrer un nouveau raccourci.")
            self.assertFalse(row["copy"]["showing"], row)

            # Recording Ctrl+Alt+K in the settings binds it in a new session; this desktop
            # gives it a trigger of its own choosing, which the row shows.
            d.mock("SetTriggerDescription", "Logo+Impr")
            d.key(0, SPACE)  # "Modifier" has the focus
            time.sleep(0.3)
            d.rfb(0, f"keydown:{CTRL:x}", f"keydown:{ALT:x}", f"key:{K:x}", f"keyup:{ALT:x}",
                  f"keyup:{CTRL:x}")
            wait_until(lambda: stored_shortcut(d) == NEW_SHORTCUT, timeout=10,
                       what="the recorded shortcut")
            again = wait_until(lambda: [b for b in bound(d) if b[2] == "CTRL+ALT+k"], timeout=15,
                               what="the new bind")
            self.assertEqual(again[0][1], "captureArea")
            self.assertEqual(len(bound(d)), 1, "the old session is closed")
            wait_until(lambda: field_text(d) == "Logo+Impr", timeout=15,
                       what="the new trigger in the field")
            # A trigger changed in the desktop's own settings shows at once.
            d.mock("ChangeTrigger", again[0][0], "captureArea", "Ctrl+Alt+Impr")
            wait_until(lambda: field_text(d) == "Ctrl+Alt+Impr", timeout=15,
                       what="the changed trigger in the field")
            d.run(["swaymsg", "[title=\"Réglages Tessik\"] kill"], check=False)
            wait_until(lambda: not d.windows(), timeout=10, what="the settings to close")
            d.mock("Activate", again[0][0], "captureArea")
            expect_overlays(self, d)
            self.assertNotIn("Error registering hotkey", d.log())
            self.assertIsNone(d.tessik.poll(), d.log())

    def test_a_refused_bind_prints_the_registry_line_with_the_portals_code(self):
        # The key's character comes from the keymap the compositor gives the seat, not from
        # the default layout Tessik would otherwise assume (XKB_DEFAULT_LAYOUT); a letter key is
        # offered to the desktop by the letter it types there.
        cases = (  # seat's keymap, assumed layout, stored shortcut, line, preferred trigger
            (None, "fr", None, "⇧⌘2", "CTRL+SHIFT+2"),
            ("fr", "us", {"carbonKeyCode": 0, "carbonModifiers": 768}, "⇧⌘Q", "CTRL+SHIFT+q"),
        )
        for keyboard, fallback, stored, shortcut, trigger in cases:
            with self.subTest(keyboard=keyboard), \
                    WaylandDesktop(portal="mock", keyboard=keyboard) as d:
                if stored:
                    store_shortcut(d, stored)
                d.mock("SetBindRefused", "true")
                d.start_tessik(env={"XKB_DEFAULT_LAYOUT": fallback})
                wait_until(lambda: "Error registering hotkey " in d.log(), timeout=15,
                           what="the refusal line")
                line = [l for l in d.log().splitlines()
                        if l.startswith("Error registering hotkey")]
                self.assertEqual(line, [f"Error registering hotkey {shortcut}: 2"], d.log())
                # The refused session is closed: the mock's log keeps what it was asked.
                self.assertIn(f"[('captureArea', '{trigger}')]", d.read_log("mock"))
                self.assertIsNone(d.tessik.poll(), d.log())


class DesktopBinding(unittest.TestCase):
    def test_without_the_portal_the_settings_copy_a_command_that_captures(self):
        with WaylandDesktop(portal="mock", shortcuts=False) as d:
            d.start_tessik(env=accessibility.enable(d))
            open_settings(d)
            expected = os.path.realpath(TESSIK) + " --capture-area"
            row = wait_until(lambda: shortcut_row(d).get("copy", {}).get("showing") and
                             shortcut_row(d), timeout=20, what="the row without the portal")
            # The stored shortcut, its key named after the seat's keymap.
            self.assertEqual(row["field"]["text"], "Ctrl+Maj+2")
            self.assertFalse(row["field"]["enabled"], row)
            self.assertFalse(row["edit"]["enabled"], row)
            self.assertEqual(row["status"],
                             "Ce bureau gère lui-même les raccourcis globaux : dans ses "
                             "paramètres de clavier, associez le raccourci de votre choix à la "
                             f"commande {expected}")
            # Recording is off, so the row's first control is its copy button.
            d.key(0, SPACE)
            command = wait_until(lambda: (d.paste("text/plain") or b"").decode(), timeout=10,
                                 what="the command on the clipboard")
            self.assertEqual(command, expected)
            self.assertNotIn("Error registering hotkey", d.log())
            d.run(["swaymsg", "[title=\"Réglages Tessik\"] kill"], check=False)
            wait_until(lambda: not d.windows(), timeout=10, what="the settings to close")
            # What a desktop's key binding does with it: a shell runs it.
            d.run(["sh", "-c", command])
            expect_overlays(self, d)
            self.assertIsNone(d.tessik.poll(), d.log())

    def test_the_row_names_the_key_after_the_keymap_the_desktop_uses_now(self):
        with WaylandDesktop(portal="mock", shortcuts=False) as d:
            d.start_tessik(env=accessibility.enable(d))
            open_settings(d)
            wait_until(lambda: field_text(d) == "Ctrl+Maj+2", timeout=20, what="the us name")
            d.run(["swaymsg", "[title=\"Réglages Tessik\"] kill"], check=False)
            wait_until(lambda: not d.windows(), timeout=10, what="the settings to close")
            # A French keyboard joins the seat and types: the compositor sends its keymap.
            french = os.path.join(d.run_dir, "vnc-fr.sock")
            d._spawn(["wayvnc", "-u", "-o", OUTPUTS[0][0], "-k", "fr", french], "vnc-fr")
            wait_until(lambda: os.path.exists(french), timeout=10, what="the French keyboard")
            d.run([PYTHON, os.path.join(TOOLS, "rfb.py"), french, "key:ffe1"])
            open_settings(d)
            wait_until(lambda: field_text(d) == "Ctrl+Maj+É", timeout=20,
                       what="the key named after the French keymap")
            self.assertIsNone(d.tessik.poll(), d.log())


if __name__ == "__main__":
    unittest.main()
