"""The Overlay Test button end to end under Wine: the magenta test window,
the questions and their captions, the status the answers leave, and the
bytes the program writes into the overlay surface.

Wine's own DirectDraw has no overlays, so the scenarios that need one load
the program's test DirectDraw (tests/e2e/fakes/ddraw) through a DLL
override; it reports a 32-bit primary surface the size of the screen, keeps
its surfaces in memory and records the calls it gets.

Run with ZPH_E2E_BUILD set to the x86_64 build directory:
    ZPH_E2E_BUILD=/path/to/build python3 -m unittest tests/e2e/test_overlay.py"""

import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import zph_e2e as e2e  # noqa: E402
from overlay_support import (  # noqa: E402
    OverlayScenario, OVERLAY_TEST, QUESTION, IDYES, IDNO, OVERLAY_WIDTH, OVERLAY_HEIGHT, OVERLAY_PITCH,
    GAP_FILL, expected_row, fake_ddraw_path, field, parse_rect)

SCREEN = (1024, 768)
MAGENTA = (255, 0, 255)
FOURCC = {"YUY2": "0x32595559", "UYVY": "0x59565955"}


def setUpModule():
    try:
        e2e.Session.get()
    except e2e.SetupError as e:
        raise unittest.SkipTest(str(e))


def tearDownModule():
    e2e.Session.close()


class OverlayTestCase(unittest.TestCase):
    def assert_centred_window(self, window, client, screen=SCREEN):
        """The window holds a 720 x 576 client area and is centred on the screen."""
        left, top, right, bottom = window.rect
        width, height = right - left, bottom - top
        # The program divides truncating toward zero, so a window taller than
        # the screen sits at -1 for 3 pixels too many, not at -2.
        self.assertEqual((int((screen[0] - width) / 2), int((screen[1] - height) / 2)), (left, top), window.rect)
        if client is not None:
            self.assertEqual((OVERLAY_WIDTH, OVERLAY_HEIGHT), (client[2] - client[0], client[3] - client[1]))
            self.assertTrue(left <= client[0] and client[2] <= right and top < client[1] and client[3] <= bottom,
                            "client %r outside the window %r" % (client, window.rect))
        else:
            # Without the client rectangle: a frame and a caption around 720 x 576.
            self.assertTrue(OVERLAY_WIDTH < width < OVERLAY_WIDTH + 40, width)
            self.assertTrue(OVERLAY_HEIGHT + 10 < height < OVERLAY_HEIGHT + 80, height)

    def run_overlay_test(self, s):
        watcher = s.watch_test_window()
        s.click_main(OVERLAY_TEST)
        return s.test_window_seen(watcher)


class WineDirectDraw(OverlayTestCase):
    def test_no_overlay_means_no_question_and_not_supported(self):
        with OverlayScenario("overlay-wine-ddraw", screen=SCREEN) as s:
            s.start()
            s.wait_main()
            self.assertEqual("Not tested", s.status())
            window = self.run_overlay_test(s)
            self.assertEqual(b"Zephon Test", window.title)
            self.assert_centred_window(window, None)
            s.wait_test_window_gone()
            self.assertTrue(s.no_question(3), "a question was asked without an overlay")
            self.assertEqual("Overlay not supported", s.status())
            # The program is still alive and answers.
            s.click_main(OVERLAY_TEST)
            s.wait_test_window_gone()
            self.assertEqual("Overlay not supported", s.status())


