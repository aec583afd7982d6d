"""End-to-end tests of live mode: the real binary, the real engine, recorded
speech written into a real named pipe, and the event lines it answers with."""

import json
import os
import subprocess
import sys
import threading
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import support  # noqa: E402

BINARIES, UNITTEST_ARGV = support.binary_arguments(options=("--voxquill", "--without-models"))
CHUNK = 8192  # what a microphone recorder hands over at a time: 256 ms
SETTLE = 3.0


def raw_pcm(wav):
    """The clip as the stream live mode reads: 16 kHz mono s16le, no header."""
    done = subprocess.run(["sox", str(wav), "-t", "raw", "-r", "16000", "-c", "1", "-b", "16",
                           "-e", "signed-integer", "-L", "-"], capture_output=True, check=True,
                          timeout=support.DEFAULT_TIMEOUT)
    return done.stdout


def parse_event(line):
    """An event line: compact JSON, exactly "k" and "t", in either order."""
    assert line.endswith(b"\n") and line.count(b"\n") == 1, line
    event = json.loads(line.decode("utf-8"))
    assert isinstance(event, dict) and sorted(event) == ["k", "t"], line
    assert all(isinstance(value, str) for value in event.values()), line
    assert event["k"] in ("r", "p", "f", "e"), line
    orders = [{"k": event["k"], "t": event["t"]}, {"t": event["t"], "k": event["k"]}]
    compact = [json.dumps(o, separators=(",", ":"), ensure_ascii=False).replace("/", "\\/").encode() + b"\n"
               for o in orders]
    assert line in compact, f"{line!r} is not written compactly"
    return event["k"], event["t"]


