"""The command line on X11: help and usage in French without a display; each command handed to
the running instance over the session bus (the command exits 0 at once), or starting Tessik
first when none runs; the same through the bus interface that the tests call directly; and on
a desktop without a session bus, the lock file alone."""

import io
import os
import subprocess
import unittest

from PIL import Image

import rig
from rig import Desktop, overlays, wait_until

OPTIONS = ("--capture-area", "--capture-screen", "--settings", "--quit", "--help", "--version")
NAME = "io.github.tessik.Tessik"


def tessik(desktop, *args, env=None):
    """Runs a short-lived `tessik ARGS` on the desktop and returns its completed process."""
    return subprocess.run([rig.TESSIK, *args], env=env or desktop.env(), capture_output=True,
                          text=True, timeout=60)


def bus_call(desktop, method):
    """Calls a method of Tessik's interface on the desktop's bus, as another program would."""
    return desktop.run(["dbus-send", "--session", "--print-reply", f"--dest={NAME}",
                        "/io/github/tessik/Tessik", f"{NAME}.{method}"], check=False)


def name_owned(desktop):
    out = desktop.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                       "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                       f"string:{NAME}"]).stdout
    return out.strip().endswith("true")


def lock_files(desktop):
    return [f for f in os.listdir(desktop.tmp) if f.startswith("tessik-") and f.endswith(".lock")]


def settings_window(desktop):
    return [w for w in desktop.windows("Réglages Tessik") if w.get("mapped")]


def clipboard_size(desktop):
    png = desktop.clipboard("image/png")
    return Image.open(io.BytesIO(png)).size if png else None


class Effects:
    """What each command visibly does, and how to undo it, on the side_by_side layout with the
    pointer on the RIGHT display (1920x1080)."""

    @staticmethod
    def expect(test, desktop, command):
        if command == "--capture-area":
            wait_until(lambda: len(overlays(desktop)) == 2, timeout=10, what="two overlays")
            desktop.key("Escape")
            wait_until(lambda: not overlays(desktop), timeout=5, what="overlays to close")
        elif command == "--capture-screen":
            size = wait_until(lambda: clipboard_size(desktop), timeout=10, what="clipboard")
            test.assertEqual(size, (1920, 1080))
            test.assertEqual(overlays(desktop), [])
        elif command == "--settings":
            wait_until(lambda: settings_window(desktop), timeout=10, what="the settings window")
        elif command == "--quit":
            test.assertEqual(desktop.tessik.wait(10), 0, desktop.log())


