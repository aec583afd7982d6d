#!/usr/bin/env python3
"""File-mode bench: voxquill against pocketsphinx_continuous on the same audio.

    bench/file_mode.py --voxquill build/app/voxquill [--rounds N] [--peer PATH]

Transcribes each Debian test recording (librivox x5, cards x5), a 60-second
and a 10-minute recording built from them (the clips read over and over,
varied in speed, pitch and loudness, with pauses between), with both
programs, using the same model files (the peer at its defaults), and prints
word error rate, wall time, CPU time and peak resident memory of each, with
the ratios voxquill/peer. Then voxquill alone against its 45-s deadline: a
15-minute recording, and the 10-minute one while another process keeps a
core busy (stress-ng). Then start-up: exec to transcript of the 1-second
clip, and where voxquill's time goes (build/bench/startup_profile, if built).
Both programs run in the same session, alternating which goes first, so the
ratios hold even on a busy machine; the absolute figures do not. The last
line sums up the ratios.
"""

import argparse
import statistics
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "e2e"))
import support  # noqa: E402

# The long recordings support.long_recording builds: name and least length.
LONG_RECORDINGS = (("long-60s", 60.0), ("long-10min", 600.0))
# Against the deadline only: the peer would take minutes over them.
DEADLINE_RECORDING = ("long-15min", 900.0)
DEADLINE_SECONDS = 45.0


def peer_argv(peer, wav):
    model = support.MODEL
    return [peer, "-infile", wav, "-hmm", model / "en-us", "-lm", model / "en-us.lm.bin",
            "-dict", model / "cmudict-en-us.dict", "-logfn", "/dev/null"]


def peer_text(result):
    # One line per utterance; blank lines for stretches with no words.
    return " ".join(line.strip() for line in result.text.splitlines() if line.strip())


def build_items(audio):
    """(name, wav, reference) for each clip and each long recording."""
    librivox, cards = support.librivox_clips(), support.cards_clips()
    items = [(c.name.replace("sense_and_sensibility_01_austen_64kb-", "librivox-"), c.path, c.reference)
             for c in librivox]
    items += [(f"cards-{c.name}", c.path, c.reference) for c in cards]
    for name, seconds in LONG_RECORDINGS:
        items.append((name, *support.long_recording(audio, name, seconds, librivox + cards)))
    return items


def measure(argv, rounds):
    """Median wall and CPU, largest peak RSS, and the last output over ROUNDS runs."""
    results = [support.run(argv, timeout=1200) for _ in range(rounds)]
    for r in results:
        if r.returncode != 0 or r.timed_out:
            print(f"warning: {argv[0]} {r.describe()[:200]}", file=sys.stderr)
    return {
        "wall": statistics.median(r.wall for r in results),
        "cpu": statistics.median(r.cpu for r in results),
        "rss": max(r.max_rss_kib for r in results) / 1024.0,
        "last": results[-1],
    }


def ratio(a, b):
    return a / b if b else float("nan")


STARTUP_CLIP = "cards-001"
STARTUP_ROUNDS = 7
COLUMNS = (f"{'item':<14} {'WER vq':>7} {'WER peer':>8} {'wall vq':>8} {'wall peer':>9} {'ratio':>6} "
           f"{'cpu vq':>7} {'cpu peer':>8} {'ratio':>6} {'RSS vq':>7} {'RSS peer':>8} {'ratio':>6}")


def row(name, wer, runs):
    vq, peer = runs["vq"], runs["peer"]
    return (f"{name:<14} {wer['vq']:>7.1%} {wer['peer']:>8.1%} "
            f"{vq['wall']:>7.2f}s {peer['wall']:>8.2f}s {ratio(vq['wall'], peer['wall']):>6.2f} "
            f"{vq['cpu']:>6.2f}s {peer['cpu']:>7.2f}s {ratio(vq['cpu'], peer['cpu']):>6.2f} "
            f"{vq['rss']:>5.0f}Mi {peer['rss']:>6.0f}Mi {ratio(vq['rss'], peer['rss']):>6.2f}")


def measure_both(args, wav, rounds, first):
    """Both programs on WAV, FIRST going first; their measures with the text."""
    runs = {}
    for who in (first, "peer" if first == "vq" else "vq"):
        argv = [args.voxquill, wav] if who == "vq" else peer_argv(args.peer, wav)
        runs[who] = measure(argv, rounds)
        last = runs[who]["last"]
        runs[who]["text"] = last.text if who == "vq" else peer_text(last)
    return runs


def deadline_row(name, reference, run):
    result = run["last"]
    outcome = "timeout" if b"timeout" in result.stderr else f"exit {result.returncode}"
    return (f"{name:<22} WER {support.wer(reference, result.text):>6.1%}  wall {run['wall']:>6.2f}s "
            f"(deadline {DEADLINE_SECONDS:.0f}s, {outcome})  cpu {run['cpu']:>6.2f}s  RSS {run['rss']:>4.0f}Mi")


