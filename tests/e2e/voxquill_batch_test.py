#!/usr/bin/env python3
"""voxquill-batch, end to end: a folder of clips in several containers,
with a few that cannot be transcribed, run with GNU parallel; then run
again, as after an interruption or new recordings. Long recordings cut into
parts, on this machine and on two "machines" over ssh on loopback.

    voxquill_batch_test.py --voxquill PATH --script PATH [unittest arguments]
"""

import argparse
import json
import os
import pwd
import shutil
import socket
import subprocess
import sys
import unittest
import time
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

    def test_more_runs_than_cores_wait_for_a_core_rather_than_starve(self):
        # Eight 25-s recordings at once on two cores once all ended in
        # "timeout", each with a share of a core its search was not planned
        # for. A stand-in that counts the runs under way at once shows that
        # however many jobs are asked for, no more run than there are cores,
        # whatever the machine's speed.
        folder = self.audio.file("eight")
        folder.mkdir()
        for n in range(8):
            shutil.copy(CLIPS[1], folder / f"dictation {n}.wav")
        counter = self.audio.file("running")
        stand_in = self.audio.file("counting-voxquill")
        stand_in.write_text(COUNTING.format(counter=str(counter)))
        stand_in.chmod(0o755)
        done = support.run([SCRIPT, "--voxquill", stand_in, "--jobs", "8", folder], timeout=300)
        self.assertEqual((done.returncode, done.stdout), (0, b""), done.describe())
        for n in range(8):
            self.assertEqual((folder / f"dictation {n}.wav.txt").read_bytes(), b"words\n", n)
        most = max(int(line.split()[0]) for line in counter.read_text().splitlines())
        self.assertLessEqual(most, len(os.sched_getaffinity(0)), counter.read_text())

    def test_help_and_usage(self):
        shown = support.run([SCRIPT, "--help"])
        self.assertEqual((shown.returncode, shown.stderr), (0, b""))
        self.assertTrue(shown.stdout.startswith(b"usage: voxquill-batch"), shown.describe())
        for argv in ([], ["--jobs"], ["--bogus", self.folder], [self.folder / "missing"], [self.folder, self.folder]):
            with self.subTest(argv=argv):
                wrong = support.run([SCRIPT, *argv])
                self.assertEqual((wrong.returncode, wrong.stdout), (2, b""), wrong.describe())
                self.assertTrue(wrong.stderr.startswith(b"voxquill-batch: "), wrong.describe())


# The tool's part length, 5 minutes, is cut to 24 s in a copy of it, so that
# a case needs a recording of 40 s rather than of ten minutes: three parts,
# as its cuts may move 5 s either way.
# A stand-in for voxquill that notes how many of its runs are under way
# when it starts, takes a moment as a decode would, and answers one word.
COUNTING = """#!/usr/bin/env python3
import fcntl, os, time
COUNTER = {counter!r}

def add(step):
    with open(COUNTER, "a+") as f:
        fcntl.flock(f, fcntl.LOCK_EX)
        f.seek(0)
        lines = f.read().splitlines()
        now = (int(lines[-1].split()[1]) if lines else 0) + step
        f.write(f"{{now if step > 0 else 0}} {{now}}\\n")

add(1)
time.sleep(1.0)
add(-1)
print("words")
"""

PART_SECONDS = 24
LONG_SECONDS = 40
GAP_SECONDS = 1.5
# A stand-in for voxquill that logs each input it is given (its path and,
# for a WAV part, its length) and runs the real one, or fails as voxquill
# would on the input whose name ends in FAIL.
WRAPPER = """#!/usr/bin/env python3
import json, os, sys, wave
LOG, VOXQUILL, FAIL = {log!r}, {voxquill!r}, {fail!r}
path = sys.argv[1]
seconds = None
if path.endswith(".wav") and ".voxquill-parts/" in path:
    with wave.open(path) as part:
        seconds = part.getnframes() / part.getframerate()
with open(LOG, "a") as log:
    log.write(json.dumps({{"input": path, "seconds": seconds}}) + "\\n")
if FAIL and path.endswith(FAIL):
    sys.stderr.write(path + ": damaged or incomplete file\\n")
    sys.exit(1)
os.execv(VOXQUILL, [VOXQUILL, path])
"""


