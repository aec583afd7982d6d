"""The corpus bench/accuracy.py decodes, built on this machine and cached.

Everything is made from what the project's set-up installs plus the shared
speech-dev set: Debian's test clips, the real recordings in speech-dev, the
dictation sentences in bench/sentences.txt spoken by seven synthetic voices,
variants of a fixed subset (resampled, filtered, noisy, quiet, clipped,
reverberant, MP3) and long recordings joined from real speech.

Noise comes from Python's generator with fixed seeds, sox runs with -R, and
nothing depends on the time or the machine, so a rebuild gives the same
audio. The cache folder is named by a hash of this file, the sentences, the
speech-dev manifest, the Debian references and the versions of the tools that
make audio: change any of them and the corpus is built anew beside the old one.
"""

import array
import hashlib
import json
import math
import os
import random
import re
import shutil
import subprocess
import sys
import time
import wave
from concurrent.futures import ThreadPoolExecutor
from dataclasses import asdict, dataclass
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "e2e"))
import support  # noqa: E402

BENCH = Path(__file__).resolve().parent
SENTENCES = BENCH / "sentences.txt"
SEED = 7031
RATE = 16000

# One voice a sentence, in turn. kal16 rather than kal: kal is an 8 kHz voice,
# and band-limited speech belongs to the 8k variant, not the clean group.
VOICES = (  # (program, its name for the voice, ours)
    ("flite", "kal16", "kal16"), ("flite", "slt", "slt"), ("flite", "awb", "awb"), ("flite", "rms", "rms"),
    ("espeak-ng", "en-us", "enus"), ("espeak-ng", "en+f3", "enf3"),
    ("festival", "cmu_us_slt_arctic_hts", "slthts"),
)
EDGE_SILENCE = 0.25  # seconds before and after each synthetic sentence, as a recorder leaves

VARIANTS = ("8k", "telephone", "white20", "white10", "pink20", "pink10", "babble20", "babble10",
            "quiet30", "loud-clipped", "reverb", "44k-stereo", "mp3")
# The subset every variant is made of: sentences spread over the list (so every
# voice and two long sentences are in it), and short real clips of six speakers.
VARIANT_SENTENCES = tuple(range(3, 160, 19))    # 9 sentences, 0-based line numbers
VARIANT_REAL = (("lso", 2), ("so762", 2))       # clips per real group, 3 to 10 s, spread by id
# The lso group is the first clips (by id) of each of its 10 speakers: all 80
# would put 4 more minutes of audio through three systems, over the time
# budget. so762 is used whole. Every clip serves the long recordings and babble.
LSO_PER_SPEAKER = 5
BABBLE_TALKERS = 6
CLIP_GAIN_DB = 18.0      # over peak-normalised: a tenth to a half of the samples end up on the rails
QUIET_DB = 30.0

# Long recordings: real speech with pauses between clips, exactly this long.
LONG_DEFAULT = (("long-1min", 60),)
LONG_OPTIONAL = (("long-10min", 600), ("long-15min", 900))
LONG_PAUSES = (0.4, 3.0)  # shortest and longest pause, seconds

TOOLS = {"sox": "sox", "soxi": "sox", "ffmpeg": "ffmpeg", "flite": "flite", "espeak-ng": "espeak-ng",
         "text2wave": "festival festvox-us-slt-hts"}
VERSIONED_PACKAGES = ("sox", "libsox-fmt-mp3", "ffmpeg", "libmp3lame0", "flite", "espeak-ng",
                      "festival", "festvox-us-slt-hts")


# ---------------------------------------------------------------- words

_ONES = ("zero one two three four five six seven eight nine ten eleven twelve thirteen fourteen "
         "fifteen sixteen seventeen eighteen nineteen").split()
_TENS = "- - twenty thirty forty fifty sixty seventy eighty ninety".split()
_ORDINAL = {"one": "first", "two": "second", "three": "third", "five": "fifth", "eight": "eighth",
            "nine": "ninth", "twelve": "twelfth"}


