#include "formats/text/testtext.h"

#include "base/valuerules.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace Exchange {

namespace {

    const QString kCategory = QStringLiteral("分类");
    const QString kTest = QStringLiteral("测试");
    const QString kQuestion = QStringLiteral("题目");
    const QString kBand = QStringLiteral("评分");
    const QString kIndent = QStringLiteral("    ");

    bool isControl(QChar c)
    {
        return c.category() == QChar::Other_Control;
    }

    // Whether a text reads back the same when written plain.
    bool plainable(const QString &s)
    {
        if (s.isEmpty() || s == u'~' || s.startsWith(u'"'))
            return false;
        for (const QString &line : s.split(u'\n'))
            if (line.isEmpty() || line != line.trimmed())
                return false;
        for (QChar c : s)
            if (isControl(c) && c != u'\n')
                return false;
        return true;
    }

    QString quoted(const QString &s)
    {
        QString out = QStringLiteral("\"");
        for (QChar c : s) {
            switch (c.unicode()) {
            case u'"':
                out += QStringLiteral("\\\"");
                break;
            case u'\\':
                out += QStringLiteral("\\\\");
                break;
            case u'\n':
                out += QStringLiteral("\\n");
                break;
            case u'\r':
                out += QStringLiteral("\\r");
                break;
            case u'\t':
                out += QStringLiteral("\\t");
                break;
            default:
                if (isControl(c))
                    out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
                else
                    out += c;
            }
        }
        return out + u'"';
    }

    // Reads a quoted value starting at its opening quote; false with *error on a fault.
    bool unquote(const QString &t, QString *out, QString *error)
    {
        out->clear();
        qsizetype i = 1;
        for (; i < t.size(); ++i) {
            const QChar c = t[i];
            if (c == u'"')
                break;
            if (c != u'\\') {
                *out += c;
                continue;
            }
            if (++i >= t.size())
                break;
            switch (t[i].unicode()) {
            case u'"':
                *out += u'"';
                break;
            case u'\\':
                *out += u'\\';
                break;
            case u'n':
                *out += u'\n';
                break;
            case u'r':
                *out += u'\r';
                break;
            case u't':
                *out += u'\t';
                break;
            case u'u': {
                bool ok = false;
                const uint code = t.mid(i + 1, 4).toUInt(&ok, 16);
                if (!ok || t.mid(i + 1, 4).size() != 4) {
                    *error = QStringLiteral("\\u 后面要有四位十六进制数字");
                    return false;
                }
                i += 4;
                // A surrogate names a character only as the first of a pair given
                // together; the two non-characters name none.
                const auto escaped = [&](qsizetype at, uint *next) {
                    bool fine = false;
                    *next = t.mid(at + 2, 4).toUInt(&fine, 16);
                    return fine && t.mid(at, 2) == QLatin1String("\\u")
                        && t.mid(at + 2, 4).size() == 4;
                };
                uint low = 0;
                if (QChar::isHighSurrogate(code) && escaped(i + 1, &low)
                    && QChar::isLowSurrogate(low)) {
                    *out += QChar(char16_t(code));
                    *out += QChar(char16_t(low));
                    i += 6;
                    break;
                }
                if (QChar::isSurrogate(code) || code == 0xfffe || code == 0xffff) {
                    *error = QStringLiteral("引号里的“\\u%1”不代表任何字符")
                                 .arg(t.mid(i - 3, 4).toUpper());
                    return false;
                }
                *out += QChar(char16_t(code));
                break;
            }
            default:
                *error = QStringLiteral("引号里的“\\%1”无法识别").arg(t[i]);
                return false;
            }
        }
        if (i >= t.size()) {
            *error = QStringLiteral("引号没有结束");
            return false;
        }
        if (!t.mid(i + 1).trimmed().isEmpty()) {
            *error = QStringLiteral("结束的引号后面还有文字");
            return false;
        }
        return true;
    }

    void writeField(QString &out, const QString &key, const Text &value)
    {
        out += key + QStringLiteral(": ") + valueText(value) + u'\n';
    }

} // namespace

QString valueText(const Text &value)
{
    if (!value)
        return QStringLiteral("~");
    if (plainable(*value))
        return QString(*value).replace(u'\n', u'\n' + kIndent);
    return quoted(*value);
}

