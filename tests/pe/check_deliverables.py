#!/usr/bin/env python3
"""Checks the thunk DLL and the kernel driver as their target systems see them.

    python3 tests/pe/check_deliverables.py PROFILE FILE

PROFILE is "zphtst32" (the Windows 9x thunk DLL) or "zphtstnt" (the NT
kernel driver). Exit code 0 when every check holds, 1 when some fail, 2 when
the file is no PE image or the arguments are wrong.

Built on the reader and the shared checks of check_pe.py; the checks here
are those only these two files need: exports, the thunk data, the image
checksum and the fixed part of the version block.
"""

import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_pe  # noqa: E402
from check_pe import PeFormatError, ResourceFormatError  # noqa: E402

DIR_EXPORT = 0
DIR_BASERELOC = 5
VOS_NT_WINDOWS32 = 0x00040004
VOS_DOS_WINDOWS32 = 0x00010004
VFT_DRV = 3
VFT2_DRV_INSTALLABLE = 8


def read_exports(pe):
    """(module name, {ordinal: (name or None, rva)})."""
    rva, size = pe.directory(DIR_EXPORT)
    if rva == 0 or size == 0:
        return None, {}
    (_, _, _, _, name_rva, base, function_count, name_count, functions_rva, names_rva,
     ordinals_rva) = struct.unpack("<IIHHIIIIIII", pe.read(rva, 40))
    exports = {}
    for i in range(function_count):
        target = pe.u32(functions_rva + 4 * i)
        if target:
            exports[base + i] = [None, target]
    for i in range(name_count):
        name = pe.cstring(pe.u32(names_rva + 4 * i))
        ordinal = base + pe.u16(ordinals_rva + 2 * i)
        if ordinal in exports:
            exports[ordinal][0] = name
    return pe.cstring(name_rva), {k: tuple(v) for k, v in exports.items()}


def check_exports(pe, profile):
    expected = {}
    module = None
    for number, fields in check_pe.data_lines(profile["exports"]):
        if fields[0] == "module":
            module = fields[1]
        else:
            expected[int(fields[0])] = fields[1]
    try:
        name, exports = read_exports(pe)
    except PeFormatError as e:
        yield "the export directory cannot be read: %s" % e
        return
    if name != module:
        yield "export table names the module %r, expected %r" % (name, module)
    got = {ordinal: export[0] for ordinal, export in exports.items()}
    if got != expected:
        yield "exports %s, expected %s" % (
            ", ".join("%d %s" % (o, n) for o, n in sorted(got.items())) or "nothing",
            ", ".join("%d %s" % (o, n) for o, n in sorted(expected.items())))


def check_no_exports(pe, profile):
    rva, size = pe.directory(DIR_EXPORT)
    if rva or size:
        yield "a kernel driver exports nothing, but this one has an export directory"


def export_rva(pe, wanted):
    _, exports = read_exports(pe)
    for name, rva in exports.values():
        if name == wanted:
            return rva
    return None


def check_thunk_data(pe, profile):
    expected = bytearray()
    for number, fields in check_pe.data_lines(profile["thunk_data"]):
        if int(fields[0]) != len(expected):
            yield "%s:%d: offset %s does not follow on from %d" % (profile["thunk_data"], number, fields[0],
                                                                   len(expected))
            return
        expected += bytes.fromhex(fields[1])
    rva = export_rva(pe, "zphtst_ThunkData32")
    if rva is None:
        yield "no export zphtst_ThunkData32"
        return
    data = pe.read(rva, len(expected))
    if data != bytes(expected):
        first = next(i for i in range(len(data)) if data[i] != expected[i])
        yield "zphtst_ThunkData32 differs from byte %d on: %s, expected %s" % (
            first, data[first:first + 8].hex(), bytes(expected[first:first + 8]).hex())
    # ThunkConnect32 writes the data: it must lie in a writable section.
    for s in pe.sections:
        if s.virtual_address <= rva < s.virtual_address + max(s.virtual_size, s.raw_size):
            if not s.flags & 0x80000000:
                yield "zphtst_ThunkData32 lies in %s, which is not writable" % s.name
    # The entry reaches 16-bit code through a pointer to the first patch area.
    patch = pe.image_base + rva + 36
    text = next((s for s in pe.sections if s.is_code()), None)
    code = pe.data[text.raw_offset:text.raw_offset + text.raw_size] if text else b""
    targets = []
    at = code.find(b"\xff\x15")
    while at >= 0:
        pointer = struct.unpack_from("<I", code, at + 2)[0]
        try:
            targets.append(pe.u32(pointer - pe.image_base))
        except (PeFormatError, struct.error):
            pass
        at = code.find(b"\xff\x15", at + 1)
    if patch not in targets:
        yield "no indirect call goes through a pointer to the first patch area (0x%08X)" % patch


def check_description(pe, profile):
    if profile["description_text"].encode("ascii") + b"\0" not in pe.data:
        yield "the module description %r is not stored in the image" % profile["description_text"]


