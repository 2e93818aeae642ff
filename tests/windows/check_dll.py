#!/usr/bin/env python3
"""Checks the outer facts of a built plugin module with the MinGW objdump.

usage: check_dll.py --bits 32|64 --objdump PROGRAM MODULE

The host only ever sees these facts, so each one is checked on the file
itself: the PE format and DLL flag, the exports by plain name with
ordinals from 1 in alphabetical order, (32-bit) that every return of every
export removes the export's own arguments, exactly the imports the plugin
and the MinGW C runtime call, from Windows system DLLs only, and the resources: icon group 101 with a 32x32 and a 16x16 16-colour
image and nothing else. Every deviation is printed; the exit status is 1 when
there is any.
"""
import argparse
import pathlib
import re
import struct
import subprocess
import sys

# Every export and the number of its arguments, from the module's export
# table. The ordinals are the positions of the names in alphabetical order,
# from 1; a 32-bit export removes 4 bytes for each argument when it returns.
EXPORT_TABLE = pathlib.Path(__file__).resolve().parents[2] / "plugin" / "export_table.h"


def exported_arguments(table):
    rows = re.findall(r"^  X\((\w+), [^,]+, (\w+), \w+, \(([^)]*)\)", table.read_text(), re.M)
    if not rows:
        raise SystemExit(f"check_dll: no exports found in {table}")
    return {name: len(parameters.split(",")) if parameters.strip() else 0
            for _, name, parameters in rows}


EXPORT_ARGUMENTS = exported_arguments(EXPORT_TABLE)
# Export name -> (ordinal, bytes of arguments the export removes on return).
EXPORTS = {name: (ordinal, 4 * EXPORT_ARGUMENTS[name])
           for ordinal, name in enumerate(sorted(EXPORT_ARGUMENTS), start=1)}
FORMATS = {32: ("pei-i386", "010b"), 64: ("pei-x86-64", "020b")}
SYSTEM_DLL = re.compile(r"^(kernel32|user32|setupapi|msvcrt|api-ms-win-crt-[a-z0-9-]+)\.dll$", re.I)

# The module's exact imports, by DLL. First what the plugin itself calls (the
# platform table's Windows calls), the same on both widths.
PLUGIN_IMPORTS = {
    "KERNEL32.dll": {"CloseHandle", "CreateFileA", "CreateFileW", "DeleteFileA", "DeleteFileW",
                     "DeviceIoControl", "GetACP", "GetFileAttributesA", "GetFileAttributesW",
                     "GetFileSize", "GetLastError", "MoveFileExA", "MoveFileExW",
                     "MultiByteToWideChar", "ReadFile", "SetLastError", "WideCharToMultiByte",
                     "WriteFile"},
    "SETUPAPI.dll": {"SetupDiDestroyDeviceInfoList", "SetupDiEnumDeviceInterfaces",
                     "SetupDiGetClassDevsA", "SetupDiGetDeviceInterfaceDetailA"},
    "USER32.dll": {"MessageBoxA", "MessageBoxW"},
    "msvcrt.dll": {"calloc", "free", "malloc", "memcmp", "memcpy", "memset", "realloc", "strchr",
                   "strcmp", "strcspn", "strlen", "strncmp", "strrchr"},
}
# Then what the MinGW C runtime brings: the DLL start-up every MinGW DLL has
# (critical sections, TLS, pseudo-relocations with VirtualProtect and
# VirtualQuery, the 32-bit frame registration's library lookup) and the C99
# snprintf with its locale and multibyte helpers. No thread, process or
# exception-handler call belongs here: one of those means the module links
# a threads library or an unwinder again.
RUNTIME_IMPORTS = {
    32: {"KERNEL32.dll": {"DeleteCriticalSection", "EnterCriticalSection", "FreeLibrary",
                          "GetModuleHandleA", "GetModuleHandleW", "GetProcAddress",
                          "InitializeCriticalSection", "IsDBCSLeadByteEx", "LeaveCriticalSection",
                          "LoadLibraryA", "Sleep", "TlsGetValue", "VirtualProtect", "VirtualQuery"},
         "msvcrt.dll": {"__mb_cur_max", "_amsg_exit", "_errno", "_initterm", "_iob", "_lock",
                        "_unlock", "abort", "atoi", "fputc", "fwrite", "localeconv", "setlocale",
                        "strerror", "vfprintf", "wcslen"}},
    64: {"KERNEL32.dll": {"DeleteCriticalSection", "EnterCriticalSection",
                          "InitializeCriticalSection", "IsDBCSLeadByteEx", "LeaveCriticalSection",
                          "Sleep", "TlsGetValue", "VirtualProtect", "VirtualQuery"},
         "msvcrt.dll": {"___lc_codepage_func", "___mb_cur_max_func", "__iob_func", "_amsg_exit",
                        "_errno", "_initterm", "_lock", "_unlock", "abort", "fputc", "fwrite",
                        "localeconv", "strerror", "vfprintf", "wcslen"}},
}


