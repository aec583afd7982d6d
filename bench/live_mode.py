#!/usr/bin/env python3
"""Live-mode latency, cost and memory: each test clip is written into the
pipe in 8192-byte chunks (256 ms) by two writers, one at real time as a
microphone recorder hands them over, one at once (each chunk as soon as the
pipe takes it), and the event lines are timed as they arrive.

Figures, per clip and overall, for each writer:
  first p     time from the first chunk with speech in it to the first "p" line
  lag         for each "p" line, the time since the last chunk written before
              it: how far the text shown is behind the audio sent (median, p95)
  close       time from the writer's close to the closing line
  CPU/s       user and system seconds of the program per second of audio; the
              summary gives it also net of start-up (a run with no audio)
  repeats     "p" lines that repeat the line before them (should be none)
  peak RSS    the program's peak resident memory

Targets (real-time writer): first p at most 400 ms, lag at most 100 ms,
close at most 100 ms (medians).

The writers start at once, as a recorder does, while the program is still
setting its engine up; with --lead-in each clip comes after that many
seconds of silence, so that first p measures the engine alone.
"""

import argparse
import array
import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "e2e"))
import live_run  # noqa: E402
import support  # noqa: E402

CHUNK = live_run.CHUNK
BYTES_PER_SECOND = 32000
SPEECH_LEVEL = 1000  # peak sample level that counts as speech in a chunk


def has_speech(chunk):
    samples = array.array("h", chunk[: len(chunk) // 2 * 2])
    return max((abs(s) for s in samples), default=0) >= SPEECH_LEVEL


def run_clip(binary, data, folder, paced):
    fifo = Path(folder) / "audio.fifo"
    if fifo.exists():
        fifo.unlink()
    os.mkfifo(fifo)
    proc = subprocess.Popen([str(binary), "--live", str(fifo)], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)
    arrivals = []  # (time, raw line)

    def read():
        for line in proc.stdout:
            arrivals.append((time.monotonic(), line))

    reader = threading.Thread(target=read)
    reader.start()
    writes = []  # (time, has speech)
    with open(fifo, "wb", buffering=0) as pipe:
        start = time.monotonic()
        for at in range(0, len(data), CHUNK):
            chunk = data[at:at + CHUNK]
            pipe.write(chunk)
            writes.append((time.monotonic(), has_speech(chunk)))
            if paced:
                time.sleep(max(0.0, start + (at + len(chunk)) / BYTES_PER_SECOND - time.monotonic()))
    closed = time.monotonic()
    _, status, usage = os.wait4(proc.pid, 0)
    reader.join()
    stderr = proc.stderr.read()
    proc.stdout.close()
    proc.stderr.close()
    run = {"writes": writes, "closed": closed, "arrivals": arrivals, "status": os.waitstatus_to_exitcode(status),
           "rss": usage.ru_maxrss / 1024, "cpu": usage.ru_utime + usage.ru_stime, "stderr": stderr}
    return run


def figures(run):
    writes, arrivals = run["writes"], run["arrivals"]
    partials = [(t, line) for t, line in arrivals if b'"p"' in line]
    first_speech = next((t for t, speech in writes if speech), writes[0][0])
    first_p = (partials[0][0] - first_speech) if partials else float("nan")
    lags = []
    for t, _ in partials:
        before = [w for w, _ in writes if w <= t]
        if before:
            lags.append(t - before[-1])
    close = arrivals[-1][0] - run["closed"] if arrivals else float("nan")
    repeats = sum(1 for (_, a), (_, b) in zip(arrivals, arrivals[1:]) if b'"p"' in b and a == b)
    return first_p, lags, close, repeats, len(partials)


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * len(ordered)))] if ordered else float("nan")


def ms(seconds):
    return f"{seconds * 1000:.0f}"


