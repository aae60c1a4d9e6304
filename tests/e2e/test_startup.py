"""Start-up paths: the read-me message, a current directory too long for the
read-me path, a small screen, and a machine without a fixed disk."""

import os
import unittest

from zph_e2e import Checks, Scenario, hex_field
from zph_expected import CAPTION, COPY_FILES, LOW_RESOLUTION, text_bytes

PATH_CAPACITY = 261  # the program's path buffers, terminator included
README_TAIL = "\\readme.txt"
LONG_DIRECTORY_LENGTH = 252


class StartupTest(unittest.TestCase):

    def expect_copy_files_message(self, sc, c, lang):
        """Message 513 comes before the main dialog, which follows its OK."""
        sc.auto("wait", *sc.message_box_selector(), timeout=30)
        c.true("no main dialog while message 513 is shown", sc.absent(0.5, *sc.main_selector()) is None)
        caption, text = sc.read_message_box()
        c.equal("message caption", CAPTION.encode(), caption)
        c.equal("message 513", text_bytes(COPY_FILES, lang), text)
        sc.wait_main()

    def check_missing_readme(self, lang):
        with Scenario("missing-readme-" + lang, lang=lang) as sc, Checks(sc) as c:
            elsewhere = sc.c_path("elsewhere")
            os.makedirs(elsewhere)
            sc.start(cwd=elsewhere)  # readme.txt lies beside the program, not here
            self.expect_copy_files_message(sc, c, lang)
            sc.click_main(1)
            c.equal("exit code after Close", 0, sc.wait_exit())

    def test_missing_readme_english(self):
        self.check_missing_readme("en")

    def test_missing_readme_japanese(self):
        self.check_missing_readme("ja")

    def test_current_directory_too_long_for_the_readme_path(self):
        with Scenario("long-directory") as sc, Checks(sc) as c:
            # The directory fits the program's buffer; with "\readme.txt" it does not.
            parts, windows_path = [], "C:"
            while len(windows_path) < LONG_DIRECTORY_LENGTH:
                size = min(20, LONG_DIRECTORY_LENGTH - len(windows_path) - 1)
                parts.append(("level%02d" % len(parts) + "x" * 20)[:size])
                windows_path = "C:\\" + "\\".join(parts)
            deep = sc.c_path(*parts)
            os.makedirs(deep)
            Scenario.write_readme(deep)
            seen = hex_field(sc.auto("cwd", cwd=deep), "cwd").decode("ascii")
            self.assertEqual(windows_path, seen, "Wine does not give the deep directory as current directory")
            self.assertLess(len(seen), PATH_CAPACITY)
            self.assertGreaterEqual(len(seen) + len(README_TAIL), PATH_CAPACITY)

            sc.start(cwd=deep)
            self.expect_copy_files_message(sc, c, "en")
            c.true("no read-me opened from a cut path", sc.absent(1, "--class", "Notepad") is None)
            sc.click_main(1)
            c.equal("exit code after Close", 0, sc.wait_exit())

    def test_low_resolution(self):
        with Scenario("640x480", screen=(640, 480), show_info_file=0) as sc, Checks(sc) as c:
            sc.start()
            dialog = sc.dump_main()
            c.equal("control 401 at 640x480", text_bytes(LOW_RESOLUTION, "en"), dialog.text(401))
            c.true("button 202 (Overlay Test) disabled at 640x480", not dialog.control(202).enabled)
            sc.click_main(1)
            c.equal("exit code after Close", 0, sc.wait_exit())

    def test_no_fixed_drive_ends_silently(self):
        with Scenario("no-fixed-drive", non_fixed_drives=True, show_info_file=0) as sc, Checks(sc) as c:
            drives = sc.auto("drives")[0]
            self.assertNotIn("=3", drives, "a drive is still fixed (DRIVE_FIXED is 3): %s; set: %r"
                             % (drives, sc.drive_types))
            sc.start()
            shown = sc.absent(6)
            c.true("no window at all", shown is None, "shown: %r" % (shown,))
            c.equal("exit code", 0, sc.wait_exit())
            c.equal("halvern.ini untouched", b"[ZphTest]\r\nShowInfoFile=0\r\n", sc.read_ini())


if __name__ == "__main__":
    unittest.main()