QString scoreText(const Score &score)
{
    if (!score)
        return QStringLiteral("~");
    if (*score == 0 && std::signbit(*score))
        return QStringLiteral("-0");
    if (std::isinf(*score))
        return *score > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    return singleText(*score);
}

bool readScore(QStringView text, Score *score)
{
    if (text == u"~") {
        *score = std::nullopt;
        return true;
    }
    char ascii[64];
    if (text.isEmpty() || text.size() >= qsizetype(sizeof ascii))
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].unicode() >= 128)
            return false;
        ascii[i] = char(text[i].unicode());
    }
    float f = 0;
    const auto [end, ec] = std::from_chars(ascii, ascii + text.size(), f);
    if (ec != std::errc() || end != ascii + text.size() || std::isnan(f))
        return false;
    *score = f;
    return true;
}

QByteArray writeText(const Package &package)
{
    QString out = QStringLiteral("# Qelvi 测试文件（UTF-8）\n");
    for (const Category &category : package.categories) {
        if (!category.name.isEmpty())
            out += u'\n' + kCategory + QStringLiteral(": ") + valueText(category.name) + u'\n';
        for (const Test &test : category.tests) {
            out += u'\n' + kTest + QStringLiteral(": ") + valueText(test.name) + u'\n';
            for (const Question &q : test.questions) {
                out += u'\n';
                writeField(out, kQuestion, q.text);
                for (int i = 0; i < 6; ++i)
                    if (!Question::isLeftOut(q.options[i], q.scores[i]))
                        writeField(
                            out, QChar(u'A' + i) + u' ' + scoreText(q.scores[i]), q.options[i]);
            }
            if (!test.bands.isEmpty())
                out += u'\n';
            for (const Band &b : test.bands)
                writeField(out, kBand + u' ' + scoreText(b.lower) + u'-' + scoreText(b.upper),
                    b.evaluation);
        }
    }
    return out.toUtf8();
}

namespace {

    // The file is read as the UTF-8 bytes it is: every line, key and value a view of
    // them, and each text a slice of the file's bytes that the importer binds as it is.
    // Only what is no slice of the file (a quoted value, a value going on over indented
    // lines) becomes a QString.
    using Bytes = QByteArrayView;

    // The character at p (well-formed UTF-8), and its length in bytes.
    char32_t characterAt(const char *at, int *length)
    {
        const auto *p = reinterpret_cast<const uchar *>(at);
        if (p[0] < 0x80) {
            *length = 1;
            return p[0];
        }
        if (p[0] < 0xe0) {
            *length = 2;
            return char32_t(p[0] & 0x1f) << 6 | (p[1] & 0x3f);
        }
        if (p[0] < 0xf0) {
            *length = 3;
            return char32_t(p[0] & 0x0f) << 12 | char32_t(p[1] & 0x3f) << 6 | (p[2] & 0x3f);
        }
        *length = 4;
        return char32_t(p[0] & 0x07) << 18 | char32_t(p[1] & 0x3f) << 12
            | char32_t(p[2] & 0x3f) << 6 | (p[3] & 0x3f);
    }

    bool isBlank(uchar c)
    {
        return c == ' ' || (c >= '\t' && c <= '\r');
    }

    // QChar::isSpace() beyond ASCII, asked only where a blank can be: the Chinese text
    // that ends most values lies above every one.
    bool isSpace(char32_t c)
    {
        if (c < 0x1680)
            return c == 0x85 || c == 0xa0;
        return c <= 0x3000 && QChar::isSpace(c);
    }

    // Whether a blank beyond ASCII begins at `at` (*length: its bytes). None begins with a
    // byte from 0xE4 on (U+4000 and above), where Chinese text lies, so that is not decoded.
    bool spaceAt(const char *at, int *length)
    {
        return uchar(*at) < 0xe4 && isSpace(characterAt(at, length));
    }

