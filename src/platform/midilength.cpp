#include "platform/midilength.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr quint32 kDefaultTempo = 500000; // microseconds per quarter note (120 bpm)

struct TempoChange
{
    qint64 tick;
    quint32 usPerQuarter;
};

// A cursor over one chunk's bytes that refuses to step past its end.
class Cursor
{
public:
    Cursor(const uchar *data, qsizetype size)
        : m_data(data)
        , m_size(size)
    { }

    bool atEnd() const { return m_pos >= m_size; }
    bool byte(uchar *out)
    {
        if (atEnd())
            return false;
        *out = m_data[m_pos++];
        return true;
    }
    bool peek(uchar *out) const
    {
        if (atEnd())
            return false;
        *out = m_data[m_pos];
        return true;
    }
    // A variable-length quantity: at most four bytes of seven bits.
    bool vlq(quint32 *out)
    {
        quint32 value = 0;
        for (int i = 0; i < 4; ++i) {
            uchar c;
            if (!byte(&c))
                return false;
            value = (value << 7) | (c & 0x7f);
            if (!(c & 0x80)) {
                *out = value;
                return true;
            }
        }
        return false;
    }
    // Skips n bytes; false when fewer remain.
    bool skip(quint32 n)
    {
        if (qint64(n) > m_size - m_pos) {
            m_pos = m_size;
            return false;
        }
        m_pos += n;
        return true;
    }
    const uchar *here() const { return m_data + m_pos; }

private:
    const uchar *m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
};

quint32 bigEndian(const uchar *p, int bytes)
{
    quint32 v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | p[i];
    return v;
}

// Data bytes that follow a channel or system-common status byte.
int dataBytes(uchar status)
{
    switch (status & 0xf0) {
    case 0xc0:
    case 0xd0:
        return 1;
    case 0xf0:
        return status == 0xf2 ? 2 : (status == 0xf1 || status == 0xf3) ? 1 : 0;
    default:
        return 2;
    }
}

// Reads one track and returns the tick of its end; collects its tempo changes.
qint64 readTrack(Cursor track, std::vector<TempoChange> *tempos)
{
    qint64 tick = 0;
    qint64 lastTick = 0;
    uchar running = 0;
    while (!track.atEnd()) {
        quint32 delta;
        if (!track.vlq(&delta))
            break;
        tick += delta;
        uchar status;
        if (!track.peek(&status))
            break;
        if (status & 0x80)
            track.byte(&status);
        else if (running)
            status = running;
        else
            break; // data byte without a status to continue: the rest is unreadable
        if (status == 0xff) {
            running = 0;
            uchar type;
            quint32 length;
            if (!track.byte(&type) || !track.vlq(&length))
                break;
            if (type == 0x51 && length >= 3) {
                const uchar *p = track.here();
                if (!track.skip(length))
                    break;
                const quint32 tempo = bigEndian(p, 3);
                if (tempo > 0)
                    tempos->push_back({ tick, tempo });
            } else if (!track.skip(length)) {
                break;
            }
            lastTick = tick;
            if (type == 0x2f)
                break;
            continue;
        }
        if (status == 0xf0 || status == 0xf7) {
            running = 0;
            quint32 length;
            if (!track.vlq(&length) || !track.skip(length))
                break;
            lastTick = tick;
            continue;
        }
        if (status < 0xf0)
            running = status;
        if (!track.skip(dataBytes(status)))
            break;
        lastTick = tick;
    }
    return lastTick;
}

qint64 clampToMs(long double ms)
{
    if (!(ms >= 0))
        return 0;
    constexpr long double top = std::numeric_limits<qint64>::max() / 2;
    return ms >= top ? qint64(top) : qint64(std::llround(ms));
}

} // namespace

std::optional<qint64> midiLengthMs(QByteArrayView bytes)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype size = bytes.size();
    if (size < 14 || std::memcmp(data, "MThd", 4) != 0)
        return std::nullopt;
    const quint32 headerLength = bigEndian(data + 4, 4);
    const quint32 trackCount = bigEndian(data + 10, 2);
    const quint32 division = bigEndian(data + 12, 2);
    if (headerLength < 6 || division == 0)
        return std::nullopt;

    std::vector<TempoChange> tempos;
    qint64 endTick = 0;
    quint32 tracksRead = 0;
    qint64 pos = 8 + qint64(headerLength);
    while (tracksRead < trackCount && pos + 8 <= size) {
        const uchar *chunk = data + pos;
        const qint64 length = bigEndian(chunk + 4, 4);
        const qint64 available = std::min(length, size - pos - 8);
        if (std::memcmp(chunk, "MTrk", 4) == 0) {
            endTick = std::max(endTick, readTrack(Cursor(chunk + 8, available), &tempos));
            ++tracksRead;
        }
        pos += 8 + length;
    }

    if (division & 0x8000) {
        // Time code: frames per second (negative, 29 meaning 29.97) times ticks per frame.
        const int fps = -int(qint8(division >> 8));
        const int ticksPerFrame = division & 0xff;
        if (fps <= 0 || ticksPerFrame == 0)
            return std::nullopt;
        const long double frames = fps == 29 ? 29.97L : fps;
        return clampToMs(endTick * 1000.0L / (frames * ticksPerFrame));
    }

    std::stable_sort(tempos.begin(), tempos.end(),
        [](const TempoChange &a, const TempoChange &b) { return a.tick < b.tick; });
    long double us = 0;
    qint64 tick = 0;
    quint32 tempo = kDefaultTempo;
    for (const TempoChange &change : tempos) {
        if (change.tick >= endTick)
            break;
        us += (long double)(change.tick - tick) * tempo / division;
        tick = change.tick;
        tempo = change.usPerQuarter;
    }
    us += (long double)(endTick - tick) * tempo / division;
    return clampToMs(us / 1000.0L);
}