def expected_imports(bits):
    want = {dll: set(names) for dll, names in PLUGIN_IMPORTS.items()}
    for dll, names in RUNTIME_IMPORTS[bits].items():
        want.setdefault(dll, set()).update(names)
    return want
PE_FLAG_DLL = 0x2000

RT_ICON = 3
RT_GROUP_ICON = 14
ICON_GROUP_ID = 101
# (width, height, bytes) of the images in the icon group, in order.
ICON_IMAGES = [(32, 32, 744), (16, 16, 296)]
RESOURCE_TYPES = {1: "cursor", 2: "bitmap", 3: "icon", 4: "menu", 5: "dialog", 6: "string table",
                  9: "accelerators", 10: "raw data", 11: "message table", 12: "cursor group",
                  14: "icon group", 16: "version", 24: "manifest"}


class Failure(Exception):
    """The module cannot be examined at all."""


def run(objdump, *args):
    try:
        done = subprocess.run([objdump, *args], capture_output=True, text=True, errors="replace")
    except OSError as e:
        raise Failure(f"cannot run {objdump}: {e}")
    if done.returncode != 0:
        raise Failure(f"{objdump} {' '.join(args)} failed: {done.stderr.strip()}")
    return done.stdout


def hexnum(text):
    return int(text, 16)


