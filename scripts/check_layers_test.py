#!/usr/bin/env python3
"""The layer check on small trees: what it lets through and what it catches."""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import check_layers  # noqa: E402


class CheckLayersTest(unittest.TestCase):
    CASES = [
        # label, file, its text, the violations expected
        ("an include of a lower layer", "catalog/a.cpp", '#include "devlink/x.h"\n', []),
        ("an include of its own layer", "state/a.h", '#include "state/x.h"\n', []),
        ("test helpers and system headers", "plugin/a_test.cpp",
         '#include <cstdio>\n#include "testing/fake_driver.h"\n', []),
        ("an include of a higher layer", "devlink/a.cpp", 'int x;\n#include "catalog/titles.h"\n',
         ["devlink/a.cpp:2: devlink includes catalog, a layer above it"]),
        ("the platform reaching for the plugin", "platform/sub/b.h", '  # include "plugin/fs_api.h"\n',
         ["platform/sub/b.h:1: platform includes plugin, a layer above it"]),
    ]

    def test_cases(self):
        for label, path, text, expected in self.CASES:
            with self.subTest(label), tempfile.TemporaryDirectory() as root:
                os.makedirs(os.path.join(root, os.path.dirname(path)))
                with open(os.path.join(root, path), "w") as out:
                    out.write(text)
                self.assertEqual(check_layers.violations(root), expected)

    def test_the_tree_itself(self):
        root = os.path.join(os.path.dirname(__file__), "..")
        self.assertEqual(check_layers.violations(root), [])


if __name__ == "__main__":
    unittest.main()
