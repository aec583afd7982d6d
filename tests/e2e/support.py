"""Helpers shared by the end-to-end tests and the bench.

Everything here drives the real binaries as separate processes and builds
its audio at run time from the Debian test recordings, so nothing binary is
kept in the repository.
"""

import argparse
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest
from dataclasses import dataclass
from pathlib import Path

# Long enough for any honest run on a loaded machine; only a hang gets here.
DEFAULT_TIMEOUT = 60.0

TESTDATA = Path("/usr/share/pocketsphinx/test/data")
LIBRIVOX = TESTDATA / "librivox"
CARDS = TESTDATA / "cards"
MODEL = Path("/usr/share/pocketsphinx/model/en-us")

USAGE = (b"usage: voxquill <wav-file> [locale]\n"
         b"       voxquill --live <pcm-fifo> [locale]\n")


# ---------------------------------------------------------------- processes

@dataclass
class Result:
    returncode: int
    stdout: bytes
    stderr: bytes
    wall: float = 0.0      # seconds
    cpu: float = 0.0       # user + system seconds of the child
    max_rss_kib: int = 0   # peak resident set of the child
    timed_out: bool = False

    @property
    def text(self):
        return self.stdout.decode("utf-8", errors="replace")

    def describe(self):
        """One line for assertion messages."""
        state = "timed out" if self.timed_out else f"exit {self.returncode}"
        return f"{state}, stdout={self.stdout!r}, stderr={self.stderr!r}"


def child_env(**changes):
    """The current environment with CHANGES applied; a value of None unsets."""
    env = dict(os.environ)
    for name, value in changes.items():
        if value is None:
            env.pop(name, None)
        else:
            env[name] = value
    return env


def run(argv, timeout=DEFAULT_TIMEOUT, env=None, stdin=subprocess.DEVNULL, cwd=None, stdout=subprocess.PIPE):
    """Runs ARGV to completion, capturing both streams as bytes (standard
    output only when STDOUT is left a pipe).

    Resource use comes from wait4 on this very child, so concurrent work in
    the calling process does not leak into the figures. A child that outlives
    TIMEOUT is killed (with its process group) and reported as timed out
    rather than raising, so a hang fails one test instead of the run.
    """
    argv = [_arg(a) for a in argv]
    start = time.monotonic()
    proc = subprocess.Popen(argv, stdin=stdin, stdout=stdout, stderr=subprocess.PIPE,
                            env=env, cwd=cwd, start_new_session=True)
    out, err, timed_out = _drain(proc, start + timeout)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.monotonic() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    return Result(returncode=proc.returncode, stdout=out, stderr=err, wall=wall,
                  cpu=usage.ru_utime + usage.ru_stime, max_rss_kib=usage.ru_maxrss,
                  timed_out=timed_out)


def _arg(value):
    """Paths and bytes go through untouched (names need not be UTF-8)."""
    if isinstance(value, (str, bytes)):
        return value
    if isinstance(value, os.PathLike):
        return os.fspath(value)
    return str(value)


def _drain(proc, deadline):
    """Reads the pipes until they close or DEADLINE passes (then kills)."""
    out_fd = proc.stdout.fileno() if proc.stdout else None
    err_fd = proc.stderr.fileno()
    chunks = {out_fd: [], err_fd: []}
    open_fds = {out_fd, err_fd} - {None}
    timed_out = False
    while open_fds:
        left = deadline - time.monotonic()
        if left <= 0:
            timed_out = True
            kill_group(proc)
            break
        ready, _, _ = select.select(list(open_fds), [], [], left)
        for fd in ready:
            data = os.read(fd, 65536)
            if data:
                chunks[fd].append(data)
            else:
                open_fds.discard(fd)
    if proc.stdout:
        proc.stdout.close()
    proc.stderr.close()
    return b"".join(chunks[out_fd]), b"".join(chunks[err_fd]), timed_out


def spawn(argv, env=None, stdin=subprocess.DEVNULL, cwd=None, stdout=subprocess.PIPE):
    """Starts ARGV in its own process group with piped stderr and, unless
    STDOUT says otherwise, stdout.

    For tests that talk to a running program (live mode): read with
    read_line(), and always finish with kill_group() or a wait.
    """
    return subprocess.Popen([_arg(a) for a in argv], stdin=stdin, stdout=stdout,
                            stderr=subprocess.PIPE, env=env, cwd=cwd, start_new_session=True)


def read_line(stream, timeout=DEFAULT_TIMEOUT):
    """One line (bytes, with its newline) from a pipe, b"" at end of file.

    Returns None if no whole line arrived within TIMEOUT. Reads byte by byte
    so nothing past the line is swallowed into a buffer select() can't see.
    """
    fd = stream.fileno()
    deadline = time.monotonic() + timeout
    line = bytearray()
    while True:
        left = deadline - time.monotonic()
        if left <= 0:
            return None
        ready, _, _ = select.select([fd], [], [], left)
        if not ready:
            return None
        byte = os.read(fd, 1)
        if not byte:
            return bytes(line)
        line += byte
        if byte == b"\n":
            return bytes(line)


