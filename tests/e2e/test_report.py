"""Save Info: the report file byte for byte, on the 9x and the NT family and
in Japanese, and how the Save As dialog's answers are honoured."""

import os
import time
import unittest

from zph_e2e import Checks, Scenario, hex_field
from zph_expected import describe_bytes_difference, expected_report, is_nine_x, parse_computer_line, wine_version

JUNK = b"an older file that must survive a No\r\n"
# The Save As dialog, told apart from its own overwrite question (same
# title) by its "Save in" folder combo box, cmb2.
SAVE_DIALOG = ["--title", "Save Info", "--class", "#32770", "--has", 0x471]


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


def listing(*directories):
    return {d: sorted(os.listdir(d)) for d in directories}


class ReportTest(unittest.TestCase):

    def start_and_expect(self, sc, setting):
        """Starts the program; returns the report it must write, from the
        version table and the processor and memory the dialog shows."""
        version = wine_version(setting)
        sc.start()
        computer = sc.dump_main().text(416).decode("ascii", "replace")
        parsed = parse_computer_line(computer)
        if parsed is None:
            self.fail("[%s] control 416 has an unexpected form: %r" % (sc.name, computer))
        processor, memory = parsed
        return expected_report(sc.lang, version.windows_line, processor, memory, is_nine_x(version))

    def check_report(self, c, what, expected, path, timeout=10):
        # The program writes the file after the Save As dialog has gone.
        deadline = time.monotonic() + timeout
        actual = read_bytes(path)
        while actual != expected and time.monotonic() < deadline:
            time.sleep(0.1)
            actual = read_bytes(path)
        if actual is None:
            c.true("%s: %s was written" % (what, path), False)
        else:
            c.true("%s: the bytes of %s" % (what, os.path.basename(path)), actual == expected,
                   describe_bytes_difference(expected, actual))

    def test_nine_x_report_name_handling_and_cancel(self):
        with Scenario("report-win98-en", version="win98", show_info_file=0) as sc, Checks(sc) as c:
            expected = self.start_and_expect(sc, "win98")
            self.assertIn(b"PCI BIOS Version:   N/A\r\n", expected)

            # A name typed without extension, relative to the folder the dialog
            # opens in: the current directory.
            lines = sc.save_report("zphreport")
            c.equal("the name the Save As dialog offers", b"zphtest.txt", hex_field(lines, "initial"))
            self.check_report(c, "name without extension", expected, sc.c_path("zph", "zphreport.txt"))
            c.true("no file without the .txt extension", not os.path.exists(sc.c_path("zph", "zphreport")))

            # Cancel writes nothing and says nothing.
            before = listing(sc.c_path("zph"), sc.c_path("out"))
            sc.click_main(205)
            sc.auto("key", *SAVE_DIALOG, "esc")
            sc.auto("gone", *SAVE_DIALOG)
            c.true("no message after Cancel", sc.absent(1, *sc.message_box_selector()) is None)
            c.equal("files after Cancel", before, listing(sc.c_path("zph"), sc.c_path("out")))

            # An existing file: No keeps it, Yes replaces it.
            old = sc.c_path("out", "old.txt")
            with open(old, "wb") as f:
                f.write(JUNK)
            lines = sc.save_report(r"C:\out\old.txt", overwrite="no")
            c.true("the dialog asks before replacing a file", "question" in lines, lines)
            sc.auto("key", *SAVE_DIALOG, "esc")
            sc.auto("gone", *SAVE_DIALOG)
            c.equal("old.txt after answering No", JUNK, read_bytes(old))
            lines = sc.save_report(r"C:\out\old.txt", overwrite="yes")
            c.true("the dialog asks before replacing a file", "question" in lines, lines)
            self.check_report(c, "after answering Yes", expected, old)

            sc.click_main(1)
            c.equal("exit code after Close", 0, sc.wait_exit())

    def test_nt_report_has_no_pci_bios_line(self):
        with Scenario("report-nt40-en", version="nt40", show_info_file=0) as sc, Checks(sc) as c:
            expected = self.start_and_expect(sc, "nt40")
            self.assertNotIn(b"PCI BIOS", expected)
            sc.save_report(r"C:\out\nt-report.txt")
            self.check_report(c, "NT report", expected, sc.c_path("out", "nt-report.txt"))
            sc.click_main(1)
            c.equal("exit code after Close", 0, sc.wait_exit())

    def test_japanese_report_status_in_cp932(self):
        with Scenario("report-win2k-ja", version="win2k", lang="ja", show_info_file=0) as sc, Checks(sc) as c:
            expected = self.start_and_expect(sc, "win2k")
            sc.save_report(r"C:\out\ja-report.txt")
            self.check_report(c, "Japanese report", expected, sc.c_path("out", "ja-report.txt"))
            sc.click_main(1)
            c.equal("exit code after Close", 0, sc.wait_exit())


if __name__ == "__main__":
    unittest.main()
