#include "support/testpieces.h"

#include <cmath>
#include <numbers>

namespace TestPieces {

namespace {
    void putLE(QByteArray &out, quint32 value, int bytes)
    {
        for (int i = 0; i < bytes; ++i)
            out.append(char((value >> (8 * i)) & 0xff));
    }

    void putBE(QByteArray &out, quint32 value, int bytes)
    {
        for (int i = bytes - 1; i >= 0; --i)
            out.append(char((value >> (8 * i)) & 0xff));
    }

    void putVlq(QByteArray &out, quint32 value)
    {
        QByteArray bytes(1, char(value & 0x7f));
        while (value >>= 7)
            bytes.prepend(char((value & 0x7f) | 0x80));
        out += bytes;
    }
} // namespace

QByteArray wav(int ms, int hz, int rate)
{
    const quint32 frames = quint32(qint64(rate) * ms / 1000);
    QByteArray out("RIFF");
    putLE(out, 36 + frames * 2, 4);
    out += "WAVEfmt ";
    putLE(out, 16, 4);
    putLE(out, 1, 2); // PCM
    putLE(out, 1, 2); // mono
    putLE(out, quint32(rate), 4);
    putLE(out, quint32(rate) * 2, 4);
    putLE(out, 2, 2);
    putLE(out, 16, 2);
    out += "data";
    putLE(out, frames * 2, 4);
    for (quint32 i = 0; i < frames; ++i) {
        const double s = std::sin(2 * std::numbers::pi * hz * i / rate);
        putLE(out, quint32(quint16(qint16(std::lround(s * 16383)))), 2);
    }
    return out;
}

QByteArray midi(int beats, int bpm)
{
    constexpr int ppq = 96;
    QByteArray track;
    putVlq(track, 0);
    track += QByteArray("\xff\x51\x03", 3);
    putBE(track, quint32(60000000 / bpm), 3);
    putVlq(track, 0);
    track += QByteArray("\xc0\x00", 2); // piano
    for (int i = 0; i < beats; ++i) {
        const char pitch = char(60 + (i % 5) * 2);
        putVlq(track, 0);
        track += QByteArray("\x90", 1) + pitch + char(120);
        putVlq(track, ppq);
        track += QByteArray("\x80", 1) + pitch + char(0);
    }
    putVlq(track, 0);
    track += QByteArray("\xff\x2f\x00", 3);

    QByteArray out("MThd");
    putBE(out, 6, 4);
    putBE(out, 0, 2);
    putBE(out, 1, 2);
    putBE(out, ppq, 2);
    out += "MTrk";
    putBE(out, quint32(track.size()), 4);
    return out + track;
}

QString shipped(const QString &name)
{
    return QStringLiteral(QELVI_SHIPPED_DIR "/") + name;
}

} // namespace TestPieces
