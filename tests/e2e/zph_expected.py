"""What the program must show and write, as the tests expect it: the string
table texts in both languages, the About box, the Windows descriptions for
the versions Wine offers, and the saved report."""

import re
from collections import namedtuple

ENCODINGS = {"en": "cp1252", "ja": "cp932"}

NOT_TESTED = {"en": "Not tested", "ja": "テストされていません。"}
LOW_RESOLUTION = {"en": "Set resolution to 800x600 or higher", "ja": "800x600以上の解像度でお使いください。"}
COPY_FILES = {
    "en": "Please copy the following files into the same folder\n"
          "    zphtest.exe\n    zphtst32.dll\n    zphtst16.dll\n    zphtstnt.sys\n    readme.txt",
    "ja": "下記のファイルを同じフォルダにコピーしてください。\n"
          "    zphtest.exe\n    zphtst32.dll\n    zphtst16.dll\n    zphtstnt.sys\n    readme.txt",
}
ABOUT_TEXT = ("Tessaline Environment Checker\nVersion 1.05.000\n\n"
              "Copyright (C) 2001 Tessaline Systems Inc.\nAll rights reserved.")
CAPTION = "Zephon Test"
NOT_AVAILABLE = "N/A"


def text_bytes(table, lang):
    """A text as the program's ANSI calls hand it out in that language's code page."""
    return table[lang].encode(ENCODINGS[lang])


# What Wine 8.0 (Debian) reports to GetVersionExA of a program without a
# manifest, for each value of HKCU\Software\Wine\Version (measured with
# "zphauto version"), and the descriptions the program must make of them.
# On the 9x family the build number carries the version in its high word;
# only the low 16 bits are shown. The prefix's own default is Windows 7
# (6.1.7601 SP1), which the program calls XP: minor version not 0.
WineVersion = namedtuple("WineVersion", "setting major minor build platform csd windows_text windows_line")
WINE_VERSIONS = [
    WineVersion("win95", 4, 0, 0x040003B6, 1, "",
                "Windows 95\nVersion 4.00.950",
                "Windows 95 Version 4.00.950"),
    # build16 2222 is Second Edition; Wine's service text " A " follows the build directly.
    WineVersion("win98", 4, 10, 0x040A08AE, 1, " A ",
                "Windows 98 Second Edition \nVersion 4.10.2222 A ",
                "Windows 98 Second Edition Version 4.10.2222 A "),
    WineVersion("nt40", 4, 0, 1381, 2, "Service Pack 6a",
                "Windows NT Version 4.0\n(Build 1381: Service Pack 6a)",
                "Windows NT Version 4.0 (Build 1381: Service Pack 6a)"),
    WineVersion("win2k", 5, 0, 2195, 2, "Service Pack 4",
                "Windows 2000\n(Build 2195: Service Pack 4)",
                "Windows 2000 (Build 2195: Service Pack 4)"),
    WineVersion(None, 6, 1, 7601, 2, "Service Pack 1",
                "Windows XP\n(Build 7601: Service Pack 1)",
                "Windows XP (Build 7601: Service Pack 1)"),
]


def wine_version(setting):
    return next(v for v in WINE_VERSIONS if v.setting == setting)


def is_nine_x(version):
    return version.platform != 2


PROCESSOR_NAMES = [
    "INTEL CPU - Unknown", "i486DX", "i486SX", "i486DX2", "i486DX2E", "i486DX4", "i486SL", "Pentium",
    "Pentium with MMX", "PentiumPRO", "Pentium II", "Pentium III", "Celeron", "Pentium 4",
    "Pentium III Xeon", "Pentium Xeon", "AMD CPU - Unknown", "Am486", "AMD K5", "AMD K6", "AMD K6 2",
    "AMD K6 3", "ATHLON", "DURON", "Unknown CPU",
]
# Longest names first, so that "Pentium" does not match the start of "Pentium II".
_NAMES = "|".join(re.escape(n) for n in sorted(PROCESSOR_NAMES, key=len, reverse=True))
COMPUTER_LINE = re.compile(
    r"(?P<processor>(?:Dual |[0-9]+ )?(?:%s) (?:\?MHz|[1-9][0-9]{0,2}MHz|[1-9][0-9]*\.[0-9]{3}GHz|[1-9][0-9]*GHz))"
    r" (?P<memory>[0-9]+)MBytes" % _NAMES)


def parse_computer_line(text):
    """(processor text, memory MiB) of control 416's text, or None when it has another form."""
    m = COMPUTER_LINE.fullmatch(text)
    return (m.group("processor"), int(m.group("memory"))) if m else None


def expected_report(lang, windows_line, processor_text, memory_mib, nine_x,
                    pci_bios=NOT_AVAILABLE, chipset=NOT_AVAILABLE, latency=NOT_AVAILABLE):
    """The bytes the report must hold for a run where the overlay test has not run."""
    lines = [
        b"Zephon Test version 1.05.000\r\n\r\n",
        b"------------ Overlay Info\r\n",
        text_bytes(NOT_TESTED, lang) + b"\r\n\r\n",
        b"------------ Machine Info\r\n",
        b"Windows:            " + windows_line.encode("ascii") + b"\r\n",
        b"Computer:           " + processor_text.encode("ascii") + b" %dMBytes\r\n" % memory_mib,
    ]
    if nine_x:
        lines.append(b"PCI BIOS Version:   " + pci_bios.encode("ascii") + b"\r\n")
    lines += [
        b"Chip Set:           " + chipset.encode("ascii") + b"\r\n",
        b"PCI Latency Timer:  " + latency.encode("ascii") + b"\r\n",
        b"\r\n",
    ]
    return b"".join(lines)


def _lines(data):
    """The lines of data with their line ends, split after each LF only."""
    return [l for l in re.split(rb"(?<=\n)", data) if l]


def describe_bytes_difference(expected, actual):
    """A short account of where two byte strings first differ, line by line."""
    exp_lines, act_lines = _lines(expected), _lines(actual)
    for i in range(max(len(exp_lines), len(act_lines))):
        e = exp_lines[i] if i < len(exp_lines) else None
        a = act_lines[i] if i < len(act_lines) else None
        if e != a:
            return "line %d: expected %r, got %r" % (i + 1, e, a)
    return "no difference"
