#pragma once

#include <QByteArrayView>
#include <optional>

// The playing time of a Standard MIDI File in whole milliseconds, from its tempo map:
// the time of the latest end of track (or last event) over all tracks. Tempo changes
// in any track count, as a sequencer applies them to the whole piece.
//
// A pure function over the bytes: whatever they hold, it never reads outside them and
// never loops without consuming input. Returns std::nullopt when there is no usable
// header (no "MThd", a header too short, a zero or malformed time division).
std::optional<qint64> midiLengthMs(QByteArrayView bytes);
