"""The ShowInfoFile setting in halvern.ini: the read-me at start-up, the
check box, and what Close and Esc leave in the file."""

import unittest

from zph_e2e import Checks, Scenario

SHOW_INFO_FILE = 311


class SettingsTest(unittest.TestCase):

    def run_setting(self, name, ini_value, readme_expected, actions, expected_ini):
        with Scenario(name, show_info_file=ini_value) as sc, Checks(sc) as c:
            self.drive(sc, c, readme_expected, actions, expected_ini)

    def drive(self, sc, c, readme_expected, actions, expected_ini):
        """Starts the program, checks whether the read-me opened and the box's
        state, runs the actions ("uncheck", "close", "esc") and compares the
        file's ShowInfoFile after the exit."""
        sc.start()
        if readme_expected:
            sc.wait_notepad()
            sc.close_notepad()
        dialog = sc.dump_main()
        if not readme_expected:
            c.true("no read-me opened", sc.absent(3, "--class", "Notepad") is None)
        c.equal("box 311 checked at start", 1 if readme_expected else 0, dialog.control(SHOW_INFO_FILE).checked)
        for action in actions:
            if action == "uncheck":
                sc.click_main(SHOW_INFO_FILE)
                state = sc.auto("state", *sc.main_selector(), SHOW_INFO_FILE)[0]
                c.true("box 311 unchecked after a click", "checked=0" in state, state)
            elif action == "close":
                sc.click_main(1)
            elif action == "esc":
                sc.auto("key", *sc.main_selector(), "esc")
        c.equal("exit code", 0, sc.wait_exit())
        c.equal("ShowInfoFile in halvern.ini after exit", expected_ini, sc.ini_value())

    def test_close_stores_the_checked_box_as_1(self):
        self.run_setting("close-from-5", "5", True, ["close"], "1")

    def test_esc_keeps_the_old_value_even_after_unchecking(self):
        self.run_setting("esc-from-5", "5", True, ["uncheck", "esc"], "5")

    def test_unchecking_and_close_stores_0(self):
        self.run_setting("uncheck-close-from-5", "5", True, ["uncheck", "close"], "0")

    def test_zero_opens_no_readme_and_leaves_the_box_unchecked(self):
        self.run_setting("zero", "0", False, ["close"], "0")

    def test_missing_file_means_1_and_nothing_is_written(self):
        with Scenario("no-settings-file") as sc, Checks(sc) as c:
            sc.start()
            sc.wait_notepad()
            sc.close_notepad()
            c.equal("box 311 checked at start", 1, sc.dump_main().control(SHOW_INFO_FILE).checked)
            sc.click_main(1)
            c.equal("exit code", 0, sc.wait_exit())
            c.equal("halvern.ini after Close with an unchanged setting", None, sc.read_ini())

    def check_bad_value(self, text):
        """A value that is no plain number: the program must do what
        GetPrivateProfileIntA answers, asked in the same prefix first."""
        with Scenario("bad-value-" + text, show_info_file=text) as sc, Checks(sc) as c:
            answer = int(sc.auto("profile-int", "ZphTest", "ShowInfoFile", 1, "halvern.ini")[0].split()[1])
            shown = answer != 0
            # Close stores 1 for a checked box; the file changes only when that differs.
            after = "1" if shown and answer != 1 else text
            self.drive(sc, c, shown, ["close"], after)


def _add_bad_values():
    for text in ("abc", "-3", "99999999999"):
        def test(self, text=text):
            self.check_bad_value(text)
        test.__name__ = "test_bad_value_%s" % text.replace("-", "minus")
        test.__doc__ = "ShowInfoFile=%s" % text
        setattr(SettingsTest, test.__name__, test)


_add_bad_values()

if __name__ == "__main__":
    unittest.main()
