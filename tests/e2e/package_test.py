#!/usr/bin/env python3
"""The Debian package: `cpack -G DEB` of a build makes voxquill_VERSION_ARCH.deb
with the program, its manual page and the copyright file, depending on the
libraries the program links and the model it uses; unpacked with dpkg -x
into a scratch root, the program transcribes a clip as the build's does.

    package_test.py --build-dir DIR [unittest arguments]

The package is not installed for real: dpkg -x shows what dpkg -i would
put in place, without changing the machine the tests run on.
"""

import argparse
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import install_test  # noqa: E402
import support  # noqa: E402

BUILD_DIR = None  # set from the command line
CLIP = support.LIBRIVOX / "sense_and_sensibility_01_austen_64kb-0880.wav"
# What the program needs beside the C and C++ libraries: FFmpeg's, the
# resampler, the denoiser, the engine, and the model it uses by default.
NEEDED = ("libavformat", "libavcodec", "libavutil", "libsoxr", "libspeexdsp", "libpocketsphinx", "pocketsphinx-en-us")


def run_tool(*argv, **kwargs):
    done = subprocess.run([str(a) for a in argv], capture_output=True, timeout=300, **kwargs)
    if done.returncode != 0:
        raise AssertionError(f"{' '.join(map(str, argv))}: {done.stderr.decode(errors='replace')}")
    return done.stdout.decode()


def field(package, name):
    return run_tool("dpkg-deb", "--field", package, name).strip()


def dependencies(depends):
    """(name, relation, version) for each package of a Depends line."""
    found = []
    for item in depends.split(","):
        match = re.fullmatch(r"\s*([a-z0-9.+-]+)(?:\s*\(\s*([<>=]+)\s*([^)\s]+)\s*\))?\s*", item)
        if not match:
            raise AssertionError(f"no single package in {item!r} (alternatives are not expected)")
        found.append(match.groups())
    return found


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        support.require_tools("cpack", "dpkg-deb", "dpkg-query")
        cls.scratch = Path(tempfile.mkdtemp(prefix="voxquill-package-"))
        run_tool("cpack", "-G", "DEB", "--config", Path(BUILD_DIR) / "CPackConfig.cmake", "-B", cls.scratch / "out",
                 cwd=BUILD_DIR)
        cls.packages = sorted((cls.scratch / "out").glob("*.deb"))
        cls.root = cls.scratch / "root"
        if len(cls.packages) == 1:
            run_tool("dpkg", "-x", cls.packages[0], cls.root)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.scratch, ignore_errors=True)

    def package(self):
        self.assertEqual(len(self.packages), 1, self.packages)
        return self.packages[0]

    def installed(self, relative):
        """The one path in the unpacked package that ends with RELATIVE."""
        found = [p for p in self.root.rglob("*") if str(p).endswith(relative)]
        self.assertEqual(len(found), 1, f"{relative}: {found}")
        return found[0]

    def test_its_name_says_package_version_and_architecture(self):
        package = self.package()
        architecture = run_tool("dpkg", "--print-architecture").strip()
        self.assertEqual(field(package, "Package"), "voxquill")
        self.assertEqual(field(package, "Architecture"), architecture)
        self.assertEqual(package.name, f"voxquill_{field(package, 'Version')}_{architecture}.deb")

    def test_it_holds_the_program_its_manual_page_and_the_copyright(self):
        self.package()
        self.installed("/bin/voxquill")
        install_test.assert_renders(self, self.installed("/share/man/man1/voxquill.1.gz"))
        self.assertIn("Upstream-Name: voxquill", self.installed("/share/doc/voxquill/copyright").read_text())

    def test_it_holds_the_batch_tool_and_its_manual_page(self):
        listing = run_tool("dpkg", "-c", self.package())
        # Under the prefix the build was configured with: /usr for the
        # package the README makes, /usr/local by default.
        self.assertRegex(listing, r"-rwxr-xr-x .* \./usr(/local)?/bin/voxquill-batch\n")
        self.assertRegex(listing, r"\./usr(/local)?/share/man/man1/voxquill-batch\.1\.gz\n")
        install_test.assert_renders(self, self.installed("/share/man/man1/voxquill-batch.1.gz"), b"several at once")
        names = [name for name, _, _ in dependencies(field(self.package(), "Depends"))]
        self.assertIn("parallel", names)
        self.assertIn("ffmpeg", names)

    def test_lintian_finds_no_error(self):
        support.require_tools("lintian")
        # Debian's packages live under /usr, and lintian rightly refuses
        # one under /usr/local: lint the package as the README makes it,
        # for /usr, whatever prefix this build was configured with.
        out = self.scratch / "for-usr"
        run_tool("cpack", "-G", "DEB", "--config", Path(BUILD_DIR) / "CPackConfig.cmake", "-B", out,
                 "-D", "CPACK_PACKAGING_INSTALL_PREFIX=/usr", cwd=BUILD_DIR)
        package = sorted(out.glob("*.deb"))
        self.assertEqual(len(package), 1, package)
        done = subprocess.run(["lintian", "--fail-on", "error", package[0]], capture_output=True, text=True,
                              timeout=300)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)

    def test_it_depends_on_what_the_program_needs_all_installed_here(self):
        depends = dependencies(field(self.package(), "Depends"))
        names = [name for name, _, _ in depends]
        for needed in NEEDED:
            self.assertTrue(any(name.startswith(needed) for name in names), f"{needed} not in {names}")
        self.assertFalse([name for name in names if name.startswith("libsndfile")], names)
        for name, relation, version in depends:
            with self.subTest(name):
                shown = subprocess.run(["dpkg-query", "--show", "--showformat=${Version}", name],
                                       capture_output=True, text=True)
                self.assertEqual(shown.returncode, 0, f"{name} is not installed")
                if relation:
                    held = subprocess.run(["dpkg", "--compare-versions", shown.stdout, relation, version])
                    self.assertEqual(held.returncode, 0, f"{name} {shown.stdout} is not {relation} {version}")

    def test_the_unpacked_program_transcribes_a_clip(self):
        self.package()
        program = self.installed("/bin/voxquill")
        usage = support.run([program])
        self.assertEqual((usage.returncode, usage.stdout, usage.stderr), (2, b"", support.USAGE))
        expected = support.run([Path(BUILD_DIR) / "app" / "voxquill", CLIP])
        result = support.run([program, CLIP], cwd=self.root)
        self.assertEqual((result.returncode, result.stderr), (0, b""), result.describe())
        self.assertTrue(result.stdout.endswith(b"\n") and len(result.stdout) > 1, result.describe())
        self.assertEqual(result.stdout, expected.stdout)


if __name__ == "__main__":
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--build-dir", required=True)
    known, rest = parser.parse_known_args()
    BUILD_DIR = known.build_dir
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)
