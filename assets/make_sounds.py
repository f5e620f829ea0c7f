#!/usr/bin/env python3
"""Makes the game's six sound cues.

    python3 assets/make_sounds.py [OUTPUT_DIR]

Writes click.wav, start.wav, add0.wav, add.wav, add2.wav and claps.wav (16-bit PCM,
mono, 44100 Hz) into OUTPUT_DIR, by default assets/sounds/ beside this script.
Standard library only; every random choice comes from a fixed seed, so running the
script again writes byte-identical files.

Every cue starts and ends in silence through a smooth fade, so nothing clicks when it
starts or is cut off, and is scaled so that its loudest sample sits at -3 dBFS.
"""

import math
import os
import random
import struct
import sys
import wave

RATE = 44100
PEAK_DBFS = -3.0
FULL_SCALE = 32767
TAU = 2.0 * math.pi


def silence(seconds):
    return [0.0] * int(round(seconds * RATE))


def mix_into(buffer, sound, at_seconds, gain=1.0):
    """Adds sound into buffer starting at at_seconds, growing the buffer if needed."""
    start = int(round(at_seconds * RATE))
    end = start + len(sound)
    if end > len(buffer):
        buffer.extend([0.0] * (end - len(buffer)))
    for i, s in enumerate(sound):
        buffer[start + i] += gain * s


def note_frequency(name):
    """Equal temperament from a name like "C5" or "F#4"; A4 is 440 Hz."""
    steps = {"C": -9, "D": -7, "E": -5, "F": -4, "G": -2, "A": 0, "B": 2}
    semitone = steps[name[0]]
    rest = name[1:]
    if rest.startswith("#"):
        semitone += 1
        rest = rest[1:]
    octave = int(rest)
    return 440.0 * 2.0 ** ((semitone + 12 * (octave - 4)) / 12.0)


def fade(sound, attack, release):
    """Raised-cosine fade in over attack seconds and fade out over release seconds."""
    n = len(sound)
    a = max(1, int(attack * RATE))
    r = max(1, int(release * RATE))
    out = list(sound)
    for i in range(min(a, n)):
        out[i] *= 0.5 - 0.5 * math.cos(math.pi * i / a)
    for i in range(min(r, n)):
        out[n - 1 - i] *= 0.5 - 0.5 * math.cos(math.pi * i / r)
    return out


def tone(freq, seconds, partials=((1, 1.0),), decay=None, attack=0.004, vibrato=0.0):
    """Additive tone: partials are (multiple of freq, amplitude); decay is the time in
    seconds for the level to fall by 1/e, or None for a steady level."""
    n = int(seconds * RATE)
    out = []
    phase = 0.0
    for i in range(n):
        t = i / RATE
        f = freq * (1.0 + vibrato * math.sin(TAU * 5.5 * t))
        phase += TAU * f / RATE
        level = math.exp(-t / decay) if decay else 1.0
        out.append(level * sum(a * math.sin(k * phase) for k, a in partials))
    return fade(out, attack, min(0.02, seconds / 4))


class Biquad:
    """Band-pass filter, constant peak gain (the usual audio-cookbook form)."""

    def __init__(self, centre, q):
        w = TAU * centre / RATE
        alpha = math.sin(w) / (2.0 * q)
        a0 = 1.0 + alpha
        self.b0, self.b2 = alpha / a0, -alpha / a0
        self.a1, self.a2 = -2.0 * math.cos(w) / a0, (1.0 - alpha) / a0
        self.x1 = self.x2 = self.y1 = self.y2 = 0.0

    def __call__(self, x):
        y = self.b0 * x + self.b2 * self.x2 - self.a1 * self.y1 - self.a2 * self.y2
        self.x2, self.x1 = self.x1, x
        self.y2, self.y1 = self.y1, y
        return y


# ---------------------------------------------------------------------------
# The six cues
# ---------------------------------------------------------------------------


def click():
    """A crisp tick for the buttons that open or close a window: two high partials
    that die away within a few milliseconds, over a touch of filtered noise."""
    rng = random.Random(101)
    seconds = 0.06
    band = Biquad(4200.0, 1.5)
    out = []
    for i in range(int(seconds * RATE)):
        t = i / RATE
        body = 0.7 * math.sin(TAU * 2350.0 * t) + 0.3 * math.sin(TAU * 3900.0 * t)
        noise = band(rng.uniform(-1.0, 1.0))
        out.append(math.exp(-t / 0.009) * body + math.exp(-t / 0.003) * 0.8 * noise)
    return fade(out, 0.0008, 0.015)


def start():
    """A short rising jingle: four bell-like notes climbing up a major chord."""
    bell = ((1, 1.0), (2, 0.35), (3, 0.12), (4, 0.05))
    out = silence(0.6)
    notes = [("C5", 0.00), ("E5", 0.10), ("G5", 0.20), ("C6", 0.30)]
    for name, at in notes:
        length = 0.6 - at
        mix_into(out, tone(note_frequency(name), length, bell, decay=0.16), at)
    return fade(out, 0.002, 0.06)