def kill_group(proc, sig=signal.SIGKILL):
    """Signals the process group of a child started by run() or spawn()."""
    try:
        os.killpg(proc.pid, sig)
    except ProcessLookupError:
        pass


def make_fifo(directory, name="audio.fifo"):
    path = Path(directory) / name
    os.mkfifo(path)
    return path


# ---------------------------------------------------------------- transcripts

_TRANSCRIPTION_LINE = re.compile(r"^\s*(?:<s>)?(.*?)(?:</s>)?\s*\(([^()]+)\)\s*$")


def read_transcription(path):
    """Maps utterance id to reference text from a Sphinx transcription file."""
    references = {}
    for line in Path(path).read_text(encoding="utf-8").splitlines():
        match = _TRANSCRIPTION_LINE.match(line)
        if match:
            references[match.group(2).strip()] = " ".join(match.group(1).split())
    return references


@dataclass
class Clip:
    name: str
    path: Path
    reference: str


def librivox_clips():
    refs = read_transcription(LIBRIVOX / "transcription")
    return [Clip(name, LIBRIVOX / f"{name}.wav", text) for name, text in sorted(refs.items())]


def cards_clips():
    refs = read_transcription(CARDS / "cards.transcription")
    return [Clip(name, CARDS / f"{name}.wav", text) for name, text in sorted(refs.items())]


def words(text):
    """Lowercased words, the unit of comparison for error rates."""
    if isinstance(text, bytes):
        text = text.decode("utf-8", errors="replace")
    return text.lower().split()


def word_edits(reference, hypothesis):
    """Word-level edit distance (substitutions, insertions, deletions)."""
    ref, hyp = words(reference), words(hypothesis)
    previous = list(range(len(hyp) + 1))
    for i, r in enumerate(ref, 1):
        current = [i] + [0] * len(hyp)
        for j, h in enumerate(hyp, 1):
            current[j] = min(previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (r != h))
        previous = current
    return previous[-1]


def wer(reference, hypothesis):
    """Word error rate of HYPOTHESIS against REFERENCE (edits / reference words)."""
    count = len(words(reference))
    edits = word_edits(reference, hypothesis)
    if count == 0:
        return 0.0 if edits == 0 else float("inf")
    return edits / count


def aggregate_wer(pairs):
    """Total edits over total reference words for (reference, hypothesis) pairs."""
    edits = sum(word_edits(r, h) for r, h in pairs)
    count = sum(len(words(r)) for r, _ in pairs)
    return edits / count if count else 0.0


# ---------------------------------------------------------------- audio

def require_tools(*names):
    """Raises unittest.SkipTest naming the first of NAMES not on PATH."""
    for name in names:
        if shutil.which(name) is None:
            raise unittest.SkipTest(f"{name} is not installed")


class AudioDir:
    """A temporary folder of audio made with sox; use as a context manager."""

    def __init__(self, prefix="voxquill-e2e-"):
        self.path = Path(tempfile.mkdtemp(prefix=prefix))

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.cleanup()

    def cleanup(self):
        shutil.rmtree(self.path, ignore_errors=True)

    def file(self, name):
        return self.path / name

    def sox(self, name, *args):
        """Runs sox with ARGS, writing NAME here; ARGS use "{out}" for the output."""
        out = self.file(name)
        # -R: the same dither and noise every run, so a variant is the same
        # file each time and its transcript does not vary from run to run.
        argv = ["sox", "-R", *[str(a).replace("{out}", str(out)) for a in args]]
        if "{out}" not in " ".join(map(str, args)):
            raise ValueError("sox arguments must place {out}")
        done = subprocess.run(argv, stdin=subprocess.DEVNULL, capture_output=True, timeout=DEFAULT_TIMEOUT)
        if done.returncode != 0:
            raise RuntimeError(f"sox failed: {' '.join(argv)}: {done.stderr.decode(errors='replace')}")
        return out

    def ffmpeg(self, name, *args):
        """Runs ffmpeg with ARGS, writing NAME here; ARGS use "{out}" for the output."""
        out = self.file(name)
        if "{out}" not in " ".join(map(str, args)):
            raise ValueError("ffmpeg arguments must place {out}")
        argv = ["ffmpeg", "-nostdin", "-v", "error", "-y", *[str(a).replace("{out}", str(out)) for a in args]]
        done = subprocess.run(argv, stdin=subprocess.DEVNULL, capture_output=True, timeout=DEFAULT_TIMEOUT)
        if done.returncode != 0:
            raise RuntimeError(f"ffmpeg failed: {' '.join(argv)}: {done.stderr.decode(errors='replace')}")
        return out

    def encode(self, source, name, *codec_options):
        """SOURCE's audio rewritten as NAME with ffmpeg CODEC_OPTIONS (e.g. -c:a aac)."""
        return self.ffmpeg(name, "-i", source, *codec_options, "{out}")

    def with_video(self, source, name, *codec_options):
        """SOURCE's audio in NAME beside a moving test picture (a video's soundtrack)."""
        return self.ffmpeg(name, "-f", "lavfi", "-i", "testsrc=size=64x48:rate=5", "-i", source, "-shortest",
                           "-c:v", "libx264", *codec_options, "{out}")

    def convert(self, source, name, *format_options, effects=()):
        """SOURCE rewritten as NAME with sox output FORMAT_OPTIONS (e.g. -r 8000 -c 2)."""
        return self.sox(name, source, *format_options, "{out}", *effects)

    def silence(self, name, seconds, rate=16000, channels=1, bits=16):
        return self.sox(name, "-n", "-r", rate, "-c", channels, "-b", bits, "{out}", "trim", "0", seconds)

    def concatenate(self, name, sources, gap_seconds=1.0, rate=16000):
        """SOURCES (same format) joined with GAP_SECONDS of silence between."""
        if not sources:
            raise ValueError("nothing to concatenate")
        gap = self.silence(f".gap-{rate}-{gap_seconds}.wav", gap_seconds, rate=rate)
        parts = []
        for i, source in enumerate(sources):
            if i:
                parts.append(gap)
            parts.append(source)
        return self.sox(name, *parts, "{out}")

    def write_bytes(self, name, data):
        path = self.file(name)
        path.write_bytes(data)
        return path


