"""The area-capture global shortcut on a real X server: the stored default, tessik's overlays
opening on the key with lock modifiers, a refused second registration, menus, and the display
text following the keyboard layout.

Where a test needs to see presses and releases themselves (or the display text), it uses
hotkey_probe, which runs the same shortcut name and X11 backend as tessik and prints what
reaches it."""

import configparser
import os
import subprocess
import time
import unittest

import rig
from rig import Desktop, overlays, wait_until

PROBE = os.environ.get("HOTKEY_PROBE") or os.path.join(
    os.environ.get("TESSIK_BUILD_DIR", os.path.join("..", "..", "build")), "tests", "e2e", "hotkey_probe")
KEY_ENTRY = "GlobalShortcuts_captureArea"


def press_and_see_overlays(test, d, count):
    # No --clearmodifiers: the lock modifiers must stay on.
    d.xdotool("key", "ctrl+shift+2")
    wait_until(lambda: len(overlays(d)) == count, timeout=10, what=f"{count} overlays")
    d.xdotool("key", "Escape")
    wait_until(lambda: not overlays(d), timeout=5, what="overlays to close")


class Probe:
    def __init__(self, desktop, **env):
        self.proc = subprocess.Popen([PROBE], env=desktop.env(**env), stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, bufsize=0)
        self.pending = b""
        desktop.procs.append(self.proc)
        self.lines = []
        self.expect("ready")

    def _read_line(self, timeout):
        # Unbuffered: a buffered reader would hide lines from select().
        import select
        while b"\n" not in self.pending:
            ready, _, _ = select.select([self.proc.stdout], [], [], timeout)
            if not ready:
                return None
            chunk = os.read(self.proc.stdout.fileno(), 4096)
            if not chunk:
                return None
            self.pending += chunk
        line, _, self.pending = self.pending.partition(b"\n")
        return line.decode("utf-8")

    def expect(self, prefix, timeout=5.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            line = self._read_line(max(0.0, deadline - time.monotonic()))
            if line is None:
                continue
            self.lines.append(line)
            if line.startswith(prefix):
                return line
        raise AssertionError(f"no line starting with {prefix!r}; saw {self.lines}")

    def quiet(self, seconds=0.5):
        """Lines printed in the next moment (none expected)."""
        seen = []
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            line = self._read_line(max(0.0, deadline - time.monotonic()))
            if line:
                seen.append(line)
        return seen

    def send(self, command):
        self.proc.stdin.write(command.encode() + b"\n")
        self.proc.stdin.flush()


def stored_entry(desktop):
    ini = desktop.path(".config", "Tessik", "Tessik.ini")
    parser = configparser.ConfigParser(interpolation=None)
    parser.optionxform = str
    parser.read(ini)
    return parser.get("General", KEY_ENTRY, fallback=None)


class HotKeyTest(unittest.TestCase):
    def test_first_launch_stores_the_default_and_a_second_instance_steps_aside(self):
        with Desktop("side_by_side") as d:
            d.start_tessik()
            raw = wait_until(lambda: stored_entry(d), timeout=5, what="stored shortcut")
            # QSettings quotes the string and escapes its quotes.
            self.assertEqual(raw.strip('"').replace('\\"', '"'),
                             '{"carbonKeyCode":19,"carbonModifiers":768}')
            first_windows = {w["id"] for w in d.windows()}
            second = subprocess.Popen([rig.TESSIK], env=d.env(), stdout=subprocess.PIPE,
                                      stderr=subprocess.DEVNULL)
            d.procs.append(second)
            # It says Tessik already runs, in one alert, and leaves once it is dismissed.
            alert = wait_until(lambda: [w for w in d.windows_of(second.pid) if w.get("mapped")],
                               timeout=10, what="the already-running alert")
            title = d.run(["xdotool", "getwindowname", str(alert[0]["id"])]).stdout
            self.assertTrue(title.startswith("Tessik est déjà lancé"), title)
            d.xdotool("windowfocus", "--sync", alert[0]["id"])
            d.key("Return")
            self.assertEqual(second.wait(10), 0)
            self.assertEqual(second.stdout.read(), b"", "it never tried to take the key")
            press_and_see_overlays(self, d, 2)
            self.assertIsNone(d.tessik.poll(), "the first instance must keep running")
            self.assertEqual({w["id"] for w in d.windows()} & first_windows, first_windows)

    def test_the_key_opens_the_overlays_with_lock_modifiers_on(self):
        with Desktop("side_by_side") as d:
            d.start_tessik()
            for lock in (None, "Num_Lock", "Caps_Lock"):
                if lock:
                    d.xdotool("key", lock)  # toggles it on, cumulatively
                with self.subTest(lock=lock):
                    press_and_see_overlays(self, d, 2)

    def test_presses_arrive_with_and_without_lock_modifiers(self):
        with Desktop("single") as d:
            probe = Probe(d)
            for lock in (None, "Num_Lock", "Caps_Lock"):
                if lock:
                    d.xdotool("key", lock)  # toggles it on, cumulatively
                with self.subTest(lock=lock):
                    d.xdotool("key", "ctrl+shift+2")
                    probe.expect("keydown")
                    probe.expect("keyup")
            # Other combinations are not grabbed.
            d.xdotool("key", "ctrl+2")
            d.xdotool("key", "ctrl+alt+2")
            self.assertEqual(probe.quiet(), [])

    def test_a_partly_refused_registration_gives_back_what_it_got(self):
        with Desktop("single") as d:
            other = Probe(d, HOTKEY_PROBE_PASSIVE="1")
            other.send("grab 0x15")  # Ctrl+Shift+2 with NumLock only
            self.assertEqual(other.expect("granted"), "granted")
            d.start_tessik()
            wait_until(lambda: "Error registering hotkey" in d.log(), timeout=5, what="error line")
            self.assertEqual(d.log().count("Error registering hotkey ⇧⌘2: 10\n"), 1)
            # The plain and CapsLock variants tessik had obtained were released.
            for mask in ("0x5", "0x7"):
                other.send(f"grab {mask}")
                self.assertEqual(other.expect(("granted", "refused")), "granted", mask)

    def test_the_holder_keeps_working_when_tessik_is_refused(self):
        with Desktop("single") as d:
            probe = Probe(d)
            d.start_tessik()
            wait_until(lambda: "Error registering hotkey" in d.log(), timeout=5, what="error line")
            self.assertIn("Error registering hotkey ⇧⌘2: 10\n", d.log())
            d.xdotool("key", "ctrl+shift+2")
            probe.expect("keydown")

    def test_a_press_while_a_menu_is_open_runs_the_action_and_leaves_the_menu_open(self):
        with Desktop("single") as d:
            probe = Probe(d)
            probe.send("menu")
            probe.expect("menu shown")
            time.sleep(0.3)
            d.xdotool("key", "ctrl+shift+2")
            probe.expect("keydown")
            probe.send("menustate")
            self.assertEqual(probe.expect("menu "), "menu visible")
            # Once the menu is gone, the passive grab works again.
            d.xdotool("key", "Escape")
            time.sleep(0.3)
            probe.send("menustate")
            self.assertEqual(probe.expect("menu "), "menu hidden")
            d.xdotool("key", "ctrl+shift+2")
            probe.expect("keydown")

    def test_display_text_follows_the_keyboard_layout(self):
        with Desktop("single") as d:
            d.run(["setxkbmap", "us"])
            probe = Probe(d)
            probe.send("describe")
            self.assertEqual(probe.expect("description"), "description ⇧⌘2")
            d.run(["setxkbmap", "fr"])
            probe.send("describe")
            self.assertEqual(probe.expect("description"), "description ⇧⌘É")
            # The grab is per physical key, so the shortcut still works under the new layout.
            d.xdotool("key", "ctrl+shift+2")
            probe.expect("keydown")
            # A layout without Latin letters falls back to its first Latin group; with none at
            # all the key has no character.
            d.run(["setxkbmap", "-layout", "ru,fr"])
            probe.send("describe")
            self.assertEqual(probe.expect("description"), "description ⇧⌘É")
            d.run(["setxkbmap", "-layout", "ru"])
            probe.send("describe")
            self.assertEqual(probe.expect("description"), "description ⇧⌘\ufffd")


def _first_line(proc):
    import select
    if proc.poll() is not None and proc.stdout is None:
        return None
    ready, _, _ = select.select([proc.stdout], [], [], 0.1)
    return proc.stdout.readline().decode("utf-8").rstrip("\n") if ready else None


if __name__ == "__main__":
    unittest.main()
