"""The command line in a Wayland session (headless sway, two outputs, the mock screenshot portal):
--settings opens the settings window and --quit ends the instance through its normal
termination, a command with no instance running starts one that performs it, and a sway key
binding running `tessik --capture-area` opens the running instance's overlays."""

import shlex
import subprocess
import unittest

import rig
from rig import wait_until
from wlrig import OUTPUTS, WaylandDesktop

NAME = "io.github.tessik.Tessik"


def tessik(desktop, *args):
    return subprocess.run([rig.TESSIK, *args], env=desktop.env(), capture_output=True, text=True,
                          timeout=60)


def name_owned(desktop):
    out = desktop.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                       "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                       f"string:{NAME}"]).stdout
    return out.strip().endswith("true")


def settings_windows(desktop):
    return [w for w in desktop.windows() if (w.get("name") or "").startswith("Réglages Tessik")]


def all_windows(desktop):
    """Every client window on the desktop, whoever shows it."""
    found = []

    def walk(node):
        if node.get("pid"):
            found.append(node)
        for child in node.get("nodes", []) + node.get("floating_nodes", []):
            walk(child)
    walk(desktop.tree())
    return found


def wait_for_overlays(desktop):
    """Tessik's overlays, once there is one on each output."""
    return wait_until(lambda: len(desktop.overlays()) == len(OUTPUTS) and desktop.overlays(),
                      timeout=30, what="an overlay on each output")


def close_overlays(desktop):
    # The pointer enters the first output's overlay, so the keyboard goes there.
    desktop.rfb(0, "move:10,10", "sleep:0.3")
    desktop.key(0, 0xff1b)  # Escape
    wait_until(lambda: not desktop.overlays(), timeout=15, what="the overlays to close")


class WaylandCommandLine(unittest.TestCase):
    def test_settings_then_quit_reach_the_running_instance(self):
        with WaylandDesktop(portal="mock") as d:
            d.start_tessik()
            done = tessik(d, "--settings")
            self.assertEqual((done.returncode, done.stderr), (0, ""))
            wait_until(lambda: settings_windows(d), timeout=15, what="the settings window")
            again = tessik(d, "--settings")
            self.assertEqual(again.returncode, 0)
            self.assertEqual(len(settings_windows(d)), 1, "the same window, not a second one")
            self.assertTrue(all(w["pid"] == d.tessik.pid for w in settings_windows(d)))

            done = tessik(d, "--quit")
            self.assertEqual((done.returncode, done.stderr), (0, ""))
            self.assertEqual(d.tessik.wait(15), 0, d.log())
            self.assertFalse(name_owned(d))
            self.assertEqual(tessik(d, "--quit").returncode, 0, "nothing to quit, nothing started")
            self.assertFalse(name_owned(d))

    def test_a_command_with_no_instance_running_starts_one(self):
        with WaylandDesktop(portal="mock") as d:
            d.start_tessik(["--settings"], wait=False)
            window = wait_until(lambda: settings_windows(d), timeout=20,
                                what="the settings window")[0]
            self.assertEqual(window["pid"], d.tessik.pid)
            # The process that performed it is the instance, and stays.
            self.assertIsNone(d.tessik.poll(), d.log())
            self.assertTrue(name_owned(d))

        with WaylandDesktop(portal="mock") as d:
            d.start_tessik(["--capture-area"], wait=False)
            overlays = wait_for_overlays(d)
            self.assertEqual({w["pid"] for w in overlays.values()}, {d.tessik.pid})
            close_overlays(d)
            self.assertIsNone(d.tessik.poll(), d.log())
            self.assertTrue(name_owned(d))

    def test_a_sway_key_binding_opens_the_overlays(self):
        with WaylandDesktop(portal="mock") as d:
            d.start_tessik()
            d.swaymsg("bindsym", "F9", "exec", shlex.quote(rig.TESSIK) + " --capture-area")
            d.key(0, 0xffc6)  # F9, through the first output's virtual keyboard
            overlays = wait_for_overlays(d)
            # They come from the running instance alone.
            self.assertEqual({w["pid"] for w in all_windows(d)}, {d.tessik.pid})
            self.assertEqual({w["pid"] for w in overlays.values()}, {d.tessik.pid})
            close_overlays(d)
            self.assertIsNone(d.tessik.poll(), d.log())

if __name__ == "__main__":
    unittest.main()