class Module:
    """What objdump tells about one PE file."""

    def __init__(self, objdump, path):
        self.objdump = objdump
        self.path = path
        self.private = run(objdump, "-p", path)
        self.headers = run(objdump, "-h", path)
        m = re.search(r"file format (\S+)", self.headers)
        if not m:
            raise Failure("objdump names no file format")
        self.format = m.group(1)
        if not self.format.startswith("pei-"):
            raise Failure(f"file format {self.format} is not a PE image")
        m = re.search(r"^ImageBase\s+([0-9a-fA-F]+)", self.private, re.M)
        if not m:
            raise Failure("no ImageBase in the PE header")
        self.image_base = hexnum(m.group(1))
        # [(index from 1, name, vma, size, code?)]
        self.sections = []
        lines = self.headers.splitlines()
        for i, line in enumerate(lines):
            m = re.match(r"^\s*(\d+)\s+(\S+)\s+([0-9a-f]+)\s+([0-9a-f]+)\s+[0-9a-f]+\s+[0-9a-f]+", line)
            if m:
                flags = lines[i + 1] if i + 1 < len(lines) else ""
                self.sections.append((int(m.group(1)) + 1, m.group(2), hexnum(m.group(4)),
                                      hexnum(m.group(3)), "CODE" in flags))

    def field(self, name):
        m = re.search(rf"^{name}\s+(\S+)", self.private, re.M)
        return m.group(1) if m else None

    def section_of(self, vma):
        for number, name, start, size, code in self.sections:
            if start <= vma < start + size:
                return number, name, start, size, code
        return None

    def exports(self):
        """{name: (ordinal, vma)} and the counts objdump reports."""
        text = self.private
        base = re.search(r"^Ordinal Base\s+(\d+)", text, re.M)
        counts = re.search(r"Export Address Table\s+([0-9a-f]+)\s*\n\s*\[Name Pointer/Ordinal\] Table\s+([0-9a-f]+)",
                           text)
        if not base or not counts:
            return None
        base = int(base.group(1))
        rvas = {}
        table = re.search(r"Export Address Table -- Ordinal Base \d+\n(.*?)\n\n", text, re.S)
        for m in re.finditer(r"\[\s*(\d+)\] \+base\[\s*(\d+)\]\s+([0-9a-f]+) (\w+) RVA",
                             table.group(1) if table else ""):
            rvas[int(m.group(1))] = (hexnum(m.group(3)), m.group(4))
        names = {}
        table = re.search(r"\[Ordinal/Name Pointer\] Table\n(.*?)(?:\n\n|\Z)", text, re.S)
        for m in re.finditer(r"^\s*\[\s*(\d+)\]\s+(\S+)\s*$", table.group(1) if table else "", re.M):
            index = int(m.group(1))
            rva, kind = rvas.get(index, (None, None))
            vma = None if rva is None or kind != "Export" else self.image_base + rva
            names[m.group(2)] = (index + base, vma)
        return names, hexnum(counts.group(1)), hexnum(counts.group(2)), base

    def imports(self):
        """{DLL name: set of imported function names (or #ordinals)}."""
        found = {}
        dll = None
        for line in self.private.splitlines():
            m = re.match(r"^\s*DLL Name: (\S+)", line)
            if m:
                dll = m.group(1)
                found.setdefault(dll, set())
                continue
            if line.startswith("The Export Tables"):
                dll = None
                continue
            m = re.match(r"^\s+[0-9a-f]+\s+(\d+)\s+(\S+)\s*$", line)
            if dll is not None and m:
                found[dll].add(m.group(2))
            elif dll is not None and re.match(r"^\s+[0-9a-f]+\s+<none>\s+([0-9a-f]+)", line):
                found[dll].add("#" + line.split()[-1])
        return found

    def symbols(self):
        """Addresses of all symbols in code sections, sorted."""
        table = run(self.objdump, "-t", self.path)
        by_number = {s[0]: s for s in self.sections}
        found = set()
        for m in re.finditer(r"^\[\s*\d+\]\(sec\s+(-?\d+)\).*?\(scl\s+\d+\) \(nx \d+\) 0x([0-9a-f]+) (\S+)",
                             table, re.M):
            section = by_number.get(int(m.group(1)))
            if section and section[4]:
                found.add(section[2] + hexnum(m.group(2)))
        return sorted(found)

    def returns(self, start, stop):
        """[(vma, bytes popped or None for a far return)] between start and stop."""
        listing = run(self.objdump, "-d", "--no-show-raw-insn", f"--start-address={start:#x}",
                      f"--stop-address={stop:#x}", self.path)
        found = []
        for m in re.finditer(r"^\s*([0-9a-f]+):\s+(.*)$", listing, re.M):
            words = m.group(2).split()
            while words and words[0] in ("rep", "repz", "bnd", "notrack", "data16"):
                words = words[1:]
            if not words:
                continue
            if words[0] in ("ret", "retl", "retw"):
                pops = hexnum(words[1][3:]) if len(words) > 1 and words[1].startswith("$0x") else 0
                found.append((hexnum(m.group(1)), pops))
            elif words[0] in ("lret", "lretl", "lretw", "iret", "iretl", "iretw"):
                found.append((hexnum(m.group(1)), None))
        return found

    def section_bytes(self, name):
        """(vma, bytes) of a section."""
        dump = run(self.objdump, "-s", "-j", name, self.path)
        data = bytearray()
        start = None
        for m in re.finditer(r"^ ([0-9a-f]+) ((?:[0-9a-f]{2,8} ?){1,4})", dump, re.M):
            if start is None:
                start = hexnum(m.group(1))
            data += bytes.fromhex(m.group(2).replace(" ", ""))
        return start, bytes(data)


def check_format(module, bits, errors):
    want_format, want_magic = FORMATS[bits]
    if module.format != want_format:
        errors.append(f"file format {module.format}, want {want_format} for a {bits}-bit module")
    magic = module.field("Magic")
    if magic != want_magic:
        errors.append(f"optional header magic {magic}, want {want_magic}")
    flags = module.field("Characteristics")
    if flags is None or not hexnum(flags) & PE_FLAG_DLL:
        errors.append(f"is not a DLL (characteristics {flags})")


