#!/usr/bin/env python3
"""File-mode bench: voxquill against pocketsphinx_continuous on the same audio.

    bench/file_mode.py --voxquill build/app/voxquill [--rounds N] [--peer PATH]

Transcribes each Debian test recording (librivox x5, cards x5) and one long
file (all librivox readings, a second of silence between, repeated past a
minute) with both programs, using the same model files, and prints word error
rate, wall time, CPU time and peak resident memory of each, with the ratios
voxquill/peer. Both run in the same session, alternating which goes first, so
the ratios hold even on a busy machine; the absolute figures do not.
"""

import argparse
import math
import statistics
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "e2e"))
import support  # noqa: E402

LONG_FILE_SECONDS = 60.0


def peer_argv(peer, wav):
    model = support.MODEL
    return [peer, "-infile", wav, "-hmm", model / "en-us", "-lm", model / "en-us.lm.bin",
            "-dict", model / "cmudict-en-us.dict", "-logfn", "/dev/null"]


def peer_text(result):
    # One line per utterance; blank lines for stretches with no words.
    return " ".join(line.strip() for line in result.text.splitlines() if line.strip())


def build_items(audio):
    """(name, wav, reference) for each clip and the long file."""
    items = [(c.name.replace("sense_and_sensibility_01_austen_64kb-", "librivox-"), c.path, c.reference)
             for c in support.librivox_clips()]
    items += [(f"cards-{c.name}", c.path, c.reference) for c in support.cards_clips()]
    clips = support.librivox_clips()
    once = audio.concatenate("librivox-once.wav", [c.path for c in clips], gap_seconds=1.0)
    once_seconds = support.duration_seconds(once)
    repeats = max(1, math.ceil((LONG_FILE_SECONDS + 1.0) / (once_seconds + 1.0)))
    long_file = audio.concatenate("librivox-long.wav", [once] * repeats, gap_seconds=1.0)
    seconds = support.duration_seconds(long_file)
    reference = " ".join([" ".join(c.reference for c in clips)] * repeats)
    items.append((f"long-{seconds:.0f}s", long_file, reference))
    return items


def measure(argv, rounds):
    """Median wall and CPU, largest peak RSS, and the last output over ROUNDS runs."""
    results = [support.run(argv, timeout=300) for _ in range(rounds)]
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


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--voxquill", type=Path, required=True)
    parser.add_argument("--peer", default="pocketsphinx_continuous")
    parser.add_argument("--rounds", type=int, default=1, help="runs per item and program (medians are shown)")
    args = parser.parse_args()
    support.require_tools("sox", args.peer)

    header = (f"{'item':<14} {'WER vq':>7} {'WER peer':>8} {'wall vq':>8} {'wall peer':>9} {'ratio':>6} "
              f"{'cpu vq':>7} {'cpu peer':>8} {'ratio':>6} {'RSS vq':>7} {'RSS peer':>8} {'ratio':>6}")
    rows, totals = [], {"vq": [], "peer": []}
    print(header)
    print("-" * len(header), flush=True)
    with support.AudioDir(prefix="voxquill-bench-") as audio:
        for index, (name, wav, reference) in enumerate(build_items(audio)):
            runs = {}
            # Alternate the order so neither program always finds a warm cache.
            order = ("vq", "peer") if index % 2 == 0 else ("peer", "vq")
            for who in order:
                argv = [args.voxquill, wav] if who == "vq" else peer_argv(args.peer, wav)
                runs[who] = measure(argv, args.rounds)
            vq, peer = runs["vq"], runs["peer"]
            vq["text"], peer["text"] = vq["last"].text, peer_text(peer["last"])
            for who in runs:
                totals[who].append((reference, runs[who]["text"], runs[who]))
            rows.append(f"{name:<14} {support.wer(reference, vq['text']):>7.1%} "
                        f"{support.wer(reference, peer['text']):>8.1%} "
                        f"{vq['wall']:>7.2f}s {peer['wall']:>8.2f}s {ratio(vq['wall'], peer['wall']):>6.2f} "
                        f"{vq['cpu']:>6.2f}s {peer['cpu']:>7.2f}s {ratio(vq['cpu'], peer['cpu']):>6.2f} "
                        f"{vq['rss']:>5.0f}Mi {peer['rss']:>6.0f}Mi {ratio(vq['rss'], peer['rss']):>6.2f}")
            print(rows[-1], flush=True)

    def total(who, key, how=sum):
        return how(m[key] for _, _, m in totals[who])

    clips = {who: totals[who][:-1] for who in totals}
    wer = {who: support.aggregate_wer([(r, h) for r, h, _ in clips[who]]) for who in clips}
    wall = {who: total(who, "wall") for who in totals}
    cpu = {who: total(who, "cpu") for who in totals}
    rss = {who: total(who, "rss", max) for who in totals}
    print("-" * len(header))
    print(f"{'all':<14} {wer['vq']:>7.1%} {wer['peer']:>8.1%} "
          f"{wall['vq']:>7.2f}s {wall['peer']:>8.2f}s {ratio(wall['vq'], wall['peer']):>6.2f} "
          f"{cpu['vq']:>6.2f}s {cpu['peer']:>7.2f}s {ratio(cpu['vq'], cpu['peer']):>6.2f} "
          f"{rss['vq']:>5.0f}Mi {rss['peer']:>6.0f}Mi {ratio(rss['vq'], rss['peer']):>6.2f}")
    print("(WER on the 'all' line: the ten clips pooled; times summed; RSS the largest.)")
    print(f"voxquill/peer: wall x{ratio(wall['vq'], wall['peer']):.2f}, cpu x{ratio(cpu['vq'], cpu['peer']):.2f}, "
          f"peak RSS x{ratio(rss['vq'], rss['peer']):.2f}, clip WER {wer['vq']:.1%} vs {wer['peer']:.1%}")


if __name__ == "__main__":
    main()
