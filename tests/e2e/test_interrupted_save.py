"""A save that never finishes: the process dies in the middle of writing the file (here the
kernel stops it at a file-size limit, as a kill would), and nothing named is left in the save
folder; a later start removes what a dead process left there on a file system without unnamed
files, and only that."""

import os
import random
import resource
import signal
import subprocess
import unittest

from PIL import Image

import rig
from rig import Desktop, overlays, wait_until

# Far below the PNG of a noisy selection, far above the settings file.
FILE_SIZE_LIMIT = 256 * 1024


def show_noise(d):
    """A root of random pixels: its PNG cannot be compressed below several megabytes."""
    w, h = (int(v) for v in d.root_size.split("x"))
    path = os.path.join(d.tmp, "noise.png")
    Image.frombytes("RGB", (w, h), random.randbytes(w * h * 3)).save(path, compress_level=0)
    d.set_root_pattern(path)


def start_with_file_size_limit(d):
    d.tessik_log = os.path.join(d.tmp, "tessik.log")
    with open(d.tessik_log, "ab") as log:
        d.tessik = subprocess.Popen(
            [rig.TESSIK], env=d.env(), stdout=log, stderr=subprocess.STDOUT,
            preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_FSIZE,
                                                  (FILE_SIZE_LIMIT, FILE_SIZE_LIMIT)))
    d.wait_for_tessik_ready()


def folder_entries(d):
    folder = d.path("Pictures", "Tessik")
    return sorted(os.listdir(folder)) if os.path.isdir(folder) else []


def save_selection(d):
    d.xdotool("key", "ctrl+shift+2")
    wait_until(lambda: len(overlays(d)) == 1, timeout=10, what="the overlay")
    d.drag(100, 100, 1300, 900)
    d.key("ctrl+s")


class InterruptedSave(unittest.TestCase):
    def test_a_process_dying_mid_save_leaves_nothing_in_the_folder(self):
        with Desktop("single") as d:
            show_noise(d)
            start_with_file_size_limit(d)
            save_selection(d)
            # The kernel ends the process in the middle of its write.
            self.assertEqual(d.tessik.wait(30), -signal.SIGXFSZ, d.log())
            self.assertEqual(folder_entries(d), [])

            # The folder is as good as before: the next start saves normally.
            d.start_tessik()
            save_selection(d)
            saved = wait_until(lambda: folder_entries(d), timeout=20, what="the saved file")
            self.assertEqual(len(saved), 1, saved)
            self.assertRegex(saved[0], r"^Tessik_.*\.png$")

    def test_the_next_start_removes_what_dead_saves_left_and_nothing_else(self):
        with Desktop("single") as d:
            folder = d.path("Pictures", "Tessik")
            os.makedirs(folder)
            dead_pid = "2147483646"  # above any pid_max: no such process
            stale = [f".tessik-{dead_pid}-9c1e77a0.tmp", ".tessik-4be05c3f12.tmp"]
            kept = ["Tessik_2025-03-05_09-07-03.png", ".tessik-notes.txt", "tessik-1.tmp"]
            for name in stale + kept:
                with open(os.path.join(folder, name), "wb") as f:
                    f.write(b"\x89PNG" + b"\0" * 4096)
            d.start_tessik()
            wait_until(lambda: not set(stale) & set(folder_entries(d)), timeout=10,
                       what="the stale temporary files to go")
            self.assertEqual(folder_entries(d), sorted(kept))


if __name__ == "__main__":
    unittest.main()
