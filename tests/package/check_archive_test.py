#!/usr/bin/env python3
"""The archive check on archives made wrong from a good one: each fault must
be reported with its message, and the good archive must pass.

usage: check_archive_test.py GOOD_ARCHIVE UNSTRIPPED_32BIT_MODULE
"""
import os
import re
import sys
import tempfile
import zipfile

import check_archive

INF = ("[plugininstall]\r\ndescription=Pagora eBook\r\ntype=wfx\r\n"
       "file=pagora.wfx\r\ndefaultdir=pagora\r\n")


def variant(good, folder, drop=(), replace=None):
    """A copy of the good archive under its name in `folder`, without the
    members in `drop` and with the members in `replace` (name -> bytes)
    added or replaced."""
    replace = replace or {}
    path = os.path.join(folder, os.path.basename(good))
    with zipfile.ZipFile(good) as src, zipfile.ZipFile(path, "w") as out:
        for name in src.namelist():
            if name not in drop and name not in replace:
                out.writestr(name, src.read(name))
        for name, data in replace.items():
            out.writestr(name, data)
    return path


def renamed(path):
    """The archive at `path` under another version's name."""
    renamed = os.path.join(os.path.dirname(path), "pagora-wfx-0.zip")
    os.rename(path, renamed)
    return renamed


def main(argv):
    good, unstripped = argv[1], argv[2]
    version = re.match(r"pagora-wfx-(.*)\.zip$", os.path.basename(good)).group(1)
    with open(unstripped, "rb") as f:
        unstripped_bytes = f.read()
    failures = []
    with tempfile.TemporaryDirectory() as scratch:
        def named():
            return tempfile.mkdtemp(dir=scratch)

        cases = [
            ("good archive", variant(good, named()), None),
            ("missing module", variant(good, named(), drop={"pagora.wfx64"}),
             "missing member pagora.wfx64"),
            ("extra member", variant(good, named(), replace={"notes.txt": b"x"}),
             "unexpected member notes.txt"),
            ("module in a folder", variant(good, named(), drop={"pagora.wfx"},
                                           replace={"pagora/pagora.wfx": b"MZ"}),
             "missing member pagora.wfx"),
            ("wrong plugin type", variant(good, named(), replace={
                "pluginst.inf": INF.replace("type=wfx", "type=wlx")}),
             "pluginst.inf: type=wlx, want wfx"),
            ("no section", variant(good, named(), replace={"pluginst.inf": "description=x\r\n"}),
             "no INI file"),
            ("debug sections", variant(good, named(), replace={"pagora.wfx": unstripped_bytes}),
             "pagora.wfx: carries debug sections"),
            ("modules swapped", variant(good, named(), replace={
                "pagora.wfx64": zipfile.ZipFile(good).read("pagora.wfx")}),
             "pagora.wfx64: file format pei-i386, want pei-x86-64"),
            ("wrong name", renamed(variant(good, named())),
             f"want pagora-wfx-{version}.zip"),
        ]
        for label, path, message in cases:
            errors = check_archive.check(path, version)
            if message is None and errors:
                failures.append(f"{label}: rejected: {errors}")
            elif message is not None and not any(message in e for e in errors):
                failures.append(f"{label}: no '{message}' in {errors}")
    for failure in failures:
        print(f"check_archive_test: FAIL: {failure}")
    print(f"check_archive_test: {len(cases) - len(failures)} of {len(cases)} cases right")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