class CommandLine(unittest.TestCase):
    def test_help_version_and_usage_errors_need_no_display(self):
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        run = lambda *args: subprocess.run([rig.TESSIK, *args], env=env, capture_output=True,
                                           text=True, timeout=30)
        helped = run("--help")
        self.assertEqual(helped.returncode, 0, helped.stderr)
        self.assertIn("Utilisation", helped.stdout)
        self.assertIn("Capturer une zone de l'écran.", helped.stdout)
        for option in OPTIONS:
            self.assertIn(option, helped.stdout)
        self.assertEqual(run("-h").stdout, helped.stdout)
        version = run("--version")
        self.assertEqual(version.returncode, 0)
        # A snapshot build says which commit it is after the release number.
        self.assertRegex(version.stdout, r"^Tessik \d+\.\d+\.\d+([~+]git\d+\.g[0-9a-f]+)?(\.dirty)?\n$")
        for args, reason in ((["--bogus"], 'Option inconnue "bogus"'),
                             (["--capture-area", "--quit"], "Une seule commande à la fois."),
                             (["capture"], "Argument inattendu : capture")):
            with self.subTest(args=args):
                wrong = run(*args)
                self.assertEqual(wrong.returncode, 2)
                self.assertEqual(wrong.stdout, "")
                self.assertIn(reason, wrong.stderr)
                self.assertIn("Utilisation", wrong.stderr)

    def test_each_command_reaches_the_running_instance(self):
        for command in ("--capture-area", "--capture-screen", "--settings", "--quit"):
            with self.subTest(command=command), Desktop("side_by_side", bus=True,
                                                        wm=True) as d:
                d.start_tessik()
                d.xdotool("mousemove", 2400, 500)
                done = tessik(d, command)
                self.assertEqual((done.returncode, done.stdout, done.stderr), (0, "", ""))
                Effects.expect(self, d, command)
                if command != "--quit":
                    self.assertIsNone(d.tessik.poll(), d.log())
                    self.assertEqual(d.stop_tessik(), 0, d.log())
                # Quitting through the normal path releases the instance lock and the name.
                self.assertEqual(lock_files(d), [])
                self.assertFalse(name_owned(d))

    def test_each_command_starts_tessik_when_none_runs(self):
        for command in ("--capture-area", "--capture-screen", "--settings"):
            with self.subTest(command=command), Desktop("side_by_side", bus=True,
                                                        wm=True) as d:
                d.xdotool("mousemove", 2400, 500)
                d.start_tessik([command], wait=False)
                Effects.expect(self, d, command)
                # The process that performed it is the instance, and stays.
                self.assertIsNone(d.tessik.poll(), d.log())
                self.assertTrue(name_owned(d))
        with Desktop("single", bus=True) as d:
            quit_alone = tessik(d, "--quit")
            self.assertEqual(quit_alone.returncode, 0, quit_alone.stderr)
            self.assertFalse(name_owned(d), "--quit starts nothing")

    def test_a_plain_second_start_says_tessik_runs_and_leaves_it_running(self):
        with Desktop("single", bus=True) as d:
            d.start_tessik()
            second = subprocess.Popen([rig.TESSIK], env=d.env(), stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL)
            d.procs.append(second)
            alert = wait_until(lambda: [w for w in d.windows_of(second.pid) if w.get("mapped")],
                               timeout=15, what="the already-running alert")
            title = d.run(["xdotool", "getwindowname", str(alert[0]["id"])]).stdout
            self.assertTrue(title.startswith("Tessik est déjà lancé"), title)
            self.assertGreaterEqual(alert[0]["width"], 400, "wide enough for its title")
            d.xdotool("windowfocus", "--sync", alert[0]["id"])
            # Ctrl+C copies the alert's text: it names the shortcut to press.
            d.key("ctrl+c")
            text = wait_until(lambda: (d.clipboard("UTF8_STRING") or b"").decode(),
                              timeout=5, what="the alert's text")
            self.assertIn("appuyez sur Ctrl+Maj+2 pour capturer une zone de l'écran", text)
            d.key("Return")
            self.assertEqual(second.wait(10), 0)
            self.assertIsNone(d.tessik.poll(), d.log())
            done = tessik(d, "--capture-area")
            self.assertEqual(done.returncode, 0, done.stderr)
            wait_until(lambda: len(overlays(d)) == 1, timeout=10, what="the overlay")

    def test_the_bus_interface_runs_each_command(self):
        with Desktop("side_by_side", bus=True, wm=True) as d:
            d.start_tessik()
            d.xdotool("mousemove", 2400, 500)
            for method, command in (("CaptureArea", "--capture-area"),
                                    ("CaptureScreen", "--capture-screen"),
                                    ("ShowSettings", "--settings"), ("Quit", "--quit")):
                with self.subTest(method=method):
                    reply = bus_call(d, method)
                    self.assertEqual(reply.returncode, 0, reply.stderr)
                    Effects.expect(self, d, command)
            self.assertNotEqual(bus_call(d, "Quit").returncode, 0, "nobody answers any more")

    def test_without_a_session_bus_the_lock_file_decides(self):
        with Desktop("side_by_side") as d:
            d.start_tessik(["--capture-area"], wait=False)
            Effects.expect(self, d, "--capture-area")
            refused = tessik(d, "--capture-area")
            self.assertEqual(refused.returncode, 1)
            self.assertIn("sans bus de session", refused.stderr)
            self.assertEqual(overlays(d), [])
            self.assertIsNone(d.tessik.poll(), d.log())
            self.assertEqual(d.stop_tessik(), 0, d.log())
            self.assertEqual(lock_files(d), [])
            quit_alone = tessik(d, "--quit")
            self.assertEqual(quit_alone.returncode, 0, quit_alone.stderr)


if __name__ == "__main__":
    unittest.main()
