"""The host-bridge facts end to end under Wine: the driver service's life
cycle around the one query, Wine's HAL without a PCI bus, a synthetic PCI
machine through a test HAL, the Windows 9x path, services that exist
already, and bad requests to the running driver.

Run with ZPH_E2E_BUILD set to the x86_64 build directory:
    ZPH_E2E_BUILD=/path/to/build python3 -m unittest tests/e2e/test_bridge.py"""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import zph_e2e as e2e  # noqa: E402
from bridge_support import (  # noqa: E402
    BridgeScenario, BX_WITH_SAA7146, VIA_WITH_VGA, CHIPSET, LATENCY, PCI_BIOS)

SERVICE_RUNNING = 4
SERVICE_STOPPED = 1
IOCTL_GET_BRIDGE_DATA = 0x9C412000
ERROR_DEV_NOT_EXIST = 55            # STATUS_DEVICE_DOES_NOT_EXIST
ERROR_INVALID_PARAMETER = 87        # STATUS_INVALID_PARAMETER
ERROR_INVALID_USER_BUFFER = 1784    # STATUS_INVALID_BUFFER_SIZE


def setUpModule():
    try:
        session = e2e.Session.get()
    except e2e.SetupError as e:
        raise unittest.SkipTest(str(e))
    first = os.environ.get("ZPH_E2E_FIRST_DISPLAY")
    if first:
        # Parallel runs keep to their own display numbers.
        session._displays.setdefault((1024, 768), e2e.Display(1024, 768, first_number=int(first)))


def tearDownModule():
    e2e.Session.close()


class NtFamily(unittest.TestCase):
    def run_program(self, s, **start):
        s.start(**start)
        dump = s.dump_main()
        # The removal happens before the dialog exists.
        return dump, s.service()

    def test_wine_hal_has_no_pci_bus(self):
        with BridgeScenario("bridge-wine-hal") as s:
            dump, service = self.run_program(s)
            self.assertIsNone(service, "the program left the ZPHTSTNT service behind")
            self.assertEqual("N/A", s.text(dump, CHIPSET))
            self.assertEqual("N/A", s.text(dump, LATENCY))

    def test_synthetic_machine_names_the_chip_set_and_latency(self):
        cases = [
            ("bx", BX_WITH_SAA7146, "Intel 82443BX", "32"),
            ("via", VIA_WITH_VGA, "VIA Unknown(Dev=0691)", "66"),
        ]
        for name, topology, chipset, latency in cases:
            with self.subTest(name), BridgeScenario("bridge-" + name, topology=topology, show_info_file=0) as s:
                dump, service = self.run_program(s)
                self.assertIsNone(service, "the program left the ZPHTSTNT service behind")
                self.assertEqual(chipset, s.text(dump, CHIPSET))
                self.assertEqual(latency, s.text(dump, LATENCY))
                report = s.report_text()
                self.assertIn("Chip Set:           %s\r\n" % chipset, report)
                self.assertIn("PCI Latency Timer:  %s\r\n" % latency, report)
                self.assertNotIn("PCI BIOS Version", report)

    def test_driver_comes_from_the_current_directory(self):
        # Only the working directory's copy counts, not the program's own.
        cases = [
            ("in-cwd", ("work",), "Intel 82443BX"),
            ("in-program-dir", (e2e.PROGRAM_DIR,), "N/A"),
        ]
        for name, dirs, chipset in cases:
            with self.subTest(name), BridgeScenario("bridge-cwd-" + name, topology=BX_WITH_SAA7146,
                                                    driver_dirs=dirs, show_info_file=0) as s:
                os.makedirs(s.c_path("work"), exist_ok=True)
                dump, service = self.run_program(s, cwd=s.c_path("work"))
                self.assertEqual(chipset, s.text(dump, CHIPSET))
                self.assertIsNone(service, "a service whose start failed must be deleted again")

    def test_running_driver_is_used_and_left_running(self):
        with BridgeScenario("bridge-running", topology=BX_WITH_SAA7146) as s:
            s.client("create", "C:\\zph\\ZPHTSTNT.SYS", check=True)
            s.client("start", check=True)
            dump, service = self.run_program(s)
            self.assertEqual("Intel 82443BX", s.text(dump, CHIPSET))
            self.assertEqual("32", s.text(dump, LATENCY))
            self.assertEqual((SERVICE_RUNNING, "C:\\zph\\ZPHTSTNT.SYS"), service)

    def test_stopped_existing_service_is_left_untouched(self):
        with BridgeScenario("bridge-stopped", topology=BX_WITH_SAA7146, driver_dirs=(e2e.PROGRAM_DIR, "old")) as s:
            s.client("create", "C:\\old\\ZPHTSTNT.SYS", check=True)
            dump, service = self.run_program(s)
            self.assertEqual("N/A", s.text(dump, CHIPSET))
            self.assertEqual("N/A", s.text(dump, LATENCY))
            self.assertEqual((SERVICE_STOPPED, "C:\\old\\ZPHTSTNT.SYS"), service)