def add0():
    """A soft plop for two pieces merging: a round tone whose pitch springs upward
    and fades fast, like a drop falling into cream."""
    seconds = 0.2
    out = []
    phase = 0.0
    for i in range(int(seconds * RATE)):
        t = i / RATE
        f = 260.0 + 420.0 * (1.0 - math.exp(-t / 0.025))
        phase += TAU * f / RATE
        level = math.exp(-t / 0.045)
        out.append(level * (math.sin(phase) + 0.15 * math.sin(2 * phase)))
    return fade(out, 0.003, 0.05)


def add():
    """A bright chime for a finished cake: two bell strikes a fifth apart, with the
    slightly out-of-tune upper partials that make a bell ring."""
    chime = ((1, 1.0), (2.76, 0.35), (5.4, 0.12), (8.93, 0.05))
    out = silence(0.5)
    mix_into(out, tone(note_frequency("E6"), 0.5, chime, decay=0.14), 0.0, 0.8)
    mix_into(out, tone(note_frequency("B6"), 0.42, chime, decay=0.13), 0.08, 0.9)
    return fade(out, 0.002, 0.08)


def add2():
    """A fanfare for the second cake of one pair: three quick brassy notes and a long
    held chord, the notes of a major chord in the bright key of G."""
    brass = tuple((k, 1.0 / k) for k in range(1, 9))
    out = silence(1.0)
    for name, at, length in (("D5", 0.00, 0.11), ("D5", 0.12, 0.11), ("D5", 0.24, 0.11)):
        mix_into(out, tone(note_frequency(name), length, brass, attack=0.01), at, 0.6)
    for name in ("G4", "B4", "D5", "G5"):
        held = tone(note_frequency(name), 0.64, brass, decay=0.6, attack=0.015, vibrato=0.004)
        mix_into(out, held, 0.36, 0.35)
    return fade(out, 0.002, 0.12)


def claps():
    """Applause for a new high score: a crowd of short band-passed noise bursts, each
    clapper with a tone and a pace of their own, swelling quickly and dying down."""
    rng = random.Random(2024)
    seconds = 2.0
    out = silence(seconds)
    for _ in range(32):
        centre = rng.uniform(800.0, 2400.0)
        loudness = rng.uniform(0.5, 1.0)
        pace = rng.uniform(0.16, 0.28)  # seconds between two claps of one clapper
        t = rng.uniform(0.0, 0.3)
        while t < seconds - 0.05:
            band = Biquad(centre * rng.uniform(0.92, 1.08), 1.4)
            length = int(rng.uniform(0.012, 0.02) * RATE)
            decay = rng.uniform(0.004, 0.007)
            burst = [
                band(rng.uniform(-1.0, 1.0)) * math.exp(-(i / RATE) / decay) for i in range(length)
            ]
            mix_into(out, burst, t, loudness * rng.uniform(0.6, 1.0))
            t += pace * rng.uniform(0.85, 1.15)
    # A gentle low-pass takes the hiss off the top, then the crowd joins in quickly and
    # fades out over the second half.
    smooth = 0.0
    for i in range(len(out)):
        t = i / RATE
        smooth += 0.45 * (out[i] - smooth)
        swell = min(1.0, t / 0.15)
        tail = 1.0 if t < 1.0 else max(0.0, (seconds - t) / (seconds - 1.0)) ** 1.5
        out[i] = smooth * swell * tail
    return fade(out, 0.005, 0.05)


CUES = {
    "click": click,
    "start": start,
    "add0": add0,
    "add": add,
    "add2": add2,
    "claps": claps,
}

# The longest each cue may be, in seconds; a cue longer than this slows the game down.
LONGEST = {"click": 0.15, "start": 0.7, "add0": 0.25, "add": 0.6, "add2": 1.1, "claps": 2.1}


# ---------------------------------------------------------------------------
# Writing
# ---------------------------------------------------------------------------


def to_pcm(sound):
    """Scales the sound so that its peak sits at PEAK_DBFS, as 16-bit sample values."""
    peak = max(abs(s) for s in sound)
    if peak == 0.0:
        raise ValueError("silent cue")
    scale = FULL_SCALE * 10.0 ** (PEAK_DBFS / 20.0) / peak
    return [max(-FULL_SCALE, min(FULL_SCALE, int(round(s * scale)))) for s in sound]


def check(name, samples):
    """The promises every cue keeps: short, quiet at both ends, loud enough, never clipped."""
    seconds = len(samples) / RATE
    if seconds > LONGEST[name]:
        raise ValueError(f"{name}: {seconds:.3f} s is longer than {LONGEST[name]} s")
    if abs(samples[0]) > 1 or abs(samples[-1]) > 1:
        raise ValueError(f"{name}: does not start and end in silence")
    peak = max(abs(s) for s in samples)
    if not 0.65 * FULL_SCALE <= peak < FULL_SCALE:
        raise ValueError(f"{name}: peak {peak} is outside the expected level")


def write_wave(path, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(struct.pack(f"<{len(samples)}h", *samples))


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    folder = argv[1] if len(argv) > 1 else os.path.join(here, "sounds")
    os.makedirs(folder, exist_ok=True)
    for name, make in CUES.items():
        samples = to_pcm(make())
        check(name, samples)
        path = os.path.join(folder, name + ".wav")
        write_wave(path, samples)
        print(f"{path}: {len(samples) / RATE:.3f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
