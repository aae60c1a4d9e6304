#!/usr/bin/env python3
"""Checks a built deliverable the way the oldest target systems will see it.

    python3 tests/pe/check_pe.py PROFILE FILE

PROFILE names the deliverable (only "zphtest", the checker program, so far).
The exit code is 0 when every check holds, 1 when one or more fail (each
failure is printed with its details), and 2 when the file cannot be read as a
PE image at all or the arguments are wrong.

Windows 95 and NT 4.0 give no useful message when an image asks for something
they lack: an import they do not export, a TLS directory, a subsystem version
above 4.0 or a P6 instruction each stop the program before or at its first
use. These checks find such things in the file instead of on the old machine.

Only the Python standard library is used; the PE reader is our own, and the
disassembly comes from mingw-w64's objdump.
"""

import os
import re
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


class PeFormatError(Exception):
    """The file is not a PE image this reader understands."""


# ---------------------------------------------------------------------------
# PE reader

IMAGE_FILE_MACHINE_I386 = 0x014C
IMAGE_FILE_EXECUTABLE_IMAGE = 0x0002
IMAGE_FILE_32BIT_MACHINE = 0x0100
IMAGE_FILE_DLL = 0x2000
PE32_MAGIC = 0x10B
PE32PLUS_MAGIC = 0x20B

DIR_IMPORT = 1
DIR_RESOURCE = 2
DIR_TLS = 9
DIR_DELAY_IMPORT = 13

IMAGE_SCN_CNT_CODE = 0x00000020
IMAGE_SCN_MEM_EXECUTE = 0x20000000


class Section:
    def __init__(self, name, virtual_address, virtual_size, raw_offset, raw_size, flags):
        self.name = name
        self.virtual_address = virtual_address
        self.virtual_size = virtual_size
        self.raw_offset = raw_offset
        self.raw_size = raw_size
        self.flags = flags

    def is_code(self):
        return bool(self.flags & (IMAGE_SCN_CNT_CODE | IMAGE_SCN_MEM_EXECUTE))


