#include "support/testpieces.h"

#include <lame/lame.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

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

namespace {
    constexpr int kMarkedRate = 44100;

    // A sine tone, full scale times `level` for the first markMs, then times `rest`.
    std::vector<short> tone(int ms, int hz, int rate, double level, int markMs, double rest)
    {
        const qint64 frames = qint64(rate) * ms / 1000;
        const qint64 marked = qint64(rate) * markMs / 1000;
        std::vector<short> out(static_cast<size_t>(frames));
        for (qint64 i = 0; i < frames; ++i) {
            const double s = std::sin(2 * std::numbers::pi * hz * double(i) / rate);
            out[size_t(i)] = short(std::lround(s * 32767 * (i < marked ? level : rest)));
        }
        return out;
    }

    QByteArray wavFile(const std::vector<short> &samples, int rate)
    {
        const auto bytes = quint32(samples.size() * 2);
        QByteArray out("RIFF");
        putLE(out, 36 + bytes, 4);
        out += "WAVEfmt ";
        putLE(out, 16, 4);
        putLE(out, 1, 2); // PCM
        putLE(out, 1, 2); // mono
        putLE(out, quint32(rate), 4);
        putLE(out, quint32(rate) * 2, 4);
        putLE(out, 2, 2);
        putLE(out, 16, 2);
        out += "data";
        putLE(out, bytes, 4);
        for (short s : samples)
            putLE(out, quint32(quint16(s)), 2);
        return out;
    }
} // namespace

QByteArray wav(int ms, int hz, int rate)
{
    return wavFile(tone(ms, hz, rate, 0.5, 0, 0.5), rate);
}

QByteArray markedWav(int ms, int markMs)
{
    return wavFile(tone(ms, 1000, kMarkedRate, 0.9, markMs, 0.1), kMarkedRate);
}

QByteArray markedMp3(int ms, int markMs)
{
    std::vector<short> pcm = tone(ms, 1000, kMarkedRate, 0.9, markMs, 0.1);
    lame_t lame = lame_init();
    lame_set_num_channels(lame, 1);
    lame_set_mode(lame, MONO);
    lame_set_in_samplerate(lame, kMarkedRate);
    lame_set_out_samplerate(lame, kMarkedRate);
    lame_set_brate(lame, 128);
    // The tag frame holds the encoder delay and padding that a gapless decoder drops.
    lame_set_bWriteVbrTag(lame, 1);
    QByteArray out;
    if (lame_init_params(lame) == 0) {
        out.resize(qsizetype(pcm.size() * 5 / 4 + 7200));
        auto *bytes = reinterpret_cast<unsigned char *>(out.data());
        int size = lame_encode_buffer(
            lame, pcm.data(), pcm.data(), int(pcm.size()), bytes, int(out.size()));
        if (size >= 0) {
            const int flushed = lame_encode_flush(lame, bytes + size, int(out.size()) - size);
            size = flushed < 0 ? -1 : size + flushed;
        }
        // The encoder left room for the tag as the stream's first frame.
        unsigned char tag[2880];
        const size_t tagSize = lame_get_lametag_frame(lame, tag, sizeof tag);
        if (size > 0 && tagSize > 0 && int(tagSize) <= size) {
            std::memcpy(bytes, tag, tagSize);
            out.truncate(size);
        } else {
            out.clear();
        }
    }
    lame_close(lame);
    return out;
}

QByteArray midi(int beats, int bpm, int laterVelocity)
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
        track += QByteArray("\x90", 1) + pitch + char(i == 0 ? 120 : laterVelocity);
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
