#!/usr/bin/env python3
"""Makes assets/shipped/gaoshanls.mp3, the default background piece.

A calm piece in the D major pentatonic scale (D E F# A B): a flute melody over a
plucked arpeggio and a soft pad, 16 bars at 66 beats a minute (about 58 s). It ends
on the chord it begins with and fades into its own start, so it loops without a seam.

Run by hand; the output is committed. Needs python3, fluidsynth, lame and a General
MIDI soundfont (Debian: timgm6mb-soundfont or fluid-soundfont-gm).
"""
import array
import os
import struct
import subprocess
import sys
import tempfile
import wave

PPQ = 480
BPM = 66
BARS = 16
RATE = 44100
HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "shipped", "gaoshanls.mp3")
FONTS = ["/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2"]

# Note numbers.
A2, B2, D3, E3, Fs3, A3, B3 = 45, 47, 50, 52, 54, 57, 59
D4, E4, Fs4, A4, B4, D5, E5 = 62, 64, 66, 69, 71, 74, 76
E2, D2 = 40, 38
R = None  # a rest

# One chord a bar: (bass, arpeggio tones low to high).
CHORD = {
    "D": (D2, [D3, A3, D4, E4, Fs4]),
    "Bm": (B2, [Fs3, B3, D4, E4, Fs4]),
    "Esus": (E2, [E3, A3, B3, E4, Fs4]),
    "A": (A2, [E3, A3, B3, E4, A4]),
}
HARMONY = ["D", "D", "Bm", "Bm", "Esus", "Esus", "A", "A",
           "D", "D", "Bm", "Bm", "Esus", "A", "A", "D"]

# The melody, bar by bar: (note, beats).
MELODY = [
    [(Fs4, 1), (A4, 1), (B4, 1.5), (A4, 0.5)],
    [(Fs4, 2), (E4, 1), (D4, 1)],
    [(E4, 1), (Fs4, 0.5), (A4, 0.5), (B4, 2)],
    [(A4, 3), (R, 1)],
    [(D5, 1.5), (B4, 0.5), (A4, 1), (Fs4, 1)],
    [(E4, 1), (Fs4, 1), (A4, 2)],
    [(B4, 1), (A4, 0.5), (Fs4, 0.5), (E4, 1), (D4, 1)],
    [(E4, 3), (R, 1)],
    [(Fs4, 1), (A4, 1), (D5, 1.5), (E5, 0.5)],
    [(D5, 2), (B4, 1), (A4, 1)],
    [(B4, 1), (D5, 0.5), (B4, 0.5), (A4, 1), (Fs4, 1)],
    [(A4, 3), (R, 1)],
    [(B4, 1.5), (A4, 0.5), (Fs4, 1), (A4, 1)],
    [(E4, 1), (D4, 0.5), (E4, 0.5), (Fs4, 2)],
    [(E4, 1), (D4, 1), (B3, 1), (A3, 1)],
    [(D4, 3), (R, 1)],
]

FLUTE, KOTO, PAD, BASS = 0, 1, 2, 3  # channels
PROGRAMS = {FLUTE: 73, KOTO: 107, PAD: 89, BASS: 32}


