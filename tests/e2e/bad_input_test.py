#!/usr/bin/env python3
"""Bad input, end to end: the real binary given whatever a user's disk or a
recorder may hold, and what it answers.

    bad_input_test.py --voxquill PATH [unittest arguments, e.g. FileRefused]

Each row of the tables below names an input, the outcome it must get and a
time bound. The bound only catches a hang (the mode's deadline or the end of
input, plus plenty of slack); it never measures speed. Every outcome covers
all that the run wrote, so nothing else may appear.
"""

import math
import os
import random
import re
import signal
import socket
import struct
import subprocess
import sys
import threading
import time
import unittest
from dataclasses import dataclass
from pathlib import Path
from typing import Callable, Optional

sys.path.insert(0, str(Path(__file__).resolve().parent))
import live_run  # noqa: E402
import support  # noqa: E402

BINARIES, UNITTEST_ARGV = support.binary_arguments(options=("--voxquill", "--short-deadline"))

CLIP = support.LIBRIVOX / "sense_and_sensibility_01_austen_64kb-0880.wav"
CLIP_HEADER_BYTES = 44  # a canonical WAV header: its samples follow at once

NOT_AUDIO = "not an audio file in a format this program reads"
NOT_FILE_OR_PIPE = "not a regular file or a pipe"
DAMAGED = "damaged or incomplete file"
NO_AUDIO_STREAM = "no audio stream"
MISSING = "No such file or directory"
# Word error rate against the clip's own transcript, seven words: three of
# them may go, which the lossy copies measured at most.
LOSSY_BOUND = 0.45

# A file-mode run ends by its 45-second deadline at the latest.
FILE_BOUND = 45 + 45
# A live run ends 3 seconds after its writer closes the pipe, at the latest
# (counted from there, or from the start when no writer comes).
LIVE_BOUND = 3 + 57


def voxquill():
    return BINARIES.voxquill


def short_deadline():
    """The program built with a 3-second file deadline."""
    if BINARIES.short_deadline is None:
        raise unittest.SkipTest("--short-deadline not given")
    return BINARIES.short_deadline


# ---------------------------------------------------------------- file inputs

def clip_samples():
    return CLIP.read_bytes()[CLIP_HEADER_BYTES:]


def wav(rate=16000, channels=1, bits=16, claimed=None, encoding=1, data=None):
    """A WAV file of DATA (the clip's samples by default) whose header says
    RATE, CHANNELS, BITS, the ENCODING (1 integer PCM, 3 float) and CLAIMED
    bytes of data (the true count by default)."""
    data = clip_samples() if data is None else data
    size = len(data) if claimed is None else claimed
    block = channels * bits // 8
    fmt = struct.pack("<HHIIHH", encoding, channels, rate & 0xFFFFFFFF, (rate * block) & 0xFFFFFFFF,
                      block & 0xFFFF, bits)
    riff = min(4 + 8 + len(fmt) + 8 + size, 0xFFFFFFFF)
    return (b"RIFF" + struct.pack("<I", riff) + b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt +
            b"data" + struct.pack("<I", size) + data)


def written(name, data):
    """A maker of the file NAME holding DATA (bytes, or a function giving them)."""
    return lambda audio: audio.write_bytes(name, data() if callable(data) else data)


def head_of_clip(size):
    return written(f"first-{size}-bytes.wav", lambda: CLIP.read_bytes()[:size])


def made(name, *sox_args):
    return lambda audio: audio.sox(name, *sox_args)


def tone_free(name, rate, channels, seconds):
    return made(name, "-n", "-r", rate, "-c", channels, "-b", 16, "{out}", "trim", 0, seconds)


def converted(name, *options):
    return lambda audio: audio.convert(CLIP, name, *options)


def copy_of_clip(name, relative=False):
    def make(audio):
        path = audio.write_bytes(name, CLIP.read_bytes())
        return name if relative else path
    return make


def dangling(audio):
    link = audio.file("dangling.wav")
    link.symlink_to(audio.file("gone.wav"))
    return link


def symlink_to_clip(audio):
    link = audio.file("link.wav")
    link.symlink_to(CLIP)
    return link


def locked(audio):
    path = audio.write_bytes("locked.wav", CLIP.read_bytes())
    path.chmod(0)
    return path


def unix_socket(audio):
    path = audio.file("socket.wav")
    listening = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    listening.bind(os.fspath(path))
    listening.close()  # the path stays, a socket nobody listens on
    return path


