#!/usr/bin/env python3
"""Accuracy: word error rate of voxquill, in file mode and in live mode, and
of the engine's two programs at their defaults with the same model files
(pocketsphinx_continuous and pocketsphinx_batch), on one corpus, in one run,
scored with NIST sclite.

    python3 bench/accuracy.py [--voxquill build/app/voxquill] [--long]
        [--systems file,live,peer,batch] [--groups debian,lso,...] [--jobs 2]
        [--live-sessions 5] [--cache DIR] [--speech-dev DIR]
        [--results DIR] [--json OUT]

The corpus (bench/accuracy_corpus.py) is built the first time and cached
(~/.cache/voxquill-accuracy by default):
  debian           Debian's test clips (librivox x5, cards x5)
  lso, so762       real recordings of ../shared/speech-dev: the first 5
                   clips of each of the 10 lso speakers, all 60 so762 clips
  dictation-clean  the 160 sentences of bench/sentences.txt, seven synthetic
                   voices in turn (flite kal16 slt awb rms, espeak-ng en-us
                   en+f3, festival's HTS slt), 16 kHz mono WAV
  8k ... mp3       13 variants of 9 of those sentences and 4 real clips:
                   8k, telephone (300-3400 Hz), white/pink/babble noise at
                   20 and 10 dB SNR, quiet30, loud-clipped, reverb,
                   44k-stereo, mp3 (32 kbit/s)
  long             real speech joined with pauses: 1 minute; with --long
                   also 10 and 15 minutes
--groups real is debian,lso,so762 (the real recordings, a few minutes);
--systems peers is peer,batch (the engine's programs alone).

Systems:
  file  `voxquill FILE` on each item as it is (FLAC, MP3, 8 kHz, stereo...);
        a refusal or a timeout counts as an empty transcript
  live  `voxquill --live FIFO`: each group's clips joined with 1-s pauses
        into sessions of at most 3 minutes (each long recording on its own),
        written at real time in 8192-byte chunks as s16le 16 kHz mono; the
        closing line's text against the joined references
  peer  `pocketsphinx_continuous -infile` on the item converted by sox to
        16 kHz mono 16-bit WAV, as its users must
  batch `pocketsphinx_batch -ctl LIST -cepdir DIR -adcin yes` on the same
        audio as raw 16 kHz s16le, one utterance a recording, normalised by
        its own mean (`-cmn batch` from the model's feat.params); one process
        a group (longer groups in parts of a few minutes of audio)

References and hypotheses get one normalisation (accuracy_corpus.normalise):
numbers in digits to words, upper case, punctuation out except apostrophes
inside words, single spaces. sclite aligns them; the table gives WER per
group and pooled, and the ratios of voxquill's to the peer's. Per-item
hypotheses, the trn files and sclite's alignments (*.pra) go to the results
folder for whoever tunes the decoder.

The default run takes about 13 minutes on a quiet 2-core machine (the
first one about half a minute more, to build the corpus): decodes run two
at a time, live sessions five at a time (each is paced by the audio and
needs little CPU), and file mode on recordings over 30 s runs alone, since
it decodes those on both cores against its 45-s deadline. Other work on the
machine stretches it.
"""

import argparse
import errno
import json
import os
import re
import shutil
import subprocess
import sys
import threading
import time
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass, field
from pathlib import Path

BENCH = Path(__file__).resolve().parent
REPO = BENCH.parent
sys.path.insert(0, str(REPO / "tests" / "e2e"))
sys.path.insert(0, str(BENCH))
import accuracy_corpus as corpus_recipe  # noqa: E402
import file_mode  # noqa: E402  (peer_argv, peer_text)
import support  # noqa: E402