class Windows9x(unittest.TestCase):
    def test_no_pci_facts_and_nothing_installed(self):
        with BridgeScenario("bridge-9x", version="win98", topology=BX_WITH_SAA7146, show_info_file=0) as s:
            s.start()
            dump = s.dump_main()
            # No zphtst32.dll can load here: Wine has no flat thunks.
            self.assertEqual(("N/A", "N/A", "N/A"), s.pci_texts(dump))
            self.assertIsNone(s.service())
            report = s.report_text()
            for line in ("PCI BIOS Version:   N/A\r\n", "Chip Set:           N/A\r\n", "PCI Latency Timer:  N/A\r\n"):
                self.assertIn(line, report)


class BadRequests(unittest.TestCase):
    def test_the_driver_refuses_them_and_keeps_answering(self):
        with BridgeScenario("bridge-requests", topology=BX_WITH_SAA7146) as s:
            s.client("create", "C:\\zph\\ZPHTSTNT.SYS", check=True)
            s.client("start", check=True)
            cases = [
                ("another code", IOCTL_GET_BRIDGE_DATA + 4, 8, ERROR_INVALID_PARAMETER),
                ("another code, short buffer", 0x00222000, 4, ERROR_INVALID_PARAMETER),
                ("7-byte buffer", IOCTL_GET_BRIDGE_DATA, 7, ERROR_INVALID_USER_BUFFER),
            ]
            for name, code, length, error in cases:
                with self.subTest(name):
                    ok, got_error, _, data = s.request(code, length)
                    self.assertEqual((0, error), (ok, got_error))
                    self.assertEqual(b"\xab" * length, data, "a refused request changed the caller's buffer")
            ok, error, count, data = s.request(IOCTL_GET_BRIDGE_DATA, 16)
            self.assertEqual((1, 0, 8), (ok, error, count))
            self.assertEqual(bytes([0x86, 0x80, 0x90, 0x71, 0x20]), data[2:7])
            self.assertEqual(b"\xab" * 8, data[8:])
            self.assertEqual(SERVICE_RUNNING, s.service()[0])

    def test_without_a_host_bridge_the_request_fails(self):
        with BridgeScenario("bridge-no-host", topology="buses 1\n0 3 0 1131 7146 048000 20\n") as s:
            s.client("create", "C:\\zph\\ZPHTSTNT.SYS", check=True)
            s.client("start", check=True)
            ok, error, _, data = s.request(IOCTL_GET_BRIDGE_DATA, 8)
            self.assertEqual((0, ERROR_DEV_NOT_EXIST), (ok, error))
            self.assertEqual(b"\xab" * 8, data)
            s.start()
            self.assertEqual("N/A", s.text(s.dump_main(), CHIPSET))


if __name__ == "__main__":
    unittest.main()
