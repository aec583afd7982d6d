#!/usr/bin/env python3
"""Live mode under writers that do not wait: what gets through and what it
costs in memory.

    bench/live_writers.py --voxquill build/app/voxquill [--flood-seconds 20]

Words: a recording of 60 s or more (support.long_recording) transcribed in
file mode, written into the pipe at real time in 8192-byte chunks, and
written into it all at once; for each, the words of the closing line, its
word error rate, the exit status, the closing line's kind, and the time from
the writer's close to the closing line.

Memory, peak resident set (VmHWM) of the program:
  speech flood   the recording over and over, written as fast as the pipe
                 takes it for the flood seconds, then the pipe closed
  zeros flood    zeros, a megabyte a write, the same way
  /dev/zero      the device given as the pipe: an input that never ends;
                 the run is stopped after the flood seconds

Targets: at once gives the words real time gives, exit 0; peak memory at
most 150 MB whatever the writer does.
"""

import argparse
import os
import signal
import subprocess
import sys
import threading
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "e2e"))
import live_run  # noqa: E402
import support  # noqa: E402

CHUNK = live_run.CHUNK
BYTES_PER_SECOND = 32000
RECORDING_SECONDS = 60.0
MIB = 1024 * 1024


def peak_rss_kib(pid):
    """VmHWM of a running process, in KiB; 0 once it is gone."""
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


class Run:
    """voxquill --live PATH, its event lines timed as they come, its peak
    memory followed while it runs."""

    def __init__(self, binary, path):
        self.proc = subprocess.Popen([str(binary), "--live", str(path)], stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, start_new_session=True)
        self.lines = []  # (time, raw line)
        self.peak_kib = 0
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        self._watch = threading.Thread(target=self._follow_memory, daemon=True)
        self._watch.start()

    def _read(self):
        for line in self.proc.stdout:
            self.lines.append((time.monotonic(), line))

    def _follow_memory(self):
        while self.proc.returncode is None:
            self.peak_kib = max(self.peak_kib, peak_rss_kib(self.proc.pid))
            time.sleep(0.05)

    def wait(self, timeout=900):
        """Exit status (None when it had to be killed); the peak memory."""
        deadline = time.monotonic() + timeout
        while True:
            pid, status, usage = os.wait4(self.proc.pid, os.WNOHANG)
            if pid:
                self.proc.returncode = os.waitstatus_to_exitcode(status)
                self.peak_kib = max(self.peak_kib, usage.ru_maxrss)
                break
            if time.monotonic() > deadline:
                self.stop()
                return None
            time.sleep(0.05)
        self._reader.join(timeout=10)
        return self.proc.returncode

    def stop(self):
        """Kills the run; its peak memory as last seen."""
        self.peak_kib = max(self.peak_kib, peak_rss_kib(self.proc.pid))
        os.killpg(self.proc.pid, signal.SIGKILL)
        self.proc.wait()

    def closing(self):
        """(kind, text) of the last line, ("", "") without one."""
        if not self.lines:
            return "", ""
        return live_run.parse_event(self.lines[-1][1])


def write_paced(fifo, data):
    with open(fifo, "wb", buffering=0) as pipe:
        start = time.monotonic()
        for at in range(0, len(data), CHUNK):
            pipe.write(data[at:at + CHUNK])
            time.sleep(max(0.0, start + (at + CHUNK) / BYTES_PER_SECOND - time.monotonic()))
    return time.monotonic()


def write_at_once(fifo, data):
    with open(fifo, "wb", buffering=0) as pipe:
        pipe.write(data)
    return time.monotonic()


def fresh_fifo(folder):
    fifo = Path(folder) / "audio.fifo"
    if fifo.exists():
        fifo.unlink()
    os.mkfifo(fifo)
    return fifo


def words_row(name, reference, text, status, kind, close):
    count = len(support.words(text))
    wer = support.wer(reference, text)
    close_ms = f"{close * 1000:6.0f}ms" if close is not None else f"{'':>8}"
    print(f"{name:<22} {count:>6} {wer:>7.1%} {status!s:>5} {kind:>5} {close_ms}", flush=True)
    return count


def measure_words(binary, audio, folder):
    wav, reference = support.long_recording(audio, "long-60s", RECORDING_SECONDS)
    data = live_run.raw_pcm(wav)
    print(f"recording: {len(data) / BYTES_PER_SECOND:.1f} s, {len(support.words(reference))} reference words")
    print(f"{'how':<22} {'words':>6} {'WER':>7} {'exit':>5} {'kind':>5} {'close':>8}")
    file_run = support.run([binary, wav], timeout=300)
    counts = {"file": words_row("file mode", reference, file_run.text, file_run.returncode, "", None)}
    texts = {}
    for name, writer in (("live, real time", write_paced), ("live, at once", write_at_once)):
        fifo = fresh_fifo(folder)
        run = Run(binary, fifo)
        closed = writer(fifo, data)
        status = run.wait()
        kind, text = run.closing()
        close = run.lines[-1][0] - closed if run.lines else None
        counts[name] = words_row(name, reference, text, status, kind, close)
        texts[name] = text
    same = support.wer(texts["live, real time"], texts["live, at once"])
    print(f"at once against real time: {same:.1%} of the words differ")
    return data, counts


def flood_row(name, written, run, status, kind, after_close):
    after = f"{after_close * 1000:6.0f}ms" if after_close is not None else f"{'':>8}"
    print(f"{name:<14} {written / MIB:>10.1f} {run.peak_kib / 1024:>9.1f} {status!s:>5} {kind:>5} {after}", flush=True)


def measure_floods(binary, data, seconds, folder):
    print(f"\nfloods of {seconds:.0f} s")
    print(f"{'writer':<14} {'taken MiB':>10} {'peak MiB':>9} {'exit':>5} {'kind':>5} {'close':>8}")
    peaks = {}
    for name, block in (("speech flood", data), ("zeros flood", bytes(1 << 20))):
        fifo = fresh_fifo(folder)
        run = Run(binary, fifo)
        written = live_run.flood(fifo, block, seconds)
        closed = time.monotonic()
        status = run.wait()
        kind, _ = run.closing()
        flood_row(name, written, run, status, kind, run.lines[-1][0] - closed if run.lines else None)
        peaks[name] = run.peak_kib / 1024
    run = Run(binary, "/dev/zero")
    time.sleep(seconds)
    run.stop()
    flood_row("/dev/zero", 0, run, "-", "-", None)
    peaks["/dev/zero"] = run.peak_kib / 1024
    return peaks


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--voxquill", type=Path, required=True)
    parser.add_argument("--flood-seconds", type=float, default=20.0)
    args = parser.parse_args()
    support.require_tools("sox")
    with support.AudioDir(prefix="voxquill-bench-") as audio:
        data, counts = measure_words(args.voxquill, audio, audio.path)
        peaks = measure_floods(args.voxquill, data, args.flood_seconds, audio.path)
    print(f"\nsummary: closing-line words file {counts['file']}, real time {counts['live, real time']}, "
          f"at once {counts['live, at once']}; peak memory speech flood {peaks['speech flood']:.0f} MiB, "
          f"zeros flood {peaks['zeros flood']:.0f} MiB, /dev/zero {peaks['/dev/zero']:.0f} MiB "
          f"(target <= 150 MB)")


if __name__ == "__main__":
    main()