class LiveRun:
    """voxquill --live on a fifo; the test plays the controlling program."""

    def __init__(self, test, path, *extra, binary=None):
        self.test = test
        self.proc = support.spawn([binary or BINARIES.voxquill, "--live", path, *extra])
        self.lines = []   # (seconds since start, raw line)
        self.started = time.monotonic()
        self.stderr = b""
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self):
        for line in self.proc.stdout:
            self.lines.append((time.monotonic() - self.started, line))

    def write(self, pipe, data, piece_sizes=None, pace=None):
        """Writes DATA in pieces (CHUNK by default), PACE times as fast as
        real time, or all at once without PACE."""
        sizes = piece_sizes or [CHUNK] * (len(data) // CHUNK + 1)
        at = 0
        start = time.monotonic()
        for size in sizes:
            if at >= len(data):
                break
            pipe.write(data[at:at + size])
            at += size
            if pace:
                time.sleep(max(0.0, start + at / 32000 / pace - time.monotonic()))
        if at < len(data):
            pipe.write(data[at:])

    def feed(self, fifo, data, **how):
        """Connects as the writer, writes, closes; returns when the pipe is closed."""
        with open(fifo, "wb", buffering=0) as pipe:
            self.write(pipe, data, **how)
        self.closed_at = time.monotonic() - self.started

    def finish(self, timeout=support.DEFAULT_TIMEOUT):
        """Waits for the exit; the status and the parsed events."""
        try:
            status = self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            support.kill_group(self.proc)
            self.test.fail("voxquill --live did not end")
        self._reader.join(timeout=10)
        self.stderr = self.proc.stderr.read()
        self.proc.stdout.close()
        self.proc.stderr.close()
        self.test.assertEqual(self.stderr, b"", "live mode writes nothing on standard error")
        return status, [parse_event(line) for _, line in self.lines]


class LiveModeTest(unittest.TestCase):
    def setUp(self):
        self.dir = support.AudioDir()
        self.fifo = support.make_fifo(self.dir.path)

    def tearDown(self):
        self.dir.cleanup()

    def assertClosesWithText(self, events):
        """r, then p/f lines, then a closing line repeating the last text
        trimmed: the final result's, or the last partial's when decoding did
        not finish within the settle delay (a writer far ahead of real time)."""
        kinds = [kind for kind, _ in events]
        self.assertEqual(kinds[0], "r", events)
        self.assertEqual(kinds[-1], "f", events)
        self.assertTrue(set(kinds[1:-1]) <= {"p", "f"}, events)
        self.assertGreater(len(kinds), 2, events)
        self.assertEqual(events[-1][1], events[-2][1].strip())
        self.assertNotEqual(events[-1][1], "")
        return events[-1][1]

    def assertClosesWithFinal(self, events):
        """r, then p/f lines, then the final and the closing line: its text trimmed."""
        kinds = [kind for kind, _ in events]
        self.assertEqual(kinds[0], "r", events)
        self.assertEqual(events[0][1], "")
        self.assertEqual(kinds[-2:], ["f", "f"], events)
        self.assertTrue(set(kinds[1:-2]) <= {"p", "f"}, events)
        self.assertEqual(events[-1][1], events[-2][1].strip())
        return events[-1][1]


class RecordedSpeech(LiveModeTest):
    def test_recorded_speech_is_transcribed(self):
        # At real time, as from a microphone: decoding keeps up, so the final
        # result beats the settle delay, in sanitizer builds too.
        pairs = []
        for clip in support.librivox_clips():
            run = LiveRun(self, self.fifo)
            run.feed(self.fifo, raw_pcm(clip.path), pace=1)
            status, events = run.finish()
            self.assertEqual(status, 0, events)
            pairs.append((clip.reference, self.assertClosesWithFinal(events)))
        # Measured at 34% on these clips; the bound leaves room for engine updates.
        self.assertLessEqual(support.aggregate_wer(pairs), 0.45, pairs)

    def test_a_clip_written_at_once_is_transcribed(self):
        clip = support.librivox_clips()[1]
        run = LiveRun(self, self.fifo)
        run.feed(self.fifo, raw_pcm(clip.path))
        status, events = run.finish()
        self.assertEqual(status, 0, events)
        self.assertClosesWithText(events)

    def test_audio_paced_at_real_time_gets_partials_as_it_goes(self):
        clip = support.librivox_clips()[0]
        data = raw_pcm(clip.path)
        run = LiveRun(self, self.fifo)
        run.feed(self.fifo, data, pace=1)
        status, events = run.finish()
        self.assertEqual(status, 0)
        final = self.assertClosesWithFinal(events)
        partials = [text for kind, text in events if kind == "p"]
        self.assertGreaterEqual(len(partials), 5, events)
        self.assertEqual(len(partials), len(set(partials)), "a partial only when the text changes")
        # Partials arrive while the audio flows, not all at the end.
        partial_times = [t for (t, line) in run.lines if b'"p"' in line]
        self.assertLess(partial_times[0], run.closed_at - 2.0)
        self.assertLessEqual(support.wer(clip.reference, final), 0.5, final)

    def test_odd_sized_writes_give_the_words_of_even_ones(self):
        data = raw_pcm(support.librivox_clips()[1].path)
        finals = []
        for sizes in (None, [1, 3, 8191, 1, 4097, 7, 5000, 333] * 40):
            run = LiveRun(self, self.fifo)
            run.feed(self.fifo, data, piece_sizes=sizes, pace=1)
            status, events = run.finish()
            self.assertEqual(status, 0)
            finals.append(self.assertClosesWithFinal(events))
        self.assertEqual(finals[0], finals[1])

    def test_a_locale_argument_chooses_the_model(self):
        run = LiveRun(self, self.fifo, "en_US.UTF-8")
        run.feed(self.fifo, raw_pcm(support.librivox_clips()[1].path), pace=1)
        status, events = run.finish()
        self.assertEqual(status, 0)
        self.assertIn("young man", self.assertClosesWithFinal(events).lower())


class EndOfInput(LiveModeTest):
    def test_a_writer_that_writes_nothing_gets_no_speech_after_the_settle(self):
        run = LiveRun(self, self.fifo)
        run.feed(self.fifo, b"")
        status, events = run.finish()
        self.assertEqual(status, 1)
        self.assertEqual(events, [("r", ""), ("e", "No speech detected")])
        closing_time = run.lines[-1][0]
        self.assertGreaterEqual(closing_time - run.closed_at, SETTLE - 0.1)

    def test_silence_is_no_speech(self):
        silence = self.dir.silence("quiet.wav", 2)
        run = LiveRun(self, self.fifo)
        run.feed(self.fifo, raw_pcm(silence))
        status, events = run.finish()
        self.assertEqual(status, 1)
        self.assertEqual(events, [("r", ""), ("e", "No speech detected")])

    def test_a_regular_file_is_read_as_the_stream(self):
        raw = self.dir.write_bytes("speech.raw", raw_pcm(support.librivox_clips()[1].path))
        run = LiveRun(self, raw)
        status, events = run.finish()
        self.assertEqual(status, 0)
        self.assertClosesWithText(events)


class Unavailable(LiveModeTest):
    def assertUnavailable(self, path, binary=None):
        run = LiveRun(self, path, binary=binary)
        status, events = run.finish()
        self.assertEqual(status, 1)
        self.assertEqual(events, [("e", "unavailable")])

    def test_a_path_that_does_not_exist(self):
        self.assertUnavailable(self.dir.file("absent.fifo"))

    def test_a_directory(self):
        self.assertUnavailable(self.dir.path)

    def test_no_language_model(self):
        self.assertUnavailable(self.fifo, binary=BINARIES.without_models)


if __name__ == "__main__":
    unittest.main(argv=UNITTEST_ARGV, verbosity=2)