SYSTEMS = ("file", "live", "peer", "batch")
SYSTEM_SETS = {"peers": ("peer", "batch")}
GROUP_SETS = {"real": ("debian", "lso", "so762")}
GROUPS = ("debian", "lso", "so762", "dictation-clean", *corpus_recipe.VARIANTS, "long")
CHUNK = 8192
BYTES_PER_SECOND = 32000
LIVE_GAP_SECONDS = 1.0
LIVE_SESSION_SECONDS = 180.0
BATCH_PART_SECONDS = 120.0  # audio a pocketsphinx_batch process decodes: keeps both cores busy
ALONE_SECONDS = 30.0     # file mode cuts longer recordings into pieces for both cores
FILE_KILL_SECONDS = 120  # voxquill stops itself at 45 s; this only catches a hang


# ---------------------------------------------------------------- running

@dataclass
class Outcome:
    status: str            # "ok", or what went wrong
    text: str              # the raw transcript ("" when there is none)
    wall: float = 0.0
    cpu: float = 0.0
    note: str = ""         # worth knowing, not a failure


def run_file(voxquill, path):
    r = support.run([voxquill, path], timeout=FILE_KILL_SECONDS)
    if r.timed_out:
        return Outcome(f"hung, killed after {FILE_KILL_SECONDS} s", "", r.wall, r.cpu)
    if r.returncode != 0:
        message = r.stderr.decode(errors="replace").strip().splitlines()
        return Outcome(f"exit {r.returncode}: {message[-1] if message else ''}", "", r.wall, r.cpu)
    return Outcome("ok", r.text.strip(), r.wall, r.cpu)


def run_peer(peer, wav, seconds):
    r = support.run(file_mode.peer_argv(peer, wav), timeout=120 + 2 * seconds)
    if r.timed_out or r.returncode != 0:
        message = r.stderr.decode(errors="replace").strip().splitlines()
        state = "killed" if r.timed_out else f"exit {r.returncode}"
        return Outcome(f"{state}: {message[-1] if message else ''}", "", r.wall, r.cpu)
    return Outcome("ok", file_mode.peer_text(r), r.wall, r.cpu)


_BATCH_LINE = re.compile(r"^(.*?)\s*\((\S+)\s+-?\d+\)$")


def batch_parts(items):
    """Items in the lists one pocketsphinx_batch process each decodes: a group's
    items in order, cut after BATCH_PART_SECONDS of audio."""
    parts = []
    for group in GROUPS:
        current, seconds = None, 0.0
        for item in (i for i in items if i.group == group):
            if current is None or seconds + item.seconds > BATCH_PART_SECONDS:
                current, seconds = [], 0.0
                parts.append(current)
            current.append(item)
            seconds += item.seconds
    return parts


def run_batch(batch, root, folder, part):
    """Decodes the items of PART in one process; {(group, id): Outcome}, each
    item given its share (by length) of the process's wall and CPU time."""
    folder.mkdir(parents=True, exist_ok=True)
    ctl, hyp = folder / "list.ctl", folder / "hyp.txt"
    uids = {}
    for n, item in enumerate(part):
        rate, channels, samples = corpus_recipe.read_wav(root / item.peer)
        assert rate == 16000 and channels == 1, item.peer
        if sys.byteorder == "big":
            samples.byteswap()
        uid = f"u{n:04d}"  # the program's utterance id: the file name, no folders
        (folder / f"{uid}.raw").write_bytes(samples.tobytes())
        uids[uid] = item
    ctl.write_text("".join(f"{uid}\n" for uid in uids), encoding="utf-8")
    model = support.MODEL
    argv = [batch, "-ctl", ctl, "-cepdir", folder, "-cepext", ".raw", "-adcin", "yes",
            "-hmm", model / "en-us", "-lm", model / "en-us.lm.bin", "-dict", model / "cmudict-en-us.dict",
            "-hyp", hyp, "-logfn", "/dev/null"]
    seconds = sum(item.seconds for item in part)
    r = support.run(argv, timeout=120 + 2 * seconds)
    texts = {}
    if hyp.exists():
        for line in hyp.read_text(encoding="utf-8", errors="replace").splitlines():
            match = _BATCH_LINE.match(line.strip())
            if match:
                texts[match.group(2)] = match.group(1)
    state = "ok"
    if r.timed_out or r.returncode != 0:
        message = r.stderr.decode(errors="replace").strip().splitlines()
        state = f"{'killed' if r.timed_out else f'exit {r.returncode}'}: {message[-1] if message else ''}"
    outcomes = {}
    for uid, item in uids.items():
        share = item.seconds / seconds if seconds else 0.0
        status = state if state != "ok" else ("ok" if uid in texts else "no hypothesis line")
        outcomes[(item.group, item.id)] = Outcome(status, texts.get(uid, ""), r.wall * share, r.cpu * share)
    shutil.rmtree(folder)
    return outcomes