def flac_metadata_only(audio):
    """The clip as FLAC, cut after its metadata blocks: a stream header that
    counts the samples, and not one frame of them."""
    data = audio.convert(CLIP, "whole.flac").read_bytes()
    at = 4  # "fLaC"
    while True:
        header = data[at]
        at += 4 + int.from_bytes(data[at + 1:at + 4], "big")
        if header & 0x80:  # the last metadata block
            return audio.write_bytes("no-frames.flac", data[:at])


def random_bytes(count):
    return random.Random(20240601).randbytes(count)


def encoded(name, *options):
    return lambda audio: audio.encode(CLIP, name, *options)


def video_only(name):
    return lambda audio: audio.ffmpeg(name, "-f", "lavfi", "-i", "testsrc=size=64x48:rate=5", "-t", 2,
                                      "-c:v", "libx264", "{out}")


def image(name):
    return lambda audio: audio.ffmpeg(name, "-f", "lavfi", "-i", "testsrc=size=64x48", "-frames:v", 1, "{out}")


def cut(make, keep):
    """The file MAKE makes, cut to its first KEEP (a fraction) of bytes."""
    def make_cut(audio):
        whole = make(audio)
        data = whole.read_bytes()
        return audio.write_bytes(f"cut-{whole.name}", data[:int(len(data) * keep)])
    return make_cut


# An MP4 as ffmpeg writes it, with its index after the audio; and with it
# first, as a streaming service would.
MP4_INDEX_LAST = encoded("index-last.m4a", "-c:a", "aac")
MP4_INDEX_FIRST = encoded("index-first.m4a", "-c:a", "aac", "-movflags", "+faststart")


def forty_seconds_index_last(audio):
    """Too long for the reader's buffer to hold, so a pipe cannot be read back to the audio."""
    return audio.encode(audio.sox("forty-seconds.wav", *[CLIP] * 10, "{out}"), "forty-seconds.m4a", "-c:a", "aac")


def playlist(audio):
    return audio.write_bytes("list.m3u8", f"#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\n{CLIP}\n"
                             "#EXTINF:10,\nhttp://127.0.0.1:9/next.ts\n#EXT-X-ENDLIST\n".encode())


def list_of_files(audio):
    return audio.write_bytes("list.ffconcat", f"ffconcat version 1.0\nfile {CLIP}\n".encode())


def session_description(audio):
    return audio.write_bytes("stream.sdp", b"v=0\no=- 0 0 IN IP4 127.0.0.1\ns=x\nc=IN IP4 127.0.0.1\nt=0 0\n"
                             b"m=audio 5004 RTP/AVP 0\n")


def written_into_fifo(name, make):
    """A named pipe NAME whose writer, once the reader opens it, writes the
    file MAKE makes at once and leaves."""
    def make_fifo(audio):
        data = make(audio).read_bytes()
        fifo = support.make_fifo(audio.path, name)

        def write():
            with open(fifo, "wb") as pipe:
                pipe.write(data)

        threading.Thread(target=write, daemon=True).start()
        return fifo
    return make_fifo


def piped(make):
    """Standard input a pipe carrying the bytes of the file MAKE makes."""
    return lambda audio: make(audio).read_bytes()


# ---------------------------------------------------------------- file outcomes

def as_shown(path):
    """PATH as an error line shows it: each control character (C0, DEL, C1,
    the line and paragraph separators) and each byte that is not UTF-8 as "?"."""
    text = os.fsencode(path).decode("utf-8", "surrogateescape")
    return re.sub("[\x00-\x1f\x7f-\x9f\u2028\u2029\udc80-\udcff]", "?", text).encode()


class Fails:
    """Exit 1, nothing on stdout, and on stderr one line: the path as given
    (control characters shown as "?"), ": " and the reason."""

    def __init__(self, reason):
        self.reason = reason

    def check(self, case, result, arg):
        shown = as_shown(arg)
        case.assertEqual((result.returncode, result.stdout, result.stderr),
                         (1, b"", shown + b": " + self.reason.encode() + b"\n"), result.describe())


class Same:
    """Exit 0 with the clip's own transcript line, and nothing else."""

    def check(self, case, result, arg):
        case.assertEqual((result.returncode, result.stdout, result.stderr), (0, case.reference(), b""),
                         result.describe())


