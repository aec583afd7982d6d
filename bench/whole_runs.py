#!/usr/bin/env python3
"""Whole runs timed with hyperfine: `voxquill FILE` against
`pocketsphinx_continuous -infile FILE -logfn /dev/null` (its defaults) in the
same hyperfine run, on the 3-s clip, a 60-s recording, 10 and 15 minutes
(made as bench/file_mode.py makes them), and the 15 minutes again while
stress-ng keeps one core busy.

    bench/whole_runs.py --voxquill build/app/voxquill [--runs N] [--long-runs N]

Prints per recording and program the median wall time, the ratio to the
peer, CPU seconds per second of audio and peak RSS (from /usr/bin/time -v
around every run). The 15-minute transcript is held to what the end-to-end
tests once held it to: one well-formed line, exit 0, within the word error
rate bound; the run exits 1 if it is not. Run it under `nice -n 10` on a
machine that is otherwise idle: the ratios hold on a busy one, the figures
do not. Not part of CI.
"""

import argparse
import json
import re
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "e2e"))
sys.path.insert(0, str(Path(__file__).resolve().parent))
import file_mode  # noqa: E402
import file_mode_test  # noqa: E402
import support  # noqa: E402

SHORT_CLIP = support.LIBRIVOX / "sense_and_sensibility_01_austen_64kb-0880.wav"
# The narrowest search: 37.6% on this 15-minute recording.
FIFTEEN_MINUTES_WER_BOUND = 0.6


def timed(argv, log, out, err):
    """A shell command running ARGV under /usr/bin/time -v, appending to LOG."""
    quoted = " ".join(f"'{a}'" for a in map(str, argv))
    return f"/usr/bin/time -v -a -o '{log}' {quoted} > '{out}' 2> '{err}'"


def time_blocks(log):
    """(cpu seconds, peak RSS MiB, exit status) of each run logged in LOG."""
    blocks = Path(log).read_text().split("Command being timed:")[1:]
    runs = []
    for block in blocks:
        value = lambda name: float(re.search(rf"{name}: ([0-9.]+)", block).group(1))  # noqa: E731
        runs.append((value(r"User time \(seconds\)") + value(r"System time \(seconds\)"),
                     value(r"Maximum resident set size \(kbytes\)") / 1024, int(value("Exit status"))))
    return runs


def compare(args, name, wav, runs, work):
    """Both programs on WAV in one hyperfine run; their figures and voxquill's last result."""
    programs = {"voxquill": [args.voxquill, wav], "peer": [args.peer, "-infile", wav, "-logfn", "/dev/null"]}
    files = {who: {kind: work / f"{name}-{who}.{kind}" for kind in ("log", "out", "err")} for who in programs}
    for paths in files.values():
        paths["log"].write_text("")
    export = work / f"{name}.json"
    subprocess.run(["hyperfine", "--ignore-failure", "--runs", str(runs), "--style", "none", "--export-json", export,
                    *[timed(argv, **files[who]) for who, argv in programs.items()]],
                   check=True, stdout=subprocess.DEVNULL)
    medians = [r["median"] for r in json.loads(export.read_text())["results"]]
    seconds = support.duration_seconds(wav)
    figures = {}
    for (who, paths), median in zip(files.items(), medians):
        logged = time_blocks(paths["log"])
        cpu = sorted(c for c, _, _ in logged)[len(logged) // 2]
        figures[who] = {"median": median, "cpu_per_audio": cpu / seconds, "rss": max(r for _, r, _ in logged),
                        "exits": sorted({e for _, _, e in logged})}
    last = support.Result(returncode=figures["voxquill"]["exits"][-1], stdout=files["voxquill"]["out"].read_bytes(),
                          stderr=files["voxquill"]["err"].read_bytes())
    return figures, last


def print_row(name, figures):
    vq, peer = figures["voxquill"], figures["peer"]
    print(f"{name:<26} voxquill {vq['median']:>7.2f} s  peer {peer['median']:>7.2f} s  "
          f"ratio {vq['median'] / peer['median']:>5.2f}  CPU s per audio s {vq['cpu_per_audio']:.3f} vs "
          f"{peer['cpu_per_audio']:.3f}  peak RSS {vq['rss']:.0f} vs {peer['rss']:.0f} MiB  "
          f"exits {vq['exits']} vs {peer['exits']}", flush=True)


def check_fifteen_minutes(result, reference):
    """The transcript as the long-recording test held it; the failures found."""
    case = file_mode_test.Case()
    try:
        case.assertTranscript(result)
        case.assertLessEqual(support.wer(reference, result.text), FIFTEEN_MINUTES_WER_BOUND)
    except AssertionError as failure:
        return str(failure)[:300]
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--voxquill", type=Path, required=True)
    parser.add_argument("--peer", default="pocketsphinx_continuous")
    parser.add_argument("--runs", type=int, default=10, help="runs of each program on the clip and the 60 s")
    parser.add_argument("--long-runs", type=int, default=3, help="runs of each program on 10 and 15 minutes")
    args = parser.parse_args()
    support.require_tools("hyperfine", "stress-ng", "sox", "/usr/bin/time", args.peer)
    args.voxquill = args.voxquill.resolve()
    failed = False
    with support.AudioDir(prefix="voxquill-bench-") as audio, tempfile.TemporaryDirectory() as work:
        work = Path(work)
        clips = support.librivox_clips() + support.cards_clips()
        recordings = [("3-s clip", SHORT_CLIP, None, args.runs)]
        for name, seconds in (*file_mode.LONG_RECORDINGS, file_mode.DEADLINE_RECORDING):
            wav, reference = support.long_recording(audio, name, seconds, clips)
            recordings.append((name, wav, reference, args.runs if seconds < 120 else args.long_runs))
        for name, wav, reference, runs in recordings:
            figures, last = compare(args, name, wav, runs, work)
            print_row(name, figures)
            if name == file_mode.DEADLINE_RECORDING[0]:
                failure = check_fifteen_minutes(last, reference)
                print(f"  its transcript: {'as the tests held it' if failure is None else 'FAILED: ' + failure}")
                failed = failed or failure is not None
        name, wav, reference, runs = recordings[-1]
        busy = subprocess.Popen(["stress-ng", "--cpu", "1", "--quiet"], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        try:
            figures, last = compare(args, "busy", wav, runs, work)
        finally:
            busy.terminate()
            busy.wait()
        print_row(f"{name}, 1 core busy", figures)
        outcome = "timeout" if last.stderr == b"timeout\n" else f"exit {last.returncode}"
        print(f"  its last run: {outcome}, WER {support.wer(reference, last.text):.1%}")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    unittest.TestCase.maxDiff = None
    main()