def _open_writer(fifo, proc, deadline):
    """The pipe's write end once voxquill has it open; None if it exits first."""
    while True:
        try:
            fd = os.open(fifo, os.O_WRONLY | os.O_NONBLOCK)
        except OSError as error:
            if error.errno != errno.ENXIO:
                raise
            if proc.poll() is not None or time.monotonic() > deadline:
                return None
            time.sleep(0.01)
            continue
        os.set_blocking(fd, True)
        return fd


def run_live(voxquill, pcm, fifo):
    """One live session: PCM written at real time; the closing line is the result."""
    if fifo.exists():
        fifo.unlink()
    os.mkfifo(fifo)
    started = time.monotonic()
    proc = support.spawn([voxquill, "--live", fifo])
    lines = []
    reader = threading.Thread(target=lambda: lines.extend(proc.stdout), daemon=True)
    reader.start()
    cut = None
    fd = _open_writer(fifo, proc, started + 60)
    if fd is not None:
        try:
            begin = time.monotonic()
            for at in range(0, len(pcm), CHUNK):
                chunk = memoryview(pcm)[at:at + CHUNK]
                while chunk:
                    chunk = chunk[os.write(fd, chunk):]
                time.sleep(max(0.0, begin + (at + CHUNK) / BYTES_PER_SECOND - time.monotonic()))
        except BrokenPipeError:
            cut = (at / BYTES_PER_SECOND)  # the program stopped reading: its deadline
        finally:
            os.close(fd)
    usage = None
    if _wait(proc, 120):
        _, status, usage = os.wait4(proc.pid, 0)
    else:
        support.kill_group(proc)
        os.waitpid(proc.pid, 0)
    reader.join(timeout=10)
    proc.stdout.close()
    stderr = proc.stderr.read().decode(errors="replace").strip()
    proc.stderr.close()
    fifo.unlink()
    wall = time.monotonic() - started
    cpu = usage.ru_utime + usage.ru_stime if usage else 0.0
    if usage is None:
        return Outcome("hung, killed 120 s after the pipe closed", "", wall, cpu)
    code = os.waitstatus_to_exitcode(status)
    events = []
    for line in lines:
        try:
            events.append(json.loads(line))
        except ValueError:
            return Outcome(f"exit {code}: not an event line: {line[:80]!r}", "", wall, cpu)
    notes = [f"writer cut off at {cut:.0f} s"] if cut is not None else []
    notes += [f"stderr: {stderr[:80]}"] if stderr else []
    last = events[-1] if events else {}
    if last.get("k") == "f":
        state = "ok" if code == 0 and not notes else f"exit {code}, closing f"
        # A final result comes as an f line before the closing one; without it
        # the settle delay ran out and the last partial closed the run.
        settled = len(events) >= 2 and events[-2].get("k") == "f"
        return Outcome("; ".join([state] + notes), last.get("t", ""), wall, cpu,
                       "" if settled else "closed on the last partial")
    what = f"e: {last.get('t')}" if last.get("k") == "e" else "no closing line"
    return Outcome("; ".join([f"exit {code}, {what}"] + notes), "", wall, cpu)


