#!/usr/bin/env python3
"""The floor check fails, naming file and line, on includes planted against the order."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.path.abspath(sys.argv.pop(1)) if len(sys.argv) > 1 else os.getcwd()
CHECK = os.path.join(SOURCE, "tools", "check_layers.py")


def run_check(root, *extra):
    p = subprocess.run([sys.executable, CHECK, "--root", root, *extra], capture_output=True, text=True)
    return p.returncode, p.stdout


class CheckLayers(unittest.TestCase):
    def setUp(self):
        # A copy of the real floors, so the check runs on the tree as it is.
        self.root = tempfile.mkdtemp(prefix="layers-")
        for d in ("core", "simlink", "modules", "ui", "plugin", "devlib", "sdk"):
            shutil.copytree(os.path.join(SOURCE, d), os.path.join(self.root, d))

    def tearDown(self):
        shutil.rmtree(self.root)

    def plant(self, rel, text):
        path = os.path.join(self.root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "a") as f:
            f.write(text)
        with open(path) as f:
            return sum(1 for _ in f)  # the planted line is the last one

    def test_copy_of_the_tree_passes(self):
        self.assertEqual(run_check(self.root), (0, "floors in order\n"))

    def test_floor_including_a_higher_one(self):
        for rel, target, words in (("modules/panels.cpp", "plugin/unit_registry.h", "modules/ must not include plugin/"),
                                   ("core/log.cpp", "simlink/catalogue.h", "core/ must not include simlink/"),
                                   ("simlink/avionic.cpp", "ui/config_dialog.h", "simlink/ must not include ui/"),
                                   ("core/settings.h", "devlib/include/qddev.h", "core/ must not include devlib/")):
            with self.subTest(rel=rel):
                line = self.plant(rel, f'#include "{target}"\n')
                code, out = run_check(self.root)
                self.assertEqual(code, 1)
                self.assertIn(f"{rel}:{line}: {words}", out)

    def test_device_library_includes_nothing_of_the_plugin(self):
        line = self.plant("devlib/src/qd_device.cpp", '#include "core/log.h"\n')
        code, out = run_check(self.root)
        self.assertEqual(code, 1)
        self.assertIn(f"devlib/src/qd_device.cpp:{line}: devlib/ must not include core/", out)

    def test_bare_name_of_another_floor_is_refused(self):
        line = self.plant("modules/engine.cpp", '#include "settings.h"\n')
        code, out = run_check(self.root)
        self.assertEqual(code, 1)
        self.assertIn(f'modules/engine.cpp:{line}: include "settings.h" is not found', out)

    def test_two_files_calling_each_other(self):
        self.plant("core/alpha.h", "#pragma once\n")
        self.plant("core/beta.h", "#pragma once\n")
        self.plant("core/alpha.cpp", '#include "alpha.h"\n#include "beta.h"\n')
        self.plant("core/beta.cpp", '#include "beta.h"\n#include "alpha.h"\n')
        code, out = run_check(self.root)
        self.assertEqual(code, 1)
        self.assertIn("core/alpha.cpp: calls core/beta.cpp and is called by it", out)

    def test_raw_simulator_read_outside_the_readers(self):
        for rel, call in (("modules/panels.cpp", "XPLMGetDatai(ref)"),
                          ("modules/avionics.cpp", "XPLMGetElapsedTime()"),
                          ("simlink/avionic.cpp", "XPLMGetDatavf(ref, out, 0, 3)")):
            with self.subTest(rel=rel):
                line = self.plant(rel, f"static int planted() {{ return (int){call}; }}\n")
                code, out = run_check(self.root)
                self.assertEqual(code, 1)
                self.assertIn(f"{rel}:{line}: raw {call.split('(')[0]} call", out)

    def test_raw_reads_allowed_in_the_readers_and_comments(self):
        self.plant("simlink/custom_datarefs.cpp", "static int planted(XPLMDataRef r) { return XPLMGetDatai(r); }\n")
        self.plant("modules/panels.cpp", "// XPLMGetDatai(ref) is not called here\n")
        self.plant("ui/popup_menu.cpp", "static float planted() { return XPLMGetElapsedTime(); }\n")
        self.assertEqual(run_check(self.root), (0, "floors in order\n"))

    def test_page_naming_a_missing_file(self):
        self.plant("ARCHITECTURE.md", "The log lives in `core/log.cpp`; the clock in `core/clock.cpp`.\n")
        code, out = run_check(self.root, "--doc", "ARCHITECTURE.md")
        self.assertEqual(code, 1)
        self.assertIn("ARCHITECTURE.md:1: names `core/clock.cpp`, which does not exist", out)
        self.assertNotIn("core/log.cpp`", out)


if __name__ == "__main__":
    unittest.main()
