#include "formats/text/testtext.h"

#include "base/valuerules.h"

#include <QStringDecoder>
#include <charconv>
#include <cmath>

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

    // A value after the colon: ~, a quoted text, or plain text (*plain: it may continue).
    bool readValue(QStringView raw, Text *value, bool *plain, QString *error)
    {
        const QStringView t = raw.trimmed();
        *plain = false;
        if (t == u"~") {
            *value = std::nullopt;
            return true;
        }
        if (t.startsWith(u'"')) {
            QString s;
            if (!unquote(t.toString(), &s, error))
                return false;
            *value = s;
            return true;
        }
        *plain = true;
        *value = t.toString();
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

    // The reader's place in the file.
    class TextReader
    {
    public:
        bool line(QStringView text, QString *error);
        Package package;

    private:
        bool field(QStringView key, const Text &value, bool plain, QString *error);
        bool splitBand(QStringView bounds, Band *band);

        Test *m_test = nullptr;
        Question *m_question = nullptr;
        int m_lastOption = -1;
        QString *m_continuing = nullptr; // the plain value that indented lines go on with
    };

    bool TextReader::line(QStringView text, QString *error)
    {
        if (text.startsWith(u' ') || text.startsWith(u'\t')) {
            if (text.trimmed().isEmpty()) {
                m_continuing = nullptr;
                return true;
            }
            if (!m_continuing) {
                *error = QStringLiteral("这一行有缩进，但前面没有可以接续的文字");
                return false;
            }
            *m_continuing += u'\n' + text.trimmed().toString();
            return true;
        }
        m_continuing = nullptr;
        if (text.trimmed().isEmpty() || text.startsWith(u'#'))
            return true;
        qsizetype colon = 0;
        while (colon < text.size() && text[colon] != u':' && text[colon] != u'：')
            ++colon;
        if (colon == text.size()) {
            *error = QStringLiteral("缺少冒号，无法识别");
            return false;
        }
        Text value;
        bool plain = false;
        if (!readValue(text.mid(colon + 1), &value, &plain, error))
            return false;
        return field(text.left(colon).trimmed(), value, plain, error);
    }

    bool TextReader::splitBand(QStringView bounds, Band *band)
    {
        for (qsizetype i = 1; i < bounds.size(); ++i)
            if (bounds[i] == u'-' && readScore(bounds.left(i), &band->lower)
                && readScore(bounds.mid(i + 1), &band->upper))
                return true;
        return false;
    }

    bool TextReader::field(QStringView key, const Text &value, bool plain, QString *error)
    {
        const auto continueWith = [&](QString *target) { m_continuing = plain ? target : nullptr; };
        const auto name = [&](const char *what) {
            if (value && !value->isEmpty())
                return true;
            *error = QStringLiteral("%1名称不能为空").arg(QString::fromUtf8(what));
            return false;
        };
        if (key == kCategory) {
            if (!name("分类"))
                return false;
            package.categories.append(Category { *value, {} });
            m_test = nullptr;
            m_question = nullptr;
            continueWith(&package.categories.last().name);
            return true;
        }
        if (key == kTest) {
            if (!name("测试"))
                return false;
            if (package.categories.isEmpty())
                package.categories.append(Category {});
            QList<Test> &tests = package.categories.last().tests;
            tests.append(Test { *value, {}, {} });
            m_test = &tests.last();
            m_question = nullptr;
            continueWith(&m_test->name);
            return true;
        }
        if (!m_test) {
            *error = QStringLiteral("“%1”前面还没有“测试:”行").arg(key.toString());
            return false;
        }
        if (key == kQuestion) {
            m_question = &m_test->questions.emplaceBack();
            m_question->text = value;
            m_lastOption = -1;
            continueWith(m_question->text ? &*m_question->text : nullptr);
            return true;
        }
        if (key.startsWith(kBand)) {
            Band band;
            if (!splitBand(key.mid(kBand.size()).trimmed(), &band)) {
                *error = QStringLiteral("“%1”应当写成“评分 下限-上限”").arg(key.toString());
                return false;
            }
            band.evaluation = value;
            m_test->bands.append(band);
            continueWith(
                m_test->bands.last().evaluation ? &*m_test->bands.last().evaluation : nullptr);
            return true;
        }
        // "<letter> <score>": a letter A to F, blanks, the score.
        if (key.size() < 3 || key[0] < u'A' || key[0] > u'F' || !key[1].isSpace()) {
            *error = QStringLiteral("无法识别“%1”").arg(key.toString());
            return false;
        }
        if (!m_question) {
            *error = QStringLiteral("选项前面还没有“题目:”行");
            return false;
        }
        const int letter = key[0].unicode() - u'A';
        if (letter <= m_lastOption) {
            *error = QStringLiteral("选项 %1 的次序不对（应按 A 到 F 排列，不能重复）").arg(key[0]);
            return false;
        }
        const QStringView number = key.mid(1).trimmed();
        Score score;
        if (!readScore(number, &score)) {
            *error = QStringLiteral("“%1”不是分数").arg(number.toString());
            return false;
        }
        m_lastOption = letter;
        m_question->options[letter] = value;
        m_question->scores[letter] = score;
        continueWith(m_question->options[letter] ? &*m_question->options[letter] : nullptr);
        return true;
    }

} // namespace

Package readText(const QByteArray &bytes, const QString &fileName, QString *error)
{
    const auto fail = [&](qsizetype line, const QString &problem) {
        *error
            = QStringLiteral("无法读取文件“%1”：第 %2 行%3。").arg(fileName).arg(line).arg(problem);
        return Package();
    };
    QByteArrayView data(bytes);
    if (data.startsWith("\xEF\xBB\xBF"))
        data = data.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(data);
    if (utf8.hasError()) {
        // The first line that is no UTF-8, for the message.
        qsizetype line = 1;
        for (QByteArrayView rest = data; !rest.isEmpty(); ++line) {
            const qsizetype end = rest.indexOf('\n');
            QStringDecoder one(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            (void)QString(one(end < 0 ? rest : rest.first(end)));
            if (one.hasError() || end < 0)
                break;
            rest = rest.sliced(end + 1);
        }
        return fail(line, QStringLiteral("不是 UTF-8 文字"));
    }
    TextReader reader;
    QStringView rest = text;
    for (qsizetype line = 1;; ++line) {
        const qsizetype end = rest.indexOf(u'\n');
        QStringView current = end < 0 ? rest : rest.first(end);
        if (current.endsWith(u'\r'))
            current.chop(1);
        QString problem;
        if (!reader.line(current, &problem))
            return fail(line, problem.isEmpty() ? QStringLiteral("无法识别") : problem);
        if (end < 0)
            break;
        rest = rest.mid(end + 1);
    }
    if (reader.package.isEmpty()) {
        *error = QStringLiteral("文件“%1”里没有测试。").arg(fileName);
        return {};
    }
    return std::move(reader.package);
}

} // namespace Exchange