class TestDirectDraw(OverlayTestCase):
    def setUp(self):
        try:
            fake_ddraw_path()
        except e2e.SetupError as e:
            self.skipTest(str(e))

    def shown_rects(self, log, fmt):
        """The source and destination of the show of the overlay in fmt."""
        shows = [l for l in log if l.startswith("UpdateOverlay overlay") and field(l, "flags") == "0x4400"]
        self.assertTrue(shows, "no keyed show in the log")
        return parse_rect(field(shows[-1], "src")), parse_rect(field(shows[-1], "rect"))

    def assert_surface_bytes(self, s, fmt):
        dump = s.overlay_dump(fmt)
        self.assertEqual(OVERLAY_PITCH * OVERLAY_HEIGHT, len(dump))
        row = expected_row(fmt)
        for y in range(OVERLAY_HEIGHT):
            start = y * OVERLAY_PITCH
            got = dump[start:start + len(row)]
            if got != row:
                x = next(i for i in range(len(row)) if got[i] != row[i])
                self.fail("%s row %d differs at byte %d: %s, expected %s" % (
                    fmt, y, x, got[x:x + 8].hex(" "), row[x:x + 8].hex(" ")))
            gap = dump[start + len(row):start + OVERLAY_PITCH]
            self.assertEqual(bytes([GAP_FILL]) * len(gap), gap, "%s row %d: the gap was written" % (fmt, y))

    def assert_log_balanced(self, log, formats):
        """Each format made one overlay in its pixel format, keyed to 32-bit
        magenta, locked without waiting, shown over the client area and hidden;
        every interface released to zero."""
        made = [l for l in log if l.startswith("CreateSurface") and field(l, "caps") == "0x80"]
        self.assertEqual(len(formats), len(made), made)
        for line, fmt in zip(made, formats):
            self.assertEqual("720", field(line, "width"))
            self.assertEqual("576", field(line, "height"))
            self.assertEqual("0x1007", field(line, "flags"))
            if fmt == "RGB565":
                self.assertEqual("0x40", field(line, "pf.flags"))
                self.assertEqual("0xF800,0x7E0,0x1F,0x0", field(line, "masks"))
            else:
                self.assertEqual(FOURCC[fmt], field(line, "fourcc"))
        keys = [l for l in log if l.startswith("SetColorKey")]
        self.assertEqual(["SetColorKey primary flags=0x4 low=0xFF00FF high=0xFF00FF"] * len(formats), keys)
        self.assertEqual(len(formats), sum(1 for l in log if l.startswith("GetCaps size=364 hel=none")))
        self.assertTrue(all(field(l, "flags") == "0x0" and field(l, "rect") == "none"
                            for l in log if l.startswith("Lock")))
        self.assertFalse([l for l in log if l.startswith("unsupported") or "locked" in l.split(" ")])
        hides = [l for l in log if l.startswith("UpdateOverlay") and field(l, "flags") == "0x200"]
        self.assertEqual(len(formats), len(hides))
        for kind in ("primary", "overlay"):
            releases = [l for l in log if l.startswith("Release %s " % kind)]
            self.assertEqual(["Release %s refs=0" % kind] * len(formats), releases)
        self.assertEqual(["Release directdraw refs=0"], [l for l in log if l.startswith("Release directdraw")])

    def test_yes_for_yuy2_ends_the_test_with_overlay_supported(self):
        with OverlayScenario("overlay-yes", fake=True, screen=SCREEN) as s:
            s.start()
            s.wait_main()
            window = self.run_overlay_test(s)
            s.wait_question()
            log = s.wait_log(lambda l: any(x.startswith("UpdateOverlay") for x in l))
            source, client = self.shown_rects(log, "YUY2")
            self.assertEqual((0, 0, 720, 576), source)
            self.assert_centred_window(window, client)
            # The test DirectDraw shows no real overlay, so the client area
            # shows the window's own magenta wherever the question leaves it visible.
            pixels = s.pixels(client)
            box = s.wait_question().rect
            outside = [p for y, row in enumerate(pixels) for x, p in enumerate(row)
                       if not (box[0] <= client[0] + x < box[2] and box[1] <= client[1] + y < box[3])]
            self.assertTrue(outside)
            self.assertEqual(set(outside), {MAGENTA})
            self.assert_surface_bytes(s, "YUY2")

            # The main dialog stays enabled under the question; a second press
            # meanwhile must not start a run that takes the surfaces away.
            s.click_main(OVERLAY_TEST)
            time.sleep(1.5)
            self.assertEqual(1, sum(1 for l in s.ddraw_log() if l.startswith("SetCooperativeLevel")))

            caption, text = s.answer(IDYES)
            self.assertEqual(("Zephon Test", QUESTION), (caption, text))
            s.wait_test_window_gone()
            self.assertTrue(s.no_question(2), "the second press started another test")
            self.assertEqual("Overlay supported", s.status())
            log = s.wait_log(lambda l: any(x.startswith("Release directdraw") for x in l))
            self.assert_log_balanced(log, ["YUY2"])

    def test_three_nos_try_every_format_and_end_not_supported(self):
        with OverlayScenario("overlay-no-no-no", fake=True, screen=SCREEN) as s:
            s.start()
            s.wait_main()
            self.run_overlay_test(s)
            captions = [s.answer(IDNO)[0] for _ in range(3)]
            self.assertEqual(["Zephon Test"] * 3, captions)
            s.wait_test_window_gone()
            self.assertEqual("Overlay not supported", s.status())
            log = s.wait_log(lambda l: any(x.startswith("Release directdraw") for x in l))
            self.assert_log_balanced(log, ["YUY2", "RGB565", "UYVY"])
            for fmt in ("YUY2", "RGB565", "UYVY"):
                self.assert_surface_bytes(s, fmt)

    def test_allovl_names_each_format_and_the_last_answer_decides(self):
        with OverlayScenario("overlay-allovl", fake=True, screen=SCREEN) as s:
            s.start(args=["/ALLOVL"])
            s.wait_main()
            self.run_overlay_test(s)
            asked = []
            for fmt, answer in (("YUY2", IDYES), ("RGB565", IDYES), ("UYVY", IDNO)):
                title = "Zephon Test - " + fmt
                caption, text = s.answer(answer, title=title)
                asked.append(caption)
                self.assertEqual(QUESTION, text)
            self.assertEqual(["Zephon Test - YUY2", "Zephon Test - RGB565", "Zephon Test - UYVY"], asked)
            s.wait_test_window_gone()
            self.assertEqual("Overlay not supported", s.status())
            log = s.wait_log(lambda l: any(x.startswith("Release directdraw") for x in l))
            self.assert_log_balanced(log, ["YUY2", "RGB565", "UYVY"])

    def test_on_an_800x600_screen_the_window_is_centred_even_when_taller(self):
        with OverlayScenario("overlay-800x600", fake=True, screen=(800, 600)) as s:
            s.start()
            s.wait_main()
            window = self.run_overlay_test(s)
            s.wait_question()
            _, client = self.shown_rects(s.wait_log(lambda l: any(x.startswith("UpdateOverlay") for x in l)), "YUY2")
            self.assert_centred_window(window, client, screen=(800, 600))
            s.answer(IDNO)
            s.answer(IDNO)
            s.answer(IDYES)
            s.wait_test_window_gone()
            self.assertEqual("Overlay supported", s.status())

    def test_japanese_question_and_status(self):
        with OverlayScenario("overlay-ja", fake=True, lang="ja", screen=SCREEN) as s:
            s.start()
            s.wait_main()
            self.run_overlay_test(s)
            caption, text = s.answer(IDYES)
            self.assertEqual(("Zephon Test", "\u6b63\u3057\u304f\u30aa\u30fc\u30d0\u30fc\u30ec\u30a4"
                              "\u3055\u308c\u3066\u3044\u307e\u3059\u304b?"), (caption, text))
            s.wait_test_window_gone()
            self.assertEqual("\u30aa\u30fc\u30d0\u30fc\u30ec\u30a4\u304c\u4f7f\u7528\u53ef\u80fd"
                             "\u3067\u3059\u3002", s.status())


if __name__ == "__main__":
    unittest.main()