class LongRecordings(unittest.TestCase):
    """Recordings longer than a part, cut at pauses and joined, with a
    stand-in voxquill that shows which inputs ran."""

    def setUp(self):
        support.require_tools("parallel", "ffmpeg", "sox", "taskset", "flock")
        self.audio = support.AudioDir()
        self.folder = self.audio.file("recordings")
        self.folder.mkdir()
        self.script = self.audio.file("voxquill-batch")
        text = Path(SCRIPT).read_text()
        self.assertIn("part_seconds=300\n", text)
        self.script.write_text(text.replace("part_seconds=300\n", f"part_seconds={PART_SECONDS}\n"))
        self.script.chmod(0o755)
        self.log = self.audio.file("inputs.log")

    def tearDown(self):
        self.audio.cleanup()

    def wrapper(self, fail=""):
        path = self.audio.file(f"voxquill-{len(fail)}")
        path.write_text(WRAPPER.format(log=str(self.log), voxquill=VOXQUILL, fail=fail))
        path.chmod(0o755)
        return path

    def batch(self, folder=None, *options, fail=""):
        self.log.write_text("")
        done = support.run([self.script, "--voxquill", self.wrapper(fail), *options, folder or self.folder],
                           timeout=500)
        self.assertFalse(done.timed_out, done.describe())
        return done

    def inputs(self):
        return [json.loads(line) for line in self.log.read_text().splitlines()]

    def with_pauses(self, name, seconds):
        """The test clips, again and again, with GAP_SECONDS of silence between
        them, until SECONDS are filled, as NAME; the gaps as (start, end) and
        the words read."""
        clips = support.librivox_clips() + support.cards_clips()
        sources, gaps, total = [], [], 0.0
        while total < seconds:
            sources.append(clips[len(sources) % len(clips)])
            total += support.duration_seconds(sources[-1].path)
            gaps.append((total, total + GAP_SECONDS))
            total += GAP_SECONDS
        path = self.audio.concatenate(name, [clip.path for clip in sources], gap_seconds=GAP_SECONDS)
        return path, gaps[:-1], " ".join(clip.reference for clip in sources)

    def without_pauses(self, name, seconds):
        """The test clips back to back over a steady mains hum, which leaves
        no moment quiet, as NAME, SECONDS long; the words read. Below the
        speech band, the hum costs the engine next to nothing; a noise
        would double its work."""
        clips = support.librivox_clips()
        sources, total = [], 0.0
        while total < seconds:
            sources.append(clips[len(sources) % len(clips)])
            total += support.duration_seconds(sources[-1].path)
        speech = self.audio.sox(f".{Path(name).name}-speech.wav", *[clip.path for clip in sources], "{out}",
                                "trim", "0", seconds)
        hum = self.audio.sox(f".{Path(name).name}-hum.wav", "-n", "-r", "16000", "-c", "1", "-b", "16", "{out}",
                               "synth", seconds, "sine", "60", "vol", "0.2")
        self.audio.sox(name, "-m", speech, hum, "{out}")
        # The last clip is cut short: its reference is not all read.
        return " ".join(clip.reference for clip in sources[:-1])

    def assertJoined(self, name, reference, most_errors):
        """NAME's joined transcript is one line with REFERENCE's words in
        order: a part lost or out of place would double its errors."""
        joined = (self.folder / f"{name}.txt").read_bytes()
        self.assertTrue(joined.endswith(b"\n") and joined.count(b"\n") == 1, joined)
        self.assertLessEqual(support.wer(reference, joined), most_errors, (reference, joined))

    def test_cut_at_pauses_or_else_at_the_quietest_moment_and_joined(self):
        talk = "it's a \"long\" talk\nof $HOME.wav"
        _, gaps, reference = self.with_pauses(f"recordings/{talk}", LONG_SECONDS)
        noisy = self.without_pauses("recordings/no pause.flac", LONG_SECONDS)
        shutil.copy(CLIPS[0], self.folder / "short.wav")

        done = self.batch()
        self.assertEqual((done.returncode, done.stdout), (0, b""), done.describe())
        self.assertTrue(done.stderr.endswith(b"voxquill-batch: 3 transcribed, 0 failed\n"), done.describe())
        self.assertEqual(sorted(p.name for p in self.folder.iterdir()),
                         sorted([talk, f"{talk}.txt", "no pause.flac", "no pause.flac.txt", "short.wav", "short.wav.txt"]))

        inputs = self.inputs()
        self.assertIn({"input": "./short.wav", "seconds": None}, inputs)
        for name, count in ((talk, 3), ("no pause.flac", 3)):
            with self.subTest(name=name):
                parts = sorted((i["input"], i["seconds"]) for i in inputs if i["input"].startswith(f"./{name}."))
                self.assertEqual([p for p, _ in parts], [f"./{name}.voxquill-parts/{n:04d}.wav" for n in range(count)])
                self.assertTrue(all(seconds <= PART_SECONDS for _, seconds in parts), parts)
        # Every cut falls in a gap between two clips, never in a word.
        talk_parts = sorted((i["input"], i["seconds"]) for i in inputs if i["input"].startswith(f"./{talk}."))
        cuts = [sum(seconds for _, seconds in talk_parts[:n]) for n in range(1, len(talk_parts))]
        for cut in cuts:
            self.assertTrue(any(start < cut < end for start, end in gaps), (cut, gaps))

        self.assertJoined(talk, reference, 0.5)
        self.assertJoined("no pause.flac", noisy, 0.8)
        self.assertEqual((self.folder / "short.wav.txt").read_bytes(), support.run([VOXQUILL, CLIPS[0]]).stdout)

    def test_a_failed_part_fails_its_recording_and_the_rerun_redoes_only_it(self):
        _, _, reference = self.with_pauses("recordings/talk.wav", LONG_SECONDS)
        parts = self.folder / "talk.wav.voxquill-parts"

        failed = self.batch(fail="/0001.wav")
        self.assertEqual(failed.returncode, 1, failed.describe())
        self.assertEqual(failed.text, "./talk.wav: damaged or incomplete file\n")
        self.assertTrue(failed.stderr.endswith(b"voxquill-batch: 0 transcribed, 1 failed\n"), failed.describe())
        # Nothing looks complete that is not: no transcript of the recording,
        # none of the failed part, nothing half-written.
        self.assertEqual(sorted(p.name for p in self.folder.iterdir()), ["talk.wav", "talk.wav.voxquill-parts"])
        self.assertEqual(sorted(p.name for p in parts.iterdir()),
                         ["0000.wav", "0000.wav.txt", "0001.wav", "0002.wav", "0002.wav.txt"])

        again = self.batch()
        self.assertEqual((again.returncode, again.stdout), (0, b""), again.describe())
        self.assertEqual([i["input"] for i in self.inputs()], ["./talk.wav.voxquill-parts/0001.wav"])
        self.assertFalse(parts.exists())
        self.assertJoined("talk.wav", reference, 0.5)

    def test_two_machines_over_ssh_join_what_one_machine_does(self):
        sshd = shutil.which("sshd") or "/usr/sbin/sshd"
        if not os.access(sshd, os.X_OK):
            self.skipTest("sshd is not installed")
        support.require_tools("ssh", "ssh-keygen", "rsync")
        talk = "a 'talk'\nwith spaces.wav"
        self.with_pauses(f"recordings/{talk}", LONG_SECONDS)
        alone = self.audio.file("alone")
        shutil.copytree(self.folder, alone)

        one = self.batch(alone)
        self.assertEqual((one.returncode, one.stdout), (0, b""), one.describe())
        with LoopbackSsh(self.audio.file("ssh"), sshd) as login:
            machines = self.audio.file("machines")
            machines.write_text(f":\n1/{login}\n")
            two = self.batch(self.folder, "--sshloginfile", machines)
        self.assertEqual((two.returncode, two.stdout), (0, b""), two.describe())
        self.assertEqual((self.folder / f"{talk}.txt").read_bytes(), (alone / f"{talk}.txt").read_bytes())
        self.assertEqual(sorted(p.name for p in self.folder.iterdir()), sorted([talk, f"{talk}.txt"]))