def print_deadline_runs(args, audio, clips, ten_minutes):
    """voxquill on a 15-minute recording, then on the 10-minute one with a core kept busy."""
    support.require_tools("stress-ng")
    name, seconds = DEADLINE_RECORDING
    wav, reference = support.long_recording(audio, name, seconds, clips)
    print(deadline_row(name, reference, measure([args.voxquill, wav], args.rounds)), flush=True)
    busy = subprocess.Popen(["stress-ng", "--cpu", "1", "--timeout", "600", "--quiet"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        run = measure([args.voxquill, ten_minutes[0]], args.rounds)
    finally:
        busy.terminate()
        busy.wait()
    print(deadline_row("long-10min, 1 core busy", ten_minutes[1], run), flush=True)


def print_startup_profile(args, wav):
    profile = args.voxquill.resolve().parent.parent / "bench" / "startup_profile"
    if not profile.exists():
        print(f"(no {profile}: build it for the start-up breakdown)")
        return
    done = subprocess.run([profile, support.MODEL.parent, wav, "5"], capture_output=True, text=True, timeout=300)
    print("where voxquill's start-up time goes, in-process:")
    print(done.stdout.rstrip() if done.returncode == 0 else done.stderr.rstrip())


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--voxquill", type=Path, required=True)
    parser.add_argument("--peer", default="pocketsphinx_continuous")
    parser.add_argument("--rounds", type=int, default=1, help="runs per item and program (medians are shown)")
    args = parser.parse_args()
    support.require_tools("sox", "stress-ng", args.peer)

    print(COLUMNS)
    print("-" * len(COLUMNS), flush=True)
    results = {}
    with support.AudioDir(prefix="voxquill-bench-") as audio:
        items = build_items(audio)
        for index, (name, wav, reference) in enumerate(items):
            # Alternate the order so neither program always finds a warm cache.
            runs = measure_both(args, wav, args.rounds, "vq" if index % 2 == 0 else "peer")
            wer = {who: support.wer(reference, runs[who]["text"]) for who in runs}
            results[name] = (reference, runs)
            print(row(name, wer, runs), flush=True)
            if name == STARTUP_CLIP:
                startup_wav = wav
        print("-" * len(COLUMNS))
        clips = [results[name] for name in results if not name.startswith("long-")]
        pooled = {who: support.aggregate_wer([(ref, runs[who]["text"]) for ref, runs in clips]) for who in ("vq", "peer")}
        summed = {who: {key: sum(runs[who][key] for _, runs in clips) for key in ("wall", "cpu")} for who in pooled}
        for who in summed:
            summed[who]["rss"] = max(runs[who]["rss"] for _, runs in clips)
        print(row("clips pooled", pooled, summed))
        print()
        librivox_and_cards = support.librivox_clips() + support.cards_clips()
        ten_minutes = next((wav, ref) for name, wav, ref in items if name == "long-10min")
        print_deadline_runs(args, audio, librivox_and_cards, ten_minutes)
        print()
        startup = measure_both(args, startup_wav, STARTUP_ROUNDS, "vq")
        print(f"start-up, exec to transcript of the {support.duration_seconds(startup_wav):.1f}-s clip "
              f"(median of {STARTUP_ROUNDS}): voxquill {startup['vq']['wall'] * 1000:.0f} ms, "
              f"peer {startup['peer']['wall'] * 1000:.0f} ms, ratio {ratio(startup['vq']['wall'], startup['peer']['wall']):.2f}")
        print_startup_profile(args, startup_wav)
    print()
    long_ref, long_runs = results["long-10min"]
    long_wer = {who: support.wer(long_ref, long_runs[who]["text"]) for who in long_runs}
    minute = results["long-60s"][1]
    print(f"voxquill/peer: 10-min wall x{ratio(long_runs['vq']['wall'], long_runs['peer']['wall']):.2f} "
          f"({long_runs['vq']['wall']:.1f}s vs {long_runs['peer']['wall']:.1f}s), "
          f"WER {long_wer['vq']:.1%} vs {long_wer['peer']:.1%}; "
          f"60-s wall x{ratio(minute['vq']['wall'], minute['peer']['wall']):.2f}; "
          f"clips WER {pooled['vq']:.1%} vs {pooled['peer']:.1%}; "
          f"start-up x{ratio(startup['vq']['wall'], startup['peer']['wall']):.2f}; "
          f"peak RSS {long_runs['vq']['rss']:.0f} MiB (10 min) / {minute['vq']['rss']:.0f} MiB (60 s) "
          f"x{ratio(long_runs['vq']['rss'], long_runs['peer']['rss']):.2f}")


if __name__ == "__main__":
    main()
