"""Harness of the end-to-end tests: runs the real zphtest.exe under Wine and
drives it as a user would, through zphauto.exe (tests/e2e/tools).

One run shares a base Wine prefix, made once with wineboot. Every scenario
starts from a copy of it whose registry text is edited before Wine first
reads it (Windows version, drive types, fonts), so that no scenario inherits
another one's settings or files. Scenarios run one after another.

Settings come from the environment (run_e2e.py sets them):
  ZPH_E2E_BUILD  directory holding zphtest.exe and zphauto.exe (required)
  ZPH_E2E_WORK   directory for prefixes and artefacts (default: a new temp dir)
  ZPH_E2E_KEEP   when set, scenario prefixes and the work directory are kept
"""

import atexit
import os
import re
import shutil
import subprocess
import tempfile
import time

from zph_expected import ENCODINGS

WINE_ENV = {
    "WINEDEBUG": "-all",
    # The base prefix must not stop to offer Mono or Gecko downloads.
    "WINEDLLOVERRIDES": "mscoree,mshtml=",
    "WINEARCH": "win64",
}

LOCALES = {"en": "C.UTF-8", "ja": "ja_JP.UTF-8"}

PROGRAM_DIR = "zph"   # C:\zph holds the program and its read-me
TOOLS_DIR = "e2e"     # C:\e2e holds the automation helper
OUTPUT_DIR = "out"    # C:\out receives saved reports

PROGRAM_TITLE = "Zephon Test"
DIALOG_CLASS = "#32770"
MAIN_DIALOG_MARK = 415   # a control only the main dialog has
MESSAGE_TEXT_ID = 0xFFFF  # the text of a message box

JAPANESE_DIALOG_FONT = "\uff2d\uff33 \uff30\u30b4\u30b7\u30c3\u30af"  # ＭＳ Ｐゴシック
JAPANESE_FONT_STANDIN = "IPAPGothic"


class SetupError(Exception):
    """The machine lacks something the tests need; nothing was tested."""


class AutomationError(AssertionError):
    """A zphauto command failed: a window did not appear, a control is missing."""


def require_tools():
    missing = [t for t in ("wine", "wineserver", "wineboot", "Xvfb", "import") if shutil.which(t) is None]
    if missing:
        raise SetupError("missing programs: %s (install wine, xvfb and imagemagick)" % ", ".join(missing))
    locales = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.split()
    if not any(l.lower() in ("ja_jp.utf8", "ja_jp.utf-8") for l in locales):
        raise SetupError("the ja_JP.UTF-8 locale is not generated (add it to /etc/locale.gen, run locale-gen)")


def build_dir():
    path = os.environ.get("ZPH_E2E_BUILD")
    if not path:
        raise SetupError("ZPH_E2E_BUILD is not set (run the tests through run_e2e.py)")
    for name in ("zphtest.exe", "zphauto.exe"):
        if not os.path.isfile(os.path.join(path, name)):
            raise SetupError("%s not found in %s" % (name, path))
    return path


# ---- registry text ---------------------------------------------------------

def reg_string(text):
    """A value in Wine's registry file syntax; non-ASCII as \\x escapes of four digits."""
    out = []
    for ch in text:
        if ch in '\\"':
            out.append("\\" + ch)
        elif 32 <= ord(ch) < 127:
            out.append(ch)
        else:
            out.append("\\x%04x" % ord(ch))
    return '"' + "".join(out) + '"'


