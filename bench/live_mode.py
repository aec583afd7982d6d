#!/usr/bin/env python3
"""Live-mode latency and memory: each test clip is written into the pipe at
real time, in 8192-byte chunks (256 ms) as a microphone recorder hands them
over, and the event lines are timed as they arrive.

Figures, per clip and overall:
  first p     time from the first chunk with speech in it to the first "p" line
  lag         for each "p" line, the time since the last chunk written before
              it: how far the text shown is behind the audio sent (median, p95)
  close       time from the writer's close to the closing line
  peak RSS    the program's peak resident memory

Targets: lag at most 300 ms (median), close at most 500 ms.
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


def run_clip(binary, data, folder):
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
            time.sleep(max(0.0, start + (at + len(chunk)) / BYTES_PER_SECOND - time.monotonic()))
    closed = time.monotonic()
    _, status, usage = os.wait4(proc.pid, 0)
    reader.join()
    stderr = proc.stderr.read()
    proc.stdout.close()
    proc.stderr.close()
    return writes, closed, arrivals, os.waitstatus_to_exitcode(status), usage.ru_maxrss, stderr


def figures(writes, closed, arrivals):
    partials = [t for t, line in arrivals if b'"p"' in line]
    first_speech = next((t for t, speech in writes if speech), writes[0][0])
    first_p = (partials[0] - first_speech) if partials else float("nan")
    lags = []
    for t in partials:
        before = [w for w, _ in writes if w <= t]
        if before:
            lags.append(t - before[-1])
    close = arrivals[-1][0] - closed if arrivals else float("nan")
    return first_p, lags, close


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * len(ordered)))] if ordered else float("nan")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--voxquill", type=Path, required=True)
    args = parser.parse_args()
    clips = support.librivox_clips() + support.cards_clips()
    all_lags, closes, rss, first_ps = [], [], [], []
    print(f"{'clip':<44} {'sec':>5} {'first p':>8} {'lag med':>8} {'lag p95':>8} {'close':>7} {'RSS MB':>7} {'exit':>4}")
    with tempfile.TemporaryDirectory(prefix="voxquill-bench-") as folder:
        for clip in clips:
            data = live_run.raw_pcm(clip.path)
            writes, closed, arrivals, status, max_rss, stderr = run_clip(args.voxquill, data, folder)
            first_p, lags, close = figures(writes, closed, arrivals)
            all_lags += lags
            closes.append(close)
            rss.append(max_rss / 1024)
            first_ps.append(first_p)
            note = "" if not stderr else "  (stderr not empty!)"
            print(f"{clip.name:<44} {len(data) / BYTES_PER_SECOND:5.1f} {first_p * 1000:7.0f}ms "
                  f"{statistics.median(lags) * 1000 if lags else float('nan'):6.0f}ms "
                  f"{percentile(lags, 0.95) * 1000:6.0f}ms {close * 1000:5.0f}ms {max_rss / 1024:7.1f} {status:>4}{note}")
    median_lag = statistics.median(all_lags) * 1000
    p95_lag = percentile(all_lags, 0.95) * 1000
    worst_close = max(closes) * 1000
    print(f"summary: first p median {statistics.median(first_ps) * 1000:.0f} ms; "
          f"lag median {median_lag:.0f} ms, p95 {p95_lag:.0f} ms (target <= 300 ms median); "
          f"close median {statistics.median(closes) * 1000:.0f} ms, worst {worst_close:.0f} ms "
          f"(target <= 500 ms); peak RSS {max(rss):.1f} MB")


if __name__ == "__main__":
    main()
