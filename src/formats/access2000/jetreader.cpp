#include "formats/access2000/jetreader.h"

#include <QDateTime>
#include <QFile>
#include <QStringEncoder>
#include <QtEndian>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mdbtools.h>
#include <mutex>
#include <unistd.h>
#include <vector>

struct JetReader::Handle
{
    MdbHandle *mdb = nullptr;
    // The definitions of m_tables, in the same order, read once when the file opens.
    std::vector<MdbTableDef *> tables;
};

namespace {

// libmdb tells what it cannot read on stderr ("offset 98304 is beyond EOF"); the
// program tells the user itself, in its own words, so while libmdb works those lines
// go nowhere instead of onto the terminal the program was started from.
class QuietStderr
{
public:
    QuietStderr()
    {
        const std::lock_guard lock(s_mutex);
        if (s_depth++ > 0)
            return;
        std::fflush(stderr);
        s_saved = ::dup(STDERR_FILENO);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (s_saved >= 0 && null >= 0)
            ::dup2(null, STDERR_FILENO);
        if (null >= 0)
            ::close(null);
    }
    ~QuietStderr()
    {
        const std::lock_guard lock(s_mutex);
        if (--s_depth > 0 || s_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(s_saved, STDERR_FILENO);
        ::close(s_saved);
        s_saved = -1;
    }
    QuietStderr(const QuietStderr &) = delete;
    QuietStderr &operator=(const QuietStderr &) = delete;

private:
    static inline std::mutex s_mutex;
    static inline int s_depth = 0;
    static inline int s_saved = -1;
};

// Row offsets on a data page carry flags in their top bits.
constexpr int kOffsetMask = 0x1fff;

template<class T>
T little(const unsigned char *p)
{
    return qFromLittleEndian<T>(p);
}

QString utf8(const char *text)
{
    return QString::fromUtf8(text);
}

// Takes a string libmdb allocated with glib.
QString takeGString(char *text)
{
    const QString result = utf8(text ? text : "");
    g_free(text);
    return result;
}

// Currency: a 64-bit count of ten-thousandths, as an exact decimal.
QString currencyText(qint64 value)
{
    const bool negative = value < 0;
    const quint64 magnitude = negative ? 0 - quint64(value) : quint64(value);
    return QStringLiteral("%1%2.%3")
        .arg(negative ? QStringLiteral("-") : QString())
        .arg(magnitude / 10000)
        .arg(magnitude % 10000, 4, 10, QLatin1Char('0'));
}

// Date/Time: days since 1899-12-30, the fraction being the time of day (its
// magnitude, also before 1899).
QString dateTimeText(double days)
{
    if (!std::isfinite(days) || std::fabs(days) > 3.0e6)
        return QString::number(days, 'g', 17);
    const double whole = std::trunc(days);
    const qint64 msecs = qRound64(std::fabs(days - whole) * 86400000.0);
    QDateTime at(QDate(1899, 12, 30).addDays(qint64(whole)), QTime(0, 0), Qt::UTC);
    at = at.addMSecs(msecs);
    return at.toString(msecs % 1000 ? QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")
                                    : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// The bytes a value of a fixed-size type takes; 0 for the others.
int storedSize(int type)
{
    switch (type) {
    case MDB_BYTE:
        return 1;
    case MDB_INT:
        return 2;
    case MDB_LONGINT:
    case MDB_COMPLEX:
    case MDB_FLOAT:
        return 4;
    case MDB_DOUBLE:
    case MDB_DATETIME:
    case MDB_MONEY:
        return 8;
    case MDB_REPID:
        return 16;
    case MDB_NUMERIC:
        return 17;
    default:
        return 0;
    }
}

// The whole long value (Memo, OLE object) of the current row's column, through
// libmdb's long-value reader; false when its page chain does not give the length
// its header declares.
bool longValue(MdbHandle *mdb, MdbColumn *col, std::vector<char> &chunk, QByteArray *out)
{
    out->clear();
    if (col->cur_value_len < MDB_MEMO_OVERHEAD)
        return false;
    unsigned char header[MDB_MEMO_OVERHEAD];
    std::memcpy(header, mdb->pg_buf + col->cur_value_start, MDB_MEMO_OVERHEAD);
    const quint32 declared = little<quint32>(header) & 0x00ffffff;
    out->reserve(declared);
    col->bind_ptr = chunk.data();
    size_t n = mdb_ole_read(mdb, col, header, chunk.size());
    out->append(chunk.data(), qsizetype(n));
    while (n > 0 && quint32(out->size()) < declared) {
        n = mdb_ole_read_next(mdb, col, header);
        out->append(chunk.data(), qsizetype(n));
    }
    col->bind_ptr = nullptr; // the row reader must not convert it to text
    return quint32(out->size()) == declared;
}

} // namespace

JetReader::JetReader() = default;

JetReader::~JetReader()
{
    const QuietStderr quiet;
    if (m_handle) {
        for (MdbTableDef *table : m_handle->tables)
            mdb_free_tabledef(table);
        if (m_handle->mdb)
            mdb_close(m_handle->mdb);
    }
    delete m_handle;
}

bool JetReader::open(const QString &path)
{
    const QuietStderr quiet;
    m_handle = new Handle;
    m_handle->mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    MdbHandle *mdb = m_handle->mdb;
    if (!mdb || mdb->f->jet_version != MDB_VER_JET4) {
        m_problem = QStringLiteral("不是 Access 2000 格式的数据库");
        return false;
    }
    GPtrArray *catalog = mdb_read_catalog(mdb, MDB_TABLE);
    if (!catalog) {
        m_problem = QStringLiteral("读不出它的表目录");
        return false;
    }
    for (guint i = 0; i < catalog->len; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(catalog, i));
        if (!mdb_is_user_table(entry))
            continue;
        MdbTableDef *def = mdb_read_table(entry);
        if (!def || !mdb_read_columns(def)) {
            if (def)
                mdb_free_tabledef(def);
            m_problem = QStringLiteral("读不出表“%1”的字段").arg(utf8(entry->object_name));
            return false;
        }
        Table table { utf8(entry->object_name), {} };
        for (guint c = 0; c < def->num_cols; ++c) {
            const auto *col = static_cast<MdbColumn *>(g_ptr_array_index(def->columns, c));
            table.columns.append({ utf8(col->name), col->col_type });
        }
        m_tables.append(table);
        m_handle->tables.push_back(def);
    }
    return true;
}

namespace {

// The row's texts and bytes, one buffer for the row: each value is placed at the end and
// its place noted, the pointers given once the row is whole (the buffer may grow meanwhile).
class RowBuffer
{
public:
    void clear() { m_bytes.resize(0); }
    // Places the text as UTF-8; returns its offset.
    qsizetype text(QStringView text, qsizetype *size)
    {
        const qsizetype at = m_bytes.size();
        m_bytes.resize(at + m_utf8.requiredSpace(text.size()));
        char *end = m_utf8.appendToBuffer(m_bytes.data() + at, text);
        *size = end - (m_bytes.data() + at);
        m_bytes.resize(at + *size);
        return at;
    }
    // Places text as Jet stores it, as UTF-8; returns its offset.
    qsizetype jetText(const char *data, qsizetype length, qsizetype *size, int *replaced)
    {
        const qsizetype at = m_bytes.size();
        JetReader::appendText(data, length, &m_bytes, replaced);
        *size = m_bytes.size() - at;
        return at;
    }
    qsizetype bytes(const char *data, qsizetype size)
    {
        const qsizetype at = m_bytes.size();
        m_bytes.append(data, size);
        return at;
    }
    const char *at(qsizetype offset) const { return m_bytes.constData() + offset; }

private:
    QByteArray m_bytes;
    QStringEncoder m_utf8 { QStringEncoder::Utf8 };
};

} // namespace

bool JetReader::readRows(int index, Rows &rows)
{
    const QuietStderr quiet;
    MdbHandle *mdb = m_handle->mdb;
    const QString &name = m_tables.at(index).name;
    MdbTableDef *table = m_handle->tables.at(index);
    const int columns = int(table->num_cols);
    std::vector<MdbField> fields(size_t(columns) + 1);
    std::vector<Value> values(size_t(columns) + 1);
    std::vector<qsizetype> placed(size_t(columns) + 1, -1); // offsets in the row buffer
    std::vector<MdbColumn *> cols(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c)
        cols[size_t(c)] = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, guint(c)));
    RowBuffer buffer;
    QByteArray raw;
    std::vector<char> chunk(2 * MDB_PGSIZE); // a long value's pages, one at a time
    unsigned int count = 0;
    bool sound = true;
    const auto text = [&](int c, QStringView t) {
        values[size_t(c)].kind = Value::Text;
        placed[size_t(c)] = buffer.text(t, &values[size_t(c)].size);
    };
    const auto jetText = [&](int c, const char *data, qsizetype size) {
        values[size_t(c)].kind = Value::Text;
        placed[size_t(c)] = buffer.jetText(data, size, &values[size_t(c)].size, &m_replaced);
    };
    const auto bytes = [&](int c, const char *data, qsizetype size) {
        values[size_t(c)].kind = Value::Blob;
        values[size_t(c)].size = size;
        placed[size_t(c)] = buffer.bytes(data, size);
    };
    // The data pages one after the other and the rows on each, as libmdb's own row fetch
    // visits them, each row cracked once: the fetch would crack it too, but keeps only
    // where each value lies, not its NULL flag (a zero-length text lies nowhere, like a
    // NULL). A row whose place cannot be read is passed over, as the fetch does.
    mdb_rewind_table(table);
    const unsigned int rowCountOffset = mdb->fmt->row_count_offset;
    bool page = table->num_rows > 0 && mdb_read_next_dpg(table);
    while (sound && page) {
        if (table->cur_row >= unsigned(mdb_get_int16(mdb->pg_buf, int(rowCountOffset)))) {
            table->cur_row = 0;
            page = mdb_read_next_dpg(table);
            continue;
        }
        int start = 0;
        size_t size = 0;
        const int found = mdb_find_row(mdb, int(table->cur_row++), &start, &size);
        if (found != 0 || (start & 0x4000) != 0) // no place, or deleted
            continue;
        if (mdb_crack_row(table, start & kOffsetMask, size, fields.data()) != columns) {
            sound = false;
            break;
        }
        buffer.clear();
        for (int c = 0; c < columns && sound; ++c) {
            const MdbField &f = fields[size_t(c)];
            MdbColumn *col = cols[size_t(c)];
            Value &v = values[size_t(c)];
            placed[size_t(c)] = -1;
            v.data = "";
            v.size = 0;
            const auto *p = mdb->pg_buf + f.start;
            if (col->col_type == MDB_BOOL) {
                v.kind = Value::Integer;
                v.integer = f.is_null ? 0 : 1; // stored in the NULL flag
                continue;
            }
            if (f.is_null) {
                v.kind = Value::Null;
                continue;
            }
            if (f.siz < storedSize(col->col_type)) {
                sound = false;
                break;
            }
            switch (col->col_type) {
            case MDB_BYTE:
                v.kind = Value::Integer;
                v.integer = p[0];
                break;
            case MDB_INT:
                v.kind = Value::Integer;
                v.integer = little<qint16>(p);
                break;
            case MDB_LONGINT:
            case MDB_COMPLEX:
                v.kind = Value::Integer;
                v.integer = little<qint32>(p);
                break;
            case MDB_FLOAT:
                v.kind = Value::Real;
                v.real = double(little<float>(p));
                break;
            case MDB_DOUBLE:
                v.kind = Value::Real;
                v.real = little<double>(p);
                break;
            case MDB_MONEY:
                text(c, currencyText(little<qint64>(p)));
                break;
            case MDB_DATETIME:
                text(c, dateTimeText(little<double>(p)));
                break;
            case MDB_TEXT:
                jetText(c, reinterpret_cast<const char *>(p), f.siz);
                break;
            case MDB_MEMO:
            case MDB_OLE:
                if (f.siz == 0) {
                    if (col->col_type == MDB_MEMO)
                        text(c, QStringView());
                    else
                        bytes(c, "", 0);
                    break;
                }
                col->cur_value_start = f.start;
                col->cur_value_len = f.siz;
                if (!longValue(mdb, col, chunk, &raw)) {
                    sound = false;
                    break;
                }
                if (col->col_type == MDB_MEMO) {
                    jetText(c, raw.constData(), raw.size());
                } else {
                    bytes(c, raw.constData(), raw.size());
                }
                break;
            case MDB_REPID:
                text(c, takeGString(mdb_uuid_to_string(mdb->pg_buf, f.start)));
                break;
            case MDB_NUMERIC:
                text(c,
                    takeGString(
                        mdb_numeric_to_string(mdb, f.start, col->col_scale, col->col_prec)));
                break;
            default: // binary and anything newer: the bytes as they are
                bytes(c, reinterpret_cast<const char *>(p), f.siz);
                break;
            }
        }
        if (!sound)
            break;
        for (int c = 0; c < columns; ++c)
            if (placed[size_t(c)] >= 0)
                values[size_t(c)].data = buffer.at(placed[size_t(c)]);
        ++count;
        if (!rows.row(values.data(), columns))
            return true;
    }
    // A reader that stops short of the row count the table declares met a damaged page.
    if (sound && count != table->num_rows)
        sound = false;
    if (!sound)
        m_problem = QStringLiteral("表“%1”的数据已经损坏").arg(name);
    return sound;
}