def set_registry_values(reg_file, key, values):
    """Sets values (name -> text or ("dword", n); "@" is the default value) of one
    key in a user.reg/system.reg file, adding the key when it is missing. The
    file must not be in use by Wine."""
    def name_text(n):
        return "@" if n == "@" else reg_string(n)

    def value_text(v):
        return "dword:%08x" % v[1] if isinstance(v, tuple) else reg_string(v)

    with open(reg_file, "r", encoding="latin-1", newline="") as f:
        lines = f.read().split("\n")
    header = "[" + key.replace("\\", "\\\\") + "]"
    new_lines = ["%s=%s" % (name_text(n), value_text(v)) for n, v in values.items()]
    names = tuple(name_text(n) + "=" for n in values)
    start = next((i for i, l in enumerate(lines) if l == header or l.startswith(header + " ")), None)
    if start is None:
        while lines and lines[-1] == "":
            lines.pop()
        lines += ["", "%s %d" % (header, int(time.time()))] + new_lines + [""]
    else:
        end = start + 1
        while end < len(lines) and lines[end] != "":
            end += 1
        body = [l for l in lines[start + 1:end] if not l.startswith(names)]
        lines[start + 1:end] = body + new_lines
    with open(reg_file, "w", encoding="latin-1", newline="") as f:
        f.write("\n".join(lines))


# ---- X displays --------------------------------------------------------------