def _wait(proc, timeout):
    """True once PROC has exited (left for wait4 to reap), False after TIMEOUT seconds."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if os.waitid(os.P_PID, proc.pid, os.WEXITED | os.WNOWAIT | os.WNOHANG) is not None:
            return True
        time.sleep(0.05)
    return False


# ---------------------------------------------------------------- plan

@dataclass
class Session:
    group: str
    id: str
    items: list = field(default_factory=list)

    @property
    def reference(self):
        return " ".join(item.reference for item in self.items)

    @property
    def seconds(self):
        return sum(i.seconds for i in self.items) + LIVE_GAP_SECONDS * (len(self.items) - 1)


def live_sessions(items):
    """Each group's items in order, joined into sessions of at most
    LIVE_SESSION_SECONDS; a long recording is a session of its own."""
    sessions = []
    for group in GROUPS:
        current = None
        for item in (i for i in items if i.group == group):
            if current is None or group == "long" or current.seconds + LIVE_GAP_SECONDS + item.seconds > LIVE_SESSION_SECONDS:
                current = Session(group, item.id if group == "long" else f"part{sum(s.group == group for s in sessions) + 1:02d}")
                sessions.append(current)
            current.items.append(item)
    return sessions


def session_pcm(root, session):
    gap = bytes(int(LIVE_GAP_SECONDS * BYTES_PER_SECOND))
    parts = []
    for item in session.items:
        rate, channels, samples = corpus_recipe.read_wav(root / item.peer)
        assert rate == 16000 and channels == 1, item.peer
        if sys.byteorder == "big":
            samples.byteswap()
        parts.append(samples.tobytes())
    return gap.join(parts)


class Progress:
    """A line on standard error every half minute, so a long run shows life."""

    def __init__(self, totals):
        self.totals = totals
        self.done = {name: 0 for name in totals}
        self.started = time.monotonic()
        self.lock = threading.Lock()
        self.stop = threading.Event()
        self.thread = threading.Thread(target=self._tick, daemon=True)
        self.thread.start()

    def tick(self, name):
        with self.lock:
            self.done[name] += 1

    def _tick(self):
        while not self.stop.wait(30):
            with self.lock:
                parts = [f"{name} {self.done[name]}/{total}" for name, total in self.totals.items() if total]
            print(f"  {time.monotonic() - self.started:5.0f} s: " + ", ".join(parts), file=sys.stderr, flush=True)

    def close(self):
        self.stop.set()


def run_all(args, corpus, items, systems, log):
    """Every decode; {system: {unit key: Outcome}} with the live sessions."""
    root = corpus.root
    outcomes = {system: {} for system in systems}
    sessions = live_sessions(items) if "live" in systems else []
    decodes = []
    if "peer" in systems:
        decodes += [("peer", item) for item in items]
    alone = []
    if "file" in systems:
        alone = [item for item in items if item.seconds > ALONE_SECONDS]
        decodes += [("file", item) for item in items if item.seconds <= ALONE_SECONDS]
    parts = batch_parts(items) if "batch" in systems else []
    decodes += [("batch", part) for part in parts]
    decodes.sort(key=lambda d: -_seconds(d[1]))  # longest first: no straggler at the end
    progress = Progress({"file": len(alone) + sum(s == "file" for s, _ in decodes),
                         "peer": sum(s == "peer" for s, _ in decodes),
                         "batch parts": len(parts), "live sessions": len(sessions)})
    timings = {}
    try:
        started = time.monotonic()
        for item in alone:
            outcomes["file"][(item.group, item.id)] = run_file(args.voxquill, root / item.path)
            progress.tick("file")
        if alone:
            timings["file mode alone on long recordings"] = time.monotonic() - started

        started = time.monotonic()
        fifo_dir = Path(args.results) / "fifos"
        fifo_dir.mkdir(parents=True, exist_ok=True)

        def live(session):
            pcm = session_pcm(root, session)
            outcome = run_live(args.voxquill, pcm, fifo_dir / f"{session.group}-{session.id}.fifo")
            outcomes["live"][(session.group, session.id)] = outcome
            progress.tick("live sessions")

        def decode(system, item):
            if system == "batch":
                folder = Path(args.results) / f"batch-{item[0].group}-{item[0].id}"
                outcomes["batch"].update(run_batch(args.batch, root, folder, item))
                progress.tick("batch parts")
                return
            if system == "file":
                outcome = run_file(args.voxquill, root / item.path)
            else:
                outcome = run_peer(args.peer, root / item.peer, item.seconds)
            outcomes[system][(item.group, item.id)] = outcome
            progress.tick(system)

        with ThreadPoolExecutor(max_workers=max(1, args.live_sessions)) as live_pool, \
                ThreadPoolExecutor(max_workers=max(1, args.jobs)) as decode_pool:
            futures = [live_pool.submit(live, s) for s in sorted(sessions, key=lambda s: -s.seconds)]
            futures += [decode_pool.submit(decode, system, item) for system, item in decodes]
            for future in futures:
                future.result()
        fifo_dir.rmdir()
        timings["decodes and live sessions together"] = time.monotonic() - started
    finally:
        progress.close()
    return outcomes, sessions, timings


def _seconds(unit):
    """Audio in an item, or in a batch part (a list of items)."""
    return sum(i.seconds for i in unit) if isinstance(unit, list) else unit.seconds


# ---------------------------------------------------------------- scoring

_ROW = re.compile(r"^\s*\|\s*(\S+)\s*\|\s*(\d+)\s+(\d+)\s*\|\s*(\d+)\s+(\d+)\s+(\d+)\s+(\d+)\s+(\d+)\s+(\d+)\s*\|")
FIELDS = ("sentences", "words", "correct", "sub", "del", "ins", "err", "sentence_err")


def tag(group):
    # sclite takes the speaker from the id up to the first hyphen: the group is the speaker.
    return group.replace("-", "")


def sclite(system, units, folder):
    """Scores UNITS ((group, id, reference, hypothesis), normalised) with sclite;
    {group: counts} and the pooled counts, from its raw summary."""
    ref, hyp = folder / f"{system}.ref.trn", folder / f"{system}.hyp.trn"
    with open(ref, "w", encoding="utf-8") as r, open(hyp, "w", encoding="utf-8") as h:
        for group, unit_id, reference, hypothesis in units:
            uid = f"{tag(group)}-{unit_id}"
            r.write(f"{reference} ({uid})\n")
            h.write(f"{hypothesis} ({uid})\n")
    argv = ["sctk", "sclite", "-r", str(ref), "trn", "-h", str(hyp), "trn", "-i", "spu_id",
            "-o", "rsum", "pra", "-O", str(folder), "-n", system]
    done = subprocess.run(argv, capture_output=True, text=True, timeout=600)
    raw = folder / f"{system}.raw"
    if done.returncode != 0 or not raw.exists():
        sys.exit(f"accuracy: sclite failed: {done.stdout[-500:]}{done.stderr[-500:]}")
    by_tag = {}
    for line in raw.read_text(encoding="utf-8", errors="replace").splitlines():
        match = _ROW.match(line)
        if match:
            by_tag[match.group(1)] = dict(zip(FIELDS, map(int, match.groups()[1:])))
    groups = {group: by_tag[tag(group)] for group in {u[0] for u in units}}
    return groups, by_tag["Sum"]


_PRA_ID = re.compile(r"^id: \((.*)\)$")
_PRA_SCORES = re.compile(r"^Scores: \(#C #S #D #I\) (\d+) (\d+) (\d+) (\d+)$")


def utterance_scores(pra):
    """{utterance id: (correct, sub, del, ins)} from sclite's alignments."""
    scores, current = {}, None
    for line in pra.read_text(encoding="utf-8", errors="replace").splitlines():
        match = _PRA_ID.match(line)
        if match:
            current = match.group(1)
            continue
        match = _PRA_SCORES.match(line)
        if match and current is not None:
            scores[current] = tuple(map(int, match.groups()))
            current = None
    return scores


