"""Damaged settings on a real X server: an unreadable stored shortcut gives the default hot key
back (rewritten in the stored form), a deliberate clear stays cleared, and a readable shortcut
that would take an ordinary key from every window is refused, never grabbed."""

import os
import unittest

from rig import Desktop, overlays, wait_until
from test_hotkey import Probe, stored_entry

CODED_DEFAULT = '{"carbonKeyCode":19,"carbonModifiers":768}'


def ini_string(text):
    """A string value as QSettings writes it: quoted, with quotes and backslashes escaped."""
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def write_settings(d, entry):
    conf = d.path(".config", "Tessik", "Tessik.ini")
    os.makedirs(os.path.dirname(conf), exist_ok=True)
    with open(conf, "w", encoding="utf-8") as f:
        f.write(f"[General]\nGlobalShortcuts_captureArea={entry}\n")


def decoded(raw):
    return raw.strip('"').replace('\\"', '"') if raw else raw


class DamagedShortcut(unittest.TestCase):
    def restart_with(self, d, entry):
        if d.tessik:
            self.assertEqual(d.stop_tessik(), 0, d.log())
        write_settings(d, entry)
        d.start_tessik()

    def test_an_unreadable_stored_shortcut_gives_the_default_hot_key_back(self):
        damaged = {
            "a number": "7",
            "a list": "19, 768",
            "a byte array": "@ByteArray(19)",
            "invalid JSON": ini_string('{"carbonKeyCode":19,'),
            "a key code out of range": ini_string('{"carbonKeyCode":999,"carbonModifiers":768}'),
            "a negative key code": ini_string('{"carbonKeyCode":-19,"carbonModifiers":768}'),
            "a fractional key code": ini_string('{"carbonKeyCode":19.5,"carbonModifiers":768}'),
            "huge modifiers": ini_string('{"carbonKeyCode":19,"carbonModifiers":1e300}'),
            "a 4 MB string": "x" * (4 << 20),
        }
        with Desktop("single") as d:
            for what, entry in damaged.items():
                with self.subTest(what):
                    self.restart_with(d, entry)
                    wait_until(lambda: decoded(stored_entry(d)) == CODED_DEFAULT, timeout=10,
                               what="the default stored again")
                    d.xdotool("key", "ctrl+shift+2")
                    wait_until(lambda: len(overlays(d)) == 1, timeout=10, what="the overlay")
                    d.key("Escape")
                    wait_until(lambda: not overlays(d), timeout=5, what="overlay to close")
                    self.assertNotIn("Error registering hotkey", d.log())

    def test_a_cleared_shortcut_stays_cleared(self):
        with Desktop("single") as d:
            self.restart_with(d, "false")
            # Nothing holds the key: another client may grab it.
            other = Probe(d, HOTKEY_PROBE_PASSIVE="1")
            other.send("grab 0x5")  # Ctrl+Shift+2
            self.assertEqual(other.expect(("granted", "refused")), "granted")
            self.assertEqual(stored_entry(d), "false")

    def test_a_bare_key_is_refused_and_stays_free_for_other_windows(self):
        with Desktop("single") as d:
            self.restart_with(d, ini_string('{"carbonKeyCode":19,"carbonModifiers":0}'))
            wait_until(lambda: "Error registering hotkey" in d.log(), timeout=10,
                       what="the refusal line")
            self.assertRegex(d.log(), r"Error registering hotkey 2: \d+\n")
            # Tessik holds no grab of the plain "2": another client gets it.
            other = Probe(d, HOTKEY_PROBE_PASSIVE="1")
            other.send("grab 0x0")
            self.assertEqual(other.expect(("granted", "refused")), "granted")
            # The readable value is the user's own: it is kept as stored.
            self.assertEqual(decoded(stored_entry(d)), '{"carbonKeyCode":19,"carbonModifiers":0}')


if __name__ == "__main__":
    unittest.main()
