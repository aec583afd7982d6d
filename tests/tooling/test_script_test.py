"""scripts/test with stand-ins for cmake and ctest: a step that fails fails
the run, and nothing is tested after a failed configure or build (a reused
build folder still holds the binaries of the last good build)."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

SCRIPT = Path(__file__).resolve().parents[2] / "scripts" / "test"

# Logs each call, and fails the step named by FAKE_FAILS.
STAND_IN = """#!/usr/bin/env bash
echo "$(basename "$0") $*" >> "$FAKE_LOG"
case "$(basename "$0") $*" in
  "cmake -S"*) step=configure ;;
  "cmake --build"*) step=build ;;
  ctest*) step=test ;;
esac
[ "$step" != "$FAKE_FAILS" ]
"""


class TestScript(unittest.TestCase):
    def setUp(self):
        # A copy of the script in a folder of its own: it works where it lies,
        # and must not touch the real tree.
        self.root = Path(tempfile.mkdtemp(prefix="voxquill-script-"))
        (self.root / "scripts").mkdir()
        shutil.copy(SCRIPT, self.root / "scripts" / "test")
        self.bin = self.root / "bin"
        self.bin.mkdir()
        for name in ("cmake", "ctest"):
            path = self.bin / name
            path.write_text(STAND_IN)
            path.chmod(0o755)
        self.log = self.root / "calls.log"

    def tearDown(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def run_script(self, failing_step):
        self.log.write_text("")
        env = dict(os.environ, PATH=f"{self.bin}:{os.environ['PATH']}", FAKE_LOG=str(self.log),
                   FAKE_FAILS=failing_step)
        done = subprocess.run([self.root / "scripts" / "test"], env=env, capture_output=True, timeout=60)
        return done.returncode, self.log.read_text().splitlines()

    def test_a_failed_configure_tests_nothing(self):
        status, calls = self.run_script("configure")
        self.assertNotEqual(status, 0)
        self.assertEqual([c for c in calls if not c.startswith("cmake -S")], [], calls)

    def test_a_failed_build_tests_nothing(self):
        status, calls = self.run_script("build")
        self.assertNotEqual(status, 0)
        self.assertEqual([c for c in calls if c.startswith("ctest")], [], calls)

    def test_failed_tests_fail_the_run_and_every_test_has_a_time_limit(self):
        status, calls = self.run_script("test")
        self.assertNotEqual(status, 0)
        tests = [c.split() for c in calls if c.startswith("ctest")]
        self.assertEqual(len(tests), 3, calls)
        for args in tests:
            self.assertIn("--no-tests=error", args)
            self.assertIn("--timeout", args)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