def by_voice(folder, systems):
    """WER on the clean dictation by synthetic voice, for file and peer (live
    sessions mix voices): one line, since voices differ far more than systems."""
    parts = []
    for system in (s for s in ("file", "peer", "batch") if s in systems):
        totals = {}
        prefix = tag("dictation-clean") + "-"
        for uid, (c, s, d, i) in utterance_scores(folder / f"{system}.pra").items():
            if uid.startswith(prefix):
                voice = uid[len(prefix):].split("-", 1)[1]
                words, errors = totals.get(voice, (0, 0))
                totals[voice] = (words + c + s + d, errors + s + d + i)
        if totals:
            parts.append(f"{system} " + " ".join(f"{v} {e / w:.0%}" for v, (w, e) in totals.items() if w))
    return "dictation-clean WER by voice: " + "; ".join(parts) if parts else ""


def wer(counts):
    return counts["err"] / counts["words"] if counts and counts["words"] else float("nan")


def ratio(a, b):
    return a / b if b and b == b and a == a else float("nan")


# ---------------------------------------------------------------- report

def fmt_pct(x):
    return f"{x:.1%}" if x == x else "-"


def fmt_ratio(x):
    return f"{x:.2f}" if x == x else "-"


def table(groups, figures, systems):
    head = (f"{'group':<16} {'words':>6} {'WER file':>9} {'WER live':>9} {'WER peer':>9} "
            f"{'file/peer':>9} {'live/peer':>9} {'WER batch':>9} {'file/batch':>10} {'live/batch':>10}"
            f"  {'failed f/l/p/b':>14}")
    lines = [head, "-" * len(head)]
    for name in [*groups, "pooled"]:
        if name == "pooled":
            lines.append("-" * len(head))
        row = figures[name]
        w = {s: row[s]["wer"] if s in row else float("nan") for s in SYSTEMS}
        failed = "/".join(str(row[s]["failed"]) if s in row else "-" for s in SYSTEMS)
        lines.append(f"{name:<16} {row['words']:>6} {fmt_pct(w['file']):>9} {fmt_pct(w['live']):>9} "
                     f"{fmt_pct(w['peer']):>9} {fmt_ratio(ratio(w['file'], w['peer'])):>9} "
                     f"{fmt_ratio(ratio(w['live'], w['peer'])):>9} {fmt_pct(w['batch']):>9} "
                     f"{fmt_ratio(ratio(w['file'], w['batch'])):>10} {fmt_ratio(ratio(w['live'], w['batch'])):>10}"
                     f"  {failed:>14}")
    return "\n".join(lines)