class LoopbackSsh:
    """An sshd of the test's own on a free port of 127.0.0.1, with a throwaway
    host key and client key in FOLDER; as a context manager, the ssh command
    line that logs in, as GNU parallel takes it in an sshlogin file."""

    def __init__(self, folder, sshd):
        self.folder, self.sshd = Path(folder), sshd
        self.folder.mkdir()
        self.process = None

    def __enter__(self):
        for key in ("host", "client"):
            subprocess.run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", self.folder / key], check=True,
                           capture_output=True)
        shutil.copy(self.folder / "client.pub", self.folder / "authorized_keys")
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            port = probe.getsockname()[1]
        config = self.folder / "sshd_config"
        config.write_text(f"ListenAddress 127.0.0.1\nPort {port}\nHostKey {self.folder / 'host'}\n"
                          f"AuthorizedKeysFile {self.folder / 'authorized_keys'}\nPidFile {self.folder / 'pid'}\n"
                          "StrictModes no\nUsePAM no\nPasswordAuthentication no\nPermitRootLogin prohibit-password\n")
        # sshd insists on its privilege separation folder, made by its service.
        try:
            os.makedirs("/run/sshd", exist_ok=True)
        except OSError as error:
            raise unittest.SkipTest(f"sshd cannot run here: {error}")
        self.process = subprocess.Popen([self.sshd, "-D", "-e", "-f", config], stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        login = (f"ssh -p {port} -i {self.folder / 'client'} -o IdentitiesOnly=yes -o BatchMode=yes "
                 f"-o StrictHostKeyChecking=no -o UserKnownHostsFile={self.folder / 'known_hosts'} "
                 f"{pwd.getpwuid(os.geteuid()).pw_name}@127.0.0.1")
        for _ in range(100):
            if self.process.poll() is not None:
                raise unittest.SkipTest(f"sshd cannot run here: {self.process.stderr.read().decode(errors='replace')}")
            tried = subprocess.run([*login.split(), "true"], stdin=subprocess.DEVNULL, capture_output=True)
            if tried.returncode == 0:
                return login
            time.sleep(0.1)
        self.__exit__()
        raise unittest.SkipTest(f"no login over ssh on loopback: {tried.stderr.decode(errors='replace')}")

    def __exit__(self, *exc):
        self.process.terminate()
        self.process.wait(timeout=30)
        self.process.stderr.close()


if __name__ == "__main__":
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--voxquill", required=True)
    parser.add_argument("--script", required=True)
    known, rest = parser.parse_known_args()
    VOXQUILL, SCRIPT = os.path.abspath(known.voxquill), os.path.abspath(known.script)
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)