def check_exports(module, bits, errors):
    found = module.exports()
    if found is None:
        errors.append("has no export table")
        return
    names, address_count, name_count, base = found
    if base != 1:
        errors.append(f"ordinal base {base}, want 1")
    if address_count != len(EXPORTS) or name_count != len(EXPORTS):
        errors.append(f"export table has {address_count} addresses and {name_count} names, want {len(EXPORTS)}")
    for name in sorted(set(names) - set(EXPORTS)):
        errors.append(f"unexpected export {name}")
    for name in sorted(set(EXPORTS) - set(names)):
        errors.append(f"missing export {name}")
    code_starts = module.symbols() if bits == 32 else []
    if bits == 32 and not code_starts:
        errors.append("no symbol table, so the ends of the exports cannot be found (is the module stripped?)")
    for name, (want_ordinal, pops) in EXPORTS.items():
        if name not in names:
            continue
        ordinal, vma = names[name]
        if ordinal != want_ordinal:
            errors.append(f"{name} has ordinal {ordinal}, want {want_ordinal}")
        if vma is None:
            errors.append(f"{name} is not exported as code")
            continue
        section = module.section_of(vma)
        if not section or not section[4]:
            errors.append(f"{name} at {vma:#x} is not in a code section")
            continue
        if bits == 32 and code_starts:
            check_returns(module, name, vma, pops, section, code_starts, errors)


def check_returns(module, name, start, pops, section, code_starts, errors):
    """Every return between the export's address and the next symbol pops its arguments."""
    section_end = section[2] + section[3]
    stop = min([a for a in code_starts if a > start] + [section_end])
    returns = module.returns(start, stop)
    if not returns:
        errors.append(f"{name}: no return instruction between {start:#x} and {stop:#x}")
    for vma, popped in returns:
        if popped is None:
            errors.append(f"{name}: far return at {vma:#x}")
        elif popped != pops:
            errors.append(f"{name}: return at {vma:#x} pops {popped} bytes, want {pops} (stdcall)")


def check_imports(module, bits, errors):
    found = module.imports()
    want = expected_imports(bits)
    for dll in sorted(found):
        if not SYSTEM_DLL.match(dll):
            errors.append(f"imports from {dll}; only KERNEL32, USER32, SETUPAPI, msvcrt and api-ms-win-crt-* are allowed")
            continue
        for name in sorted(found[dll] - want.get(dll, set())):
            errors.append(f"imports {dll} {name}, which neither the plugin nor the C runtime calls")
    for dll in sorted(want):
        for name in sorted(want[dll] - found.get(dll, set())):
            errors.append(f"does not import {dll} {name}: update the expected imports")


def resource_tree(rva_base, data, offset, depth):
    """{id or name: subtree or (data rva, size)} of the directory at offset."""
    if offset + 16 > len(data):
        raise Failure(f"resource directory at {offset:#x} lies outside the section")
    named, numbered = struct.unpack_from("<HH", data, offset + 12)
    tree = {}
    for i in range(named + numbered):
        entry = offset + 16 + 8 * i
        if entry + 8 > len(data):
            raise Failure("resource directory entry lies outside the section")
        key, target = struct.unpack_from("<II", data, entry)
        key = f"name@{key & 0x7FFFFFFF:#x}" if key & 0x80000000 else key
        if target & 0x80000000:
            if depth >= 2:
                raise Failure("resource tree is deeper than type/name/language")
            tree[key] = resource_tree(rva_base, data, target & 0x7FFFFFFF, depth + 1)
        else:
            if target + 16 > len(data):
                raise Failure("resource data entry lies outside the section")
            rva, size = struct.unpack_from("<II", data, target)
            tree[key] = (rva, size)
    return tree


