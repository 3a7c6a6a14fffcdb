#pragma once

#include <QByteArray>
#include <QString>

// Short pieces of music made on the spot, for the media device and the music
// controller: tests write them into their program folder.
namespace TestPieces {

// A mono 16-bit WAV file: a sine tone at half of full scale, ms long.
QByteArray wav(int ms, int hz = 440, int rate = 22050);

// A MIDI file (format 0): `beats` loud piano notes, each held for its whole beat, at
// `bpm` beats a minute. Its length by the tempo map is beats * 60000 / bpm ms.
QByteArray midi(int beats, int bpm);

// A file shipped beside the program, from the source tree (the default piece, the
// shipped music.ini).
QString shipped(const QString &name);

} // namespace TestPieces
