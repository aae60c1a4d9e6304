"""What the host-bridge end-to-end tests add to the shared harness: the
driver file in the scenario's prefix, the test client that manages the
ZPHTSTNT service and sends requests, and the test-only HAL with a synthetic
PCI topology, loaded in place of Wine's through a DLL override.

The build directory (ZPH_E2E_BUILD) holds driver/zphtstnt.sys,
driver/zphtstnt_client.exe and tests/e2e/fakes/hal/hal.dll beside
zphtest.exe."""

import os
import re
import shutil
import subprocess
import time

import zph_e2e as e2e

PCI_BIOS = 411
CHIPSET = 413
LATENCY = 414
SAVE_INFO = 205

DRIVER_FILE = "ZPHTSTNT.SYS"

# A Pentium II board: 82443BX host bridge and a VGA card on bus 0, the
# capture card's SAA7146 behind the AGP/PCI bridge on bus 1.
BX_WITH_SAA7146 = """buses 2
0 0 0 8086 7190 060000 40
0 1 0 8086 7191 060400 40
0 7 0 8086 7110 060100 00
0 7 1 8086 7111 010180 00
0 9 0 10de 0020 030000 f8
1 5 0 1131 7146 048000 20
"""

# A board the table knows only by maker, without a capture card.
VIA_WITH_VGA = """buses 1
0 0 0 1106 0691 060000 00
0 2 0 1002 4742 030000 42
"""


def build_file(*parts):
    path = os.path.join(e2e.build_dir(), *parts)
    if not os.path.isfile(path):
        raise e2e.SetupError("%s not found (build the x86_64 tree)" % path)
    return path


class BridgeScenario(e2e.Scenario):
    """A scenario whose machine may have a synthetic PCI bus.

    topology: the text of C:\\fakepci.txt for the test HAL, or None for
    Wine's own HAL. driver_dirs: the C:\\ folders that get ZPHTSTNT.SYS."""

    def __init__(self, name, topology=None, driver_dirs=(e2e.PROGRAM_DIR,), **kw):
        super().__init__(name, **kw)
        self.topology = topology
        self.driver_dirs = driver_dirs

    def __enter__(self):
        super().__enter__()
        for d in self.driver_dirs:
            os.makedirs(self.c_path(d), exist_ok=True)
            shutil.copy2(build_file("driver", "zphtstnt.sys"), self.c_path(d, DRIVER_FILE))
        shutil.copy2(build_file("driver", "zphtstnt_client.exe"), self.c_path(e2e.TOOLS_DIR))
        if self.topology is not None:
            shutil.copy2(build_file("tests", "e2e", "fakes", "hal", "hal.dll"),
                         self.c_path("windows", "system32", "hal.dll"))
            with open(self.c_path("fakepci.txt"), "w", newline="\r\n") as f:
                f.write(self.topology)
        return self

    def env(self):
        env = super().env()
        if self.topology is not None:
            # Every process of the prefix inherits this, services.exe and the
            # driver host included; no driver of Wine's own imports hal.dll.
            env["WINEDLLOVERRIDES"] += ";hal=n"
        return env

    def client(self, *args, check=False, timeout=30):
        """Runs zphtstnt_client with the arguments; returns (exit code, its line)."""
        code, lines = self._tool("zphtstnt_client.exe", args, timeout)
        if check and code != 0:
            raise e2e.AutomationError("[%s] zphtstnt_client %s failed: %s" % (self.name, " ".join(args), lines))
        return code, (lines[0] if lines else "")

    def _tool(self, exe, args, timeout):
        # Output goes through a file: when the tool is the prefix's first
        # process, services.exe and the driver host inherit its handles and
        # would hold a pipe open for as long as the prefix runs.
        argv = ["wine", self.c_path(e2e.TOOLS_DIR, exe)] + [str(a) for a in args]
        out_path = os.path.join(self.dir, "client.out")
        with open(out_path, "wb") as out:
            try:
                code = subprocess.run(argv, env=self.env(), cwd=self.c_path(e2e.TOOLS_DIR),
                                      stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.DEVNULL,
                                      timeout=timeout).returncode
            except subprocess.TimeoutExpired:
                raise e2e.AutomationError("[%s] %s %s hung" % (self.name, exe, " ".join(argv[2:])))
        with open(out_path, "rb") as f:
            lines = f.read().decode("latin-1").splitlines()
        self.log.append((["(client)"] + list(args), code, lines, ""))
        return code, lines

    def service(self):
        """None when no ZPHTSTNT service is registered, else (state, binary path)."""
        code, line = self.client("query")
        if line == "absent":
            return None
        m = re.match(r"state=(\d+) type=\d+ path=(.*)$", line)
        if code != 0 or m is None:
            raise e2e.AutomationError("[%s] cannot query the service: %r" % (self.name, line))
        return int(m.group(1)), m.group(2)

    def request(self, code, length):
        """Sends one request to the running driver: (ok, Win32 error, byte count, bytes)."""
        _, line = self.client("request", "0x%X" % code, length)
        m = re.match(r"ok=(\d) error=(\d+) bytes=(\d+) data=([0-9a-f]*)$", line)
        if m is None:
            raise e2e.AutomationError("[%s] request: %r" % (self.name, line))
        return int(m.group(1)), int(m.group(2)), int(m.group(3)), bytes.fromhex(m.group(4))

    def text(self, dump, control_id):
        raw = dump.text(control_id)
        return None if raw is None else raw.decode(self.encoding)

    def pci_texts(self, dump):
        return tuple(self.text(dump, i) for i in (PCI_BIOS, CHIPSET, LATENCY))

    def report_text(self, name="bridge.txt"):
        """Saves the report through Save Info into C:\\out; returns its text."""
        self.save_report("C:\\%s\\%s" % (e2e.OUTPUT_DIR, name))
        # The Save As dialog is gone before the program has written the file.
        path = self.c_path(e2e.OUTPUT_DIR, name)
        deadline = time.monotonic() + 10
        size = -1
        while time.monotonic() < deadline:
            now = os.path.getsize(path) if os.path.exists(path) else -1
            if now > 0 and now == size:
                break
            size = now
            time.sleep(0.5)
        with open(path, "rb") as f:
            return f.read().decode(self.encoding)