def check_relocations(pe, profile):
    rva, size = pe.directory(DIR_BASERELOC)
    if rva == 0 or size == 0:
        yield "no base relocations: the loader could not move the image"


def image_checksum(data, field):
    blank = data[:field] + b"\0\0\0\0" + data[field + 4:]
    blank += b"\0" * (len(blank) & 1)
    total = 0
    for (word,) in struct.iter_unpack("<H", blank):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(data)


def check_checksum(pe, profile):
    field = struct.unpack_from("<I", pe.data, 0x3C)[0] + 24 + 64
    stored = struct.unpack_from("<I", pe.data, field)[0]
    want = image_checksum(pe.data, field)
    if stored != want:
        yield "image checksum 0x%08X, expected 0x%08X: NT refuses to load such a driver" % (stored, want)


def check_version_fixed_part(pe, profile):
    expected = profile["version"]
    resources = check_pe.read_resources(pe)
    failures = list(check_pe.check_version(resources, expected))
    data = resources.get((check_pe.RT_VERSION, 1), {})
    for blob in data.values():
        try:
            root = check_pe.decode_version_node(blob)
        except (ResourceFormatError, UnicodeDecodeError, struct.error) as e:
            failures.append("RT_VERSION 1: cannot be decoded: %s" % e)
            continue
        if len(root.value) >= 52:
            fields = struct.unpack_from("<13I", root.value)
            flags_mask, flags, file_os, file_type, subtype = fields[6:11]
            if flags != 0:
                failures.append("file flags 0x%X, expected 0" % flags)
            if file_os != expected["file_os"]:
                failures.append("file OS 0x%08X, expected 0x%08X" % (file_os, expected["file_os"]))
            if subtype != expected["file_subtype"]:
                failures.append("file subtype %d, expected %d" % (subtype, expected["file_subtype"]))
    return failures


COMMON_STRINGS = {"FileVersion": "1.00.000", "ProductName": "Tessaline", "ProductVersion": "1.00"}

PROFILES = {
    "zphtst32": {
        "description": "the Windows 9x thunk DLL",
        "dll": True,
        "subsystem": 2,
        "subsystem_version": (4, 0),
        "os_version": (4, 0),
        "import_dlls": ["KERNEL32.dll"],
        "import_allowlist": "zphtst32_imports.txt",
        "objdump": "i686-w64-mingw32-objdump",
        "exports": "zphtst32_exports.txt",
        "thunk_data": "zphtst32_thunk_data.txt",
        "description_text": "Tessaline Environment Checker Thunks(32bit)",
        "version": {
            "file_version": "1.0.0.0",
            "file_type": VFT_DRV,
            "file_subtype": VFT2_DRV_INSTALLABLE,
            "file_os": VOS_DOS_WINDOWS32,
            "tables": ["041103a4"],
            "strings": dict(COMMON_STRINGS, FileDescription="Tessaline Environment Checker module",
                            InternalName="zphtst32", OriginalFilename="zphtst32.dll"),
            "non_empty": ["CompanyName", "LegalCopyright"],
            "translation": (0x0411, 932),
        },
        "checks": [("exports", check_exports), ("thunk data", check_thunk_data),
                   ("module description", check_description), ("relocations", check_relocations),
                   ("version block", check_version_fixed_part)],
    },
    "zphtstnt": {
        "description": "the NT kernel driver",
        "dll": False,
        "subsystem": 1,
        "subsystem_version": (4, 0),
        "os_version": (4, 0),
        "import_dlls": ["ntoskrnl.exe", "hal.dll"],
        "import_allowlist": "zphtstnt_imports.txt",
        "objdump": "i686-w64-mingw32-objdump",
        "version": {
            "file_version": "1.0.0.0",
            "file_type": VFT_DRV,
            "file_subtype": 0,
            "file_os": VOS_NT_WINDOWS32,
            "tables": ["041104b0", "040904b0"],
            "strings": dict(COMMON_STRINGS, FileDescription="Tessaline Environment Checker NT KRNL Driver",
                            InternalName="zphtstnt", OriginalFilename="zphtstnt.sys"),
            "non_empty": ["CompanyName", "LegalCopyright"],
            "translation": (0x0411, 1200),
        },
        "checks": [("no exports", check_no_exports), ("relocations", check_relocations),
                   ("image checksum", check_checksum), ("version block", check_version_fixed_part)],
    },
}


def results_check(group, check, profile):
    """One of the checks above in the form check_pe's profiles run."""
    def run(pe, results):
        try:
            results.check(group, check(pe, profile))
        except (PeFormatError, struct.error) as e:
            results.check(group, ["cannot be read: %s" % e])
    return run


for _profile in PROFILES.values():
    _profile["checks"] = [results_check(group, check, _profile) for group, check in _profile["checks"]]
check_pe.PROFILES.update(PROFILES)


if __name__ == "__main__":
    sys.exit(check_pe.main(sys.argv))
