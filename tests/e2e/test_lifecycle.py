"""Tessik starts without any window, keeps running, and quits cleanly on SIGTERM and SIGINT."""

import os
import signal
import time
import unittest

from rig import Desktop


class Lifecycle(unittest.TestCase):
    def test_starts_windowless_and_quits_cleanly_on_signals(self):
        for sig in (signal.SIGTERM, signal.SIGINT):
            with self.subTest(signal=sig.name), Desktop("side_by_side") as d:
                d.start_tessik()
                time.sleep(1.0)
                self.assertIsNone(d.tessik.poll(), d.log())
                mapped = [w for w in d.windows() if w.get("mapped")]
                self.assertEqual(mapped, [], "nothing is shown at launch")
                # The normal quit path flushes the settings; a kill would not.
                self.assertEqual(d.stop_tessik(sig), 0, d.log())
                self.assertNotIn("QXcbConnection", d.log())

    def test_damaged_settings_file_does_not_stop_the_start(self):
        with Desktop("single") as d:
            conf = d.path(".config", "Tessik", "Tessik.ini")
            os.makedirs(os.path.dirname(conf), exist_ok=True)
            with open(conf, "wb") as f:
                f.write(b"[General]\ndefaultAction=@ByteArray(\\0)\nsaveDirectoryBookmark=12\n"
                        b"GlobalShortcuts_captureArea=@Variant(\\0\\0\\0\\x7f)\n\xff\xfe\x00junk\n")
            d.start_tessik()
            time.sleep(1.0)
            self.assertIsNone(d.tessik.poll(), d.log())
            self.assertEqual(d.stop_tessik(), 0, d.log())


if __name__ == "__main__":
    unittest.main()
