#!/usr/bin/env python3
"""voxquill-batch, end to end on this machine: a folder of clips in
several containers, with a few that cannot be transcribed, run with GNU
parallel; then run again, as after an interruption or new recordings.

    voxquill_batch_test.py --voxquill PATH --script PATH [unittest arguments]
"""

import argparse
import os
import shutil
import subprocess
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import support  # noqa: E402

VOXQUILL = SCRIPT = None  # set from the command line
CLIPS = [support.LIBRIVOX / "sense_and_sensibility_01_austen_64kb-0880.wav", support.CARDS / "001.wav"]


def batch(folder, *options):
    return support.run([SCRIPT, "--voxquill", VOXQUILL, "--jobs", "2", *options, folder], timeout=300)


class TranscribeAll(unittest.TestCase):
    def setUp(self):
        support.require_tools("parallel", "ffmpeg")
        self.audio = support.AudioDir()
        self.folder = self.audio.file("recordings")
        (self.folder / "sub folder").mkdir(parents=True)
        self.good = {
            "talk.wav": shutil.copy(CLIPS[0], self.folder / "talk.wav"),
            "sub folder/memo's $x.m4a": self.audio.encode(CLIPS[0], "recordings/sub folder/memo's $x.m4a",
                                                          "-c:a", "aac"),
            "film.WEBM": self.audio.encode(CLIPS[1], "recordings/film.WEBM", "-c:a", "libopus"),
        }
        self.audio.write_bytes("recordings/notes.wav", b"these are not the words you are looking for\n")
        whole = self.audio.encode(CLIPS[0], "whole.mp4").read_bytes()
        self.audio.write_bytes("recordings/sub folder/cut.mp4", whole[:len(whole) // 2])
        self.audio.write_bytes("recordings/readme.md", b"not a recording\n")

    def tearDown(self):
        self.audio.cleanup()

    def transcripts(self):
        return sorted(str(p.relative_to(self.folder)) for p in self.folder.rglob("*") if p.name.endswith(".txt"))

    def assertTranscribed(self, names):
        for name in names:
            expected = support.run([VOXQUILL, self.folder / name])
            self.assertEqual((self.folder / f"{name}.txt").read_bytes(), expected.stdout, name)

    def test_a_folder_then_what_is_left_of_it(self):
        first = batch(self.folder)
        self.assertFalse(first.timed_out, first.describe())
        self.assertEqual(first.returncode, 1, first.describe())
        # Each failure once, with voxquill's reason; nothing else on stdout.
        self.assertEqual(sorted(first.text.splitlines()), [
            "./notes.wav: not an audio file in a format this program reads",
            "./sub folder/cut.mp4: damaged or incomplete file"])
        self.assertTrue(first.stderr.endswith(b"voxquill-batch: 3 transcribed, 2 failed\n"), first.describe())
        self.assertEqual(self.transcripts(), sorted(f"{name}.txt" for name in self.good))
        self.assertTranscribed(self.good)
        done = {name: (self.folder / f"{name}.txt").stat().st_mtime_ns for name in self.good}

        # Again, with the failures mended and a recording added: only those run.
        (self.folder / "notes.wav").unlink()
        shutil.copy(CLIPS[1], self.folder / "sub folder" / "cut.mp4")
        added = self.audio.encode(CLIPS[1], "recordings/added.mp3", "-c:a", "libmp3lame", "-b:a", "64k")
        second = batch(self.folder)
        self.assertEqual((second.returncode, second.stdout), (0, b""), second.describe())
        self.assertTrue(second.stderr.endswith(b"voxquill-batch: 2 transcribed, 0 failed\n"), second.describe())
        self.assertTranscribed(["sub folder/cut.mp4", added.name])
        self.assertEqual({name: (self.folder / f"{name}.txt").stat().st_mtime_ns for name in self.good}, done)

        third = batch(self.folder)
        self.assertEqual((third.returncode, third.stdout), (0, b""), third.describe())
        self.assertIn(b"every recording", third.stderr)
        self.assertFalse([p for p in self.folder.rglob("*.part")])

    def test_help_and_usage(self):
        shown = support.run([SCRIPT, "--help"])
        self.assertEqual((shown.returncode, shown.stderr), (0, b""))
        self.assertTrue(shown.stdout.startswith(b"usage: voxquill-batch"), shown.describe())
        for argv in ([], ["--jobs"], ["--bogus", self.folder], [self.folder / "missing"], [self.folder, self.folder]):
            with self.subTest(argv=argv):
                wrong = support.run([SCRIPT, *argv])
                self.assertEqual((wrong.returncode, wrong.stdout), (2, b""), wrong.describe())
                self.assertTrue(wrong.stderr.startswith(b"voxquill-batch: "), wrong.describe())


if __name__ == "__main__":
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--voxquill", required=True)
    parser.add_argument("--script", required=True)
    known, rest = parser.parse_known_args()
    VOXQUILL, SCRIPT = os.path.abspath(known.voxquill), os.path.abspath(known.script)
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)