def cardinal(n):
    """'two hundred forty five': American, no 'and', no hyphens (as the dictionary spells)."""
    if n < 20:
        return _ONES[n]
    if n < 100:
        return _TENS[n // 10] + ("" if n % 10 == 0 else " " + _ONES[n % 10])
    if n < 1000:
        return _ONES[n // 100] + " hundred" + ("" if n % 100 == 0 else " " + cardinal(n % 100))
    for size, name in ((10 ** 9, "billion"), (10 ** 6, "million"), (1000, "thousand")):
        if n >= size:
            return cardinal(n // size) + " " + name + ("" if n % size == 0 else " " + cardinal(n % size))
    raise AssertionError(n)


def ordinal(n):
    words = cardinal(n).split()
    last = words[-1]
    if last in _ORDINAL:
        last = _ORDINAL[last]
    elif last.endswith("y"):
        last = last[:-1] + "ieth"
    else:
        last += "th"
    return " ".join(words[:-1] + [last])


def year(n):
    """1987 'nineteen eighty seven', 1905 'nineteen oh five', 2005 'two thousand five', 2015 'twenty fifteen'."""
    if 2000 <= n <= 2009:
        return cardinal(n)
    high, low = divmod(n, 100)
    if low == 0:
        return cardinal(high) + " hundred"
    return cardinal(high) + (" oh " if low < 10 else " ") + cardinal(low)


def _digits(text):
    return " ".join(_ONES[int(d)] for d in text)


def _plain(match):
    text = match.group(0)
    if len(text) > 1 and text.startswith("0"):
        return _digits(text)
    n = int(text)
    return year(n) if len(text) == 4 and 1100 <= n <= 2099 else cardinal(n)


def _money(match):
    dollars = int(match.group(1).replace(",", ""))
    words = cardinal(dollars) + (" dollar" if dollars == 1 else " dollars")
    cents = int(match.group(2) or 0)
    if cents:
        words += " and " + cardinal(cents) + (" cent" if cents == 1 else " cents")
    return words


def _time(match):
    hour, minute = int(match.group(1)), int(match.group(2))
    if minute == 0:
        return cardinal(hour) + " o'clock"
    return cardinal(hour) + (" oh " if minute < 10 else " ") + cardinal(minute)


def _number(text):
    whole, _, fraction = text.partition(".")
    return cardinal(int(whole)) + (" point " + _digits(fraction) if fraction else "")


# Order matters: each rule takes its digits before a more general one can.
_NUMBER_RULES = (
    (re.compile(r"\$(\d{1,3}(?:,\d{3})+|\d+)(?:\.(\d\d))?"), _money),
    (re.compile(r"(\d+(?:\.\d+)?)\s?%"), lambda m: _number(m.group(1)) + " percent"),
    (re.compile(r"\b(\d{1,2}):(\d\d)\b"), _time),
    (re.compile(r"\b(\d+)(?:st|nd|rd|th)\b"), lambda m: ordinal(int(m.group(1)))),
    (re.compile(r"\b\d+\.\d+\b"), lambda m: _number(m.group(0))),
    (re.compile(r"\b\d{1,3}(?:,\d{3})+\b"), lambda m: cardinal(int(m.group(0).replace(",", "")))),
    (re.compile(r"\d+"), _plain),
)


def spoken_numbers(text):
    """TEXT with every number written in digits turned into the words said for it:
    money, percentages, clock times, ordinals, decimals, years (4 digits from
    1100 to 2099), other cardinals; digits after a leading zero one by one."""
    for pattern, words in _NUMBER_RULES:
        text = pattern.sub(words, text)
    return text


def normalise(text):
    """The one normalisation, applied to references and hypotheses alike:
    numbers in digits to words, upper case, punctuation out (apostrophes kept
    inside words), single spaces."""
    text = spoken_numbers(text).upper()
    text = re.sub(r"[^\w\s']|_", " ", text)
    text = re.sub(r"(?<!\w)'|'(?!\w)", " ", text)
    return " ".join(text.split())


# ---------------------------------------------------------------- audio helpers

def read_wav(path):
    """(rate, channels, samples as array('h')) of a 16-bit WAV."""
    with wave.open(str(path), "rb") as w:
        if w.getsampwidth() != 2:
            raise ValueError(f"{path}: not 16-bit")
        samples = array.array("h", w.readframes(w.getnframes()))
        if sys.byteorder == "big":
            samples.byteswap()
        return w.getframerate(), w.getnchannels(), samples


def write_wav(path, samples, rate=RATE, channels=1):
    data = array.array("h", samples)
    if sys.byteorder == "big":
        data.byteswap()
    with wave.open(str(path), "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(data.tobytes())


def is_plain_wav(path):
    """16 kHz mono 16-bit PCM WAV: what the peer reads as it is."""
    try:
        with wave.open(str(path), "rb") as w:
            return w.getframerate() == RATE and w.getnchannels() == 1 and w.getsampwidth() == 2
    except (wave.Error, EOFError):
        return False


def sox(*args):
    argv = ["sox", "-R", "-V1", *map(str, args)]  # -R: the same dither every run
    done = subprocess.run(argv, stdin=subprocess.DEVNULL, capture_output=True, timeout=600)
    if done.returncode != 0:
        raise RuntimeError(f"{' '.join(argv)}: {done.stderr.decode(errors='replace').strip()}")


def to_plain_wav(source, target, *effects):
    sox(source, "-r", RATE, "-c", 1, "-b", 16, "-e", "signed-integer", target, *effects)


def seconds_of(path):
    _, channels, samples = read_wav(path)
    return len(samples) / channels / RATE


def active_power(samples, frame=320, floor_db=40.0):
    """Mean power over the 20-ms frames within FLOOR_DB of the loudest: the
    speech level, which the pauses around it do not dilute."""
    energies = []
    for at in range(0, len(samples) - frame + 1, frame):
        block = samples[at:at + frame]
        energies.append(sum(x * x for x in block) / frame)
    if not energies:
        return 0.0
    floor = max(energies) * 10 ** (-floor_db / 10)
    loud = [e for e in energies if e >= floor]
    return sum(loud) / len(loud)


def mean_power(values):
    return sum(x * x for x in values) / len(values)


def mix_at_snr(signal, noise, snr_db):
    """SIGNAL plus NOISE scaled so that speech power / noise power is exactly
    SNR_DB; both are scaled down together if the sum would clip. Returns the
    samples and the SNR measured on the scaled parts."""
    speech = active_power(signal)
    gain = math.sqrt(speech / (mean_power(noise) * 10 ** (snr_db / 10)))
    mixed = [s + gain * n for s, n in zip(signal, noise)]
    peak = max(abs(x) for x in mixed)
    scale = min(1.0, 32767.0 / peak) if peak else 1.0
    measured = 10 * math.log10(active_power([s * scale for s in signal]) /
                               mean_power([gain * scale * n for n in noise]))
    return [round(x * scale) for x in mixed], measured


def white_noise(rng, count):
    return [rng.gauss(0.0, 1.0) for _ in range(count)]


def pink_noise(rng, count):
    """Paul Kellet's economy filter over white noise: -3 dB an octave within 0.5 dB."""
    b0 = b1 = b2 = 0.0
    out = []
    for _ in range(count):
        w = rng.gauss(0.0, 1.0)
        b0 = 0.99765 * b0 + w * 0.0990460
        b1 = 0.96300 * b1 + w * 0.2965164
        b2 = 0.57000 * b2 + w * 1.0526913
        out.append(b0 + b1 + b2 + w * 0.1848)
    return out


def babble_noise(rng, count, talkers):
    """TALKERS other recordings, each at the same speech level, looped from a
    random point to COUNT samples and summed."""
    total = [0.0] * count
    for samples in talkers:
        level = math.sqrt(active_power(samples)) or 1.0
        start = rng.randrange(len(samples))
        for i in range(count):
            total[i] += samples[(start + i) % len(samples)] / level
    return total


# ---------------------------------------------------------------- the corpus

@dataclass
class Item:
    group: str
    id: str           # unique within its group
    path: str         # what voxquill is given, relative to the corpus folder
    peer: str         # the same audio as 16 kHz mono 16-bit WAV, relative
    reference: str    # normalised
    seconds: float
    source: str       # where it came from, for people reading the results


def sentences():
    lines = [line.strip() for line in SENTENCES.read_text(encoding="utf-8").splitlines()]
    return [line for line in lines if line and not line.startswith("#")]


def speech_dev_clips(speech_dev):
    """(id, group, flac path, reference) for each line of the manifest."""
    clips = []
    for line in (Path(speech_dev) / "manifest.tsv").read_text(encoding="utf-8").splitlines():
        if not line.strip():
            continue
        rel, reference = line.split("\t", 1)
        clip_id = Path(rel).stem
        clips.append((clip_id, clip_id.split("_", 1)[0], Path(speech_dev) / rel, reference))
    return clips


def debian_clips():
    clips = [(c.name.replace("sense_and_sensibility_01_austen_64kb-", "librivox-"), c)
             for c in support.librivox_clips()]
    return clips + [(f"cards-{c.name}", c) for c in support.cards_clips()]


def require_tools():
    """Exits with the Debian packages to install if a tool is missing."""
    missing = sorted({package for tool, package in TOOLS.items() if shutil.which(tool) is None})
    if missing:
        sys.exit(f"accuracy: missing tools; install them with: apt-get install {' '.join(missing)}")


def tool_versions():
    done = subprocess.run(["dpkg-query", "-W", "-f", "${Package} ${Version}\\n", *VERSIONED_PACKAGES],
                          capture_output=True, text=True)
    return done.stdout


def corpus_key(speech_dev):
    digest = hashlib.sha256()
    for path in (Path(__file__), SENTENCES, Path(speech_dev) / "manifest.tsv",
                 support.LIBRIVOX / "transcription", support.CARDS / "cards.transcription"):
        digest.update(path.read_bytes())
    digest.update(tool_versions().encode())
    return digest.hexdigest()[:16]


def _parallel(jobs, calls):
    with ThreadPoolExecutor(max_workers=jobs) as pool:
        for future in [pool.submit(fn, *args) for fn, *args in calls]:
            future.result()


def _synthesize(engine, voice, text, target, work):
    raw = work / (target.stem + ".tts.wav")
    if engine == "flite":
        argv = ["flite", "-voice", voice, "-t", text, "-o", str(raw)]
        done = subprocess.run(argv, capture_output=True, timeout=300)
    elif engine == "espeak-ng":
        argv = ["espeak-ng", "-v", voice, "-w", str(raw), text]
        done = subprocess.run(argv, capture_output=True, timeout=300)
    else:
        argv = ["text2wave", "-eval", f"(voice_{voice})", "-o", str(raw)]
        done = subprocess.run(argv, input=text.encode(), capture_output=True, timeout=300)
    if done.returncode != 0 or not raw.exists():
        raise RuntimeError(f"{argv[0]} {voice}: {done.stderr.decode(errors='replace').strip()[:300]}")
    # One level for every voice; a quarter second of room either side.
    to_plain_wav(raw, target, "gain", "-n", "-3", "pad", EDGE_SILENCE, EDGE_SILENCE)
    raw.unlink()


def _spread(clips, count):
    """COUNT of CLIPS (sorted by id) 3 to 10 seconds long, evenly spread."""
    fitting = [c for c in clips if 3.0 <= c[1] <= 10.0]
    step = len(fitting) / count
    return [fitting[int(i * step)] for i in range(count)]


class Builder:
    """Builds the corpus in a scratch folder beside its final place."""

    def __init__(self, root, speech_dev, jobs):
        self.root = Path(root)
        self.speech_dev = Path(speech_dev)
        self.jobs = jobs
        self.items = []
        self.notes = {}

    def rel(self, path):
        return str(Path(path).relative_to(self.root))

    def add(self, group, item_id, path, peer, reference, source):
        self.items.append(Item(group, item_id, self.rel(path), self.rel(peer), normalise(reference),
                               round(seconds_of(peer), 3), source))

    def folder(self, *parts):
        path = self.root.joinpath(*parts)
        path.mkdir(parents=True, exist_ok=True)
        return path

    def build_base(self):
        self.debian()
        real = self.real()
        dictation = self.dictation()
        self.variants(dictation, real)
        self.long(LONG_DEFAULT, real)

    def debian(self):
        folder = self.folder("debian")
        for item_id, clip in debian_clips():
            target = folder / f"{item_id}.wav"
            shutil.copyfile(clip.path, target)
            peer = target
            if not is_plain_wav(target):
                peer = folder / f"{item_id}.peer.wav"
                to_plain_wav(target, peer)
            self.add("debian", item_id, target, peer, clip.reference, str(clip.path))

    def real(self):
        """The speech-dev clips as given (FLAC) and as plain WAV; {id: (group, wav, reference)}."""
        given, plain = self.folder("real"), self.folder("clean")
        clips = speech_dev_clips(self.speech_dev)
        calls = []
        for clip_id, _, flac, _ in clips:
            shutil.copyfile(flac, given / flac.name)
            calls.append((to_plain_wav, given / flac.name, plain / f"{clip_id}.wav"))
        _parallel(self.jobs, calls)
        real, per_speaker = {}, {}
        for clip_id, group, flac, reference in sorted(clips):
            real[clip_id] = (group, plain / f"{clip_id}.wav", reference)
            if group == "lso":
                speaker = clip_id.split("_", 1)[1].split("-", 1)[0]
                per_speaker[speaker] = per_speaker.get(speaker, 0) + 1
                if per_speaker[speaker] > LSO_PER_SPEAKER:
                    continue
            self.add(group, clip_id, given / flac.name, plain / f"{clip_id}.wav", reference,
                     f"speech-dev {flac.name}")
        return real

    def dictation(self):
        """Each sentence in the next voice; {id: (wav, sentence)}."""
        folder, work = self.folder("clean"), self.folder("tts-work")
        made, calls = {}, []
        for index, sentence in enumerate(sentences()):
            engine, voice, name = VOICES[index % len(VOICES)]
            item_id = f"s{index + 1:03d}-{name}"
            target = folder / f"{item_id}.wav"
            calls.append((_synthesize, engine, voice, spoken_numbers(sentence), target, work))
            made[item_id] = (target, sentence, f"{engine} {voice}: {sentence}")
        _parallel(self.jobs, calls)
        shutil.rmtree(work)
        for item_id, (target, sentence, source) in made.items():
            self.add("dictation-clean", item_id, target, target, sentence, source)
        return made

    def variant_sources(self, dictation, real):
        """The subset the variants are made of, and the rest (babble comes from it)."""
        ids = list(dictation)
        chosen = [(i, dictation[i][0], dictation[i][1]) for i in (ids[n] for n in VARIANT_SENTENCES)]
        for group, count in VARIANT_REAL:
            in_group = sorted((cid, seconds_of(wav)) for cid, (g, wav, _) in real.items() if g == group)
            chosen += [(cid, real[cid][1], real[cid][2]) for cid, _ in _spread(in_group, count)]
        picked = {cid for cid, _, _ in chosen}
        rest = [dictation[i][0] for i in ids if i not in picked]
        rest += [wav for cid, (_, wav, _) in sorted(real.items()) if cid not in picked]
        return chosen, rest

    def variants(self, dictation, real):
        chosen, rest = self.variant_sources(dictation, real)
        folders = {v: self.folder("variants", v) for v in VARIANTS}
        # The ones sox and ffmpeg make, then a plain WAV of each for the peer.
        calls = []
        for item_id, wav, _ in chosen:
            calls += [
                (sox, wav, "-r", 8000, "-b", 16, folders["8k"] / f"{item_id}.wav"),
                (sox, wav, folders["telephone"] / f"{item_id}.wav", "sinc", "300-3400"),
                (sox, wav, folders["reverb"] / f"{item_id}.wav", "pad", 0, 0.5,
                 "reverb", 50, 50, 100, "gain", "-n", "-1"),
                (sox, wav, "-r", 44100, "-c", 2, "-b", 16, folders["44k-stereo"] / f"{item_id}.wav"),
                (_mp3, wav, folders["mp3"] / f"{item_id}.mp3"),
            ]
        _parallel(self.jobs, calls)
        calls = []
        for variant, suffix in (("8k", ".wav"), ("44k-stereo", ".wav"), ("mp3", ".mp3")):
            peer_folder = self.folder("peer", variant)
            for item_id, _, _ in chosen:
                calls.append((to_plain_wav, folders[variant] / f"{item_id}{suffix}", peer_folder / f"{item_id}.wav"))
        _parallel(self.jobs, calls)

        # The ones computed here: noise at an exact SNR, quiet, clipped.
        babble_sources = [read_wav(path)[2] for path in rest]
        snrs, clipped = {}, {}
        for item_id, wav, _ in chosen:
            _, _, signal = read_wav(wav)
            rng = random.Random(f"{SEED}-noise-{item_id}")
            noises = {"white": white_noise(rng, len(signal)), "pink": pink_noise(rng, len(signal))}
            talkers = rng.sample(babble_sources, BABBLE_TALKERS)
            noises["babble"] = babble_noise(rng, len(signal), talkers)
            for kind, noise in noises.items():
                for snr in (20, 10):
                    mixed, measured = mix_at_snr(signal, noise, snr)
                    write_wav(folders[f"{kind}{snr}"] / f"{item_id}.wav", mixed)
                    snrs.setdefault(f"{kind}{snr}", []).append(round(measured, 3))
            quiet = 10 ** (-QUIET_DB / 20)
            write_wav(folders["quiet30"] / f"{item_id}.wav", [round(s * quiet) for s in signal])
            peak = max(abs(s) for s in signal) or 1
            gain = 32767.0 / peak * 10 ** (CLIP_GAIN_DB / 20)
            loud = [max(-32768, min(32767, round(s * gain))) for s in signal]
            write_wav(folders["loud-clipped"] / f"{item_id}.wav", loud)
            clipped[item_id] = round(sum(1 for s in loud if abs(s) >= 32767) / len(loud), 3)
        self.notes["snr_measured"] = {k: [min(v), max(v)] for k, v in snrs.items()}
        self.notes["clipped_fraction"] = clipped

        for variant in VARIANTS:
            for item_id, _, reference in chosen:
                suffix = ".mp3" if variant == "mp3" else ".wav"
                given = folders[variant] / f"{item_id}{suffix}"
                peer = self.root / "peer" / variant / f"{item_id}.wav"
                self.add(variant, item_id, given, peer if peer.exists() else given, reference,
                         f"{variant} of {item_id}")

    def long(self, recordings, real):
        """Real clips in a shuffled order with pauses of varying length, cut
        to exactly the length named; the reference is the clips' joined."""
        folder = self.folder("long")
        sources = sorted(real.items())
        for name, seconds in recordings:
            rng = random.Random(f"{SEED}-{name}")
            order = sources[:]
            rng.shuffle(order)
            target = seconds * RATE
            samples, references, used = array.array("h"), [], []
            for clip_id, (_, wav, reference) in order:
                pause = array.array("h", bytes(2 * round(rng.uniform(*LONG_PAUSES) * 10) * RATE // 10))
                _, _, clip = read_wav(wav)
                if len(samples) + len(pause) + len(clip) > target:
                    continue
                samples += pause + clip
                references.append(reference)
                used.append(clip_id)
            samples += array.array("h", bytes(2 * (target - len(samples))))
            path = folder / f"{name}.wav"
            write_wav(path, samples)
            self.add("long", name, path, path, " ".join(references),
                     f"{len(used)} speech-dev clips: {' '.join(used)}")


def _mp3(source, target):
    # bitexact and no metadata: the same bytes from the same encoder every time.
    argv = ["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", str(source), "-c:a", "libmp3lame",
            "-b:a", "32k", "-fflags", "+bitexact", "-map_metadata", "-1", str(target)]
    done = subprocess.run(argv, capture_output=True, timeout=300)
    if done.returncode != 0:
        raise RuntimeError(f"ffmpeg: {done.stderr.decode(errors='replace').strip()}")


@dataclass
class Corpus:
    root: Path
    key: str
    items: list
    notes: dict
    built_seconds: float  # time spent building in this run (0 when all came from the cache)


def _load_part(path):
    data = json.loads(path.read_text(encoding="utf-8"))
    return [Item(**item) for item in data["items"]], data.get("notes", {})


def _save_part(path, items, notes):
    path.write_text(json.dumps({"items": [asdict(i) for i in items], "notes": notes}, indent=1),
                    encoding="utf-8")


def load_or_build(cache, speech_dev, jobs, with_long, log):
    """The corpus for the current recipe: from CACHE if there, else built now.
    The optional long recordings are a part of their own, built on first need."""
    started = time.monotonic()
    key = corpus_key(speech_dev)
    root = Path(cache) / f"corpus-{key}"
    base = root / "corpus.json"
    if not base.exists():
        require_tools()
        log(f"building the corpus in {root} (once for this recipe; a few minutes)")
        scratch = Path(cache) / f"corpus-{key}.partial-{os.getpid()}"
        shutil.rmtree(scratch, ignore_errors=True)
        builder = Builder(scratch, speech_dev, jobs)
        builder.build_base()
        _save_part(scratch / "corpus.json", builder.items, builder.notes)
        if root.exists():  # a half-made folder from a run that was stopped
            shutil.rmtree(root)
        scratch.rename(root)
    items, notes = _load_part(base)
    if with_long:
        extra = root / "long-optional.json"
        if not extra.exists():
            require_tools()
            log("building the 10- and 15-minute recordings")
            builder = Builder(root, speech_dev, jobs)
            real = {cid: (group, root / "clean" / f"{cid}.wav", ref)
                    for cid, group, _, ref in speech_dev_clips(speech_dev)}
            builder.long(LONG_OPTIONAL, real)
            _save_part(extra, builder.items, {})
        items += _load_part(extra)[0]
    return Corpus(root, key, items, notes, time.monotonic() - started)