    // Whether the bytes are UTF-8 as the decoder takes it: no overlong forms, no
    // surrogates, nothing beyond U+10FFFF, no sequence cut short.
    bool isUtf8(QByteArrayView bytes)
    {
        const auto *p = reinterpret_cast<const uchar *>(bytes.data());
        const uchar *const end = p + bytes.size();
        const auto follows = [](uchar c) { return (c & 0xc0) == 0x80; };
        while (p < end) {
            if (end - p >= 8) {
                quint64 eight;
                std::memcpy(&eight, p, 8);
                if ((eight & 0x8080808080808080ull) == 0) {
                    p += 8;
                    continue;
                }
            }
            const uchar c = *p;
            if (c < 0x80) {
                ++p;
            } else if (c < 0xc2) {
                return false;
            } else if (c < 0xe0) {
                if (end - p < 2 || !follows(p[1]))
                    return false;
                p += 2;
            } else if (c < 0xf0) {
                if (end - p < 3 || !follows(p[1]) || !follows(p[2]) || (c == 0xe0 && p[1] < 0xa0)
                    || (c == 0xed && p[1] > 0x9f))
                    return false;
                p += 3;
            } else if (c < 0xf5) {
                if (end - p < 4 || !follows(p[1]) || !follows(p[2]) || !follows(p[3])
                    || (c == 0xf0 && p[1] < 0x90) || (c == 0xf4 && p[1] > 0x8f))
                    return false;
                p += 4;
            } else {
                return false;
            }
        }
        return true;
    }

    // Blanks at both ends dropped, as QString::trimmed() drops them.
    Bytes trimmed(Bytes s)
    {
        for (;;) {
            if (s.isEmpty())
                return s;
            const auto c = uchar(s.front());
            if (c < 0x80) {
                if (!isBlank(c))
                    break;
                s = s.sliced(1);
                continue;
            }
            int length = 0;
            if (!spaceAt(s.data(), &length))
                break;
            s = s.sliced(length);
        }
        for (;;) {
            const auto c = uchar(s.back());
            if (c < 0x80) {
                if (!isBlank(c))
                    return s;
                s.chop(1);
                if (s.isEmpty())
                    return s;
                continue;
            }
            qsizetype start = s.size() - 1;
            while (start > 0 && (uchar(s[start]) & 0xc0) == 0x80)
                --start;
            int length = 0;
            if (!spaceAt(s.data() + start, &length))
                return s;
            s.truncate(start);
            if (s.isEmpty())
                return s;
        }
    }

    bool isTrimmedEmpty(Bytes s)
    {
        // Most lines start with what they say.
        if (!s.isEmpty() && uchar(s.front()) < 0x80 && !isBlank(uchar(s.front())))
            return false;
        return trimmed(s).isEmpty();
    }

    QString text(Bytes s)
    {
        return decodedUtf8(s);
    }

