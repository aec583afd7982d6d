"""End-to-end tests of live mode: the real binary, the real engine, recorded
speech written into a real named pipe, and the event lines it answers with."""

import fcntl
import os
import sys
import threading
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import live_run  # noqa: E402
import support  # noqa: E402
from live_run import raw_pcm  # noqa: E402

BINARIES, UNITTEST_ARGV = support.binary_arguments(options=("--voxquill", "--without-models", "--short-deadline"))
SETTLE = 3.0
# Peak resident memory of a run, whatever its writer does: the model and the
# decoder (about 105 MiB), and a bounded stretch of audio.
MEMORY_BOUND_MIB = 150


class LiveRun(live_run.LiveRun):
    def __init__(self, test, path, *extra, binary=None):
        super().__init__(test, binary or BINARIES.voxquill, path, *extra)


class RecordedSpeech(live_run.LiveTestCase):
    def test_recorded_speech_is_transcribed(self):
        # At real time, as from a microphone: decoding keeps up, so the final
        # result beats the settle delay, in sanitizer builds too.
        pairs = []
        for clip in support.librivox_clips():
            run = LiveRun(self, self.fifo)
            run.feed(self.fifo, raw_pcm(clip.path), pace=1)
            status, events = run.finish()
            self.assertEqual(status, 0, events)
            pairs.append((clip.reference, self.assertClosesWithFinal(events)))
        # Measured at 34% on these clips; the bound leaves room for engine updates.
        self.assertLessEqual(support.aggregate_wer(pairs), 0.45, pairs)

    def test_a_clip_written_at_once_is_transcribed(self):
        clip = support.librivox_clips()[1]
        run = LiveRun(self, self.fifo)
        run.feed(self.fifo, raw_pcm(clip.path))
        status, events = run.finish()
        self.assertEqual(status, 0, events)
        self.assertClosesWithText(events)

    def test_audio_paced_at_real_time_gets_partials_as_it_goes(self):
        clip = support.librivox_clips()[0]
        data = raw_pcm(clip.path)
        half = len(data) // 2 // 2 * 2
        run = LiveRun(self, self.fifo)
        # Partials arrive while the audio flows, not all at the end: the
        # writer keeps the pipe open after the first half until one comes,
        # however long a busy machine takes over it.
        with open(self.fifo, "wb", buffering=0) as pipe:
            run.write(pipe, data[:half], pace=1)
            deadline = time.monotonic() + support.DEFAULT_TIMEOUT
            while not any(b'"p"' in line for _, line in run.lines) and time.monotonic() < deadline:
                time.sleep(0.05)
            partial_while_open = any(b'"p"' in line for _, line in run.lines)
            run.write(pipe, data[half:], pace=1)
        status, events = run.finish()
        self.assertTrue(partial_while_open, events)
        self.assertEqual(status, 0)
        final = self.assertClosesWithFinal(events)
        partials = [text for kind, text in events if kind == "p"]
        self.assertGreaterEqual(len(partials), 5, events)
        self.assertNoPartialRepeats(events)
        self.assertLessEqual(support.wer(clip.reference, final), 0.5, final)

    def test_the_five_clips_at_real_time_and_at_once(self):
        # One 24.7-s session of the Debian clips: partials asked for after
        # every block while decoding keeps up, and once a second while it
        # falls behind a writer far ahead of real time. The words must not
        # depend on how the pipe's reads cut the audio: the same closing
        # line from both writers, and from a writer of odd-sized pieces.
        clips = support.librivox_clips()
        data = raw_pcm(self.dir.sox("five.wav", *[clip.path for clip in clips], "{out}"))
        odd = [1000, 3, 8191, 77, 4097, 12345] * (len(data) // 25713 + 1)
        closing = {}
        for how, write in (("real time", {"pace": 1}), ("at once", {"piece_sizes": [len(data)]}),
                           ("odd pieces", {"piece_sizes": odd, "pace": 4})):
            with self.subTest(writer=how):
                run = LiveRun(self, self.fifo)
                run.feed(self.fifo, data, **write)
                status, events = run.finish(timeout=300)
                self.assertEqual(status, 0, events)
                closing[how] = self.assertClosesWithFinal(events)
                self.assertGreaterEqual(sum(1 for kind, _ in events if kind == "p"), 5, events)
                self.assertNoPartialRepeats(events)
        self.assertEqual(len(set(closing.values())), 1, closing)

    def test_a_locale_argument_chooses_the_model(self):
        run = LiveRun(self, self.fifo, "en_US.UTF-8")
        run.feed(self.fifo, raw_pcm(support.librivox_clips()[1].path), pace=1)
        status, events = run.finish()
        self.assertEqual(status, 0)
        self.assertIn("young man", self.assertClosesWithFinal(events).lower())


class EndOfInput(live_run.LiveTestCase):
    def test_a_writer_that_writes_nothing_gets_no_speech_after_the_settle(self):
        run = LiveRun(self, self.fifo)
        run.feed(self.fifo, b"")
        status, events = run.finish()
        self.assertEqual(status, 1)
        self.assertEqual(events, [("r", ""), ("e", "No speech detected")])
        closing_time = run.lines[-1][0]
        self.assertGreaterEqual(closing_time - run.closed_at, SETTLE - 0.1)

    def test_silence_is_no_speech(self):
        silence = self.dir.silence("quiet.wav", 2)
        run = LiveRun(self, self.fifo)
        run.feed(self.fifo, raw_pcm(silence))
        status, events = run.finish()
        self.assertEqual(status, 1)
        self.assertEqual(events, [("r", ""), ("e", "No speech detected")])

    def test_a_regular_file_is_read_as_the_stream(self):
        raw = self.dir.write_bytes("speech.raw", raw_pcm(support.librivox_clips()[1].path))
        run = LiveRun(self, raw)
        status, events = run.finish()
        self.assertEqual(status, 0)
        self.assertClosesWithText(events)


class FastWriters(live_run.LiveTestCase):
    """Writers that do not wait for the recognizer, as sox or a program
    writing a whole file does: they are held up in their writes, nothing they
    write is lost, and the memory of the run stays bounded."""

    def assertMemoryBounded(self, run):
        if support.is_sanitized(BINARIES.voxquill):
            return  # a sanitizer's own memory is no measure of the program's
        self.assertLess(run.peak_rss_mib, MEMORY_BOUND_MIB)

    def test_a_minute_written_at_once_gives_the_words_of_real_time(self):
        wav, _ = support.long_recording(self.dir, "minute", 60.0)
        data = raw_pcm(wav)
        texts = {}
        for how, write in (("real time", {"pace": 1}), ("at once", {"piece_sizes": [len(data)]})):
            run = LiveRun(self, self.fifo)
            run.feed(self.fifo, data, **write)
            status, events = run.finish(timeout=300)
            self.assertEqual(status, 0, events)
            # The final result, not the settle delay, closes the run.
            texts[how] = self.assertClosesWithFinal(events)
        # Measured: the same 120 words either way. The decoder may cut an
        # utterance a buffer apart when the audio comes in other pieces.
        self.assertGreaterEqual(len(texts["at once"].split()), 100, texts)
        self.assertLessEqual(support.wer(texts["real time"], texts["at once"]), 0.05, texts)

    def test_a_flood_of_speech_keeps_memory_bounded_and_ends_cleanly(self):
        wav, _ = support.long_recording(self.dir, "minute", 60.0)
        run = LiveRun(self, self.fifo)
        written = live_run.flood(self.fifo, raw_pcm(wav), seconds=20)
        status, events = run.finish(timeout=120)
        self.assertEqual(status, 0, events)
        self.assertClosesWithFinal(events)
        self.assertGreater(written, 0)
        self.assertMemoryBounded(run)

    def test_babble_that_never_pauses_keeps_memory_bounded_and_gives_finals_on_the_way(self):
        # Three voices mixed, as a television in the room: no pause for the
        # engine to end an utterance at in two and a half minutes.
        seconds = 150
        clips = [clip.path for clip in support.librivox_clips()]
        many = self.dir.sox("many.wav", *(clips * (seconds // 20 + 2)), "{out}")
        voices = [self.dir.sox(f"voice{i}.wav", many, "{out}", "trim", start, seconds)
                  for i, start in enumerate((0, 7.3, 13.1))]
        babble = self.dir.sox("babble.wav", "-m", *voices, "{out}")
        run = LiveRun(self, self.fifo)
        run.feed(self.fifo, raw_pcm(babble))
        status, events = run.finish(timeout=600)
        self.assertEqual(status, 0, events)
        closing = self.assertClosesWithFinal(events)
        finals = [text for kind, text in events[1:-2] if kind == "f"]
        self.assertGreaterEqual(len(finals), 1, events)
        # Each holds the whole text so far: nothing said before is lost.
        for text in finals:
            self.assertTrue(closing.startswith(text.strip()), (text, closing))
        self.assertMemoryBounded(run)

    def test_an_endless_stream_ends_at_the_deadline_with_bounded_memory(self):
        run = LiveRun(self, "/dev/zero", binary=BINARIES.short_deadline)
        status, events = run.finish(timeout=120)
        self.assertEqual(status, 1, events)
        # Digital silence has no words in it.
        self.assertEqual(events, [("r", ""), ("e", "timeout")])
        self.assertMemoryBounded(run)


class SlowReaders(live_run.LiveTestCase):
    """A controlling program that set its end of standard output non-blocking
    and reads late: the run waits for it and loses nothing."""

    PIPE_BYTES = 4096  # the smallest pipe: a few lines fill it
    LATE = 5.0  # seconds after the end of the audio before the reader reads

    def test_a_late_reader_on_a_non_blocking_pipe_gets_every_line(self):
        clips = support.librivox_clips()
        speech = self.dir.concatenate("session.wav", [clip.path for clip in clips])
        reader, writer = os.pipe()
        fcntl.fcntl(writer, fcntl.F_SETPIPE_SZ, self.PIPE_BYTES)
        os.set_blocking(writer, False)
        run = live_run.LiveRun(self, BINARIES.voxquill, self.fifo, stdout=writer)
        os.close(writer)
        received = []
        fed = threading.Event()

        def read_late():
            # Long after the lines have filled the pipe, however busy the machine.
            fed.wait(timeout=support.DEFAULT_TIMEOUT)
            time.sleep(self.LATE)
            with open(reader, "rb") as pipe:
                received.append(pipe.read())

        late = threading.Thread(target=read_late, daemon=True)
        late.start()
        try:
            run.feed(self.fifo, raw_pcm(speech))
        finally:
            fed.set()
        status, _ = run.finish(timeout=300)
        late.join(timeout=support.DEFAULT_TIMEOUT)
        output = received[0]
        events = [live_run.parse_event(line) for line in output.splitlines(keepends=True)]
        self.assertEqual(status, 0, events)
        self.assertClosesWithText(events)
        self.assertGreater(len(output), self.PIPE_BYTES, "the lines did not fill the pipe")


class DegradedSpeech(live_run.LiveTestCase):
    def closing_rate(self, wav, reference):
        run = LiveRun(self, self.fifo)
        run.feed(self.fifo, raw_pcm(wav))
        status, events = run.finish(timeout=300)
        self.assertEqual(status, 0, events)
        return support.wer(reference, self.assertClosesWithFinal(events))

    def test_speech_through_a_telephone_band_gives_nearly_the_words_of_wide_band(self):
        # The Debian clips as one session, and copies recorded at 8 kHz and
        # through a telephone band, each written as fast as the pipe takes it.
        clips = support.librivox_clips()
        wide = self.dir.concatenate("wide.wav", [clip.path for clip in clips])
        narrow = {"8k": self.dir.sox("8k.wav", wide, "-r", 8000, "{out}"),
                  "telephone": self.dir.sox("telephone.wav", wide, "{out}", "sinc", "300-3400")}
        reference = " ".join(clip.reference for clip in clips)
        rates = {"wide": self.closing_rate(wide, reference)}
        for name, wav in narrow.items():
            rates[name] = self.closing_rate(wav, reference)
        # Measured: wide 24%, 8 kHz 39%, telephone band 49%.
        for name in narrow:
            self.assertLessEqual(rates[name], rates["wide"] + 0.3, rates)

    def test_speech_30_db_quieter_gives_nearly_the_words_of_the_loud(self):
        # The Debian clips as one session, and a copy 30 dB quieter, each
        # written as fast as the pipe takes it.
        clips = support.librivox_clips()
        loud = self.dir.concatenate("loud.wav", [clip.path for clip in clips])
        quiet = self.dir.sox("quiet.wav", loud, "{out}", "vol", "0.0316")
        reference = " ".join(clip.reference for clip in clips)
        rates = {}
        for name, wav in (("loud", loud), ("quiet", quiet)):
            run = LiveRun(self, self.fifo)
            run.feed(self.fifo, raw_pcm(wav))
            status, events = run.finish(timeout=300)
            self.assertEqual(status, 0, events)
            rates[name] = support.wer(reference, self.assertClosesWithFinal(events))
        # Measured: loud 24%, quiet 28%. The bound leaves room for engine updates.
        self.assertLessEqual(rates["quiet"], rates["loud"] + 0.10, rates)
        self.assertLessEqual(rates["loud"], 0.4, rates)


class Unavailable(live_run.LiveTestCase):
    def test_no_language_model(self):
        run = LiveRun(self, self.fifo, binary=BINARIES.without_models)
        status, events = run.finish()
        self.assertEqual(status, 1)
        self.assertEqual(events, [("e", "unavailable")])


if __name__ == "__main__":
    unittest.main(argv=UNITTEST_ARGV, verbosity=2)