def leaf(module, rsrc_vma, data, languages, what, errors):
    """The bytes of a resource with exactly one language, or None."""
    if not isinstance(languages, dict) or len(languages) != 1:
        errors.append(f"{what} should exist in exactly one language")
        return None
    rva, size = next(iter(languages.values()))
    offset = module.image_base + rva - rsrc_vma
    if offset < 0 or offset + size > len(data):
        errors.append(f"{what} data lies outside the resource section")
        return None
    return data[offset:offset + size]


def check_resources(module, errors):
    if not any(s[1] == ".rsrc" for s in module.sections):
        errors.append(f"no resources: no icon group {ICON_GROUP_ID}")
        return
    rsrc_vma, data = module.section_bytes(".rsrc")
    tree = resource_tree(rsrc_vma, data, 0, 0)
    for kind in sorted(tree, key=str):
        if kind not in (RT_ICON, RT_GROUP_ICON):
            errors.append(f"unexpected resource type {kind} ({RESOURCE_TYPES.get(kind, 'other')})")
    groups = tree.get(RT_GROUP_ICON, {})
    if list(groups) != [ICON_GROUP_ID]:
        errors.append(f"icon groups {list(groups)}, want only {ICON_GROUP_ID}")
    if ICON_GROUP_ID not in groups:
        errors.append(f"no icon group {ICON_GROUP_ID}")
        return
    group = leaf(module, rsrc_vma, data, groups[ICON_GROUP_ID], f"icon group {ICON_GROUP_ID}", errors)
    if group is None:
        return
    if len(group) < 6:
        errors.append("icon group is truncated")
        return
    reserved, kind, count = struct.unpack_from("<HHH", group, 0)
    if (reserved, kind, count) != (0, 1, len(ICON_IMAGES)) or len(group) != 6 + 14 * count:
        errors.append(f"icon group holds {count} images (type {kind}), want {len(ICON_IMAGES)} icons")
        return
    icons = tree.get(RT_ICON, {})
    members = []
    for i, (want_w, want_h, want_bytes) in enumerate(ICON_IMAGES):
        w, h, colours, _, planes, bpp, size, icon_id = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
        members.append(icon_id)
        got = (w or 256, h or 256, colours, planes, bpp, size)
        want = (want_w, want_h, 16, 1, 4, want_bytes)
        if got != want:
            errors.append(f"icon group image {i + 1} is {got[0]}x{got[1]}, {colours} colours, {planes} plane(s), "
                          f"{bpp} bpp, {size} bytes; want {want_w}x{want_h}, 16 colours, 1 plane, 4 bpp, "
                          f"{want_bytes} bytes")
        image = leaf(module, rsrc_vma, data, icons.get(icon_id), f"icon {icon_id}", errors)
        if image is None:
            continue
        if len(image) != want_bytes:
            errors.append(f"icon {icon_id} has {len(image)} bytes, want {want_bytes}")
        if len(image) >= 40:
            header = struct.unpack_from("<IiiHHI", image, 0)
            if header != (40, want_w, 2 * want_h, 1, 4, 0):
                errors.append(f"icon {icon_id} bitmap header {header}, want {(40, want_w, 2 * want_h, 1, 4, 0)}")
    if sorted(icons, key=str) != sorted(members, key=str):
        errors.append(f"icon images {sorted(icons, key=str)}, but the group holds {sorted(members)}")


def main(argv):
    parser = argparse.ArgumentParser(description="Checks a built plugin module.")
    parser.add_argument("--bits", type=int, choices=(32, 64), required=True)
    parser.add_argument("--objdump", required=True)
    parser.add_argument("module")
    args = parser.parse_args(argv[1:])
    errors = []
    try:
        module = Module(args.objdump, args.module)
        check_format(module, args.bits, errors)
        check_exports(module, args.bits, errors)
        check_imports(module, args.bits, errors)
        check_resources(module, errors)
    except Failure as e:
        errors.append(str(e))
    if errors:
        for message in errors:
            print(f"check_dll: {args.module}: FAIL: {message}")
        print(f"check_dll: {args.module}: {len(errors)} problem(s)")
        return 1
    print(f"check_dll: {args.module}: OK ({args.bits}-bit, {len(EXPORTS)} exports, icon group {ICON_GROUP_ID})")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