    // A short decimal such as "-12.5", read exactly: its digits as a whole number below
    // 2^24 and its power of ten (at most 10^7) are both exact floats, so their quotient is
    // the float nearest the decimal, as std::from_chars gives it. False for anything else.
    bool readShortDecimal(Bytes text, float *f)
    {
        static constexpr float powers[] = { 1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f };
        qsizetype i = 0;
        const bool negative = text.startsWith('-');
        i += negative;
        quint32 digits = 0;
        int whole = 0, fraction = -1;
        for (; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '.' && fraction < 0) {
                fraction = 0;
                continue;
            }
            if (c < '0' || c > '9')
                return false;
            digits = digits * 10 + quint32(c - '0');
            if (fraction >= 0)
                ++fraction;
            else
                ++whole;
            if (whole + std::max(fraction, 0) > 7)
                return false;
        }
        if (whole == 0 || fraction == 0)
            return false; // ".5", "5." and "-" go the long way
        const float value = float(digits) / powers[std::max(fraction, 0)];
        *f = negative ? -value : value;
        return true;
    }

    bool readScore(Bytes text, Score *score)
    {
        if (text == "~") {
            *score = std::nullopt;
            return true;
        }
        if (float f = 0; readShortDecimal(text, &f)) {
            *score = f;
            return true;
        }
        if (text.isEmpty() || text.size() >= 64)
            return false;
        for (const char c : text)
            if (uchar(c) >= 128)
                return false;
        float f = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), f);
        if (ec != std::errc() || end != text.data() + text.size() || std::isnan(f))
            return false;
        *score = f;
        return true;
    }

    // The reader's place in the file.
    class TextReader
    {
    public:
        explicit TextReader(const QByteArray &source)
            : m_source(source)
        { }
        bool line(Bytes text, QString *error);
        Package package;

    private:
        // A value after the colon: ~ (NULL), a quoted text, or plain text as it lies in
        // the file (it may continue on the lines after).
        struct Value
        {
            bool null = false;
            QString quoted;
            std::optional<Bytes> plain;

            QString string() const { return plain ? decodedUtf8(*plain) : quoted; }
            // Into a field of the test being read, which keeps the file's bytes.
            void put(Text &field) const
            {
                if (null)
                    field = std::nullopt;
                else if (plain)
                    field.borrow(plain->data(), plain->size());
                else
                    field = quoted;
            }
        };
        bool field(Bytes key, const Value &value, QString *error);
        bool splitBand(Bytes bounds, Band *band);
        bool readValue(Bytes raw, Value *value, QString *error);
        void continueWith(QString *name, bool plain)
        {
            m_continuingName = plain ? name : nullptr;
            m_continuingText = nullptr;
        }
        void continueWith(Text *text, bool plain)
        {
            m_continuingName = nullptr;
            m_continuingText = plain && *text ? text : nullptr;
        }

        const QByteArray &m_source;
        Test *m_test = nullptr;
        Question *m_question = nullptr;
        int m_lastOption = -1;
        // The plain value that indented lines go on with: a name or a text.
        QString *m_continuingName = nullptr;
        Text *m_continuingText = nullptr;
    };

    bool TextReader::readValue(Bytes raw, Value *value, QString *error)
    {
        const Bytes t = trimmed(raw);
        if (t == "~") {
            value->null = true;
            return true;
        }
        if (t.startsWith('"'))
            return unquote(text(t), &value->quoted, error);
        value->plain = t;
        return true;
    }

    bool TextReader::line(Bytes text, QString *error)
    {
        if (text.startsWith(' ') || text.startsWith('\t')) {
            const Bytes more = trimmed(text);
            if (more.isEmpty()) {
                m_continuingName = nullptr;
                m_continuingText = nullptr;
                return true;
            }
            if (m_continuingName) {
                *m_continuingName += u'\n' + Exchange::text(more);
                return true;
            }
            if (m_continuingText) {
                *m_continuingText = m_continuingText->value() + u'\n' + Exchange::text(more);
                return true;
            }
            *error = QStringLiteral("这一行有缩进，但前面没有可以接续的文字");
            return false;
        }
        m_continuingName = nullptr;
        m_continuingText = nullptr;
        if (text.startsWith('#') || isTrimmedEmpty(text))
            return true;
        // The first colon, ASCII or full-width (U+FF1A).
        qsizetype colon = 0;
        int colonSize = 1;
        for (; colon < text.size(); ++colon) {
            if (text[colon] == ':')
                break;
            if (text[colon] == '\xef' && colon + 2 < text.size() && text[colon + 1] == '\xbc'
                && text[colon + 2] == '\x9a') {
                colonSize = 3;
                break;
            }
        }
        if (colon == text.size()) {
            *error = QStringLiteral("缺少冒号，无法识别");
            return false;
        }
        Value value;
        if (!readValue(text.sliced(colon + colonSize), &value, error))
            return false;
        return field(trimmed(text.first(colon)), value, error);
    }

    bool TextReader::splitBand(Bytes bounds, Band *band)
    {
        for (qsizetype i = 1; i < bounds.size(); ++i)
            if (bounds[i] == '-' && readScore(bounds.first(i), &band->lower)
                && readScore(bounds.sliced(i + 1), &band->upper))
                return true;
        return false;
    }

    bool TextReader::field(Bytes key, const Value &value, QString *error)
    {
        static const QByteArray category = kCategory.toUtf8();
        static const QByteArray test = kTest.toUtf8();
        static const QByteArray question = kQuestion.toUtf8();
        static const QByteArray band = kBand.toUtf8();
        const auto name = [&](const char *what) {
            if (!value.null && !value.string().isEmpty())
                return true;
            *error = QStringLiteral("%1名称不能为空").arg(QString::fromUtf8(what));
            return false;
        };
        // Options and questions first: nearly every line is one.
        if (key.size() >= 2 && key[0] >= 'A' && key[0] <= 'F') {
            if (!m_test) {
                *error = QStringLiteral("“%1”前面还没有“测试:”行").arg(text(key));
                return false;
            }
            // "<letter> <score>": a letter A to F, blanks, the score.
            int length = 0;
            const char32_t second = characterAt(key.data() + 1, &length);
            if (!(second < 0x80 ? isBlank(uchar(second)) : isSpace(second))) {
                *error = QStringLiteral("无法识别“%1”").arg(text(key));
                return false;
            }
            if (!m_question) {
                *error = QStringLiteral("选项前面还没有“题目:”行");
                return false;
            }
            const int letter = key[0] - 'A';
            if (letter <= m_lastOption) {
                *error = QStringLiteral("选项 %1 的次序不对（应按 A 到 F 排列，不能重复）")
                             .arg(QLatin1Char(key[0]));
                return false;
            }
            const Bytes number = trimmed(key.sliced(1));
            Score score;
            if (!readScore(number, &score)) {
                *error = QStringLiteral("“%1”不是分数").arg(text(number));
                return false;
            }
            m_lastOption = letter;
            value.put(m_question->options[letter]);
            m_question->scores[letter] = score;
            continueWith(&m_question->options[letter], value.plain.has_value());
            return true;
        }
        if (key == category) {
            if (!name("分类"))
                return false;
            package.categories.append(Category { value.string(), {} });
            m_test = nullptr;
            m_question = nullptr;
            continueWith(&package.categories.last().name, value.plain.has_value());
            return true;
        }
        if (key == test) {
            if (!name("测试"))
                return false;
            if (package.categories.isEmpty())
                package.categories.append(Category {});
            QList<Test> &tests = package.categories.last().tests;
            tests.append(Test { value.string(), {}, {}, m_source });
            m_test = &tests.last();
            m_question = nullptr;
            continueWith(&m_test->name, value.plain.has_value());
            return true;
        }
        if (!m_test) {
            *error = QStringLiteral("“%1”前面还没有“测试:”行").arg(text(key));
            return false;
        }
        if (key == question) {
            m_question = &m_test->questions.emplaceBack();
            value.put(m_question->text);
            m_lastOption = -1;
            continueWith(&m_question->text, value.plain.has_value());
            return true;
        }
        if (key.startsWith(band)) {
            Band b;
            if (!splitBand(trimmed(key.sliced(band.size())), &b)) {
                *error = QStringLiteral("“%1”应当写成“评分 下限-上限”").arg(text(key));
                return false;
            }
            value.put(m_test->bands.emplaceBack(b).evaluation);
            continueWith(&m_test->bands.last().evaluation, value.plain.has_value());
            return true;
        }
        *error = QStringLiteral("无法识别“%1”").arg(text(key));
        return false;
    }

} // namespace

