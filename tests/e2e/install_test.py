#!/usr/bin/env python3
"""Installation: `cmake --install` of a build puts the program, with its
information dictionary inside it, and its manual page in place.

    install_test.py --build-dir DIR [unittest arguments]
"""

import argparse
import gzip
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import support  # noqa: E402

BUILD_DIR = None  # set from the command line
CLIP = support.LIBRIVOX / "sense_and_sensibility_01_austen_64kb-0880.wav"


class Installed(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Path(tempfile.mkdtemp(prefix="voxquill-install-"))
        subprocess.run(["cmake", "--install", BUILD_DIR, "--prefix", cls.prefix], check=True,
                       capture_output=True, timeout=support.DEFAULT_TIMEOUT)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.prefix, ignore_errors=True)

    def test_the_program_runs_from_its_place(self):
        program = self.prefix / "bin" / "voxquill"
        self.assertTrue(os.access(program, os.X_OK), program)
        usage = support.run([program])
        self.assertEqual((usage.returncode, usage.stdout, usage.stderr), (2, b"", support.USAGE))
        # Nothing beside the executable: the usage description travels inside it.
        run = support.run([program, CLIP], cwd=self.prefix)
        self.assertEqual((run.returncode, run.stderr), (0, b""), run.describe())
        self.assertTrue(run.stdout.endswith(b"\n") and len(run.stdout) > 1, run.describe())

    def test_the_manual_page_renders_cleanly(self):
        page = self.prefix / "share" / "man" / "man1" / "voxquill.1.gz"
        self.assertTrue(page.is_file(), page)
        assert_renders(self, page)

    def test_the_batch_tool_and_its_manual_page(self):
        tool = self.prefix / "bin" / "voxquill-batch"
        self.assertTrue(os.access(tool, os.X_OK), tool)
        shown = support.run([tool, "--help"])
        self.assertEqual((shown.returncode, shown.stderr), (0, b""), shown.describe())
        self.assertTrue(shown.stdout.startswith(b"usage: voxquill-batch"), shown.describe())
        assert_renders(self, self.prefix / "share" / "man" / "man1" / "voxquill-batch.1.gz", b"several at once")


def assert_renders(case, page, words=b"Transcribe a recording"):
    """The compressed manual page PAGE renders without a warning, with WORDS."""
    support.require_tools("groff")
    done = subprocess.run(["groff", "-man", "-Tutf8", "-ww"], input=gzip.decompress(page.read_bytes()),
                          capture_output=True, timeout=support.DEFAULT_TIMEOUT)
    case.assertEqual((done.returncode, done.stderr), (0, b""))
    case.assertIn(words, done.stdout)


if __name__ == "__main__":
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--build-dir", required=True)
    known, rest = parser.parse_known_args()
    BUILD_DIR = known.build_dir
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)
