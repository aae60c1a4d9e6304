"""What the disk test scenarios add to the harness: drive letters mapped to
Unix directories, a slow disk, a size-limited tmpfs, and the colour bands of
the result bars read from a screenshot."""

import os
import re
import shutil
import subprocess
import tempfile

import zph_e2e as e2e

HERE = os.path.dirname(os.path.abspath(__file__))

MAIN_ID = 415
PROGRESS_TITLE = "Zephon Test (Hard Disk)"
STOP, PROGRESS_BAR, STATUS = 471, 472, 473
HDD_TEST, DRIVE_COMBO = 203, 301
READ_BAR, WRITE_BAR, READ_TEXT, WRITE_TEXT = 461, 462, 463, 464

WRITING = "Testing Write performance"
READING = "Testing Read performance"
NOT_TESTED = "Not tested"

RED, YELLOW, GREEN = (255, 0, 0), (255, 255, 0), (0, 255, 0)


def use_own_display():
    """Parallel runs keep to their own display numbers (ZPH_E2E_FIRST_DISPLAY),
    unless the session has a display already (it made the base prefix on one)."""
    first = os.environ.get("ZPH_E2E_FIRST_DISPLAY")
    session = e2e.Session.get()
    if first and (1024, 768) not in session._displays:
        session._displays[(1024, 768)] = e2e.Display(1024, 768, first_number=int(first))


def slow_io_library():
    """The preloaded slow disk, built once per run."""
    work = e2e.Session.get().work
    target = os.path.join(work, "disk_slow_io.so")
    source = os.path.join(HERE, "disk_slow_io.c")
    if not os.path.exists(target) or os.path.getmtime(target) < os.path.getmtime(source):
        if shutil.which("gcc") is None:
            raise e2e.SetupError("gcc is needed to build the slow disk")
        os.makedirs(work, exist_ok=True)
        subprocess.run(["gcc", "-O2", "-shared", "-fPIC", "-o", target, source, "-ldl"], check=True)
    return target


class SmallTmpfs:
    """A tmpfs of a few MiB, mounted for one scenario and always unmounted."""

    def __init__(self, megabytes):
        self.path = tempfile.mkdtemp(prefix="small-", dir=e2e.Session.get().work)
        done = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%dm" % megabytes, "tmpfs", self.path],
                              capture_output=True, text=True)
        if done.returncode != 0:
            os.rmdir(self.path)
            raise e2e.SetupError("cannot mount a tmpfs here: %s" % done.stderr.strip())

    def close(self):
        subprocess.run(["umount", self.path], capture_output=True)
        os.rmdir(self.path)


def qvr_files(directory):
    return sorted(n for n in os.listdir(directory) if n.upper().startswith("QVR"))


