#!/usr/bin/env python3
"""Checks the installation archive as a user's file manager meets it.

usage: check_archive.py --version VERSION ARCHIVE

The archive must be named pagora-wfx-VERSION.zip and hold exactly the two
modules, the user's README and pluginst.inf, at its top. pluginst.inf must
describe a file-system plugin installed from pagora.wfx into "pagora". Each
module must be the right PE image, carry no symbols or debug sections, and
export the entry points of the module checks under their ordinals. Every
deviation is printed; the exit status is 1 when there is any.
"""
import argparse
import configparser
import os
import re
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "windows"))
import check_dll  # noqa: E402  (the module checks' export table and PE reader)

MEMBERS = {"pagora.wfx", "pagora.wfx64", "pluginst.inf", "README.txt"}
INSTALL = {"type": "wfx", "file": "pagora.wfx", "defaultdir": "pagora"}
# Module name -> (bits, objdump of that width).
MODULES = {"pagora.wfx": (32, "i686-w64-mingw32-objdump"),
           "pagora.wfx64": (64, "x86_64-w64-mingw32-objdump")}


def check_name(archive, version, errors):
    want = f"pagora-wfx-{version}.zip"
    if os.path.basename(archive) != want:
        errors.append(f"archive is named {os.path.basename(archive)}, want {want}")


def check_install_file(text, errors):
    parser = configparser.ConfigParser()
    try:
        parser.read_string(text)
    except configparser.Error as e:
        errors.append(f"pluginst.inf is no INI file: {e}")
        return
    if not parser.has_section("plugininstall"):
        errors.append("pluginst.inf has no [plugininstall] section")
        return
    section = parser["plugininstall"]
    if not section.get("description", "").strip():
        errors.append("pluginst.inf has no description")
    for key, want in INSTALL.items():
        if section.get(key) != want:
            errors.append(f"pluginst.inf: {key}={section.get(key)}, want {want}")


def check_module(name, path, errors):
    bits, objdump = MODULES[name]
    local = []
    try:
        module = check_dll.Module(objdump, path)
        check_dll.check_format(module, bits, local)
        debug = [s[1] for s in module.sections if s[1].startswith((".debug", ".zdebug"))]
        if debug:
            local.append(f"carries debug sections {', '.join(debug)}")
        if re.search(r"^SYMBOL TABLE:\n\[", check_dll.run(objdump, "-t", path), re.M):
            local.append("carries a symbol table")
        found = module.exports()
        names = found[0] if found else {}
        got = {n: ordinal for n, (ordinal, _) in names.items()}
        want = {n: ordinal for n, (ordinal, _) in check_dll.EXPORTS.items()}
        if got != want:
            local.append(f"exports {sorted(got.items())}, want {sorted(want.items())}")
    except check_dll.Failure as e:
        local.append(str(e))
    errors.extend(f"{name}: {message}" for message in local)


def check(archive, version):
    errors = []
    check_name(archive, version, errors)
    try:
        zf = zipfile.ZipFile(archive)
    except (OSError, zipfile.BadZipFile) as e:
        return errors + [f"cannot open the archive: {e}"]
    with zf, tempfile.TemporaryDirectory() as scratch:
        names = set(zf.namelist())
        for name in sorted(names - MEMBERS):
            errors.append(f"unexpected member {name}")
        for name in sorted(MEMBERS - names):
            errors.append(f"missing member {name}")
        if "pluginst.inf" in names:
            check_install_file(zf.read("pluginst.inf").decode("ascii", "replace"), errors)
        if "README.txt" in names and b"pluginst.inf" not in zf.read("README.txt"):
            errors.append("README.txt does not tell how to install from the archive")
        for name in sorted(MODULES.keys() & names):
            path = os.path.join(scratch, name)
            with open(path, "wb") as f:
                f.write(zf.read(name))
            check_module(name, path, errors)
    return errors


def main(argv):
    parser = argparse.ArgumentParser(description="Checks the installation archive.")
    parser.add_argument("--version", required=True)
    parser.add_argument("archive")
    args = parser.parse_args(argv[1:])
    errors = check(args.archive, args.version)
    for message in errors:
        print(f"check_archive: {args.archive}: FAIL: {message}")
    if errors:
        print(f"check_archive: {args.archive}: {len(errors)} problem(s)")
        return 1
    print(f"check_archive: {args.archive}: OK ({len(MEMBERS)} members)")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
