"""Driving voxquill --live as a controlling program does: the raw stream it
reads, the event lines it answers with, and a run with the test as writer."""

import json
import os
import select
import subprocess
import threading
import time
import unittest

import support

CHUNK = 8192  # what a microphone recorder hands over at a time: 256 ms


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
    """voxquill --live on a path; the test plays the controlling program.

    STDOUT is where the event lines go: read to the end by default; with
    READ_LINES the reader closes its end after that many lines. UNDER is a
    command that runs the program, such as valgrind and its options.
    """

    def __init__(self, test, binary, path, *extra, stdout=subprocess.PIPE, read_lines=None, under=()):
        self.test = test
        self.proc = support.spawn([*under, binary, "--live", path, *extra], stdout=stdout)
        self.lines = []   # (seconds since start, raw line)
        self.started = time.monotonic()
        self.stderr = b""
        self._reader = None
        if self.proc.stdout is not None:
            self._reader = threading.Thread(target=self._read, args=(read_lines,), daemon=True)
            self._reader.start()

    def _read(self, limit):
        for line in self.proc.stdout:
            self.lines.append((time.monotonic() - self.started, line))
            if limit is not None and len(self.lines) >= limit:
                self.proc.stdout.close()
                return

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

    def _wait(self, timeout):
        deadline = time.monotonic() + timeout
        while True:
            pid, wait_status, usage = os.wait4(self.proc.pid, os.WNOHANG)
            if pid:
                self.proc.returncode = os.waitstatus_to_exitcode(wait_status)
                self.peak_rss_mib = usage.ru_maxrss / 1024
                return
            if time.monotonic() > deadline:
                support.kill_group(self.proc)
                self.proc.wait()
                self.test.fail(f"voxquill --live did not end within {timeout} s")
            time.sleep(0.02)

    def finish(self, timeout=support.DEFAULT_TIMEOUT):
        """Waits for the exit; the status and the parsed events. The peak
        resident memory of the run is left in peak_rss_mib."""
        self.peak_rss_mib = None  # unknown when a writer has waited for the run itself
        if self.proc.returncode is None:
            self._wait(timeout)
        status = self.proc.returncode
        if self._reader is not None:
            self._reader.join(timeout=10)
            self.proc.stdout.close()
        self.stderr = self.proc.stderr.read()
        self.proc.stderr.close()
        self.test.assertEqual(self.stderr, b"", "live mode writes nothing on standard error")
        return status, [parse_event(line) for _, line in self.lines]


def flood(fifo, block, seconds):
    """Connects as the writer and writes BLOCK again and again as fast as the
    pipe takes it for SECONDS, then closes; returns the bytes written."""
    fd = os.open(fifo, os.O_WRONLY)
    os.set_blocking(fd, False)
    written, at = 0, 0
    end = time.monotonic() + seconds
    try:
        while time.monotonic() < end:
            _, ready, _ = select.select([], [fd], [], max(0.0, end - time.monotonic()))
            if not ready:
                continue
            try:
                n = os.write(fd, block[at:])
            except BlockingIOError:
                continue
            written += n
            at = (at + n) % len(block)
    finally:
        os.close(fd)
    return written


class LiveTestCase(unittest.TestCase):
    """A fresh folder with a fifo in it for each test, and the shapes of a run's
    events."""

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

    def assertNoPartialRepeats(self, events):
        """A "p" line only when the text has changed since the line before."""
        for before, line in zip(events, events[1:]):
            if line[0] == "p":
                self.assertNotEqual(before, line, events)

    def assertClosesWithFinal(self, events):
        """r, then p/f lines, then the final and the closing line: its text trimmed."""
        kinds = [kind for kind, _ in events]
        self.assertEqual(kinds[0], "r", events)
        self.assertEqual(events[0][1], "")
        self.assertEqual(kinds[-2:], ["f", "f"], events)
        self.assertTrue(set(kinds[1:-2]) <= {"p", "f"}, events)
        self.assertEqual(events[-1][1], events[-2][1].strip())
        return events[-1][1]
