"""The HDD Test button end to end under Wine: the progress dialog, the rates
and bars of the main dialog, STOP, too little free space, existing test
files, and per-drive results.

Run with ZPH_E2E_BUILD set to the x86_64 build directory:
    ZPH_E2E_BUILD=/path/to/build python3 -m unittest tests/e2e/test_disk.py
(ZPH_E2E_WORK and ZPH_E2E_FIRST_DISPLAY keep a run apart from others), or
through run_e2e.py with -k Disk.
Wine maps a drive letter to a Unix directory through dosdevices/<letter>:;
it ignores FILE_FLAG_NO_BUFFERING, so the fast scenarios measure the page
cache, and the slow ones preload disk_slow_io.c to make every block of the
test file take a known extra time."""

import os
import shutil
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import zph_e2e as e2e  # noqa: E402
from disk_support import (  # noqa: E402
    use_own_display, DiskScenario, SmallTmpfs, qvr_files, possible_bands, rate_interval,
    HDD_TEST, STOP, PROGRESS_BAR, STATUS, READ_BAR, WRITE_BAR, READ_TEXT, WRITE_TEXT,
    WRITING, READING, NOT_TESTED, RED, YELLOW, GREEN)


def setUpModule():
    try:
        e2e.Session.get()
        use_own_display()
    except e2e.SetupError as e:
        raise unittest.SkipTest(str(e))


def tearDownModule():
    e2e.Session.close()


class DiskTestCase(unittest.TestCase):
    def setUp(self):
        work = e2e.Session.get().work
        self.root = tempfile.mkdtemp(prefix="drives-", dir=work)
        self.addCleanup(shutil.rmtree, self.root, True)

    def directory(self, name):
        path = os.path.join(self.root, name)
        os.makedirs(path)
        return path

    def start(self, s):
        s.start()
        s.wait_main()

    def assert_bars_match(self, s, read_text, write_text):
        """The painted bands of both bars lie where the two texts put them."""
        # The bars are painted at the refresh after the texts are set.
        time.sleep(1.0)
        dump = s.dump_main()
        for row, control in (("read", READ_BAR), ("write", WRITE_BAR)):
            painted, order, width = s.bar_bands(dump, control)
            allowed = possible_bands(width, read_text, write_text)[row]
            for colour, n, (lo, hi) in zip(("red", "yellow", "green"), painted, allowed):
                self.assertTrue(lo <= n <= hi, "%s bar: %s band %d px, the texts %r/%r allow %d to %d (W %d)"
                                % (row, colour, n, read_text, write_text, lo, hi, width))
            self.assertEqual([c for c in (RED, YELLOW, GREEN) if c in order], order,
                             "%s bar: bands out of order" % row)


class RunOnRealDirectory(DiskTestCase):
    def test_fast_drive_shows_rates_and_bars(self):
        d = self.directory("d")
        with DiskScenario("disk-fast", {"D": d}) as s:
            self.start(s)
            self.assertEqual((NOT_TESTED, NOT_TESTED), s.result_texts())
            s.select_drive("D")
            s.click_main(HDD_TEST)
            read_text, write_text = s.wait_result_texts(timeout=180)
            for t in (read_text, write_text):
                rate_interval(t)
            self.assertEqual([], qvr_files(d), "the test file is deleted")
            self.assert_bars_match(s, read_text, write_text)

    def test_slow_drive_shows_progress_dialog_and_exact_bars(self):
        d = self.directory("d")
        # About 14 ms a block: each 20 MiB pass lasts about 3 s, so one
        # cycle suffices and both rates land between 5 and 10 MB/s.
        with DiskScenario("disk-progress", {"D": d}, slow_ms=14, slow_dir=d) as s:
            self.start(s)
            s.select_drive("D")
            s.click_main(HDD_TEST)
            dialog = s.wait_progress()
            self.assertEqual(b"Zephon Test (Hard Disk)", dialog.window.title)
            self.assertEqual(b"&STOP", dialog.text(STOP))
            self.assertEqual("msctls_progress32", dialog.control(PROGRESS_BAR).class_name)
            seen = s.wait_status(WRITING)
            self.assertEqual(["QVR00.dat"], qvr_files(d), "the test file exists while it is written")
            seen += s.wait_status(READING)
            self.assertEqual({WRITING, READING}, set(seen) - {""})
            s.wait_progress_gone()
            read_text, write_text = s.wait_result_texts()
            self.assertRegex(read_text, r"^\d{4}KB/S$")
            self.assertRegex(write_text, r"^\d{4}KB/S$")
            self.assertEqual([], qvr_files(d))
            self.assert_bars_match(s, read_text, write_text)