class Close:
    """Exit 0 with one trimmed transcript line that is within a word error
    rate of the clip's own, and nothing on stderr."""

    def __init__(self, bound):
        self.bound = bound

    def check(self, case, result, arg):
        case.assertEqual((result.returncode, result.stderr), (0, b""), result.describe())
        line = result.text
        case.assertTrue(line.endswith("\n") and line.count("\n") == 1, result.describe())
        case.assertTrue(line[:-1] and line[:-1] == line[:-1].strip(), result.describe())
        case.assertLessEqual(support.wer(case.reference().decode(), line), self.bound, result.describe())


class Silent:
    """Exit 0 and no output at all: a recording without speech."""

    def check(self, case, result, arg):
        case.assertEqual((result.returncode, result.stdout, result.stderr), (0, b"", b""), result.describe())


class TimesOut:
    """Exit 1 with "timeout" alone: the deadline ended a run that was waiting."""

    def check(self, case, result, arg):
        case.assertEqual((result.returncode, result.stdout, result.stderr), (1, b"", b"timeout\n"),
                         result.describe())


class Lost:
    """Exit 1 and nothing on stderr: the transcript could not be delivered."""

    def check(self, case, result, arg):
        case.assertEqual((result.returncode, result.stderr), (1, b""), result.describe())


@dataclass
class FileRow:
    name: str
    make: Callable  # (folder) -> the path argument
    expect: object
    bound: float = FILE_BOUND
    in_folder: bool = False  # run from inside the folder: for relative paths
    stdout: str = "pipe"  # "pipe"; "gone": its reader has closed it; "full": /dev/full
    unless_root: bool = False  # root reads anything
    # Standard input: bytes to write into a pipe, or a path to redirect from.
    stdin: Optional[Callable] = None
    binary: Callable = voxquill


# Refused before any decoding: the path, what it names, or a header that
# cannot describe audio this program reads.
FILE_REFUSED = [
    FileRow("a missing path", lambda audio: audio.file("missing.wav"), Fails(MISSING)),
    FileRow("a path through a missing folder", lambda audio: audio.file("no-such-folder") / "clip.wav",
            Fails(MISSING)),
    FileRow("a missing relative path", lambda audio: "absent.wav", Fails(MISSING), in_folder=True),
    FileRow("a dangling symlink", dangling, Fails(MISSING)),
    FileRow("a directory", lambda audio: audio.path, Fails("Is a directory")),
    # A reader of a named pipe waits for its writer, as `cat` would.
    FileRow("a named pipe nobody writes to", lambda audio: support.make_fifo(audio.path, "nobody-writes.wav"),
            TimesOut(), binary=short_deadline),
    FileRow("/dev/null", lambda audio: "/dev/null", Fails(NOT_FILE_OR_PIPE)),
    FileRow("a Unix socket", unix_socket, Fails(NOT_FILE_OR_PIPE)),
    FileRow("/dev/zero, which never ends", lambda audio: "/dev/zero", Fails(NOT_FILE_OR_PIPE)),
    FileRow("/dev/urandom, which never ends", lambda audio: "/dev/urandom", Fails(NOT_FILE_OR_PIPE)),
    FileRow("standard input redirected from /dev/null", lambda audio: "/dev/stdin", Fails(NOT_FILE_OR_PIPE),
            stdin=lambda audio: "/dev/null"),
    FileRow("an empty pipe", lambda audio: "/dev/stdin", Fails(NOT_AUDIO), stdin=lambda audio: b""),
    FileRow("a file nobody may read", locked, Fails("Permission denied"), unless_root=True),
    FileRow("an empty file", written("empty.wav", b""), Fails(NOT_AUDIO)),
    FileRow("random bytes named .wav", written("noise.wav", lambda: random_bytes(8192)), Fails(NOT_AUDIO)),
    FileRow("text named .wav", written("notes.wav", b"these are not the words you are looking for\n"),
            Fails(NOT_AUDIO)),
    FileRow("bare samples without a header", written("headerless.wav", lambda: clip_samples()[4096:36864]),
            Fails(NOT_AUDIO)),
    FileRow("a header cut after 4 bytes", head_of_clip(4), Fails(NOT_AUDIO)),
    FileRow("a header cut after 12 bytes", head_of_clip(12), Fails(NOT_AUDIO)),
    FileRow("a header cut after 20 bytes", head_of_clip(20), Fails(NOT_AUDIO)),
    FileRow("a header cut after 36 bytes", head_of_clip(36), Fails(DAMAGED)),
    # An upload cut off after its header is no silent recording.
    FileRow("a WAV header declaring 227,200 bytes of data and holding none",
            written("header-only.wav", lambda: wav(claimed=227200, data=b"")), Fails(DAMAGED)),
    FileRow("a FLAC with its metadata and no frames", flac_metadata_only, Fails(DAMAGED)),
    FileRow("a sample rate of 0 Hz", written("0hz.wav", lambda: wav(rate=0)), Fails(DAMAGED)),
    FileRow("a sample rate of 4294967295 Hz", written("max-hz.wav", lambda: wav(rate=0xFFFFFFFF)), Fails(DAMAGED)),
    FileRow("a sample rate of 2 GHz", written("2ghz.wav", lambda: wav(rate=2_000_000_000)),
            Fails("unsupported sample rate 2000000000 Hz")),
    FileRow("a sample rate of 800 kHz", tone_free("800khz.wav", 800000, 1, 0.2),
            Fails("unsupported sample rate 800000 Hz")),
    FileRow("a sample rate of 2 kHz", tone_free("2khz.wav", 2000, 1, 0.2), Fails("unsupported sample rate 2000 Hz")),
    FileRow("zero channels", written("0ch.wav", lambda: wav(channels=0)), Fails("unsupported channel count 0")),
    FileRow("300 channels", tone_free("300ch.wav", 8000, 300, 0.2), Fails("unsupported channel count 300")),
    FileRow("65535 channels", written("65535ch.wav", lambda: wav(channels=65535)),
            Fails("unsupported channel count 65535")),
    FileRow("random bytes named .m4a", written("noise.m4a", lambda: random_bytes(8192)), Fails(NOT_AUDIO)),
    FileRow("a video without sound", video_only("silent-film.mp4"), Fails(NO_AUDIO_STREAM)),
    FileRow("an image", image("picture.png"), Fails(NO_AUDIO_STREAM)),
    FileRow("an MP4 cut off before its index", cut(MP4_INDEX_LAST, 0.5), Fails(DAMAGED)),
    FileRow("an MP4 through a pipe, its index after the audio", lambda audio: "/dev/stdin",
            Fails("cannot be read from a pipe; give the file's path instead"), stdin=piped(forty_seconds_index_last)),
    # Files that would have the reader open others, or the network.
    FileRow("a playlist naming the clip and an address", playlist, Fails(NOT_AUDIO)),
    FileRow("a list of files naming the clip", list_of_files, Fails(NOT_AUDIO)),
    FileRow("a session description naming a network stream", session_description, Fails(DAMAGED)),
]