QString JetReader::decodeText(const char *data, qsizetype size, int *replaced)
{
    QByteArray text;
    appendText(data, size, &text, replaced);
    return QString::fromUtf8(text);
}

namespace {

char *putUtf8(char *out, char32_t c)
{
    if (c < 0x80) {
        *out++ = char(c);
    } else if (c < 0x800) {
        *out++ = char(0xc0 | c >> 6);
        *out++ = char(0x80 | (c & 0x3f));
    } else if (c < 0x10000) {
        *out++ = char(0xe0 | c >> 12);
        *out++ = char(0x80 | (c >> 6 & 0x3f));
        *out++ = char(0x80 | (c & 0x3f));
    } else {
        *out++ = char(0xf0 | c >> 18);
        *out++ = char(0x80 | (c >> 12 & 0x3f));
        *out++ = char(0x80 | (c >> 6 & 0x3f));
        *out++ = char(0x80 | (c & 0x3f));
    }
    return out;
}

} // namespace

void JetReader::appendText(const char *data, qsizetype size, QByteArray *out, int *replaced)
{
    const auto *p = reinterpret_cast<const unsigned char *>(data);
    // At most two bytes of UTF-8 for a byte read, and one U+FFFD for a cut-off end.
    const qsizetype at = out->size();
    out->resize(at + 2 * size + 3);
    char *const begin = out->data() + at;
    char *end = begin;
    // A high surrogate waits for the unit after it; unpaired surrogates cannot be stored
    // as UTF-8 and become U+FFFD.
    char16_t high = 0;
    const auto broken = [&] {
        end = putUtf8(end, QChar::ReplacementCharacter);
        ++*replaced;
    };
    const auto unit = [&](char16_t u) {
        if (high && QChar::isLowSurrogate(u)) {
            end = putUtf8(end, QChar::surrogateToUcs4(high, u));
            high = 0;
            return;
        }
        if (high) {
            broken();
            high = 0;
        }
        if (QChar::isHighSurrogate(u))
            high = u;
        else if (QChar::isLowSurrogate(u))
            broken();
        else
            end = putUtf8(end, u);
    };
    bool brokenTail = false;
    if (size >= 2 && p[0] == 0xff && p[1] == 0xfe) {
        bool compressed = true;
        for (qsizetype i = 2; i < size;) {
            if (p[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                unit(p[i]);
                ++i;
            } else if (i + 1 < size) {
                unit(char16_t(p[i] | p[i + 1] << 8));
                i += 2;
            } else {
                brokenTail = true;
                break;
            }
        }
    } else {
        for (qsizetype i = 0; i + 1 < size; i += 2)
            unit(char16_t(p[i] | p[i + 1] << 8));
        brokenTail = size % 2 != 0;
    }
    if (high)
        broken();
    if (brokenTail)
        broken();
    out->resize(at + (end - begin));
}