class Stop(DiskTestCase):
    def test_stop_enter_and_escape(self):
        d = self.directory("d")
        # 25 ms a block: a write pass of 213 blocks takes over 5 s.
        with DiskScenario("disk-stop", {"D": d}, slow_ms=25, slow_dir=d) as s:
            self.start(s)
            s.select_drive("D")

            # STOP during the write pass.
            s.click_main(HDD_TEST)
            s.wait_status(WRITING)
            s.auto("click", *s.progress_selector(), STOP)
            s.wait_progress_gone(timeout=10)
            self.assertEqual([], qvr_files(d), "no test file left after STOP")
            self.assertEqual((NOT_TESTED, NOT_TESTED), s.result_texts(), "nothing stored")

            # Escape leaves the run going; Enter is STOP.
            s.click_main(HDD_TEST)
            s.wait_status(WRITING)
            s.auto("key", *s.progress_selector(), "esc")
            time.sleep(1.5)
            self.assertEqual(WRITING, s.status_text(), "Escape must not end the run")
            s.auto("key", *s.progress_selector(), "enter")
            s.wait_progress_gone(timeout=10)
            self.assertEqual([], qvr_files(d))
            self.assertEqual((NOT_TESTED, NOT_TESTED), s.result_texts())

            # The flag is cleared for the next run, which ends normally.
            s.click_main(HDD_TEST)
            s.wait_progress_gone(timeout=60)
            read_text, write_text = s.wait_result_texts()
            self.assertRegex(read_text, r"KB/S$")
            self.assertRegex(write_text, r"KB/S$")
            self.assertEqual([], qvr_files(d))


class FreeSpace(DiskTestCase):
    def test_drive_with_less_than_100_mib_free_shows_message_511(self):
        try:
            small = SmallTmpfs(50)
        except e2e.SetupError as e:
            self.skipTest(str(e))
        self.addCleanup(small.close)
        with DiskScenario("disk-small", {"D": small.path}) as s:
            self.start(s)
            s.select_drive("D")
            s.click_main(HDD_TEST)
            caption, text = s.read_message_box()
            self.assertEqual(b"Zephon Test", caption)
            self.assertEqual(b"You need more than 100MB of free disk space for testing", text)
            self.assertIsNone(s.absent(1, *s.progress_selector()), "no progress dialog")
            self.assertEqual([], os.listdir(small.path), "no file is touched")
            self.assertEqual((NOT_TESTED, NOT_TESTED), s.result_texts())


class TwoDrives(DiskTestCase):
    def test_existing_files_stay_and_each_drive_keeps_its_results(self):
        d = self.directory("d")
        e = self.directory("e")
        placed = {}
        for i in range(5):
            name = "QVR%02d.dat" % i
            data = ("placed file %d\r\n" % i).encode() * (i + 1)
            with open(os.path.join(d, name), "wb") as f:
                f.write(data)
            placed[name] = data
        # E: is slow and reads in KB/S; D: is the page cache and reads in MB/S.
        with DiskScenario("disk-two", {"D": d, "E": e}, slow_ms=14, slow_dir=e) as s:
            self.start(s)
            s.select_drive("D")
            s.click_main(HDD_TEST)
            d_texts = s.wait_result_texts(timeout=60)
            self.assertEqual(sorted(placed), qvr_files(d), "QVR05 is gone, QVR00 to QVR04 stay")
            for name, data in placed.items():
                with open(os.path.join(d, name), "rb") as f:
                    self.assertEqual(data, f.read(), name)

            s.select_drive("E")
            time.sleep(1)
            self.assertEqual((NOT_TESTED, NOT_TESTED), s.result_texts(), "E: not tested yet")
            s.click_main(HDD_TEST)
            s.wait_progress()
            s.wait_progress_gone(timeout=60)
            e_texts = s.wait_result_texts()
            self.assertNotEqual(d_texts, e_texts)
            self.assertEqual([], qvr_files(e))

            s.select_drive("D")
            time.sleep(1)
            self.assertEqual(d_texts, s.result_texts())
            s.select_drive("E")
            time.sleep(1)
            self.assertEqual(e_texts, s.result_texts())


if __name__ == "__main__":
    unittest.main()