class Tally:
    """One binary's figures under one writer."""

    def __init__(self):
        self.lags, self.closes, self.rss, self.first_ps = [], [], [], []
        self.cpu = self.audio = 0.0
        self.repeats = self.partials = 0

    def add(self, run, seconds):
        first_p, lags, close, repeats, partials = figures(run)
        self.lags += lags
        self.closes.append(close)
        self.rss.append(run["rss"])
        if first_p == first_p:
            self.first_ps.append(first_p)
        self.cpu += run["cpu"]
        self.audio += seconds
        self.repeats += repeats
        self.partials += partials
        return first_p, lags, close, partials

    def summary(self, startup_cpu):
        runs = len(self.closes)
        net = (self.cpu - runs * startup_cpu) / self.audio
        return (f"first p median {ms(statistics.median(self.first_ps))} ms; "
                f"lag median {ms(statistics.median(self.lags))} ms, p95 {ms(percentile(self.lags, 0.95))} ms; "
                f"close median {ms(statistics.median(self.closes))} ms, worst {ms(max(self.closes))} ms; "
                f"CPU {self.cpu / self.audio:.3f} s per audio second ({self.cpu:.1f} s over {self.audio:.1f} s), "
                f"{net:.3f} net of start-up ({startup_cpu:.2f} s a run); "
                f"{self.partials} p lines, {self.repeats} repeating the one before; peak RSS {max(self.rss):.1f} MB")


def startup_cpu(binary, folder):
    """CPU seconds of a run whose writer writes nothing: the start-up."""
    runs = [run_clip(binary, b"", folder, False)["cpu"] for _ in range(3)]
    return statistics.median(runs)


def bench_writer(binaries, clips, paced, folder, startups, lead_in):
    name = "real time" if paced else "at once"
    tallies = {binary: Tally() for binary in binaries}
    print(f"writer: {name}")
    print(f"{'clip':<44} {'sec':>5} {'first p':>8} {'lag med':>8} {'lag p95':>8} {'close':>7} {'CPU/s':>6} "
          f"{'p lines':>7} {'RSS MB':>7} {'exit':>4}  binary")
    for clip in clips:
        data = bytes(int(lead_in * BYTES_PER_SECOND) // 2 * 2) + live_run.raw_pcm(clip.path)
        seconds = len(data) / BYTES_PER_SECOND
        # Each binary in turn on the same clip, so that a busy machine weighs
        # on all of them alike.
        for binary in binaries:
            run = run_clip(binary, data, folder, paced)
            first_p, lags, close, partials = tallies[binary].add(run, seconds)
            note = "" if not run["stderr"] else "  (stderr not empty!)"
            lag_median = statistics.median(lags) if lags else float("nan")
            print(f"{clip.name:<44} {seconds:5.1f} {ms(first_p):>6}ms {ms(lag_median):>6}ms "
                  f"{ms(percentile(lags, 0.95)):>6}ms {ms(close):>5}ms {run['cpu'] / seconds:6.3f} {partials:7d} "
                  f"{run['rss']:7.1f} {run['status']:>4}  {binary}{note}")
    for binary in binaries:
        print(f"summary ({name}, {binary}): {tallies[binary].summary(startups[binary])}")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--voxquill", type=Path, action="append", required=True,
                        help="the program; given more than once, the programs run in turn on each clip")
    parser.add_argument("--writer", choices=("real-time", "at-once", "both"), default="both")
    parser.add_argument("--lead-in", type=float, default=0.0, help="seconds of silence before each clip")
    args = parser.parse_args()
    clips = support.librivox_clips() + support.cards_clips()
    with tempfile.TemporaryDirectory(prefix="voxquill-bench-") as folder:
        startups = {binary: startup_cpu(binary, folder) for binary in args.voxquill}
        for paced in (True, False):
            if args.writer == "both" or args.writer == ("real-time" if paced else "at-once"):
                bench_writer(args.voxquill, clips, paced, folder, startups, args.lead_in)


if __name__ == "__main__":
    main()