class Display:
    """One Xvfb server on a free display number."""

    def __init__(self, width, height, first_number=95):
        self.width, self.height = width, height
        number = first_number
        for _ in range(40):
            if os.path.exists("/tmp/.X%d-lock" % number) or os.path.exists("/tmp/.X11-unix/X%d" % number):
                number += 1
                continue
            if self._start(number):
                return
            number += 1  # taken meanwhile by someone else's server
        raise SetupError("no Xvfb display could be started from :%d on" % first_number)

    def _start(self, number):
        self.name = ":%d" % number
        self.process = subprocess.Popen(
            ["Xvfb", self.name, "-screen", "0", "%dx%dx24" % (self.width, self.height), "-nolisten", "tcp"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while not os.path.exists("/tmp/.X11-unix/X%d" % number):
            if self.process.poll() is not None:
                return False
            if time.monotonic() > deadline:
                self.stop()
                return False
            time.sleep(0.05)
        return True

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def screenshot(self, path, rect=None):
        """Saves the screen, or the rectangle (left, top, right, bottom) of it, as PNG."""
        cmd = ["import", "-display", self.name, "-window", "root"]
        if rect is not None:
            left, top, right, bottom = rect
            left, top = max(left, 0), max(top, 0)
            right, bottom = min(right, self.width), min(bottom, self.height)
            cmd += ["-crop", "%dx%d+%d+%d" % (right - left, bottom - top, left, top), "+repage"]
        os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
        subprocess.run(cmd + [path], check=True, timeout=30, stdin=subprocess.DEVNULL, capture_output=True)


# ---- the shared run ------------------------------------------------------------

class Session:
    """What the scenarios of one run share: displays, the base prefix, paths."""

    _instance = None
    _setup_error = None

    @classmethod
    def get(cls):
        if cls._setup_error is not None:
            raise cls._setup_error
        if cls._instance is None:
            try:
                cls._instance = Session()
                cls._instance.base_prefix()
            except SetupError as e:
                cls._setup_error = e
                cls.close()
                raise
            atexit.register(cls.close)
        return cls._instance

    @classmethod
    def close(cls):
        if cls._instance is not None:
            instance, cls._instance = cls._instance, None
            instance._close()

    def __init__(self):
        self._displays = {}
        self._base = None
        self.own_work = False
        require_tools()
        self.build = build_dir()
        work = os.environ.get("ZPH_E2E_WORK")
        self.own_work = not work
        self.work = work or tempfile.mkdtemp(prefix="zph-e2e-")
        os.makedirs(self.work, exist_ok=True)
        self.artifacts = os.path.join(self.work, "artifacts")
        os.makedirs(self.artifacts, exist_ok=True)
        self.keep = bool(os.environ.get("ZPH_E2E_KEEP"))
        self._counter = 0
        self.base_seconds = 0.0

    def display(self, width=1024, height=768):
        key = (width, height)
        if key not in self._displays:
            self._displays[key] = Display(width, height)
        return self._displays[key]

    def base_prefix(self):
        if self._base is None:
            base = os.path.join(self.work, "base-prefix")
            if not os.path.isfile(os.path.join(base, "system.reg")):
                env = wine_env(base, self.display(), "en")
                started = time.monotonic()
                subprocess.run(["wineboot", "-i"], env=env, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
                subprocess.run(["wineserver", "-w"], env=env, timeout=300)
                if not os.path.isfile(os.path.join(base, "system.reg")):
                    raise SetupError("wineboot did not create a prefix in %s" % base)
                self.base_seconds = time.monotonic() - started
            self._base = base
        return self._base

    def next_name(self, name):
        self._counter += 1
        return "%02d-%s" % (self._counter, re.sub(r"[^A-Za-z0-9_.-]", "_", name))

    def _close(self):
        if self._base is not None:
            subprocess.run(["wineserver", "-k"], env=wine_env(self._base, None, "en"),
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for d in self._displays.values():
            d.stop()
        if self.own_work and not self.keep:
            shutil.rmtree(self.work, ignore_errors=True)


def wine_env(prefix, display, lang):
    env = {k: v for k, v in os.environ.items() if not k.startswith(("LC_", "WINE"))}
    env.update(WINE_ENV)
    env.update({"WINEPREFIX": prefix, "LANG": LOCALES[lang], "LC_ALL": LOCALES[lang]})
    if display is not None:
        env["DISPLAY"] = display.name
    return env


# ---- parsed results of zphauto ------------------------------------------------

class Control:
    def __init__(self, line):
        # control ID CLASS depth=N enabled=E visible=V checked=C rect=L,T,R,B text=HEX
        parts = line.split(" ")
        self.id = int(parts[1])
        self.class_name = parts[2]
        fields = dict(p.split("=", 1) for p in parts[3:])
        self.depth = int(fields["depth"])
        self.enabled = fields["enabled"] == "1"
        self.visible = fields["visible"] == "1"
        self.checked = int(fields["checked"])
        self.rect = tuple(int(v) for v in fields["rect"].split(","))
        self.text = bytes.fromhex(fields["text"])


class Window:
    def __init__(self, line):
        # window 0xHWND L T R B CLASS HEXTITLE
        parts = line.split(" ")
        self.handle = parts[1]
        self.rect = tuple(int(v) for v in parts[2:6])
        self.class_name = parts[6]
        self.title = bytes.fromhex(parts[7]) if len(parts) > 7 else b""

    def __repr__(self):
        return "<%s window %r at %r>" % (self.class_name, self.title, self.rect)


class DialogDump:
    def __init__(self, lines):
        self.window = Window(lines[0])
        self.controls = [Control(l) for l in lines[1:] if l.startswith("control ")]

    def control(self, control_id):
        """The direct child with this id, or None."""
        return next((c for c in self.controls if c.depth == 1 and c.id == control_id), None)

    def text(self, control_id):
        """The bytes of a direct child's text, or None when there is no such control."""
        c = self.control(control_id)
        return None if c is None else c.text


def hex_field(lines, label):
    for l in lines:
        if l == label or l.startswith(label + " "):
            return bytes.fromhex(l[len(label) + 1:])
    raise AutomationError("zphauto printed no %r line: %r" % (label, lines))


# ---- one scenario ---------------------------------------------------------------

class Scenario:
    """One clean prefix and the program started in it.

    Use as a context manager; at the end every Wine process of the prefix is
    killed, whatever happened."""

    def __init__(self, name, version=None, lang="en", show_info_file=None, ini_text=None,
                 readme=True, screen=(1024, 768), non_fixed_drives=False):
        self.session = Session.get()
        self.name = name
        self.lang = lang
        self.encoding = ENCODINGS[lang]
        self.version = version
        self.ini_text = ini_text
        if ini_text is None and show_info_file is not None:
            self.ini_text = "[ZphTest]\r\nShowInfoFile=%s\r\n" % show_info_file
        self.readme = readme
        self.non_fixed_drives = non_fixed_drives
        self.drive_types = {}
        self.display = self.session.display(*screen)
        self.dir = os.path.join(self.session.work, self.session.next_name(name))
        self.prefix = os.path.join(self.dir, "prefix")
        self.artifacts = os.path.join(self.session.artifacts, os.path.basename(self.dir))
        self.process = None
        self.server_started = False
        self.log = []

    # -- set-up

    def __enter__(self):
        shutil.rmtree(self.dir, ignore_errors=True)  # left by an earlier run in the same work directory
        os.makedirs(self.dir)
        try:
            subprocess.run(["cp", "-a", self.session.base_prefix(), self.prefix], check=True)
            self._edit_registry()
            self._place_files()
        except BaseException:
            shutil.rmtree(self.prefix, ignore_errors=True)
            raise
        return self

    def ensure_server(self):
        # Started with the first Wine process rather than in __enter__, so that
        # a set-up that fails (here or in a subclass) leaves no server behind.
        # A persistent server keeps the prefix's services running between the
        # short helper runs; otherwise each one pays Wine's start-up again.
        if not self.server_started:
            subprocess.run(["wineserver", "-p"], env=self.env(), stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.server_started = True

    def _edit_registry(self):
        user_reg = os.path.join(self.prefix, "user.reg")
        system_reg = os.path.join(self.prefix, "system.reg")
        if self.version is not None:
            set_registry_values(user_reg, r"Software\Wine", {"Version": self.version})
        # Wine draws the caption itself instead of leaving it to a window
        # manager, which Xvfb does not have; a crash ends the process instead
        # of waiting in a crash dialog.
        set_registry_values(user_reg, r"Software\Wine\X11 Driver", {"Managed": "N", "Decorated": "N"})
        set_registry_values(user_reg, r"Software\Wine\WineDbg", {"ShowCrashDialog": ("dword", 0)})
        # A real Windows opens .txt files with Notepad; this Wine prefix has
        # the txtfile class but no .txt key that points to it.
        set_registry_values(system_reg, r"Software\Classes\.txt", {"@": "txtfile"})
        if self.lang == "ja":
            # A Japanese Windows has the dialog font; here a stand-in provides the glyphs.
            set_registry_values(system_reg, r"Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes",
                                {JAPANESE_DIALOG_FONT: JAPANESE_FONT_STANDIN})
        if self.non_fixed_drives:
            letters = sorted(e for e in os.listdir(os.path.join(self.prefix, "dosdevices"))
                             if re.fullmatch(r"[a-z]:", e))
            self.drive_types = {l: ("network" if i % 2 == 0 else "cdrom") for i, l in enumerate(letters)}
            set_registry_values(system_reg, r"Software\Wine\Drives", self.drive_types)

    def _place_files(self):
        program = self.c_path(PROGRAM_DIR)
        os.makedirs(program)
        shutil.copy2(os.path.join(self.session.build, "zphtest.exe"), program)
        if self.readme:
            self.write_readme(program)
        tools = self.c_path(TOOLS_DIR)
        os.makedirs(tools)
        shutil.copy2(os.path.join(self.session.build, "zphauto.exe"), tools)
        os.makedirs(self.c_path(OUTPUT_DIR))
        if self.ini_text is not None:
            with open(self.ini_path, "w", encoding="latin-1", newline="") as f:
                f.write(self.ini_text)

    @staticmethod
    def write_readme(directory):
        with open(os.path.join(directory, "readme.txt"), "wb") as f:
            f.write(b"Zephon Test read-me, placed by the end-to-end tests.\r\n")

    # -- paths and files

    def c_path(self, *parts):
        """The Unix path of C:\\<parts>."""
        return os.path.join(self.prefix, "drive_c", *parts)

    @property
    def ini_path(self):
        return self.c_path("windows", "halvern.ini")

    def read_ini(self):
        """The bytes of halvern.ini, or None when there is none."""
        try:
            with open(self.ini_path, "rb") as f:
                return f.read()
        except FileNotFoundError:
            return None

    def ini_value(self):
        """The ShowInfoFile text of halvern.ini, or None."""
        data = self.read_ini()
        m = data and re.search(rb"^ShowInfoFile=(.*?)\r?$", data, re.M)
        return m.group(1).decode("latin-1") if m else None

    # -- running

    def env(self):
        return wine_env(self.prefix, self.display, self.lang)

    def start(self, cwd=None, args=(), program="zphtest.exe"):
        """Starts a program of C:\\zph (zphtest.exe unless told) with the Unix
        directory cwd as its current directory (default: the program's own)."""
        self.ensure_server()
        self.process = subprocess.Popen(
            ["wine", os.path.join(self.c_path(PROGRAM_DIR), program)] + list(args),
            cwd=cwd or self.c_path(PROGRAM_DIR), env=self.env(), stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return self.process

    def wait_exit(self, timeout=20):
        """The program's exit code; fails when it does not end in time."""
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("[%s] zphtest.exe did not end within %d s" % (self.name, timeout))

    def auto(self, command, *args, timeout=15, check=True, cwd=None):
        """Runs one zphauto command in the prefix; returns its stdout lines, or
        (exit code, lines) with check=False."""
        argv = ["wine", os.path.join(self.c_path(TOOLS_DIR), "zphauto.exe"), command] + [str(a) for a in args]
        if command not in ("list", "version", "locale", "cwd", "drives", "profile-int"):
            argv += ["--timeout", str(timeout)]
        shown = " ".join(argv[2:])
        self.ensure_server()
        # Files, not pipes: a Wine service process that the helper happens to
        # start inherits its output handles and would hold a pipe open.
        out_path, err_path = os.path.join(self.dir, "auto.out"), os.path.join(self.dir, "auto.err")
        with open(out_path, "wb") as out, open(err_path, "wb") as err:
            try:
                code = subprocess.run(argv, env=self.env(), cwd=cwd or self.c_path(TOOLS_DIR),
                                      stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                      timeout=timeout + 30).returncode
            except subprocess.TimeoutExpired:
                raise AutomationError("[%s] zphauto %s hung" % (self.name, shown))
        with open(out_path, "rb") as out, open(err_path, "rb") as err:
            lines = out.read().decode("latin-1").splitlines()
            message = err.read().decode("latin-1", "replace").strip()
        self.log.append((shown, code, lines, message))
        if check and code != 0:
            raise AutomationError("[%s] %s failed (exit %d): %s" % (self.name, shown, code, message or lines))
        return lines if check else (code, lines)

    # -- the program's windows

    @staticmethod
    def main_selector():
        return ["--title", PROGRAM_TITLE, "--class", DIALOG_CLASS, "--has", MAIN_DIALOG_MARK]

    @staticmethod
    def message_box_selector(title=PROGRAM_TITLE):
        return ["--title", title, "--class", DIALOG_CLASS, "--lacks", MAIN_DIALOG_MARK, "--has", MESSAGE_TEXT_ID]

    def shown_windows(self):
        """The visible top-level windows, for failure messages."""
        code, lines = self.auto("list", check=False)
        return [Window(l) for l in lines if l.startswith("window ")] if code == 0 else "(list failed)"

    def _with_windows(self, error):
        return AutomationError("%s; windows shown: %r" % (error, self.shown_windows()))

    def wait_main(self, timeout=30):
        try:
            return Window(self.auto("wait", *self.main_selector(), timeout=timeout)[0])
        except AutomationError as e:
            raise self._with_windows(e)

    def dump_main(self, timeout=30):
        try:
            return DialogDump(self.auto("dump", *self.main_selector(), timeout=timeout))
        except AutomationError as e:
            raise self._with_windows(e)

    def click_main(self, control_id):
        self.auto("click", *self.main_selector(), control_id)

    def read_message_box(self, title=PROGRAM_TITLE, timeout=30):
        """Waits for a message box, returns (caption bytes, text bytes) and presses OK."""
        try:
            lines = self.auto("msgbox", *self.message_box_selector(title), timeout=timeout)
        except AutomationError as e:
            raise self._with_windows(e)
        return hex_field(lines, "caption"), hex_field(lines, "text")

    def absent(self, seconds, *selector):
        """None when no (matching) visible top-level window shows for the given
        time, else the window that showed."""
        code, lines = self.auto("absent", *selector, "--for", seconds, timeout=seconds, check=False)
        return None if code == 0 else Window(lines[0]) if lines else "(zphauto printed nothing)"

    def wait_notepad(self, timeout=20):
        """Waits for Notepad showing readme.txt (its title starts with the file
        name in every language); returns its window."""
        try:
            return Window(self.auto("wait", "--class", "Notepad", "--title-prefix", "readme.txt",
                                    timeout=timeout)[0])
        except AutomationError as e:
            raise self._with_windows(e)

    def close_notepad(self):
        self.auto("close", "--class", "Notepad")
        self.auto("gone", "--class", "Notepad")

    def save_report(self, path, overwrite=None):
        """Presses Save Info and saves under the given Windows path; returns zphauto's lines."""
        self.click_main(205)
        extra = ["--overwrite", overwrite] if overwrite else []
        return self.auto("saveas", path, *extra, timeout=30)

    def windows_version(self):
        """(major, minor, build, platform, CSD) as GetVersionExA reports them in this prefix."""
        parts = self.auto("version")[0].split(" ")
        csd = bytes.fromhex(parts[5]).decode("latin-1") if len(parts) > 5 else ""
        return tuple(int(p) for p in parts[1:5]) + (csd,)

    def screenshot(self, name, rect=None, path=None):
        path = path or os.path.join(self.artifacts, name)
        self.display.screenshot(path, rect)
        return path

    # -- tear-down

    def __exit__(self, exc_type, exc, tb):
        if exc_type is not None:
            try:
                self.screenshot("failure.png")
                with open(os.path.join(self.artifacts, "zphauto.log"), "w") as f:
                    for shown, code, lines, err in self.log:
                        f.write("$ %s -> %d\n%s\n%s\n" % (shown, code, "\n".join(lines), err))
            except Exception:
                pass
        env = self.env()
        subprocess.run(["wineserver", "-k"], env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if self.process is not None and self.process.poll() is None:
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        try:
            subprocess.run(["wineserver", "-w"], env=env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        except subprocess.TimeoutExpired:
            pass
        if not self.session.keep:
            shutil.rmtree(self.prefix, ignore_errors=True)
        return False


class Checks:
    """Collects the differences found in one scenario, so that one failure
    reports all of them, each named by the scenario and what was looked at."""

    def __init__(self, scenario):
        self.scenario = scenario
        self.problems = []

    def equal(self, what, expected, actual):
        if expected != actual:
            self.problems.append("%s: expected %r, got %r" % (what, expected, actual))
        return expected == actual

    def true(self, what, condition, detail=None):
        if not condition:
            self.problems.append(what if detail is None else "%s (%s)" % (what, detail))
        return bool(condition)

    def __enter__(self):
        return self

    def __exit__(self, exc_type, exc, tb):
        if exc_type is None and self.problems:
            raise AssertionError("[%s] %s" % (self.scenario.name, "\n  ".join(self.problems)))
        if exc_type is not None and self.problems:
            # The automation stopped the scenario; keep what was found before.
            exc.args = ("%s\n  found before: %s" % (exc.args[0] if exc.args else exc_type.__name__,
                                                   "; ".join(self.problems)),)
        return False