Package readText(const QByteArray &bytes, const QString &fileName, QString *error)
{
    const auto fail = [&](qsizetype line, const QString &problem) {
        *error
            = QStringLiteral("无法读取文件“%1”：第 %2 行%3。").arg(fileName).arg(line).arg(problem);
        return Package();
    };
    // The texts are slices of these bytes: bytes that are not the caller's own to share
    // (raw data, which has no room of its own) are copied once.
    const QByteArray source
        = bytes.capacity() >= bytes.size() ? bytes : QByteArray(bytes.constData(), bytes.size());
    QByteArrayView data(source);
    // A byte-order mark, and one more after it as the decoder would drop.
    for (int i = 0; i < 2 && data.startsWith("\xEF\xBB\xBF"); ++i)
        data = data.sliced(3);
    if (!isUtf8(data)) {
        // The first line that is no UTF-8, for the message.
        qsizetype line = 1;
        for (QByteArrayView rest = data; !rest.isEmpty(); ++line) {
            const qsizetype end = rest.indexOf('\n');
            if (!isUtf8(end < 0 ? rest : rest.first(end)) || end < 0)
                break;
            rest = rest.sliced(end + 1);
        }
        return fail(line, QStringLiteral("不是 UTF-8 文字"));
    }
    TextReader reader(source);
    Bytes rest = data;
    for (qsizetype line = 1;; ++line) {
        const qsizetype end = rest.indexOf('\n');
        Bytes current = end < 0 ? rest : rest.first(end);
        if (current.endsWith('\r'))
            current.chop(1);
        QString problem;
        if (!reader.line(current, &problem))
            return fail(line, problem.isEmpty() ? QStringLiteral("无法识别") : problem);
        if (end < 0)
            break;
        rest = rest.sliced(end + 1);
    }
    if (reader.package.isEmpty()) {
        *error = QStringLiteral("文件“%1”里没有测试。").arg(fileName);
        return {};
    }
    return std::move(reader.package);
}

} // namespace Exchange
