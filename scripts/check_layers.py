#!/usr/bin/env python3
"""Checks that the plugin's layers include only downward.

usage: check_layers.py [ROOT]

The plugin's code lies in five folders, one per layer, each building on the
ones before it: platform, state, devlink, catalog, plugin. A file of one
layer may include headers of its own layer and of the layers below it, and
of no layer above. Tests beside the code may also include the test helpers
in testing/, which belong to no layer. Every include that goes up is
printed as file:line; the exit status is 1 when there is one.
"""
import os
import re
import sys

LAYERS = ["platform", "state", "devlink", "catalog", "plugin"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]+"')


def violations(root):
    found = []
    for rank, layer in enumerate(LAYERS):
        folder = os.path.join(root, layer)
        for dirpath, _, files in os.walk(folder):
            for name in sorted(files):
                if not name.endswith((".cpp", ".h")):
                    continue
                path = os.path.join(dirpath, name)
                with open(path, encoding="utf-8", errors="replace") as source:
                    for number, line in enumerate(source, start=1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        target = match.group(1)
                        if target in LAYERS and LAYERS.index(target) > rank:
                            found.append("%s:%d: %s includes %s, a layer above it" % (
                                os.path.relpath(path, root), number, layer, target))
    return found


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    found = violations(root)
    for line in found:
        print(line)
    print("layers: %s" % ("%d upward includes" % len(found) if found else "every include goes down"))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