# Read and decoded: what is there is transcribed, whatever the layout.
FILE_DECODED = [
    FileRow("a WAV header with no data", tone_free("zero-length.wav", 16000, 1, 0), Silent()),
    FileRow("a FLAC of no samples", tone_free("zero-length.flac", 16000, 1, 0), Silent()),
    FileRow("a header claiming 4 GiB of data", written("claims-4gib.wav", lambda: wav(claimed=0xFFFFFFF0)), Same()),
    # Half the words are missing, so the bound is wide.
    FileRow("data cut off half-way", written("cut-short.wav", lambda: CLIP.read_bytes()[:CLIP.stat().st_size // 2]),
            Close(0.8)),
    FileRow("an MP4 cut off half-way, its index first", cut(MP4_INDEX_FIRST, 0.5), Close(0.8)),
    FileRow("a WAV through a pipe, its header claiming 4 GiB", lambda audio: "/dev/stdin", Same(),
            stdin=lambda audio: wav(claimed=0xFFFFFFF0)),
    # Small enough for the pipe to hold: the writer is gone before the
    # program reads a byte, and what it wrote is there all the same. The
    # full deadline, as start-up alone may outlast a short one on a busy
    # machine; a run left waiting for more still ends in "timeout".
    FileRow("a named pipe whose writer writes half a second and leaves at once",
            written_into_fifo("short.wav", tone_free("half-second.wav", 16000, 1, 0.5)), Silent()),
    FileRow("64 channels", converted("64ch.wav", "-c", 64), Same()),
    FileRow("8-bit unsigned samples", converted("pcm8.wav", "-b", 8, "-e", "unsigned-integer"), Close(LOSSY_BOUND)),
    FileRow("mu-law samples", converted("mu-law.wav", "-e", "mu-law"), Close(LOSSY_BOUND)),
    FileRow("24-bit samples", converted("pcm24.wav", "-b", 24), Same()),
    FileRow("32-bit float samples", converted("float32.wav", "-e", "floating-point", "-b", 32), Same()),
    FileRow("big-endian AIFF", converted("clip.aiff", "-t", "aiff", "-B"), Same()),
    FileRow("a second of float samples that are not numbers",
            written("nan.wav", lambda: wav(bits=32, encoding=3, data=struct.pack("<f", math.nan) * 16000)), Silent()),
    FileRow("ten minutes of silence", tone_free("long-silence.wav", 16000, 1, 600), Silent()),
    FileRow("three seconds of silence", tone_free("silence.wav", 16000, 1, 3), Silent()),
    FileRow("silence at 44.1 kHz in stereo", tone_free("silence-44k.wav", 44100, 2, 3), Silent()),
    FileRow("a tenth of a second of silence", tone_free("blip.wav", 16000, 1, 0.1), Silent()),
]

# Awkward names are taken as they are, and shown as they are in an error.
FILE_PATHS = [
    FileRow("spaces in the name", copy_of_clip("with spaces.wav"), Same()),
    FileRow("quotes in the name", copy_of_clip("quote's \"double\".wav"), Same()),
    FileRow("non-ASCII characters in the name", copy_of_clip("grüße 日本 ✓.wav"), Same()),
    FileRow("shell characters in the name", copy_of_clip("$(true)`x`;|&*.wav"), Same()),
    FileRow("no extension", copy_of_clip("no-extension"), Same()),
    FileRow("a relative path with spaces", copy_of_clip("relative path.wav", relative=True), Same(), in_folder=True),
    FileRow("a relative path with a leading hyphen", copy_of_clip("-leading-hyphen.wav", relative=True), Same(),
            in_folder=True),
    FileRow("a symlink to the recording", symlink_to_clip, Same()),
    FileRow("a missing non-ASCII name", lambda audio: audio.file("grüße-日本.wav"), Fails(MISSING)),
    FileRow("control characters in a missing name", lambda audio: audio.file("tab\there\x01bell\x1b[31mred\x7fdel.wav"),
            Fails(MISSING)),
    FileRow("a line break in the name of a text file", written("line\nbreak.txt", b"plain text\n"),
            Fails(NOT_AUDIO)),
    # C1 controls (CSI starts a terminal command, NEL breaks the line), the
    # Unicode line separator and a CSI byte that is not UTF-8.
    FileRow("C1 controls, a line separator and a stray byte in a missing name",
            lambda audio: os.fsencode(audio.file("csi\u009b[2Jnel\u0085ls\u2028ps\u2029raw")) + b"\x9b[31m.wav",
            Fails(MISSING)),
]

# Standard output that takes nothing: the run says so by its status.
FILE_OUTPUT = [
    FileRow("a reader that has closed standard output", lambda audio: CLIP, Lost(), stdout="gone"),
    FileRow("standard output on a full device", lambda audio: CLIP, Lost(), stdout="full"),
    FileRow("an error while standard output is closed", lambda audio: audio.file("missing.wav"), Fails(MISSING),
            stdout="gone"),
]


def run_file_row(row, audio):
    arg = row.make(audio)
    cwd = audio.path if row.in_folder else None
    argv = [row.binary(), arg]
    if row.stdin:
        source = row.stdin(audio)
        if isinstance(source, bytes):
            return arg, support.run_piped(argv, source, timeout=row.bound, cwd=cwd)
        with open(source, "rb") as redirected:
            return arg, support.run(argv, timeout=row.bound, cwd=cwd, stdin=redirected)
    if row.stdout == "pipe":
        return arg, support.run(argv, timeout=row.bound, cwd=cwd)
    if row.stdout == "full":
        with open("/dev/full", "wb") as full:
            return arg, support.run(argv, timeout=row.bound, cwd=cwd, stdout=full)
    reader, writer = os.pipe()
    os.close(reader)
    try:
        return arg, support.run(argv, timeout=row.bound, cwd=cwd, stdout=writer)
    finally:
        os.close(writer)


class FileCase(unittest.TestCase):
    _reference = None

    @classmethod
    def setUpClass(cls):
        support.require_tools("sox", "ffmpeg")
        cls.audio = support.AudioDir()

    def reference(self):
        """The transcript line of the clip itself."""
        if FileCase._reference is None:
            result = support.run([voxquill(), CLIP])
            self.assertEqual((result.returncode, result.stderr), (0, b""), result.describe())
            FileCase._reference = result.stdout
        return FileCase._reference

    @classmethod
    def tearDownClass(cls):
        cls.audio.cleanup()

    def check_row(self, row):
        if row.unless_root and support.is_root():
            self.skipTest("root reads any file")
        arg, result = run_file_row(row, self.audio)
        self.assertFalse(result.timed_out, f"still running after {row.bound} s: {result.describe()}")
        row.expect.check(self, result, arg)


# ---------------------------------------------------------------- live inputs

def noise(run, fifo):
    data = live_run.raw_pcm(run.test.audio.sox("noise.wav", "-n", "-r", 16000, "-c", 1, "-b", 16, "{out}",
                                               "synth", 5, "whitenoise", "vol", 0.3))
    run.feed(fifo, data)


def random_stream(run, fifo):
    run.feed(fifo, random_bytes(5 * 32000))


# Half as fast as real time: decoding keeps up even in a sanitizer build on a
# busy machine, so the final result beats the settle delay and the words
# depend on the samples alone, not on timing.
UNHURRIED = 0.5


def unhurried(piece_sizes=None):
    def write(run, fifo):
        run.feed(fifo, live_run.raw_pcm(CLIP), piece_sizes=piece_sizes, pace=UNHURRIED)
    return write


def one_byte_at_a_time(run, fifo):
    data = live_run.raw_pcm(CLIP)
    run.feed(fifo, data, piece_sizes=[1] * len(data), pace=UNHURRIED)


# Writes the clip into the pipe on its standard output at real time, then
# waits to be killed.
PACED_WRITER = """
import sys, time
data = open(sys.argv[1], "rb").read()
for at in range(0, len(data), 8192):
    sys.stdout.buffer.write(data[at:at + 8192])
    sys.stdout.flush()
    time.sleep(0.256)
time.sleep(600)
"""


def killed_mid_stream(run, fifo):
    """Another process writes; it is killed with SIGKILL once a partial shows
    that audio went through, while it is still writing."""
    raw = run.test.audio.write_bytes("clip.raw", live_run.raw_pcm(CLIP))
    with open(fifo, "wb") as pipe:
        writer = support.spawn([sys.executable, "-c", PACED_WRITER, raw], stdout=pipe)
    try:
        deadline = time.monotonic() + LIVE_BOUND
        while not any(b'"p"' in line for _, line in run.lines) and time.monotonic() < deadline:
            time.sleep(0.05)
    finally:
        support.kill_group(writer, signal.SIGKILL)
        writer.wait()
        writer.stderr.close()


def writes_then_holds(run, fifo):
    """Writes the clip at real time and keeps the pipe open afterwards, until
    the run ends or the bound passes: a run that ends meanwhile ended on its
    own, not at the end of its input."""
    with open(fifo, "wb", buffering=0) as pipe:
        try:
            run.write(pipe, live_run.raw_pcm(CLIP), pace=1)
        except BrokenPipeError:
            pass  # the run has ended and its reading end with it
        try:
            run.proc.wait(timeout=LIVE_BOUND)
        except subprocess.TimeoutExpired:
            pass
        run.ended_while_held = run.proc.poll() is not None


# ---------------------------------------------------------------- live outcomes

class ClosesWithText:
    """r, partial and final lines, then the closing line with the last text
    trimmed; exit 0."""

    def check(self, case, status, events, run):
        case.assertClosesWithText(events)
        case.assertEqual(status, 0, events)


class SameFinal:
    """As the clip written in 8192-byte pieces: its final result, then the
    same text as the closing line; exit 0."""

    def check(self, case, status, events, run):
        case.assertEqual(case.assertClosesWithFinal(events), case.reference_final(), events)
        case.assertEqual(status, 0, events)


class AnyClosing:
    """r, then whatever the engine makes of the sound: either partial and
    final lines and a closing line with the last text (exit 0), or the "e"
    line "No speech detected" alone (exit 1)."""

    def check(self, case, status, events, run):
        if status == 1:
            case.assertEqual(events, [("r", ""), ("e", "No speech detected")])
        else:
            case.assertClosesWithText(events)
            case.assertEqual(status, 0, events)


class Unavailable:
    """The "e" line "unavailable" alone, exit 1."""

    def check(self, case, status, events, run):
        case.assertEqual((status, events), (1, [("e", "unavailable")]))


class Gone:
    """Exit 1 once an event line cannot be written, while the writer still
    has the pipe open; nothing after the lines that were read."""

    def __init__(self, lines_read):
        self.lines_read = lines_read

    def check(self, case, status, events, run):
        case.assertEqual((status, events), (1, self.lines_read))
        case.assertTrue(run.ended_while_held, "the run did not end when its output went")


@dataclass
class LiveRow:
    name: str
    writer: Optional[Callable]  # (run, fifo): plays the controlling program's writer
    expect: object
    path: Optional[Callable] = None  # (folder) -> the path after --live; the fifo by default
    stdout: str = "pipe"  # "pipe"; "ready only": closed after the ready line; "full": /dev/full
    bound: float = LIVE_BOUND


LIVE_STREAM = [
    LiveRow("noise", noise, AnyClosing()),
    LiveRow("random bytes", random_stream, AnyClosing()),
    LiveRow("one byte at a time", one_byte_at_a_time, SameFinal()),
    LiveRow("odd-sized pieces", unhurried([1, 3, 8191, 1, 4097, 7, 5000, 333] * 40), SameFinal()),
    LiveRow("a writer killed mid-stream", killed_mid_stream, ClosesWithText()),
]

LIVE_PATHS = [
    LiveRow("a path that does not exist", None, Unavailable(), path=lambda audio: audio.file("absent.fifo")),
    LiveRow("a directory", None, Unavailable(), path=lambda audio: audio.path),
]

LIVE_OUTPUT = [
    LiveRow("a reader that closes standard output after the ready line", writes_then_holds, Gone([("r", "")]),
            stdout="ready only"),
    LiveRow("standard output on a full device", writes_then_holds, Gone([]), stdout="full"),
]


def start_live_row(case, row):
    path = row.path(case.audio) if row.path else case.fifo
    if row.stdout == "full":
        with open("/dev/full", "wb") as full:
            return live_run.LiveRun(case, voxquill(), path, stdout=full)
    return live_run.LiveRun(case, voxquill(), path, read_lines=1 if row.stdout == "ready only" else None)


class LiveCase(live_run.LiveTestCase):
    _reference_final = None

    def setUp(self):
        super().setUp()
        self.audio = self.dir

    def reference_final(self):
        """The final text of the clip written in 8192-byte pieces."""
        if LiveCase._reference_final is None:
            run = live_run.LiveRun(self, voxquill(), self.fifo)
            unhurried()(run, self.fifo)
            status, events = run.finish(timeout=LIVE_BOUND)
            self.assertEqual(status, 0, events)
            LiveCase._reference_final = self.assertClosesWithFinal(events)
        return LiveCase._reference_final

    def check_row(self, row):
        run = start_live_row(self, row)
        if row.writer:
            row.writer(run, self.fifo)
        status, events = run.finish(timeout=row.bound)
        row.expect.check(self, status, events, run)


# ---------------------------------------------------------------- a starved machine

OUT_OF_RESOURCES = "cannot start speech recognition: out of resources"
# Standard input, output and error take three; the program's own start-up
# and the recording or pipe take the rest of these.
TOO_FEW_DESCRIPTORS = (4, 5)


def limited(*limits):
    """The command that runs the program under LIMITS (prlimit's options)."""
    support.require_tools("prlimit")
    return ["prlimit", *limits, "--"]


def release_writer(fifo):
    """A writer still waiting to open FIFO gets a reader at once, and goes."""
    os.close(os.open(fifo, os.O_RDONLY | os.O_NONBLOCK))


def feed_in_background(run, fifo):
    """The clip written into FIFO by another thread, which may wait for a
    reader that never comes: release_writer() lets it go."""
    def write():
        try:
            run.feed(fifo, live_run.raw_pcm(CLIP))
        except BrokenPipeError:
            pass
    writer = threading.Thread(target=write, daemon=True)
    writer.start()
    return writer


# Address space limits (ulimit -v) from where the libraries barely load to
# where the model just fits (the edge varies from run to run): the run fails
# in the program's own words, or does its work.
MEBIBYTE = 1024 * 1024
ADDRESS_SPACE_LIMITS = tuple(size * MEBIBYTE for size in (220, 260, 300, 340, 380))


def without_sanitizer(reason):
    if support.is_sanitized(voxquill()):
        raise unittest.SkipTest(reason)


# What a sanitizer build needs beyond the program's own.
SANITIZER_ADDRESS_SPACE = "a sanitizer reserves far more address space than any limit here"
SANITIZER_DESCRIPTORS = "a sanitizer opens descriptors of its own to check memory, and misreports without them"


class Starved(live_run.LiveTestCase):
    """Too few descriptors or too little memory: the work done, or one line
    or one "e" line, status 1, and nothing else."""

    def limited_live_run(self, limit):
        """A live run under the prlimit LIMIT, fed the clip; its status and events."""
        run = live_run.LiveRun(self, voxquill(), self.fifo, under=limited(limit))
        writer = feed_in_background(run, self.fifo)
        status, events = run.finish(timeout=LIVE_BOUND)
        release_writer(self.fifo)
        writer.join(timeout=support.DEFAULT_TIMEOUT)
        return status, events

    def test_too_few_descriptors_in_file_mode(self):
        without_sanitizer(SANITIZER_DESCRIPTORS)
        for count in TOO_FEW_DESCRIPTORS:
            result = support.run([*limited(f"--nofile={count}"), voxquill(), CLIP], timeout=FILE_BOUND)
            self.assertEqual((result.returncode, result.stdout, result.stderr),
                             (1, b"", OUT_OF_RESOURCES.encode() + b"\n"), f"{count}: {result.describe()}")

    def test_too_few_descriptors_in_live_mode(self):
        without_sanitizer(SANITIZER_DESCRIPTORS)
        # The pipe and the engine's model files race for the last descriptor:
        # either may be the one refused.
        outcomes = ([("r", ""), ("e", OUT_OF_RESOURCES)], [("e", OUT_OF_RESOURCES)], [("e", "unavailable")])
        for count in TOO_FEW_DESCRIPTORS:
            status, events = self.limited_live_run(f"--nofile={count}")
            self.assertEqual(status, 1, f"{count}: {events}")
            self.assertIn(events, outcomes, count)

    def test_too_little_memory_in_file_mode(self):
        without_sanitizer(SANITIZER_ADDRESS_SPACE)
        transcript = support.run([voxquill(), CLIP], timeout=FILE_BOUND).stdout
        refused = (1, b"", OUT_OF_RESOURCES.encode() + b"\n")
        outcomes = []
        for limit in ADDRESS_SPACE_LIMITS:
            result = support.run([*limited(f"--as={limit}"), voxquill(), CLIP], timeout=FILE_BOUND)
            outcome = (result.returncode, result.stdout, result.stderr)
            self.assertIn(outcome, (refused, (0, transcript, b"")), f"{limit // MEBIBYTE} MiB: {result.describe()}")
            outcomes.append(outcome)
        self.assertIn(refused, outcomes, "no limit was low enough to fail")

    def test_too_little_memory_in_live_mode(self):
        without_sanitizer(SANITIZER_ADDRESS_SPACE)
        # "unavailable" when a thread of the run's own (the pipe's opener,
        # the pump) is the one that cannot be started.
        refusals = ([("r", ""), ("e", OUT_OF_RESOURCES)], [("e", OUT_OF_RESOURCES)], [("e", "unavailable")],
                    [("r", ""), ("e", "unavailable")])
        refused = 0
        for limit in ADDRESS_SPACE_LIMITS:
            status, events = self.limited_live_run(f"--as={limit}")
            if status == 1:
                self.assertIn(events, refusals, limit // MEBIBYTE)
                refused += 1
            else:
                self.assertEqual(status, 0, events)
                self.assertClosesWithText(events)
        self.assertGreater(refused, 0, "no limit was low enough to fail")


# ---------------------------------------------------------------- groups

def group(name, base, rows):
    """A test class with one test for each row, named after it."""
    def test(row):
        return lambda self: self.check_row(row)
    members = {}
    for row in rows:
        slug = re.sub(r"\W+", "_", row.name.encode("ascii", "replace").decode().lower()).strip("_")
        members[f"test_{slug}"] = test(row)
    return type(name, (base,), members)


FileRefused = group("FileRefused", FileCase, FILE_REFUSED)
FileDecoded = group("FileDecoded", FileCase, FILE_DECODED)
FilePaths = group("FilePaths", FileCase, FILE_PATHS)
FileOutput = group("FileOutput", FileCase, FILE_OUTPUT)
LiveStream = group("LiveStream", LiveCase, LIVE_STREAM)
LivePaths = group("LivePaths", LiveCase, LIVE_PATHS)
LiveOutput = group("LiveOutput", LiveCase, LIVE_OUTPUT)


if __name__ == "__main__":
    unittest.main(argv=UNITTEST_ARGV, verbosity=2)
