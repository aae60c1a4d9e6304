"""What the overlay tests need beside the shared harness: the test window,
the program's test-only DirectDraw (tests/e2e/fakes/ddraw) with its call log
and surface dumps, screenshots read back as pixels, and the colour-bar bytes
the overlay surface must hold."""

import os
import shutil
import subprocess
import time

import zph_e2e as e2e

OVERLAY_TEST = 202
OVERLAY_STATUS = 401
TEST_WINDOW_CLASS = "WC:ZPHTEST"
QUESTION = "Is the overlay screen displayed properly?"
IDYES, IDNO = 6, 7
OVERLAY_WIDTH, OVERLAY_HEIGHT = 720, 576
OVERLAY_PITCH = OVERLAY_WIDTH * 2 + 64  # what the test DirectDraw gives its overlays
GAP_FILL = 0xCD                          # and what it fills them with

# Each 90-pixel bar of the 720-wide picture: Y, U, V and the RGB565 value.
BARS = [
    ("white", 0xFE, 0x80, 0x80, 0xFFFF),
    ("yellow", 0xE1, 0x00, 0x95, 0xFFE0),
    ("cyan", 0xB2, 0xAC, 0x00, 0x07FF),
    ("green", 0x95, 0x2B, 0x14, 0x07E0),
    ("magenta", 0x69, 0xD6, 0xEC, 0xF81F),
    ("red", 0x4C, 0x55, 0xFF, 0xF800),
    ("blue", 0x1D, 0xFF, 0x6B, 0x001F),
    ("black", 0x00, 0x80, 0x80, 0x0000),
]

# A display number of the caller's choosing keeps parallel runs apart.
if os.environ.get("ZPH_E2E_FIRST_DISPLAY"):
    e2e.Display.__init__.__defaults__ = (int(os.environ["ZPH_E2E_FIRST_DISPLAY"]),)


def fake_ddraw_path():
    path = os.path.join(e2e.build_dir(), "tests", "e2e", "fakes", "ddraw", "ddraw.dll")
    if not os.path.isfile(path):
        raise e2e.SetupError("%s not found (build the x86_64 tree with tests/e2e/fakes/ddraw)" % path)
    return path


def expected_row(fmt):
    """The bytes of one overlay row (without the gap) for a format."""
    row = bytearray()
    for _, y, u, v, rgb in BARS:
        if fmt == "YUY2":
            row += bytes([y, u, y, v]) * 45
        elif fmt == "UYVY":
            row += bytes([u, y, v, y]) * 45
        else:
            row += bytes([rgb & 0xFF, rgb >> 8]) * 90
    return bytes(row)


class OverlayScenario(e2e.Scenario):
    """A scenario whose program runs on Wine's DirectDraw, or with fake=True on
    the test DirectDraw placed beside it."""

    def __init__(self, name, fake=False, **kw):
        kw.setdefault("show_info_file", "0")
        super().__init__(name, **kw)
        self.fake = fake

    def __enter__(self):
        super().__enter__()
        if self.fake:
            shutil.copy2(fake_ddraw_path(), self.c_path(e2e.PROGRAM_DIR, "ddraw.dll"))
        return self

    def env(self):
        env = super().env()
        env["WINEDLLOVERRIDES"] += ";ddraw=n" if self.fake else ";ddraw=b"
        return env

    # -- the program

    def status(self):
        return self.dump_main().control(OVERLAY_STATUS).text.decode(self.encoding)

    def no_question(self, seconds):
        """True when no message box of the program shows for the given time."""
        code, _ = self.auto("absent", *self.message_box_selector(), "--for", seconds, timeout=seconds,
                            check=False)
        return code == 0

    def watch_test_window(self, timeout=30):
        """Starts waiting for the test window in the background, so that a
        window that lives only a moment is still seen; returns a handle for
        test_window_seen()."""
        argv = ["wine", os.path.join(self.c_path(e2e.TOOLS_DIR), "zphauto.exe"), "wait", "--announce",
                "--title", e2e.PROGRAM_TITLE, "--class", TEST_WINDOW_CLASS, "--timeout", str(timeout)]
        watcher = subprocess.Popen(argv, env=self.env(), cwd=self.c_path(e2e.TOOLS_DIR),
                                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        first = watcher.stdout.readline().decode("latin-1").strip()
        if first != "ready":
            watcher.kill()
            raise e2e.AutomationError("[%s] the window watcher did not start: %r" % (self.name, first))
        return watcher

    def test_window_seen(self, watcher, timeout=40):
        out, err = watcher.communicate(timeout=timeout)
        if watcher.returncode != 0:
            raise AssertionError("[%s] the test window never appeared: %s" % (self.name, err.decode("latin-1")))
        return e2e.Window(out.decode("latin-1").splitlines()[0])

    def wait_question(self, title=e2e.PROGRAM_TITLE, timeout=30):
        return e2e.Window(self.auto("wait", *self.message_box_selector(title), timeout=timeout)[0])

    def answer(self, answer, title=e2e.PROGRAM_TITLE, timeout=30):
        """Answers the question box; returns its (caption, text) as str."""
        lines = self.auto("msgbox", *self.message_box_selector(title), "--press", answer, timeout=timeout)
        return (e2e.hex_field(lines, "caption").decode(self.encoding),
                e2e.hex_field(lines, "text").decode(self.encoding))

    def wait_test_window_gone(self, timeout=20):
        self.auto("gone", "--title", e2e.PROGRAM_TITLE, "--class", TEST_WINDOW_CLASS, timeout=timeout)

    # -- the test DirectDraw's record

    def ddraw_log(self):
        path = self.c_path(e2e.PROGRAM_DIR, "fake_ddraw.log")
        if not os.path.exists(path):
            return []
        with open(path, encoding="latin-1") as f:
            return f.read().splitlines()

    def overlay_dump(self, fmt):
        with open(self.c_path(e2e.PROGRAM_DIR, "fake_ddraw_%s.bin" % fmt), "rb") as f:
            return f.read()

    def wait_log(self, predicate, timeout=10):
        deadline = time.monotonic() + timeout
        while True:
            log = self.ddraw_log()
            if predicate(log) or time.monotonic() > deadline:
                return log
            time.sleep(0.1)

    # -- the screen

    def pixels(self, rect):
        """The screen's pixels in rect (left, top, right, bottom) as rows of (r, g, b)."""
        path = self.screenshot("overlay-%d-%d.png" % rect[:2], rect)
        ppm = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], check=True, capture_output=True,
                             timeout=30).stdout
        # P6 header: magic, width, height, maximum, each followed by one blank.
        fields, pos = [], 0
        while len(fields) < 4:
            while ppm[pos:pos + 1].isspace():
                pos += 1
            end = pos
            while not ppm[end:end + 1].isspace():
                end += 1
            fields.append(ppm[pos:end])
            pos = end
        pos += 1
        width, height = int(fields[1]), int(fields[2])
        data = ppm[pos:]
        return [[tuple(data[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
                for y in range(height)]


def parse_rect(text):
    return tuple(int(v) for v in text.split(","))


def field(line, name):
    for part in line.split(" "):
        if part.startswith(name + "="):
            return part[len(name) + 1:]
    return None