class DiskScenario(e2e.Scenario):
    """A scenario whose prefix has extra fixed drives: letter -> Unix directory.
    slow_ms makes every block transferred below slow_dir that much slower."""

    def __init__(self, name, drives, slow_ms=0, slow_dir=None, **kw):
        kw.setdefault("show_info_file", "0")
        super().__init__(name, **kw)
        self.drives = {l.lower(): d for l, d in drives.items()}
        self.slow_ms = slow_ms
        self.slow_dir = slow_dir

    def __enter__(self):
        super().__enter__()
        devices = os.path.join(self.prefix, "dosdevices")
        for letter, directory in self.drives.items():
            link = os.path.join(devices, letter + ":")
            if os.path.lexists(link):
                os.remove(link)
            os.symlink(directory, link)
        system_reg = os.path.join(self.prefix, "system.reg")
        e2e.set_registry_values(system_reg, r"Software\Wine\Drives", {l + ":": "hd" for l in self.drives})
        return self

    def env(self):
        env = super().env()
        if self.slow_ms:
            env["LD_PRELOAD"] = slow_io_library()
            env["ZPH_SLOW_IO_MS"] = str(self.slow_ms)
            if self.slow_dir:
                env["ZPH_SLOW_IO_DIR"] = os.path.realpath(self.slow_dir)
        return env

    # -- the main dialog

    def fixed_letters(self):
        devices = os.path.join(self.prefix, "dosdevices")
        return sorted(e[0].upper() for e in os.listdir(devices) if re.fullmatch(r"[a-z]:", e))

    def select_drive(self, letter):
        """Picks the drive in the combo box as the user would."""
        position = self.fixed_letters().index(letter.upper())
        self.auto("select", *self.main_selector(), DRIVE_COMBO, position)

    def result_texts(self):
        dump = self.dump_main()
        return dump.text(READ_TEXT).decode(self.encoding), dump.text(WRITE_TEXT).decode(self.encoding)

    def wait_result_texts(self, timeout=20):
        """The two texts once the refresh after a run has set them."""
        import time
        deadline = time.monotonic() + timeout
        while True:
            texts = self.result_texts()
            if NOT_TESTED not in texts or time.monotonic() > deadline:
                return texts
            time.sleep(0.3)

    # -- the progress dialog

    def progress_selector(self):
        return ["--title", PROGRESS_TITLE, "--class", e2e.DIALOG_CLASS, "--has", STATUS]

    def wait_progress(self, timeout=15):
        return e2e.DialogDump(self.auto("dump", *self.progress_selector(), timeout=timeout))

    def status_text(self, timeout=5):
        lines = self.auto("text", *self.progress_selector(), STATUS, timeout=timeout)
        return e2e.hex_field(lines, "text").decode(self.encoding)

    def wait_status(self, wanted, timeout=30):
        import time
        deadline = time.monotonic() + timeout
        seen = []
        while time.monotonic() < deadline:
            code, lines = self.auto("text", *self.progress_selector(), STATUS, timeout=2, check=False)
            if code == 0:
                text = e2e.hex_field(lines, "text").decode(self.encoding)
                seen.append(text)
                if text == wanted:
                    return seen
        raise AssertionError("[%s] status never read %r; seen %r" % (self.name, wanted, seen))

    def wait_progress_gone(self, timeout=60):
        self.auto("gone", *self.progress_selector(), timeout=timeout)

    # -- the bars

    def bar_bands(self, dump, control_id):
        """(red, yellow, green) pixel widths painted inside the bar, read along
        its middle row, and the inner width W."""
        left, top, right, bottom = dump.control(control_id).rect
        inner = (left + 2, top + 2, right - 2, bottom - 2)
        path = self.screenshot("bar-%d.png" % control_id, inner)
        width, height, pixels = read_pixels(path)
        row = height // 2
        runs = []
        for x in range(width):
            colour = pixels[row * width + x]
            if runs and runs[-1][0] == colour:
                runs[-1][1] += 1
            else:
                runs.append([colour, 1])
        widths = {RED: 0, YELLOW: 0, GREEN: 0}
        order = [c for c, _ in runs if c in widths]
        for colour, n in runs:
            if colour in widths:
                widths[colour] += n
        return (widths[RED], widths[YELLOW], widths[GREEN]), order, width


def read_pixels(path):
    """Width, height and RGB tuples of an image, through an 8-bit PPM."""
    data = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], check=True, capture_output=True).stdout
    m = re.match(rb"P6\s+(?:#[^\n]*\s+)*(\d+)\s+(\d+)\s+(\d+)\s", data)
    width, height, maximum = int(m.group(1)), int(m.group(2)), int(m.group(3))
    assert maximum == 255, maximum
    body = data[m.end():]
    pixels = [tuple(body[i:i + 3]) for i in range(0, width * height * 3, 3)]
    return width, height, pixels


# ---- the figures as the result display computes them ---------------------------

def bar_scale(a, b):
    return (int(max(a, b) / 10240) + 1) * 10240


def bands(width, scale, rate):
    if rate == 0:
        return (0, 0, 0)
    red = int(width * min(rate, 5120) / scale)
    rest = max(rate - 5120, 0)
    yellow = int(width * min(rest, 5120) / scale) if rest else 0
    rest2 = max(rest - 5120, 0)
    green = int(width * rest2 / scale) if rest2 else 0
    return (red, yellow, green)


def rate_interval(text):
    """The rates in KB/s that a result text can stand for: [low, high)."""
    m = re.fullmatch(r" *(\d+)(KB|MB)/S", text)
    assert m, "not a rate text: %r" % text
    n = int(m.group(1))
    return (n, n + 1) if m.group(2) == "KB" else (n * 1024, (n + 1) * 1024)


def possible_bands(width, read_text, write_text, samples=40):
    """For each row, the smallest and largest width of each band over every
    pair of rates the two texts allow."""
    lo_r, hi_r = rate_interval(read_text)
    lo_w, hi_w = rate_interval(write_text)
    def points(lo, hi):
        return [lo + (hi - lo) * i / samples for i in range(samples)] + [hi - 1e-6]
    result = {"read": [None] * 3, "write": [None] * 3}
    for r in points(lo_r, hi_r):
        for w in points(lo_w, hi_w):
            scale = bar_scale(r, w)
            for row, rate in (("read", r), ("write", w)):
                for i, n in enumerate(bands(width, scale, rate)):
                    old = result[row][i]
                    result[row][i] = (n, n) if old is None else (min(old[0], n), max(old[1], n))
    return result
