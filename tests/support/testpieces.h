#pragma once

#include <QByteArray>
#include <QString>

// Short pieces of music made on the spot, for the media device and the music
// controller: tests write them into their program folder.
namespace TestPieces {

// A mono 16-bit WAV file: a sine tone at half of full scale, ms long.
QByteArray wav(int ms, int hz = 440, int rate = 22050);

// A mono 16-bit WAV file at 44100 Hz that starts with sound and shows where it starts:
// a 1 kHz tone at 90% of full scale for its first markMs, then at 10% to its end.
QByteArray markedWav(int ms, int markMs);
// The same tone as a 128 kbit/s MP3 file with the encoder's gapless tag, so that a
// decoder plays exactly ms of it.
QByteArray markedMp3(int ms, int markMs);

// A MIDI file (format 0): `beats` piano notes, each held for its whole beat, at `bpm`
// beats a minute. The first note is loud (velocity 120), the others have the given
// velocity. Its length by the tempo map is beats * 60000 / bpm ms.
QByteArray midi(int beats, int bpm, int laterVelocity = 120);

// A file shipped beside the program, from the source tree (the default piece, the
// shipped music.ini).
QString shipped(const QString &name);

} // namespace TestPieces
