"""Copy and save end to end on a real X server: the overlay's Ctrl+C and Ctrl+S, the tray's
full-screen capture, what lands on the clipboard and on disk, the confirmation toast, and the
alert when the save folder is unusable."""

import contextlib
import glob
import io
import json
import os
import re
import subprocess
import sys
import time
import unittest

from PIL import Image

import patterns
import toolbar
from rig import Desktop, overlays, show_coordinate_pattern, toast, wait_until

HERE = os.path.dirname(os.path.abspath(__file__))
HOTKEY = "ctrl+shift+2"
PASTE_PROBE = os.environ.get("PASTE_PROBE", "paste_probe")
ACCENT = (255, 77, 28)
CREAM = (244, 241, 236)
TOAST_HEIGHT = 38


def open_overlays(d, count):
    d.key(HOTKEY)
    wait_until(lambda: len(overlays(d)) == count, timeout=10, what=f"{count} overlays")


def copy_area(test, d, count, x0, y0, x1, y1):
    """Opens the overlays, selects from (x0, y0) to (x1, y1) and copies: the PNG and TIFF read
    back, checked to hold the same pixels."""
    open_overlays(d, count)
    d.drag(x0, y0, x1, y1)
    d.key("ctrl+c")
    return clipboard_images(test, d)


def own_clipboard_text(d, text):
    """Puts text on the clipboard from another client (xclip serves it until someone else
    takes the clipboard, then exits)."""
    proc = subprocess.Popen(["xclip", "-selection", "clipboard", "-i"], env=d.env(),
                            stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    proc.stdin.write(text.encode())
    proc.stdin.close()
    wait_until(lambda: d.clipboard("UTF8_STRING") == text.encode(), timeout=5,
               what="the earlier text on the clipboard")
    return proc


@contextlib.contextmanager
def clipboard_manager(test, d, saved_path):
    """A clipboard manager on the desktop (clipboard_manager.py) for the block's length."""
    manager = subprocess.Popen(
        [sys.executable, os.path.join(HERE, "clipboard_manager.py"), saved_path],
        env=d.env(), stdout=subprocess.PIPE, text=True)
    try:
        test.assertEqual(manager.stdout.readline().strip(), "ready")
        yield manager
    finally:
        manager.kill()
        manager.wait()
        manager.stdout.close()


def paste_multiple(d, targets):
    """One MULTIPLE request for several targets of the clipboard, as ICCCM describes it: the
    value each target got, None where it was refused; None for a refused request."""
    from Xlib import X, display
    x = display.Display(d.env()["DISPLAY"])
    try:
        window = x.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
        pair, request = x.intern_atom("ATOM_PAIR"), x.intern_atom("TESSIK_MULTIPLE")
        props = [x.intern_atom(f"TESSIK_MULTIPLE_{i}") for i in range(len(targets))]
        window.change_property(request, pair, 32,
                               [a for t, p in zip(targets, props) for a in (x.intern_atom(t), p)])
        window.convert_selection(x.intern_atom("CLIPBOARD"), x.intern_atom("MULTIPLE"), request,
                                 X.CurrentTime)
        x.flush()
        deadline = time.monotonic() + 10
        while True:
            if time.monotonic() > deadline:
                raise TimeoutError("no answer to MULTIPLE")
            if not x.pending_events():
                time.sleep(0.01)
                continue
            e = x.next_event()
            if e.type == X.SelectionNotify:
                break
        if e.property == X.NONE:
            return None
        answered = window.get_full_property(request, pair).value
        values = []
        for i, prop in enumerate(props):
            got = window.get_full_property(prop, X.AnyPropertyType) if answered[2 * i + 1] else None
            values.append(got.value if got else None)
        return values
    finally:
        x.close()


def assert_pattern_region(test, image, left, top, scale=1):
    """Every pixel of image is the root pattern pixel it was captured from."""
    rgb = image.convert("RGB")
    w, h = rgb.size
    for y in range(0, h, max(1, h // 37)):
        for x in range(0, w, max(1, w // 41)):
            test.assertEqual(patterns.decode(rgb.getpixel((x, y))), (left + x, top + y),
                             f"pixel {x},{y}")
    test.assertEqual(patterns.decode(rgb.getpixel((w - 1, h - 1))), (left + w - 1, top + h - 1))


def clipboard_images(test, d):
    png = wait_until(lambda: d.clipboard("image/png"), timeout=10, what="a PNG on the clipboard")
    tiff = d.clipboard("image/tiff")
    test.assertIsNotNone(tiff)
    a = Image.open(io.BytesIO(png)).convert("RGB")
    b = Image.open(io.BytesIO(tiff)).convert("RGB")
    test.assertEqual(a.size, b.size)
    test.assertEqual(a.tobytes(), b.tobytes(), "PNG and TIFF hold the same pixels")
    return a


def paste(d, target, name, give_up_after=None, time=None):
    """Starts a paste of the clipboard as another application makes it, stamped with the given
    server time (else CurrentTime); returns the process and the file the content goes to
    (paste_probe's JSON line comes on its output)."""
    out = d.path(name)
    argv = [PASTE_PROBE, target, out] + ([str(give_up_after)] if give_up_after else [])
    env = d.env(PASTE_TIME=str(time)) if time is not None else d.env()
    return subprocess.Popen(argv, env=env, stdout=subprocess.PIPE, text=True), out


def pasted(proc, out):
    report = json.loads(proc.communicate(timeout=30)[0])
    with open(out, "rb") as f:
        return report, f.read()


class CopyAndSave(unittest.TestCase):
    def test_copy_on_a_2x_display_puts_png_then_tiff_and_shows_the_toast_there(self):
        with Desktop("hidpi") as d:
            show_coordinate_pattern(d)
            d.start_tessik()
            earlier = own_clipboard_text(d, "earlier text")
            # Native pixels 200,200 to 600,400 on the 2x display: 200x100 points.
            image = copy_area(self, d, 2, 200, 200, 600, 400)
            self.assertEqual(d.clipboard_targets()[:2], ["image/png", "image/tiff"])
            self.assertNotIn("UTF8_STRING", d.clipboard_targets())
            self.assertEqual(image.size, (400, 200))
            assert_pattern_region(self, image, 200, 200)
            earlier.wait(5)

            shown = wait_until(lambda: toast(d), timeout=5, what="the toast")
            # Centred on the 1440x900-point display, bottom 120 points above its bottom; X
            # measures native pixels, twice the points.
            self.assertEqual(shown["height"], 2 * TOAST_HEIGHT)
            self.assertEqual(shown["y"] + shown["height"], 2 * (900 - 120))
            self.assertLessEqual(abs(shown["x"] + shown["width"] / 2 - 1440), 2)
            self.assertTrue(shown["override_redirect"])

    def test_a_large_copy_goes_in_chunks_to_readers_at_once_and_one_giving_up_stops_nothing(self):
        with Desktop("hidpi") as d:
            show_coordinate_pattern(d)
            d.start_tessik()
            open_overlays(d, 2)
            # Nearly all of the 2x display: its TIFF is about 15 MB.
            d.drag(4, 4, 2876, 1796)
            d.key("ctrl+c")
            wait_until(lambda: d.clipboard_targets()[:2] == ["image/png", "image/tiff"],
                       timeout=10, what="the copy on the clipboard")
            # A request stamped before Tessik took the clipboard asks for an older owner's
            # content: refused, not given the new image.
            report, _ = pasted(*paste(d, "image/png", "stale.png", time=1))
            self.assertEqual((report["ok"], report["bytes"]), (False, 0))
            # A reader that stops after the first chunk and goes away.
            report, _ = pasted(*paste(d, "image/tiff", "given-up.tiff", give_up_after=1))
            self.assertEqual((report["ok"], report["incremental"], report["chunks"]),
                             (False, True, 1))
            # Two readers at once, each given the whole image.
            readers = [paste(d, "image/png", "pasted.png"), paste(d, "image/tiff", "pasted.tiff")]
            (png_report, png), (tiff_report, tiff) = [pasted(*r) for r in readers]
            self.assertTrue(png_report["ok"] and tiff_report["ok"])
            self.assertEqual(tiff_report["bytes"], len(tiff))
            # Chunks the X server can take without fresh memory for each paste.
            self.assertTrue(tiff_report["incremental"])
            self.assertLessEqual(tiff_report["largest"], 1 << 20)
            a = Image.open(io.BytesIO(png)).convert("RGB")
            b = Image.open(io.BytesIO(tiff)).convert("RGB")
            self.assertEqual(a.size, (2872, 1792))
            self.assertEqual(a.tobytes(), b.tobytes(), "PNG and TIFF hold the same pixels")
            assert_pattern_region(self, a, 4, 4)

    def test_a_copy_is_taken_back_after_another_owner_and_outlives_tessik_in_a_manager(self):
        with Desktop("hidpi") as d:
            show_coordinate_pattern(d)
            saved_path = d.path("saved.png")
            with clipboard_manager(self, d, saved_path):
                d.start_tessik()
                copy_area(self, d, 2, 200, 200, 600, 400)
                self.assertEqual(d.clipboard_targets(), ["image/png", "image/tiff", "TARGETS",
                                                         "MULTIPLE", "TIMESTAMP", "SAVE_TARGETS"])
                report, stamp = pasted(*paste(d, "TIMESTAMP", "stamp"))
                self.assertTrue(report["ok"])
                self.assertEqual(len(stamp), 4)
                self.assertNotEqual(int.from_bytes(stamp, "little"), 0)
                stamp2, png, text = paste_multiple(d, ["TIMESTAMP", "image/png", "UTF8_STRING"])
                self.assertEqual(list(stamp2), [int.from_bytes(stamp, "little")])
                self.assertEqual(bytes(png), d.clipboard("image/png"))
                self.assertFalse(text)
                # Other targets are Qt's to answer: no text, as before.
                report, text = pasted(*paste(d, "UTF8_STRING", "text"))
                self.assertEqual(text, b"")

                # Another application's text replaces the copy; a new copy takes its place.
                earlier = own_clipboard_text(d, "someone else's")
                self.assertNotIn("image/tiff", d.clipboard_targets())
                image = copy_area(self, d, 2, 600, 400, 1000, 600)
                assert_pattern_region(self, image, 600, 400)
                earlier.wait(5)

                # Quitting hands the copy over to the clipboard manager, which keeps serving it.
                self.assertEqual(d.stop_tessik(), 0)
                with Image.open(saved_path) as saved:
                    self.assertEqual(saved.convert("RGB").tobytes(), image.tobytes())
                served = wait_until(lambda: d.clipboard("image/png"), timeout=5,
                                    what="the manager's copy")
                self.assertEqual(Image.open(io.BytesIO(served)).convert("RGB").tobytes(),
                                 image.tobytes())

    def test_tessik_quitting_after_another_owner_took_the_clipboard_leaves_it_alone(self):
        with Desktop("single") as d:
            show_coordinate_pattern(d)
            saved_path = d.path("saved.png")
            with clipboard_manager(self, d, saved_path):
                d.start_tessik()
                copy_area(self, d, 1, 100, 100, 300, 200)
                earlier = own_clipboard_text(d, "someone else's")
                # Tessik knows it lost the clipboard: it asks no manager to keep it.
                self.assertEqual(d.stop_tessik(), 0)
                self.assertFalse(os.path.exists(saved_path))
                self.assertEqual(d.clipboard("UTF8_STRING"), b"someone else's")
                earlier.kill()

    def test_save_with_an_annotation_writes_the_composed_pixels_and_confirms(self):
        with Desktop("side_by_side") as d:
            show_coordinate_pattern(d)
            d.start_tessik()
            open_overlays(d, 2)
            # RIGHT is at 1440,0 (1920x1080): the selection is 300x200 at root 1600,200.
            d.drag(1600, 200, 1900, 400)
            time.sleep(0.2)
            # The tool bar sits 10 points under the selection, centred on it; its third
            # button (after select and arrow) is the rectangle tool.
            bar_left = 1440 + (310 - 291)
            bar_top = 1080 - (680 - 10 - 44) - 44
            d.xdotool("mousemove", bar_left + 8 + 2 * 30 + 15, bar_top + 44 - 8 - 14)
            d.xdotool("click", 1)
            time.sleep(0.2)
            d.drag(1650, 250, 1800, 350)
            d.key("ctrl+s")

            folder = d.path("Pictures", "Tessik")
            files = wait_until(lambda: glob.glob(os.path.join(folder, "*")), timeout=10,
                               what="the saved file")
            self.assertEqual(len(files), 1)
            name = os.path.basename(files[0])
            self.assertRegex(name, r"^Tessik_\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d\.png$")
            self.assertEqual(os.stat(files[0]).st_mode & 0o777, 0o644)
            image = Image.open(files[0]).convert("RGB")
            self.assertEqual(image.size, (300, 200))
            self.check_annotated(image, left=1600, top=200, rect=(50, 50, 200, 150))

            shown = wait_until(lambda: toast(d), timeout=5, what="the toast")
            self.assertEqual(shown["height"], TOAST_HEIGHT)
            self.assertEqual(shown["y"], 1080 - 120 - TOAST_HEIGHT)
            self.assertLessEqual(abs(shown["x"] + shown["width"] / 2 - (1440 + 960)), 1)
            # Clicks go through: the pointer over the toast is over the root, not the toast.
            d.xdotool("mousemove", shown["x"] + shown["width"] // 2, shown["y"] + 19)
            under = d.run(["xdotool", "getmouselocation", "--shell"]).stdout
            self.assertNotIn(f"WINDOW={shown['id']}\n", under)
            # It goes away on its own: 1.5 s from the fade-in, then a 0.25 s fade-out.
            seen = time.monotonic()
            wait_until(lambda: toast(d) is None, timeout=5, what="the toast to go")
            self.assertGreater(time.monotonic() - seen, 1.0)
            self.assertEqual(len(glob.glob(os.path.join(folder, "*"))), 1)

    def check_annotated(self, image, left, top, rect):
        """Pixels away from the rectangle's outline are the captured ones; the outline is the
        accent colour."""
        x0, y0, x1, y1 = rect
        margin = 8
        accent = 0
        for y in range(image.height):
            for x in range(0, image.width, 3):
                near_outline = (x0 - margin <= x <= x1 + margin and y0 - margin <= y <= y1 + margin
                                and not (x0 + margin < x < x1 - margin
                                         and y0 + margin < y < y1 - margin))
                pixel = image.getpixel((x, y))
                if near_outline:
                    accent += pixel == ACCENT
                else:
                    self.assertEqual(patterns.decode(pixel), (left + x, top + y), f"{x},{y}")
        self.assertGreater(accent, 100, "the rectangle is drawn in the accent colour")

    def test_an_unusable_save_folder_keeps_the_capture_on_the_clipboard_and_says_so(self):
        with Desktop("single") as d:
            show_coordinate_pattern(d)
            blocker = d.path("not-a-folder")
            with open(blocker, "w") as f:
                f.write("mine")
            os.makedirs(d.path(".config", "Tessik"), exist_ok=True)
            with open(d.path(".config", "Tessik", "Tessik.ini"), "w") as f:
                f.write(f"[General]\nsaveDirectory={blocker}/Tessik\n")
            d.start_tessik()
            open_overlays(d, 1)
            d.drag(100, 100, 300, 200)
            d.key("ctrl+s")
            alert = wait_until(lambda: [w for w in d.windows("Capture impossible")
                                        if w.get("mapped")], timeout=10, what="the alert")
            self.assertEqual(len(alert), 1)
            # Nothing is lost: the selection is on the clipboard as a copy would leave it.
            image = clipboard_images(self, d)
            self.assertEqual(image.size, (200, 100))
            assert_pattern_region(self, image, 100, 100)
            time.sleep(0.5)
            self.assertIsNone(toast(d))
            with open(blocker) as f:
                self.assertEqual(f.read(), "mine")
            self.assertFalse(os.path.exists(d.path("Pictures", "Tessik")))
            # Wide enough for its title beside a title bar's buttons ("Captu…essik" at 189).
            self.assertGreaterEqual(alert[0]["width"], 400)
            # A message box copies its texts on Ctrl+C: the reason, the folder, the rescue.
            d.xdotool("windowfocus", "--sync", alert[0]["id"])
            d.key("ctrl+c")
            text = wait_until(lambda: (d.clipboard("UTF8_STRING") or b"").decode(),
                              timeout=5, what="the alert's text").replace("\r", "")
            self.assertIn("Impossible d'écrire dans le dossier d'enregistrement : "
                          "un fichier porte déjà ce nom.\n"
                          f"Dossier : {blocker}/Tessik\n"
                          "La capture a été copiée dans le presse-papiers.", text)
            # The text replaced the image: a paste of the image is refused, not served the old one.
            self.assertFalse((d.clipboard("image/png") or b"").startswith(b"\x89PNG"))

    def test_a_selection_dragged_onto_the_next_display_stops_at_its_edge(self):
        with Desktop("side_by_side") as d:
            show_coordinate_pattern(d)
            d.start_tessik()
            open_overlays(d, 2)
            # From LEFT (1440 wide) onto RIGHT: the selection ends at LEFT's last column.
            d.drag(1200, 300, 1700, 500)
            time.sleep(0.3)
            shot = Image.open(d.screenshot(os.path.join(d.tmp, "shot.png"))).convert("RGB")
            # The right edge's middle handle sits on LEFT's edge, half of it on screen.
            self.assertEqual(shot.getpixel((1437, 400)), CREAM)
            d.key("ctrl+c")
            image = clipboard_images(self, d)
            self.assertEqual(image.size, (240, 200))
            assert_pattern_region(self, image, 1200, 300)


    def test_the_tool_bar_keeps_copy_on_screen_on_a_display_narrower_than_itself(self):
        with Desktop("portrait_hidpi") as d:
            show_coordinate_pattern(d)
            d.start_tessik()
            d.xdotool("mousemove", 500, 500)
            open_overlays(d, 2)
            selection = (200, 400, 800, 900)
            d.drag(*selection)
            time.sleep(0.3)
            d.xdotool("mousemove",
                      *toolbar.item_point("copy", selection, (0, 0, 1080, 1920, 2)))
            d.xdotool("click", 1)
            image = clipboard_images(self, d)
            self.assertEqual(image.size, (600, 500))
            assert_pattern_region(self, image, 200, 400)


class FullScreen(unittest.TestCase):
    def test_tray_full_screen_capture_copies_the_display_under_the_pointer(self):
        with Desktop("side_by_side", tray=True) as d:
            show_coordinate_pattern(d)
            d.start_tessik()
            icon = d.click_tray_icon()
            wait_until(d.popup_menus, timeout=5, what="the tray menu")
            # The second item: "Capture plein écran". The pointer stays on the tray icon.
            d.key("Down", "Down", "Return")
            image = clipboard_images(self, d)
            # The tray host docks on one display or the other; the pointer is on that one.
            left, size = ((0, (1440, 900)) if icon["x"] < 1440 else (1440, (1920, 1080)))
            self.assertEqual(image.size, size)
            # The whole display at full resolution; the tray host's strip at its top is real
            # screen content, so the pattern is checked below it.
            below_tray = image.crop((0, 40, image.width, image.height))
            assert_pattern_region(self, below_tray, left, 40)
            time.sleep(0.5)
            self.assertIsNone(toast(d), "a full-screen capture shows no toast")

    def test_the_last_pixel_column_of_a_2x_display_captures_that_display(self):
        # The ordinary display is the primary one: a pointer taken for being nowhere would
        # capture it instead.
        with Desktop("hidpi_secondary", tray=True) as d:
            d.start_tessik()
            for pointer in ((2879, 900), (1000, 1799)):
                with self.subTest(pointer=pointer):
                    own_clipboard_text(d, "before")
                    d.click_tray_icon()
                    wait_until(d.popup_menus, timeout=5, what="the tray menu")
                    d.xdotool("mousemove", *pointer)
                    d.key("Down", "Down", "Return")
                    # xclip serves its text for any type until Tessik takes the clipboard.
                    wait_until(lambda: (d.clipboard("image/png") or b"").startswith(b"\x89PNG"),
                               timeout=10, what="the capture on the clipboard")
                    self.assertEqual(clipboard_images(self, d).size, (2880, 1800))


if __name__ == "__main__":
    unittest.main()