def summary(groups, figures, systems):
    pooled = figures["pooled"]
    parts = ["pooled WER " + " ".join(f"{s} {fmt_pct(pooled[s]['wer'])}" for s in SYSTEMS if s in systems)]
    ours = [s for s in ("file", "live") if s in systems]
    for bar in (b for b in ("peer", "batch") if b in systems):
        if ours:
            parts.append(", ".join(f"{s}/{bar} x{fmt_ratio(ratio(pooled[s]['wer'], pooled[bar]['wer']))}"
                                   for s in ours))
    for s in ours:
        worst = max(groups, key=lambda g: figures[g][s]["wer"])
        note = f"worst group {s}: {worst} {fmt_pct(figures[worst][s]['wer'])}"
        for bar in (b for b in ("peer", "batch") if b in systems and len(groups) > 1):
            behind = max(groups, key=lambda g: ratio(figures[g][s]["wer"], figures[g][bar]["wer"]))
            note += (f", furthest behind the {bar}: {behind}"
                     f" x{fmt_ratio(ratio(figures[behind][s]['wer'], figures[behind][bar]['wer']))}")
        parts.append(note)
    failed = [f"{s} {pooled[s]['failed']}" for s in SYSTEMS if s in systems]
    parts.append("failed " + " ".join(failed))
    return "accuracy: " + "; ".join(parts)