class PeImage:
    def __init__(self, data):
        self.data = data
        if len(data) < 0x40 or data[:2] != b"MZ":
            raise PeFormatError("no MZ header")
        pe_offset = self._u32(0x3C)
        if data[pe_offset:pe_offset + 4] != b"PE\0\0":
            raise PeFormatError("no PE signature at offset 0x%X" % pe_offset)
        coff = pe_offset + 4
        (self.machine, section_count, _, _, _, optional_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", data, coff)
        optional = coff + 20
        self.magic = self._u16(optional)
        if self.magic == PE32_MAGIC:
            # PE32: the fields up to the data directories are 96 bytes long.
            fields = struct.unpack_from("<HBBIIIIIIIIIHHHHHHIIIIHHIIIIII", data, optional)
            dirs_offset = optional + 96
        elif self.magic == PE32PLUS_MAGIC:
            fields = struct.unpack_from("<HBBIIIIIQIIHHHHHHIIIIHHQQQQII", data, optional)
            fields = fields[:7] + (0,) + fields[7:]
            dirs_offset = optional + 112
        else:
            raise PeFormatError("unknown optional header magic 0x%X" % self.magic)
        self.entry_point = fields[6]
        self.image_base = fields[9]
        self.os_version = (fields[12], fields[13])
        self.image_version = (fields[14], fields[15])
        self.subsystem_version = (fields[16], fields[17])
        self.subsystem = fields[22]
        self.dll_characteristics = fields[23]
        rva_count = fields[-1]
        self.directories = []
        for i in range(min(rva_count, 16)):
            self.directories.append(struct.unpack_from("<II", data, dirs_offset + 8 * i))
        while len(self.directories) < 16:
            self.directories.append((0, 0))
        self.sections = []
        table = optional + optional_size
        for i in range(section_count):
            raw = data[table + 40 * i:table + 40 * i + 40]
            if len(raw) < 40:
                raise PeFormatError("section table runs past the end of the file")
            name, vsize, vaddr, rsize, roffset = struct.unpack_from("<8sIIII", raw)
            flags = struct.unpack_from("<I", raw, 36)[0]
            self.sections.append(Section(name.rstrip(b"\0").decode("latin-1"),
                                         vaddr, vsize, roffset, rsize, flags))

    def _u16(self, offset):
        return struct.unpack_from("<H", self.data, offset)[0]

    def _u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def directory(self, index):
        return self.directories[index]

    def offset_of(self, rva):
        for s in self.sections:
            size = max(s.virtual_size, s.raw_size)
            if s.virtual_address <= rva < s.virtual_address + size:
                delta = rva - s.virtual_address
                if delta >= s.raw_size:
                    raise PeFormatError("RVA 0x%X lies in the uninitialised part of %s" % (rva, s.name))
                return s.raw_offset + delta
        raise PeFormatError("RVA 0x%X lies in no section" % rva)

    def read(self, rva, size):
        offset = self.offset_of(rva)
        chunk = self.data[offset:offset + size]
        if len(chunk) != size:
            raise PeFormatError("%d bytes at RVA 0x%X run past the end of the file" % (size, rva))
        return chunk

    def u16(self, rva):
        return struct.unpack("<H", self.read(rva, 2))[0]

    def u32(self, rva):
        return struct.unpack("<I", self.read(rva, 4))[0]

    def cstring(self, rva, limit=512):
        offset = self.offset_of(rva)
        end = self.data.find(b"\0", offset, offset + limit)
        if end < 0:
            raise PeFormatError("unterminated name at RVA 0x%X" % rva)
        return self.data[offset:end].decode("latin-1")


def read_imports(pe):
    """Returns [(dll, function or None, ordinal or None)], one per imported entry."""
    rva, size = pe.directory(DIR_IMPORT)
    imports = []
    if rva == 0 or size == 0:
        return imports
    wide = pe.magic == PE32PLUS_MAGIC
    ordinal_flag = 1 << 63 if wide else 1 << 31
    entry_size = 8 if wide else 4
    descriptor = rva
    while True:
        original_thunk, _, _, name_rva, first_thunk = struct.unpack("<IIIII", pe.read(descriptor, 20))
        if original_thunk == 0 and name_rva == 0 and first_thunk == 0:
            break
        dll = pe.cstring(name_rva)
        thunk = original_thunk or first_thunk
        while True:
            raw = pe.read(thunk, entry_size)
            value = struct.unpack("<Q" if wide else "<I", raw)[0]
            if value == 0:
                break
            if value & ordinal_flag:
                imports.append((dll, None, value & 0xFFFF))
            else:
                imports.append((dll, pe.cstring((value & 0x7FFFFFFF) + 2), None))
            thunk += entry_size
        descriptor += 20
    return imports


RT_ICON = 3
RT_DIALOG = 5
RT_STRING = 6
RT_GROUP_ICON = 14
RT_VERSION = 16


def read_resources(pe):
    """Returns {(type, name): {language: bytes}}; type and name are ints or strings."""
    root, size = pe.directory(DIR_RESOURCE)
    resources = {}
    if root == 0 or size == 0:
        return resources

    def entries(directory_rva):
        named, numbered = struct.unpack("<HH", pe.read(directory_rva + 12, 4))
        for i in range(named + numbered):
            name, target = struct.unpack("<II", pe.read(directory_rva + 16 + 8 * i, 8))
            if name & 0x80000000:
                string_rva = root + (name & 0x7FFFFFFF)
                length = pe.u16(string_rva)
                name = pe.read(string_rva + 2, 2 * length).decode("utf-16-le")
            yield name, target

    for type_key, type_target in entries(root):
        if not type_target & 0x80000000:
            raise PeFormatError("resource type %r is not a directory" % (type_key,))
        for name_key, name_target in entries(root + (type_target & 0x7FFFFFFF)):
            if not name_target & 0x80000000:
                raise PeFormatError("resource %r/%r is not a directory" % (type_key, name_key))
            languages = resources.setdefault((type_key, name_key), {})
            for language, data_target in entries(root + (name_target & 0x7FFFFFFF)):
                if data_target & 0x80000000:
                    raise PeFormatError("resource %r/%r/%r nests too deep" % (type_key, name_key, language))
                data_rva, data_size = struct.unpack("<II", pe.read(root + data_target, 8))
                languages[language] = pe.read(data_rva, data_size)
    return resources


# ---------------------------------------------------------------------------
# Resource decoders

class ResourceFormatError(Exception):
    """A resource's bytes do not follow its type's layout."""


class Reader:
    """Little-endian reads from one resource's bytes, with offsets from its start."""

    def __init__(self, data, offset=0):
        self.data = data
        self.offset = offset

    def take(self, fmt):
        size = struct.calcsize(fmt)
        if self.offset + size > len(self.data):
            raise ResourceFormatError("ends early at byte %d" % self.offset)
        values = struct.unpack_from("<" + fmt, self.data, self.offset)
        self.offset += size
        return values if len(values) > 1 else values[0]

    def wide_string(self):
        end = self.offset
        while True:
            if end + 2 > len(self.data):
                raise ResourceFormatError("unterminated text at byte %d" % self.offset)
            if self.data[end:end + 2] == b"\0\0":
                break
            end += 2
        text = self.data[self.offset:end].decode("utf-16-le")
        self.offset = end + 2
        return text

    def string_or_ordinal(self):
        """A template's sz_Or_Ord: None for empty, an int for an ordinal, else the text."""
        first = self.take("H")
        if first == 0x0000:
            return None
        if first == 0xFFFF:
            return self.take("H")
        self.offset -= 2
        return self.wide_string()

    def align(self, boundary=4):
        self.offset = (self.offset + boundary - 1) // boundary * boundary


class DialogItem:
    def __init__(self, item_id, class_name, style, x, y, cx, cy, text):
        self.item_id = item_id
        self.class_name = class_name
        self.style = style
        self.x, self.y, self.cx, self.cy = x, y, cx, cy
        self.text = text


class Dialog:
    def __init__(self):
        self.extended = False
        self.items = []


# Ordinal classes of dialog items, as the dialog manager knows them.
ATOM_CLASSES = {0x80: "button", 0x81: "edit", 0x82: "static",
                0x83: "listbox", 0x84: "scrollbar", 0x85: "combobox"}

DS_SETFONT = 0x40  # also part of DS_SHELLFONT


def decode_dialog(data):
    """Decodes a DIALOG (DLGTEMPLATE) or DIALOGEX (DLGTEMPLATEEX) template."""
    r = Reader(data)
    d = Dialog()
    version, signature = struct.unpack_from("<HH", data, 0) if len(data) >= 4 else (0, 0)
    if version == 1 and signature == 0xFFFF:
        d.extended = True
        r.take("HH")
        _, d.ex_style, d.style, count = r.take("IIIH")
    else:
        d.style, d.ex_style, count = r.take("IIH")
    d.x, d.y, d.cx, d.cy = r.take("hhhh")
    d.menu = r.string_or_ordinal()
    d.class_name = r.string_or_ordinal()
    d.caption = r.wide_string()
    d.font = None
    if d.style & DS_SETFONT:
        points = r.take("H")
        if d.extended:
            r.take("HBB")  # weight, italic, character set
        d.font = (r.wide_string(), points)
    for _ in range(count):
        r.align()
        if d.extended:
            _, _, style = r.take("III")
            x, y, cx, cy = r.take("hhhh")
            item_id = r.take("I")
        else:
            style, _ = r.take("II")
            x, y, cx, cy = r.take("hhhh")
            item_id = r.take("H")
        class_name = r.string_or_ordinal()
        if isinstance(class_name, int):
            class_name = ATOM_CLASSES.get(class_name, "#0x%X" % class_name)
        text = r.string_or_ordinal()
        if text is None:
            text = ""
        extra = r.take("H")
        r.offset += extra
        d.items.append(DialogItem(item_id, class_name, style, x, y, cx, cy, text))
    return d


def decode_string_block(data):
    """The 16 texts of a string-table block, in order; a missing text is ''."""
    r = Reader(data)
    texts = []
    for _ in range(16):
        length = r.take("H")
        if r.offset + 2 * length > len(data):
            raise ResourceFormatError("text %d of the block runs past its end" % len(texts))
        texts.append(data[r.offset:r.offset + 2 * length].decode("utf-16-le"))
        r.offset += 2 * length
    return texts


class VersionNode:
    def __init__(self, key, value_type, value, children):
        self.key = key
        self.value_type = value_type  # 0 binary, 1 text
        self.value = value
        self.children = children

    def child(self, key):
        for c in self.children:
            if c.key == key:
                return c
        return None


def decode_version_node(data, offset=0):
    """Decodes one VS_VERSIONINFO-style node (and its children) at offset."""
    r = Reader(data, offset)
    length, value_length, value_type = r.take("HHH")
    end = offset + length
    if length < 6 or end > len(data):
        raise ResourceFormatError("node at byte %d has a bad length %d" % (offset, length))
    key = r.wide_string()
    r.align()
    if value_type == 1:
        # Compilers disagree on whether a text's length counts characters or
        # bytes; the text itself ends at its first NUL either way.
        value = ""
        if value_length:
            raw = data[r.offset:end]
            value = raw.decode("utf-16-le", "replace").split("\0", 1)[0]
            r.offset += min(2 * value_length, end - r.offset)
    else:
        value = data[r.offset:r.offset + value_length]
        r.offset += value_length
    r.align()
    children = []
    while r.offset + 6 <= end:
        child_length = struct.unpack_from("<H", data, r.offset)[0]
        if child_length == 0:
            break
        children.append(decode_version_node(data, r.offset))
        r.offset += child_length
        r.align()
    return VersionNode(key, value_type, value, children)


# ---------------------------------------------------------------------------
# Data files

def split_fields(line):
    """Splits a data line into fields; "..." quotes, with \\n, \\\\ and \\" inside.

    A field may be key=value, and its value may be quoted. Returns a list of
    strings; quoted text keeps its blanks.
    """
    fields = []
    i = 0
    n = len(line)
    while i < n:
        if line[i].isspace():
            i += 1
            continue
        field = []
        while i < n and not line[i].isspace():
            if line[i] == '"':
                i += 1
                while True:
                    if i >= n:
                        raise ValueError("unterminated quote in: %s" % line)
                    c = line[i]
                    if c == '"':
                        i += 1
                        break
                    if c == "\\" and i + 1 < n:
                        nxt = line[i + 1]
                        field.append({"n": "\n", "\\": "\\", '"': '"'}.get(nxt, "\\" + nxt))
                        i += 2
                        continue
                    field.append(c)
                    i += 1
            else:
                field.append(line[i])
                i += 1
        fields.append("".join(field))
    return fields


def data_lines(name):
    """(line number, fields) of a data file beside this script, without comments."""
    path = os.path.join(HERE, name)
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            yield number, split_fields(line)


def load_import_allowlist(name):
    """{lower-case DLL name: set of function names}."""
    allowed = {}
    for number, fields in data_lines(name):
        if len(fields) != 2:
            raise ValueError("%s:%d: expected 'DLL function'" % (name, number))
        allowed.setdefault(fields[0].lower(), set()).add(fields[1])
    return allowed


def load_strings(name):
    """{language: {id: text}}."""
    strings = {}
    for number, fields in data_lines(name):
        if len(fields) != 3:
            raise ValueError("%s:%d: expected 'language id \"text\"'" % (name, number))
        strings.setdefault(int(fields[0], 0), {})[int(fields[1])] = fields[2]
    return strings


STYLE_NAMES = {
    "WS_POPUP": 0x80000000, "WS_CHILD": 0x40000000, "WS_VISIBLE": 0x10000000,
    "WS_CAPTION": 0x00C00000, "WS_BORDER": 0x00800000, "WS_DLGFRAME": 0x00400000,
    "WS_VSCROLL": 0x00200000, "WS_SYSMENU": 0x00080000, "WS_GROUP": 0x00020000,
    "WS_TABSTOP": 0x00010000,
    "DS_MODALFRAME": 0x80, "DS_SETFONT": 0x40,
    "BS_PUSHBUTTON": 0x0, "BS_DEFPUSHBUTTON": 0x1, "BS_AUTOCHECKBOX": 0x3, "BS_GROUPBOX": 0x7,
    "SS_LEFT": 0x0, "SS_USERITEM": 0xA, "SS_SUNKEN": 0x1000,
    "CBS_DROPDOWN": 0x2, "CBS_SORT": 0x100,
}


def parse_style(text):
    value = 0
    for part in text.split("|"):
        value |= STYLE_NAMES[part] if part in STYLE_NAMES else int(part, 0)
    return value


class ExpectedControl:
    def __init__(self, item_id, class_name, style, x, y, cx, cy, texts):
        self.item_id = item_id
        self.class_name = class_name
        self.style = style
        self.x, self.y, self.cx, self.cy = x, y, cx, cy
        self.texts = texts  # {language: text}, or {None: text} for every language

    def text_for(self, language):
        return self.texts.get(language, self.texts.get(None))

    def copy(self, **changes):
        c = ExpectedControl(self.item_id, self.class_name, self.style, self.x, self.y,
                            self.cx, self.cy, dict(self.texts))
        for k, v in changes.items():
            setattr(c, k, v)
        return c


class ExpectedDialog:
    def __init__(self, base_id, style, cx, cy, caption):
        self.base_id = base_id
        self.style = style
        self.cx, self.cy = cx, cy
        self.caption = caption
        self.controls = []


LANGUAGE_CODES = {"ja": 0x0411, "en": 0x0409}


def load_dialogs(name):
    """({language: (face, points)}, {base id: ExpectedDialog})."""
    fonts = {}
    dialogs = {}
    current = None
    for number, fields in data_lines(name):
        where = "%s:%d" % (name, number)
        if fields[0] == "font":
            fonts[int(fields[1], 0)] = (fields[2], int(fields[3]))
        elif fields[0] == "dialog":
            options = dict(f.split("=", 1) for f in fields[2:])
            cx, cy = (int(v) for v in options["size"].split("x"))
            current = ExpectedDialog(int(fields[1]), parse_style(options["style"]), cx, cy,
                                     options["caption"])
            dialogs[current.base_id] = current
        else:
            if current is None or len(fields) < 8:
                raise ValueError("%s: control line outside a dialog or too short" % where)
            item_id = int(fields[0]) & 0xFFFF
            style = STYLE_NAMES["WS_CHILD"] | STYLE_NAMES["WS_VISIBLE"] | parse_style(fields[2])
            x, y, cx, cy = (int(v) for v in fields[3:7])
            texts = {}
            for f in fields[7:]:
                key, sep, value = f.partition("=")
                if sep and key in LANGUAGE_CODES:
                    texts[LANGUAGE_CODES[key]] = value
                else:
                    texts[None] = f
            current.controls.append(ExpectedControl(item_id, fields[1], style, x, y, cx, cy, texts))
    return fonts, dialogs


def derive_nt_main_dialog(main):
    """The NT-family main dialog: the Windows 9x one without its PCI BIOS row.

    The "PCI BIOS Version" label and control 411 go, the "Machine Info" group
    box shrinks from 90 to 75, and everything from the "Chip Set" label on moves
    up by the row's 15 units, the dialog with it.
    """
    nt = ExpectedDialog(main.base_id + 1, main.style, main.cx, main.cy - 15, main.caption)
    below_row = False
    for c in main.controls:
        text = c.text_for(None)
        if text == "PCI BIOS Version" or c.item_id == 411:
            continue
        if text == "Chip Set":
            below_row = True
        if text == "Machine Info":
            c = c.copy(cy=c.cy - 15)
        elif below_row:
            c = c.copy(y=c.y - 15)
        nt.controls.append(c)
    return nt


# ---------------------------------------------------------------------------
# Results

class Results:
    def __init__(self):
        self.failures = []
        self.groups = []

    def check(self, group, failures):
        failures = list(failures)
        self.groups.append((group, failures))
        self.failures.extend(failures)

    def print_and_exit_code(self, path, profile_name):
        for group, failures in self.groups:
            if failures:
                print("FAIL %s" % group)
                for f in failures:
                    print("     - %s" % f)
            else:
                print("ok   %s" % group)
        if self.failures:
            print("%s: %d problem(s) for profile %s" % (path, len(self.failures), profile_name))
            return 1
        print("%s: every check of profile %s holds" % (path, profile_name))
        return 0


# ---------------------------------------------------------------------------
# Checks shared by the profiles

SUBSYSTEM_NAMES = {1: "native", 2: "Windows GUI", 3: "Windows console"}


def check_headers(pe, profile):
    if pe.magic != PE32_MAGIC:
        yield "optional header is PE32+ (magic 0x%X), not PE32" % pe.magic
    if pe.machine != IMAGE_FILE_MACHINE_I386:
        yield "machine is 0x%04X, not i386 (0x014C)" % pe.machine
    if not pe.characteristics & IMAGE_FILE_EXECUTABLE_IMAGE:
        yield "IMAGE_FILE_EXECUTABLE_IMAGE is not set"
    if not pe.characteristics & IMAGE_FILE_32BIT_MACHINE:
        yield "IMAGE_FILE_32BIT_MACHINE is not set"
    is_dll = bool(pe.characteristics & IMAGE_FILE_DLL)
    if is_dll != profile["dll"]:
        yield "IMAGE_FILE_DLL is %s, expected %s (a %s)" % (
            "set" if is_dll else "clear", "set" if profile["dll"] else "clear",
            "DLL" if profile["dll"] else "program or driver, not a DLL")
    want = profile["subsystem"]
    if pe.subsystem != want:
        yield "subsystem is %d (%s), expected %d (%s)" % (
            pe.subsystem, SUBSYSTEM_NAMES.get(pe.subsystem, "?"), want, SUBSYSTEM_NAMES[want])
    if pe.subsystem_version != profile["subsystem_version"]:
        yield "subsystem version is %d.%d, expected %d.%d" % (pe.subsystem_version + profile["subsystem_version"])
    if pe.os_version != profile["os_version"]:
        yield "operating system version is %d.%d, expected %d.%d" % (pe.os_version + profile["os_version"])


def check_no_tls_or_delay_imports(pe):
    rva, size = pe.directory(DIR_TLS)
    if rva or size:
        yield ("has a TLS directory (RVA 0x%X, %d bytes): a C runtime slipped in, and static TLS "
               "makes LoadLibrary fail on Windows 95 and NT 4.0" % (rva, size))
    rva, size = pe.directory(DIR_DELAY_IMPORT)
    if rva or size:
        yield "has a delay-import directory (RVA 0x%X, %d bytes)" % (rva, size)


RUNTIME_DLL = re.compile(r"^(msvcr|msvcp|ucrt|vcruntime|libstdc\+\+|libgcc|libwinpthread|api-ms-|ext-ms-|mingwm)",
                         re.IGNORECASE)


def check_imports(pe, profile):
    allowed = load_import_allowlist(profile["import_allowlist"])
    allowed_dlls = {d.lower() for d in profile["import_dlls"]}
    for dll in allowed:
        if dll not in allowed_dlls:
            yield "%s lists %s, which is not a DLL this deliverable may import from" % (
                profile["import_allowlist"], dll)
    imports = read_imports(pe)
    if not imports:
        yield "the image imports nothing at all (no import directory found)"
    reported_dlls = set()
    for dll, function, ordinal in imports:
        key = dll.lower()
        if key not in allowed_dlls:
            if key not in reported_dlls:
                reported_dlls.add(key)
                why = ("a C or C++ runtime DLL" if RUNTIME_DLL.match(dll)
                       else "not a DLL that both Windows 95 and NT 4.0 ship")
                names = sorted(f if f else "#%d" % o for d, f, o in imports if d.lower() == key)
                yield "imports from %s (%s): %s" % (dll, why, ", ".join(names))
            continue
        if function is None:
            yield "imports %s by ordinal %d; only imports by name are allowed" % (dll, ordinal)
        elif function not in allowed.get(key, set()):
            yield "imports %s!%s, which is not in %s" % (dll, function, profile["import_allowlist"])


# Pentium (P5) instructions as objdump names them in Intel syntax: the 486's
# integer and x87 sets plus CPUID, RDTSC, CMPXCHG8B, RDMSR, WRMSR and RSM.
PENTIUM_INTEGER = set("""
aaa aad aam aas adc add and arpl bound bsf bsr bswap bt btc btr bts call cbw cwde
cdq cwd clc cld cli clts cmc cmp cmps cmpsb cmpsw cmpsd cmpxchg cmpxchg8b cpuid
daa das dec div enter hlt idiv imul in inc ins insb insw insd int int3 into invd
invlpg iret iretd iretw lahf lar lds lea leave les lfs lgdt lgs lidt lldt lmsw
lods lodsb lodsw lodsd loop loope loopne loopz loopnz lsl lss ltr mov movs movsb
movsw movsd movsx movzx mul neg nop not or out outs outsb outsw outsd pop popa
popad popaw popf popfd popfw push pusha pushad pushaw pushf pushfd pushfw rcl rcr
rdmsr rdtsc ret retf retn rol ror rsm sahf sal sar sbb scas scasb scasw scasd sgdt
shl shld shr shrd sidt sldt smsw stc std sti stos stosb stosw stosd str sub test
verr verw wait fwait wbinvd wrmsr xadd xchg xlat xlatb xor ljmp lcall lret
jmp jcxz jecxz ja jae jb jbe jc je jg jge jl jle jna jnae jnb jnbe jnc jne jng jnge
jnl jnle jno jnp jns jnz jo jp jpe jpo js jz
seta setae setb setbe setc sete setg setge setl setle setna setnae setnb setnbe
setnc setne setng setnge setnl setnle setno setnp setns setnz seto setp setpe setpo
sets setz
""".split())
PENTIUM_X87 = set("""
f2xm1 fabs fadd faddp fbld fbstp fchs fclex fnclex fcom fcomp fcompp fcos fdecstp
fdiv fdivp fdivr fdivrp ffree fiadd ficom ficomp fidiv fidivr fild fimul fincstp
finit fninit fist fistp fisub fisubr fld fld1 fldcw fldenv fldl2e fldl2t fldlg2
fldln2 fldpi fldz fmul fmulp fnop fpatan fprem fprem1 fptan frndint frstor fsave
fnsave fscale fsin fsincos fsqrt fst fstcw fnstcw fstenv fnstenv fstp fstsw fnstsw
fsub fsubp fsubr fsubrp ftst fucom fucomp fucompp fxam fxch fxtract fyl2x fyl2xp1
""".split())
# UD2 is new with the Pentium Pro only as a name: its opcode is undefined on
# every processor, so on a Pentium it traps exactly as intended. PAUSE is
# REP NOP, which older processors execute as a plain NOP.
HARMLESS = {"ud2", "pause"}
PREFIXES = {"rep", "repe", "repz", "repne", "repnz", "lock", "data16", "data32", "addr16",
            "addr32", "cs", "ds", "es", "fs", "gs", "ss"}
P6_REASONS = [
    (re.compile(r"^(cmov|fcmov)"), "conditional move (Pentium Pro)"),
    (re.compile(r"^(f?u?comip?)$"), "FCOMI family (Pentium Pro)"),
    (re.compile(r"^(sysenter|sysexit)$"), "fast system call (Pentium II)"),
    (re.compile(r"^(syscall|sysret)"), "SYSCALL (AMD K6-2 and later)"),
    (re.compile(r"^rdpmc$"), "RDPMC (Pentium Pro)"),
    (re.compile(r"^(fxsave|fxrstor|ldmxcsr|stmxcsr)"), "SSE state (Pentium II/III)"),
    (re.compile(r"^(endbr|rdssp|incssp)"), "CET hint (a multi-byte NOP the Pentium lacks)"),
    (re.compile(r"^(prefetch|[lsm]fence|clflush|movnt)"), "SSE cache control"),
    (re.compile(r"^emms$"), "MMX (Pentium with MMX)"),
    (re.compile(r"^femms$|^pf"), "3DNow!"),
    (re.compile(r"^fisttp"), "SSE3"),
]
SIMD_REGISTER = re.compile(r"\b[xyz]?mm\d+\b|\bk[0-7]\b")


def classify_instruction(mnemonic, operands):
    """None for a Pentium instruction, else why it is not one."""
    if SIMD_REGISTER.search(operands):
        return "uses an MMX/SSE register"
    if mnemonic == "nop" and operands:
        return "multi-byte NOP (0F 1F), which needs a Pentium Pro"
    if mnemonic in PENTIUM_INTEGER or mnemonic in PENTIUM_X87 or mnemonic in HARMLESS:
        return None
    for pattern, reason in P6_REASONS:
        if pattern.search(mnemonic):
            return reason
    return "not in the Pentium instruction set"


OBJDUMP_LINE = re.compile(r"^\s*([0-9a-f]+):\s+(.*)$")


def code_end(pe, section):
    """Where the instructions of a code section end.

    GNU ld puts the constructor and destructor lists (-1, pointers, 0 each) at
    the end of .text. They are data, and decode as nonsense, so the
    disassembly stops before them.
    """
    size = min(section.virtual_size or section.raw_size, section.raw_size)
    data = pe.data[section.raw_offset:section.raw_offset + size]
    words = [struct.unpack_from("<I", data, i)[0] for i in range(0, len(data) - 3, 4)]
    while words and words[-1] == 0 and len(words) >= 2 and words[-2] == 0:
        words.pop()
    end = len(words)
    for _ in range(2):  # destructor list, then constructor list before it
        if end == 0 or words[end - 1] != 0:
            break
        start = end - 2
        while start >= 0 and words[start] not in (0, 0xFFFFFFFF):
            start -= 1
        if start < 0 or words[start] != 0xFFFFFFFF:
            break
        end = start
    return end * 4 if end < len(words) else size


def check_code(pe, path, profile):
    if pe.machine != IMAGE_FILE_MACHINE_I386:
        yield "not disassembled: the image holds no i386 code"
        return
    objdump = os.environ.get("OBJDUMP", profile["objdump"])
    sections = [s for s in pe.sections if s.is_code()]
    if not sections:
        yield "no code section"
        return
    bad = []
    for section in sections:
        start = pe.image_base + section.virtual_address
        command = [objdump, "-D", "-M", "intel", "--no-show-raw-insn", "-w", "-j", section.name,
                   "--stop-address=0x%X" % (start + code_end(pe, section)), path]
        try:
            run = subprocess.run(command, capture_output=True, text=True, errors="replace")
        except OSError as e:
            yield "cannot run %s: %s" % (objdump, e)
            return
        if run.returncode != 0:
            yield "%s failed: %s" % (" ".join(command), run.stderr.strip())
            return
        seen = 0
        for line in run.stdout.splitlines():
            m = OBJDUMP_LINE.match(line)
            if not m:
                continue
            # Symbolic names in <...> are not operands.
            text = re.sub(r"<[^>]*>", "", m.group(2)).strip()
            words = text.split()
            while words and words[0] in PREFIXES:
                words.pop(0)
            if not words:
                continue
            seen += 1
            mnemonic = words[0]
            operands = " ".join(words[1:])
            if mnemonic == "(bad)":
                bad.append((m.group(1), text, "bytes that decode as no instruction"))
                continue
            reason = classify_instruction(mnemonic, operands)
            if reason:
                bad.append((m.group(1), text, reason))
        if seen == 0:
            yield "%s printed no instructions for %s" % (objdump, section.name)
    for address, text, reason in bad[:40]:
        yield "0x%s: %s -- %s" % (address, text, reason)
    if len(bad) > 40:
        yield "... and %d more instructions beyond the Pentium" % (len(bad) - 40)


# ---------------------------------------------------------------------------
# Resource checks of the program

def language_name(language):
    return "0x%04X" % language if isinstance(language, int) else repr(language)


def find_resource(resources, rtype, name, language, failures):
    """The bytes of one resource in one language; notes a failure when it is absent.

    Lookup in the program goes by id alone, so the resource must exist in
    exactly the one language it belongs to.
    """
    languages = resources.get((rtype, name))
    label = {RT_DIALOG: "RT_DIALOG", RT_STRING: "RT_STRING", RT_GROUP_ICON: "RT_GROUP_ICON",
             RT_VERSION: "RT_VERSION", RT_ICON: "RT_ICON"}.get(rtype, str(rtype))
    if not languages:
        failures.append("%s %s is missing" % (label, name))
        return None
    if language is not None:
        if language not in languages:
            failures.append("%s %s is in language %s, expected %s" % (
                label, name, ", ".join(language_name(l) for l in sorted(languages, key=str)),
                language_name(language)))
            return None
        if len(languages) > 1:
            failures.append("%s %s exists in several languages (%s); expected only %s" % (
                label, name, ", ".join(language_name(l) for l in sorted(languages, key=str)),
                language_name(language)))
        return languages[language]
    return next(iter(languages.values()))


def describe_style(style):
    return "0x%08X" % style


def compare_dialog(resources, template_id, language, expected, font, failures):
    data = find_resource(resources, RT_DIALOG, template_id, language, failures)
    if data is None:
        return
    where = "dialog %d" % template_id
    try:
        d = decode_dialog(data)
    except (ResourceFormatError, UnicodeDecodeError, struct.error) as e:
        failures.append("%s: cannot be decoded: %s" % (where, e))
        return
    if d.style != expected.style:
        failures.append("%s: style %s, expected %s" % (where, describe_style(d.style),
                                                       describe_style(expected.style)))
    if (d.cx, d.cy) != (expected.cx, expected.cy):
        failures.append("%s: size %d x %d, expected %d x %d" % (where, d.cx, d.cy, expected.cx, expected.cy))
    if d.caption != expected.caption:
        failures.append("%s: caption %r, expected %r" % (where, d.caption, expected.caption))
    if d.font != font:
        failures.append("%s: font %r, expected %r" % (where, d.font, font))
    if len(d.items) != len(expected.controls):
        failures.append("%s: %d controls, expected %d" % (where, len(d.items), len(expected.controls)))
    for index, (got, want) in enumerate(zip(d.items, expected.controls)):
        # Ids of -1 are 0xFFFF in a DIALOG and may be 0xFFFFFFFF in a DIALOGEX.
        got_id = got.item_id & 0xFFFF if got.item_id == 0xFFFFFFFF else got.item_id
        label = "%s control %d (id %d, %r)" % (where, index + 1,
                                               want.item_id if want.item_id != 0xFFFF else -1,
                                               want.text_for(language))
        problems = []
        if got_id != want.item_id:
            problems.append("id %d" % got.item_id)
        if not isinstance(got.class_name, str) or got.class_name.lower() != want.class_name.lower():
            problems.append("class %r" % (got.class_name,))
        if got.style != want.style:
            problems.append("style %s instead of %s" % (describe_style(got.style), describe_style(want.style)))
        if (got.x, got.y, got.cx, got.cy) != (want.x, want.y, want.cx, want.cy):
            problems.append("at %d, %d size %d x %d instead of %d, %d size %d x %d" % (
                got.x, got.y, got.cx, got.cy, want.x, want.y, want.cx, want.cy))
        if got.text != want.text_for(language):
            problems.append("text %r" % (got.text,))
        if problems:
            failures.append("%s: %s" % (label, "; ".join(problems)))


def check_dialogs(resources):
    failures = []
    fonts, dialogs = load_dialogs("zphtest_dialogs.txt")
    dialogs[102] = derive_nt_main_dialog(dialogs[101])
    for base_id in sorted(dialogs):
        for language, offset in ((0x0411, 0), (0x0409, 1000)):
            compare_dialog(resources, base_id + offset, language, dialogs[base_id], fonts[language], failures)
    return failures


def check_strings(resources):
    failures = []
    expected = load_strings("zphtest_strings.txt")
    for language in sorted(expected):
        texts = {}
        for block in sorted({i // 16 + 1 for i in expected[language]}):
            data = find_resource(resources, RT_STRING, block, language, failures)
            if data is None:
                continue
            try:
                for n, text in enumerate(decode_string_block(data)):
                    texts[(block - 1) * 16 + n] = text
            except (ResourceFormatError, UnicodeDecodeError, struct.error) as e:
                failures.append("RT_STRING block %d: cannot be decoded: %s" % (block, e))
        for string_id in sorted(expected[language]):
            block = string_id // 16 + 1
            if ((RT_STRING, block) not in resources) or language not in resources[(RT_STRING, block)]:
                continue  # already reported with its block
            text = texts.get(string_id, "")
            if text == "":
                failures.append("string %d (language %s) is missing or empty" % (string_id, language_name(language)))
            elif text != expected[language][string_id]:
                failures.append("string %d (language %s) reads %r, expected %r" % (
                    string_id, language_name(language), text, expected[language][string_id]))
            elif language == 0x0411:
                try:
                    text.encode("cp932")
                except UnicodeEncodeError as e:
                    failures.append("string %d has a character code page 932 cannot hold: %s" % (string_id, e))
    return failures


def check_icon(resources):
    failures = []
    data = find_resource(resources, RT_GROUP_ICON, 100, None, failures)
    if data is None:
        return failures
    r = Reader(data)
    try:
        reserved, kind, count = r.take("HHH")
        if reserved != 0 or kind != 1:
            failures.append("RT_GROUP_ICON 100: header %d/%d is not an icon directory" % (reserved, kind))
        if count != 1:
            failures.append("RT_GROUP_ICON 100 has %d images, expected exactly one" % count)
        for _ in range(count):
            width, height, colours, _, planes, bits, _, icon_id = r.take("BBBBHHIH")
            width = width or 256
            height = height or 256
            if (width, height) != (32, 32) or colours != 16 or bits not in (0, 4) or planes not in (0, 1):
                failures.append("RT_GROUP_ICON 100 lists a %d x %d image with %d colours, %d bits, %d planes; "
                                "expected 32 x 32 with 16 colours (4 bits)" % (width, height, colours, bits, planes))
            image = find_resource(resources, RT_ICON, icon_id, None, failures)
            if image is None:
                continue
            if image[:8] == b"\x89PNG\r\n\x1a\n":
                failures.append("RT_ICON %d is a PNG image, which Windows 95 and NT 4.0 cannot show" % icon_id)
                continue
            size, bmp_width, bmp_height, bmp_planes, bmp_bits = struct.unpack_from("<IiiHH", image, 0)
            if size < 40 or (bmp_width, bmp_height, bmp_planes, bmp_bits) != (32, 64, 1, 4):
                failures.append("RT_ICON %d holds a %d x %d bitmap (%d planes, %d bits); expected 32 x 32 "
                                "(height 64 with its mask), 1 plane, 4 bits" % (
                                    icon_id, bmp_width, bmp_height // 2, bmp_planes, bmp_bits))
    except (ResourceFormatError, struct.error) as e:
        failures.append("RT_GROUP_ICON 100: cannot be decoded: %s" % e)
    return failures


VS_FFI_SIGNATURE = 0xFEEF04BD
VFT_APP = 1


def check_version(resources, expected):
    failures = []
    data = find_resource(resources, RT_VERSION, 1, None, failures)
    if data is None:
        return failures
    try:
        root = decode_version_node(data)
    except (ResourceFormatError, UnicodeDecodeError, struct.error) as e:
        return ["RT_VERSION 1: cannot be decoded: %s" % e]
    if root.key != "VS_VERSION_INFO":
        failures.append("RT_VERSION 1: root key %r, expected 'VS_VERSION_INFO'" % root.key)
    if len(root.value) < 52:
        failures.append("RT_VERSION 1: no VS_FIXEDFILEINFO (value of %d bytes)" % len(root.value))
    else:
        (signature, _, file_ms, file_ls, product_ms, product_ls, _, _, _, file_type,
         _, _, _) = struct.unpack_from("<13I", root.value)

        def dotted(ms, ls):
            return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)

        if signature != VS_FFI_SIGNATURE:
            failures.append("RT_VERSION 1: fixed information signature 0x%08X" % signature)
        if dotted(file_ms, file_ls) != expected["file_version"]:
            failures.append("file version %s, expected %s" % (dotted(file_ms, file_ls), expected["file_version"]))
        if dotted(product_ms, product_ls) != expected["file_version"]:
            failures.append("product version %s, expected %s" % (dotted(product_ms, product_ls),
                                                                expected["file_version"]))
        if file_type != expected["file_type"]:
            failures.append("file type %d, expected %d" % (file_type, expected["file_type"]))

    string_info = root.child("StringFileInfo")
    tables = {}
    if string_info is None:
        failures.append("RT_VERSION 1 has no StringFileInfo")
    else:
        for table in string_info.children:
            tables[table.key] = {s.key: s.value for s in table.children}
        if sorted(tables) != sorted(expected["tables"]):
            failures.append("StringFileInfo tables %s, expected exactly %s" % (
                sorted(tables), sorted(expected["tables"])))
    for key in expected["tables"]:
        strings = tables.get(key)
        if strings is None:
            continue
        for name, value in expected["strings"].items():
            if strings.get(name) != value:
                failures.append("table %s: %s is %r, expected %r" % (key, name, strings.get(name), value))
        for name in expected["non_empty"]:
            if not strings.get(name):
                failures.append("table %s: %s is missing or empty" % (key, name))
    present = [tables[k] for k in expected["tables"] if k in tables]
    for other in present[1:]:
        if other != present[0]:
            differing = sorted(k for k in set(other) | set(present[0]) if other.get(k) != present[0].get(k))
            failures.append("the StringFileInfo tables differ in %s" % ", ".join(differing))

    var_info = root.child("VarFileInfo")
    translation = var_info.child("Translation") if var_info else None
    if translation is None:
        failures.append("RT_VERSION 1 has no VarFileInfo Translation")
    else:
        raw = translation.value
        pairs = [struct.unpack_from("<HH", raw, i) for i in range(0, len(raw) - len(raw) % 4, 4)]
        if pairs != [expected["translation"]]:
            failures.append("Translation is %s, expected exactly [0x%04X, %d]" % (
                ", ".join("[0x%04X, %d]" % p for p in pairs) or "empty", *expected["translation"]))
    return failures


PROGRAM_VERSION = {
    "file_version": "1.5.0.0",
    "file_type": VFT_APP,
    "tables": ["040904e4", "041103a4"],
    "strings": {
        "FileDescription": "Tessaline Environment Checker",
        "FileVersion": "1.05.000",
        "InternalName": "zphtest",
        "OriginalFilename": "zphtest.exe",
        "ProductName": "Tessaline",
        "ProductVersion": "1.05",
    },
    "non_empty": ["CompanyName", "LegalCopyright"],
    "translation": (0x0411, 932),
}


def check_program_resources(pe, results):
    try:
        resources = read_resources(pe)
    except PeFormatError as e:
        results.check("resources", ["the resource directory cannot be read: %s" % e])
        return
    if not resources:
        results.check("resources", ["the image has no resources"])
        return
    results.check("dialog templates", check_dialogs(resources))
    results.check("string table", check_strings(resources))
    results.check("icon", check_icon(resources))
    results.check("version block", check_version(resources, PROGRAM_VERSION))


# ---------------------------------------------------------------------------
# Profiles: what each deliverable must look like.
#
# A profile names the header values, the DLLs and the allowlist file of its
# imports, and the checks of its own. The thunk DLL (zphtst32: "dll": True,
# Windows GUI subsystem, its own allowlist and its two exports) and the NT
# driver (zphtstnt: native subsystem 1, imports from ntoskrnl.exe and hal.dll
# only) are to be added here in the same shape.

WIN32_DLLS_OF_95_AND_NT4 = ["KERNEL32.dll", "USER32.dll", "GDI32.dll", "COMDLG32.dll",
                            "COMCTL32.dll", "SHELL32.dll", "WINMM.dll", "ADVAPI32.dll"]

PROFILES = {
    "zphtest": {
        "description": "the checker program, a Windows GUI executable",
        "dll": False,
        "subsystem": 2,
        "subsystem_version": (4, 0),
        "os_version": (4, 0),
        "import_dlls": WIN32_DLLS_OF_95_AND_NT4,
        "import_allowlist": "zphtest_imports.txt",
        "objdump": "i686-w64-mingw32-objdump",
        "checks": [check_program_resources],
    },
}


def run_profile(profile_name, path):
    profile = PROFILES[profile_name]
    with open(path, "rb") as f:
        pe = PeImage(f.read())
    results = Results()
    results.check("headers", check_headers(pe, profile))
    results.check("no TLS, no delay imports", check_no_tls_or_delay_imports(pe))
    try:
        results.check("imports", check_imports(pe, profile))
    except PeFormatError as e:
        results.check("imports", ["the import directory cannot be read: %s" % e])
    results.check("instruction set (Pentium)", check_code(pe, path, profile))
    for extra in profile["checks"]:
        extra(pe, results)
    return results.print_and_exit_code(path, profile_name)


def main(argv):
    if len(argv) != 3 or argv[1] not in PROFILES:
        print("usage: %s PROFILE FILE" % os.path.basename(argv[0]), file=sys.stderr)
        for name, profile in sorted(PROFILES.items()):
            print("  %-10s %s" % (name, profile["description"]), file=sys.stderr)
        return 2
    try:
        return run_profile(argv[1], argv[2])
    except OSError as e:
        print("%s: %s" % (argv[2], e), file=sys.stderr)
        return 2
    except (PeFormatError, struct.error) as e:
        print("%s: not a readable PE image: %s" % (argv[2], e), file=sys.stderr)
        return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