def vlq(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append((n & 0x7F) | 0x80)
        n >>= 7
    return bytes(reversed(out))


def track(events):
    """events: (tick, order, bytes); note-offs (order 0) before note-ons at one tick."""
    data = b""
    now = 0
    for tick, _, body in sorted(events, key=lambda e: (e[0], e[1])):
        data += vlq(tick - now) + body
        now = tick
    end = BARS * 4 * PPQ
    data += vlq(max(0, end - now)) + b"\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(data)) + data


def note(events, channel, pitch, start, beats, velocity):
    on = int(round(start * PPQ))
    off = on + max(1, int(round(beats * PPQ)))
    events.append((on, 1, bytes([0x90 | channel, pitch, velocity])))
    events.append((off, 0, bytes([0x80 | channel, pitch, 0])))


def compose():
    tempo = [(0, 0, b"\xff\x51\x03" + (60_000_000 // BPM).to_bytes(3, "big")),
             (0, 0, b"\xff\x58\x04\x04\x02\x18\x08")]
    parts = {c: [] for c in PROGRAMS}
    for c, program in PROGRAMS.items():
        parts[c].append((0, 0, bytes([0xC0 | c, program])))
    parts[PAD].append((0, 0, bytes([0xB0 | PAD, 7, 70])))
    parts[KOTO].append((0, 0, bytes([0xB0 | KOTO, 10, 44])))
    parts[FLUTE].append((0, 0, bytes([0xB0 | FLUTE, 10, 80])))

    for bar in range(BARS):
        start = bar * 4
        bass, tones = CHORD[HARMONY[bar]]
        last = bar == BARS - 1
        # The plucked arpeggio rises and falls in eighths; the last bar thins out.
        pattern = [0, 2, 3, 4, 3, 2, 1, 2]
        steps = 4 if last else 8
        for i in range(steps):
            velocity = 58 if i % 4 == 0 else 46
            if bar == 0 and i < 2:
                velocity = 40  # the loop comes in softly
            note(parts[KOTO], KOTO, tones[pattern[i]], start + i / 2, 0.9, velocity)
        if last:
            for t in tones[:4]:
                note(parts[KOTO], KOTO, t, start + 2, 1.6, 36)
        note(parts[BASS], BASS, bass, start, 3.5 if last else 3.8, 52)
        note(parts[PAD], PAD, tones[1], start, 3.4 if last else 3.95, 34)
        note(parts[PAD], PAD, tones[3], start, 3.4 if last else 3.95, 30)
        beat = start
        for pitch, beats in MELODY[bar]:
            if pitch is not None:
                note(parts[FLUTE], FLUTE, pitch, beat, beats * 0.95, 68)
            beat += beats

    header = b"MThd" + struct.pack(">IHHH", 6, 1, 1 + len(parts), PPQ)
    return header + track(tempo) + b"".join(track(parts[c]) for c in sorted(parts))


def shape(raw, channels):
    """Cuts the render to the piece's exact length, fades both ends, sets the level."""
    samples = array.array("h", raw)
    frames = int(round(BARS * 4 * 60 / BPM * RATE))
    samples = samples[: frames * channels]
    samples.extend([0] * (frames * channels - len(samples)))
    peak = max(1, max(abs(s) for s in samples))
    gain = 0.85 * 32767 / peak
    fade_in, fade_out = int(0.02 * RATE), int(1.5 * RATE)
    out = array.array("h", bytes(len(samples) * 2))
    for f in range(frames):
        g = gain
        if f < fade_in:
            g *= f / fade_in
        if f >= frames - fade_out:
            g *= (frames - f) / fade_out
        for c in range(channels):
            i = f * channels + c
            out[i] = max(-32768, min(32767, int(samples[i] * g)))
    return out.tobytes()


def main():
    font = next((f for f in FONTS if os.path.isfile(f)), None)
    if not font:
        sys.exit("no General MIDI soundfont found")
    with tempfile.TemporaryDirectory() as tmp:
        mid, rendered, shaped = (os.path.join(tmp, n) for n in ("p.mid", "r.wav", "s.wav"))
        with open(mid, "wb") as f:
            f.write(compose())
        subprocess.run(["fluidsynth", "-ni", "-g", "0.6", "-r", str(RATE), "-F", rendered,
                        font, mid], check=True, stdout=subprocess.DEVNULL)
        with wave.open(rendered) as w:
            channels = w.getnchannels()
            raw = w.readframes(w.getnframes())
        with wave.open(shaped, "wb") as w:
            w.setnchannels(channels)
            w.setsampwidth(2)
            w.setframerate(RATE)
            w.writeframes(shape(raw, channels))
        subprocess.run(["lame", "--quiet", "-b", "96", "-q", "2", shaped, OUT], check=True)
    print(OUT, os.path.getsize(OUT), "bytes")


if __name__ == "__main__":
    main()