def run_piped(argv, data, timeout=DEFAULT_TIMEOUT, **kwargs):
    """Runs ARGV with DATA written into a pipe on its standard input, as
    `producer | voxquill /dev/stdin` would; the writer stops at a broken pipe."""
    reader, writer = os.pipe()

    def feed():
        with open(writer, "wb") as pipe:
            try:
                pipe.write(data)
            except BrokenPipeError:
                pass

    thread = threading.Thread(target=feed, daemon=True)
    thread.start()
    try:
        return run(argv, timeout=timeout, stdin=reader, **kwargs)
    finally:
        os.close(reader)
        thread.join(timeout=DEFAULT_TIMEOUT)


def duration_seconds(path):
    done = subprocess.run(["soxi", "-D", str(path)], capture_output=True, timeout=DEFAULT_TIMEOUT, check=True)
    return float(done.stdout)


# Long recordings: the test clips read again and again, each round a little
# faster or slower, higher or quieter than the last, with pauses of varying
# length between the sentences, as a person dictating would leave.
ROUND_EFFECTS = ((), ("tempo", "0.93"), ("pitch", "-60"), ("tempo", "1.07"), ("gain", "-8"),
                 ("pitch", "80"), ("tempo", "0.97", "gain", "-3"))
PAUSES = (1.0, 0.7, 1.6, 1.2, 2.2, 0.9)


def long_recording(audio, name, seconds, clips=None):
    """Rounds of CLIPS (varied; by default the librivox and cards clips) with
    pauses, until SECONDS are filled, made in the AudioDir AUDIO as NAME.wav;
    (path, reference)."""
    clips = clips or librivox_clips() + cards_clips()
    pauses = {p: audio.silence(f".pause-{p}.wav", p) for p in PAUSES}
    parts, references, total = [], [], 0.0
    while total < seconds:
        effects = ROUND_EFFECTS[len(references) // len(clips) % len(ROUND_EFFECTS)]
        clip = clips[len(references) % len(clips)]
        part = audio.convert(clip.path, f".{name}-{len(parts)}.wav", "-r", "16000", effects=effects)
        pause = pauses[PAUSES[len(references) % len(PAUSES)]]
        parts += [part, pause]
        references.append(clip.reference)
        total += duration_seconds(part) + duration_seconds(pause)
    return audio.sox(f"{name}.wav", *parts, "{out}"), " ".join(references)


def synthesize(directory, name, text, voice="kal16"):
    """Speech for TEXT made with flite (16 kHz voice), for clips the test data lacks."""
    path = Path(directory) / name
    subprocess.run(["flite", "-voice", voice, "-t", text, "-o", str(path)], capture_output=True,
                   timeout=DEFAULT_TIMEOUT, check=True)
    return path


# ---------------------------------------------------------------- command line

def binary_arguments(argv=None, options=("--voxquill",), description=None):
    """Parses the binary paths named by OPTIONS; the rest goes to unittest.

    Returns (namespace, rest), where rest starts with the program name so it
    can be handed straight to unittest.main(argv=rest). Attribute names follow
    argparse (e.g. --without-key becomes without_key).
    """
    argv = sys.argv if argv is None else argv
    parser = argparse.ArgumentParser(description=description, add_help=False)
    for option in options:
        parser.add_argument(option, type=Path, default=None)
    known, rest = parser.parse_known_args(argv[1:])
    for option in options:
        attr = option.lstrip("-").replace("-", "_")
        value = getattr(known, attr)
        if value is not None and not os.access(value, os.X_OK):
            parser.error(f"{option} {value}: not an executable")
    return known, [argv[0], *rest]


def is_sanitized(binary):
    """Whether BINARY was built with a sanitizer, whose shadow memory and
    bookkeeping make its memory figures no measure of the program's."""
    done = subprocess.run(["ldd", str(binary)], capture_output=True, text=True, timeout=DEFAULT_TIMEOUT)
    return any(f"lib{name}san" in done.stdout for name in ("a", "t", "ub"))


def is_root():
    return os.geteuid() == 0
