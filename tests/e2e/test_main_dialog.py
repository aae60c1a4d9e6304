"""The main dialog and the About box, for each Windows version Wine can
pretend to be, in English and in Japanese."""

import os
import unittest

from zph_e2e import Checks, Scenario
from zph_expected import (ABOUT_TEXT, CAPTION, NOT_AVAILABLE, NOT_TESTED, WINE_VERSIONS, is_nine_x,
                          parse_computer_line, text_bytes, wine_version)

SCREENSHOTS = {"en": "main-en.png", "ja": "main-ja.png"}


class MainDialogTest(unittest.TestCase):

    def check_main_dialog(self, setting, lang):
        expected = wine_version(setting)
        name = "main-%s-%s" % (setting or "wine-default", lang)
        with Scenario(name, version=setting, lang=lang, show_info_file=0) as sc, Checks(sc) as c:
            reported = sc.windows_version()
            wanted = (expected.major, expected.minor, expected.build, expected.platform, expected.csd)
            if reported != wanted:
                self.fail("[%s] Wine reports version %r for this setting, the expectations assume %r"
                          % (name, reported, wanted))
            sc.start()
            dialog = sc.dump_main()

            c.equal("dialog caption", CAPTION.encode(), dialog.window.title)
            c.equal("control 415 (Windows)", expected.windows_text.encode("ascii"), dialog.text(415))
            if is_nine_x(expected):
                c.equal("control 411 (PCI BIOS) of the 9x template", NOT_AVAILABLE.encode(), dialog.text(411))
            else:
                c.true("the NT template has no control 411", dialog.control(411) is None)
            c.equal("control 401 (overlay status)", text_bytes(NOT_TESTED, lang), dialog.text(401))
            computer = dialog.text(416).decode("ascii", "replace")
            c.true("control 416 reads '<prefix><name> <clock> <n>MBytes'", parse_computer_line(computer),
                   "got %r" % computer)
            c.equal("control 413 (chip set)", NOT_AVAILABLE.encode(), dialog.text(413))
            c.equal("control 414 (latency timer)", NOT_AVAILABLE.encode(), dialog.text(414))
            c.true("button 202 (Overlay Test) is enabled at 1024x768", dialog.control(202).enabled)

            if setting is None and os.environ.get("ZPH_E2E_SCREENSHOTS"):
                sc.screenshot(SCREENSHOTS[lang], dialog.window.rect,
                              path=os.path.join(os.environ["ZPH_E2E_SCREENSHOTS"], SCREENSHOTS[lang]))

            sc.click_main(201)
            caption, text = sc.read_message_box()
            c.equal("About box caption", CAPTION.encode(), caption)
            c.equal("About box text", ABOUT_TEXT.encode("ascii"), text)

            sc.click_main(1)
            c.equal("exit code after Close", 0, sc.wait_exit())


def _add_cases():
    for version in WINE_VERSIONS:
        for lang in ("en", "ja"):
            def test(self, setting=version.setting, lang=lang):
                self.check_main_dialog(setting, lang)
            test.__name__ = "test_%s_%s" % (version.setting or "wine_default", lang)
            test.__doc__ = "Windows version setting %s, %s" % (version.setting or "(Wine's default)", lang)
            setattr(MainDialogTest, test.__name__, test)


_add_cases()

if __name__ == "__main__":
    unittest.main()
