#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <optional>

// SDL's "disk" audio output, which writes every mixed sample (signed 16-bit stereo at
// 44100 Hz) to a file in real time, so that a test hears what was played. Made before
// the first media device opens the audio, as a member of the test object; the test
// program keeps that output to its end.
class DiskAudio
{
public:
    DiskAudio();

    bool isValid() const { return m_dir.isValid(); }
    QString output() const { return m_output; }

    // Where the output stands now, at a whole stereo sample.
    qint64 mark() const;
    // What the output wrote after a mark; none when it cannot be read.
    std::optional<QByteArray> since(qint64 mark) const;

private:
    QTemporaryDir m_dir;
    QString m_output;
};
