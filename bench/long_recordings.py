#!/usr/bin/env python3
"""Long recordings through the installed voxquill-batch, which cuts them into
parts at pauses and runs the parts on every core.

    bench/long_recordings.py --prefix PREFIX [--rounds 8] [--work DIR]

PREFIX is where `cmake --install` put the program (PREFIX/bin holds voxquill
and voxquill-batch). Prints, with the load average before and after:

- a 2-hour recording (the speech-dev clips joined, ROUNDS times over): wall
  time, real-time factor, and its word count against the sum of its
  clips' references;
- the same recording killed once half its parts have a transcript, then run
  again: how many parts the second run had left to do;
- a 10-minute recording (the speech-dev LibriSpeech clips joined), cut by
  the tool and whole in one voxquill run: word error rate of each against the
  references, by a plain word edit distance.

Not a test: figures only, for bench/NOTES.md.
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "e2e"))
import support  # noqa: E402

# Beside the checkout, as the accuracy bench finds it.
SPEECH_DEV = Path(__file__).resolve().parent.parent.parent / "shared" / "speech-dev"


def clips(prefix=""):
    """(path, reference) of the speech-dev clips whose names start with PREFIX."""
    rows = [line.split("\t", 1) for line in (SPEECH_DEV / "manifest.tsv").read_text().splitlines()]
    return [(SPEECH_DEV / path, text.strip()) for path, text in rows if Path(path).name.startswith(prefix)]


def joined(paths, out):
    """PATHS joined back to back as the FLAC file OUT, with ffmpeg's concat."""
    listing = out.with_suffix(".list")
    listing.write_text("".join(f"file '{p}'\n" for p in paths))
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "concat", "-safe", "0", "-i", listing,
                    "-c:a", "flac", out], check=True)
    listing.unlink()
    return out


def load():
    return "/".join(f"{x:.1f}" for x in os.getloadavg())


def batch(tool, folder, env):
    start = time.monotonic()
    done = subprocess.run([tool, folder], env=env, capture_output=True, text=True)
    return done, time.monotonic() - start


def two_hours(args, env, work):
    material = clips()
    recording = joined([p for p, _ in material] * args.rounds, work / "two hours" / "talk.flac")
    seconds = support.duration_seconds(recording)
    reference = sum(len(support.words(text)) for _, text in material)

    print(f"2-hour recording: {seconds:.0f} s, load before {load()}")
    done, wall = batch(args.tool, recording.parent, env)
    transcript = recording.with_name("talk.flac.txt")
    words = len(support.words(transcript.read_text())) if transcript.exists() else 0
    print(f"  exit {done.returncode}, wall {wall:.1f} s, {seconds / wall:.1f}x real time, load after {load()}")
    print(f"  failures: {done.stdout.strip() or 'none'}")
    print(f"  words {words}; the clips' references {reference * args.rounds}")
    return recording


def killed_halfway(args, env, recording):
    recording.with_name("talk.flac.txt").unlink(missing_ok=True)
    parts = recording.with_name("talk.flac.voxquill-parts")
    print(f"killed halfway: load before {load()}")
    run = subprocess.Popen([args.tool, recording.parent], env=env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, start_new_session=True)
    total = None
    while run.poll() is None:
        if parts.is_dir():
            total = total or len(list(parts.glob("*.wav")))
            if total and len(list(parts.glob("*.wav.txt"))) * 2 >= total:
                os.killpg(run.pid, signal.SIGTERM)
                break
        time.sleep(0.5)
    run.wait()
    left = total - len(list(parts.glob("*.wav.txt"))) if total else 0
    done, wall = batch(args.tool, recording.parent, env)
    print(f"  {total} parts, {left} without a transcript after the kill; second run exit {done.returncode}, "
          f"wall {wall:.1f} s, transcript {'whole' if recording.with_name('talk.flac.txt').exists() else 'missing'}")


def ten_minutes(args, env, work):
    material = clips("lso_")
    recording = joined([p for p, _ in material], work / "ten minutes" / "talk.flac")
    reference = " ".join(text for _, text in material)
    print(f"10-minute recording: {support.duration_seconds(recording):.0f} s, load before {load()}")
    done, wall = batch(args.tool, recording.parent, env)
    cut = recording.with_name("talk.flac.txt").read_text() if done.returncode == 0 else ""
    whole = support.run([env["VOXQUILL"], recording], timeout=120)
    print(f"  cut: exit {done.returncode}, wall {wall:.1f} s, WER {100 * support.wer(reference, cut):.1f}%")
    print(f"  whole: exit {whole.returncode}, wall {whole.wall:.1f} s, "
          f"WER {100 * support.wer(reference, whole.text):.1f}%, load after {load()}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--prefix", type=Path, required=True)
    parser.add_argument("--rounds", type=int, default=8)
    parser.add_argument("--work", type=Path)
    args = parser.parse_args()
    args.tool = args.prefix / "bin" / "voxquill-batch"
    env = dict(os.environ, PATH=f"{args.prefix / 'bin'}:{os.environ['PATH']}", VOXQUILL=str(args.prefix / "bin" / "voxquill"))
    work = args.work or Path(tempfile.mkdtemp(prefix="voxquill-long-"))
    for folder in ("two hours", "ten minutes"):
        (work / folder).mkdir(parents=True, exist_ok=True)
    try:
        recording = two_hours(args, env, work)
        killed_halfway(args, env, recording)
        ten_minutes(args, env, work)
    finally:
        if not args.work:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