def write_items(path, systems, items, sessions, outcomes):
    with open(path, "w", encoding="utf-8") as out:
        out.write("system\tgroup\tunit\tstatus\tnote\tseconds\twall\tcpu\treference\thypothesis\n")
        for system in systems:
            units = ([(s.group, s.id, s.seconds, s.reference) for s in sessions] if system == "live"
                     else [(i.group, i.id, i.seconds, i.reference) for i in items])
            for group, unit_id, seconds, reference in units:
                o = outcomes[system][(group, unit_id)]
                out.write(f"{system}\t{group}\t{unit_id}\t{o.status}\t{o.note}\t{seconds:.2f}\t{o.wall:.2f}\t"
                          f"{o.cpu:.2f}\t{reference}\t{' '.join(o.text.split())}\n")
    with open(path.parent / "live-sessions.tsv", "w", encoding="utf-8") as out:
        out.write("group\tsession\tseconds\titems\n")
        for s in sessions:
            out.write(f"{s.group}\t{s.id}\t{s.seconds:.1f}\t{' '.join(i.id for i in s.items)}\n")


def git_commit():
    done = subprocess.run(["git", "-C", str(REPO), "describe", "--always", "--dirty"],
                          capture_output=True, text=True)
    return done.stdout.strip() or None


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    cache_home = Path(os.environ.get("XDG_CACHE_HOME") or Path.home() / ".cache")
    parser.add_argument("--voxquill", type=Path, default=REPO / "build" / "app" / "voxquill")
    parser.add_argument("--peer", default="pocketsphinx_continuous")
    parser.add_argument("--batch", default="pocketsphinx_batch")
    parser.add_argument("--systems", default=",".join(SYSTEMS),
                        help="comma-separated: file,live,peer,batch; peers = peer,batch")
    parser.add_argument("--groups", default=",".join(GROUPS),
                        help="comma-separated, from: " + ",".join(GROUPS) + "; real = debian,lso,so762")
    parser.add_argument("--long", action="store_true", help="add the 10- and 15-minute recordings")
    parser.add_argument("--jobs", type=int, default=2, help="decodes at a time (default 2)")
    parser.add_argument("--live-sessions", type=int, default=5, help="live sessions at a time (default 5)")
    parser.add_argument("--cache", type=Path, default=cache_home / "voxquill-accuracy")
    parser.add_argument("--speech-dev", type=Path, default=REPO.parent / "shared" / "speech-dev")
    parser.add_argument("--results", type=Path, default=None,
                        help="folder for hypotheses and alignments (default CACHE/results/DATE-TIME)")
    parser.add_argument("--json", type=Path, default=None, help="write the figures here as JSON")
    args = parser.parse_args()

    chosen_systems = {s for name in args.systems.split(",") for s in SYSTEM_SETS.get(name, (name,))}
    chosen_groups = {g for name in args.groups.split(",") for g in GROUP_SETS.get(name, (name,))}
    systems = [s for s in SYSTEMS if s in chosen_systems]
    unknown = chosen_systems - set(SYSTEMS)
    groups = [g for g in GROUPS if g in chosen_groups]
    unknown |= chosen_groups - set(GROUPS)
    if unknown or not systems or not groups:
        parser.error(f"unknown or no systems/groups: {', '.join(sorted(unknown)) or 'none chosen'}")
    if {"file", "live"} & set(systems) and not os.access(args.voxquill, os.X_OK):
        parser.error(f"--voxquill {args.voxquill}: not an executable (build it first)")
    needed = {"sctk": "sctk", "sox": "sox"}
    if "peer" in systems:
        needed[args.peer] = "pocketsphinx"
    if "batch" in systems:
        needed[args.batch] = "pocketsphinx"
    for tool, package in needed.items():
        if shutil.which(tool) is None:
            sys.exit(f"accuracy: {tool} is not installed (apt-get install {package})")
    if not (args.speech_dev / "manifest.tsv").exists():
        sys.exit(f"accuracy: no {args.speech_dev}/manifest.tsv (give --speech-dev)")
    args.voxquill = args.voxquill.resolve()
    args.results = (args.results or args.cache / "results" / time.strftime("%Y%m%d-%H%M%S")).resolve()
    args.results.mkdir(parents=True, exist_ok=True)

    def log(message):
        print(message, file=sys.stderr, flush=True)

    started = time.monotonic()
    corpus = corpus_recipe.load_or_build(args.cache, args.speech_dev, args.jobs, args.long, log)
    items = [i for i in corpus.items if i.group in groups]
    groups = [g for g in groups if any(i.group == g for i in items)]
    audio = sum(i.seconds for i in items)
    log(f"corpus {corpus.root} ({len(items)} items, {audio / 60:.1f} min of audio"
        + (f"; built in {corpus.built_seconds:.0f} s)" if corpus.built_seconds > 5 else ")"))

    outcomes, sessions, timings = run_all(args, corpus, items, systems, log)

    figures = {g: {"words": sum(len(i.reference.split()) for i in items if i.group == g)} for g in groups}
    figures["pooled"] = {"words": sum(len(i.reference.split()) for i in items)}
    for system in systems:
        if system == "live":
            units = [(s.group, s.id, s.reference, s) for s in sessions]
        else:
            units = [(i.group, i.id, i.reference, i) for i in items]
        scored = [(g, uid, ref, corpus_recipe.normalise(outcomes[system][(g, uid)].text)) for g, uid, ref, _ in units]
        by_group, pooled = sclite(system, scored, args.results)
        for name, counts in [*by_group.items(), ("pooled", pooled)]:
            if counts["words"] != figures[name]["words"]:
                sys.exit(f"accuracy: sclite counted {counts['words']} words in {name}, not {figures[name]['words']}")
            failed = sum(1 for g, uid, _, _ in units if name in (g, "pooled") and outcomes[system][(g, uid)].status != "ok")
            figures[name][system] = {**counts, "wer": wer(counts), "failed": failed}
    write_items(args.results / "items.tsv", systems, items, sessions, outcomes)

    total = time.monotonic() - started
    print(table(groups, figures, systems))
    print()
    voices = by_voice(args.results, systems)
    if voices:
        print(voices)
    failures = [(s, key, o.status) for s in systems for key, o in outcomes[s].items() if o.status != "ok"]
    for system, (group, unit_id), status in failures:
        print(f"failed: {system} {group}/{unit_id}: {status}")
    for system in systems:
        for (group, unit_id), o in outcomes[system].items():
            if o.note:
                print(f"note: {system} {group}/{unit_id}: {o.note}")
    print()
    steps = ([f"corpus build {corpus.built_seconds:.0f} s"] if corpus.built_seconds > 5 else [])
    steps += [f"{k} {v:.0f} s" for k, v in timings.items()]
    cpu = {s: sum(o.cpu for o in outcomes[s].values()) for s in systems}
    steps += ["CPU " + ", ".join(f"{s} {cpu[s]:.0f} s" for s in systems)]
    print(f"run: {total:.0f} s in all ({'; '.join(steps)})")
    print(f"results: {args.results}")
    line = summary(groups, figures, systems)
    print(line)

    report = {
        "voxquill": str(args.voxquill), "commit": git_commit(), "systems": systems,
        "corpus": {"root": str(corpus.root), "key": corpus.key, "items": len(items),
                   "audio_seconds": round(audio, 1), "built_seconds": round(corpus.built_seconds, 1),
                   "notes": corpus.notes},
        "seconds": {"total": round(total, 1), **{k: round(v, 1) for k, v in timings.items()},
                    "cpu": {s: round(v, 1) for s, v in cpu.items()}},
        "by_voice": voices,
        "groups": {name: figures[name] for name in groups}, "pooled": figures["pooled"],
        "failures": [{"system": s, "group": g, "unit": u, "status": st} for s, (g, u), st in failures],
        "summary": line,
    }
    (args.results / "figures.json").write_text(json.dumps(report, indent=1), encoding="utf-8")
    (args.results / "table.txt").write_text(table(groups, figures, systems) + "\n\n" + line + "\n", encoding="utf-8")
    if args.json:
        args.json.write_text(json.dumps(report, indent=1), encoding="utf-8")


if __name__ == "__main__":
    main()
