#include "formats/survey/survey.h"

#include <QHash>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>

namespace Exchange {

namespace {

    using Fields = QHash<QString, QString>;

    struct Row
    {
        qint64 line;
        Fields fields;
        QString value(const char *name) const { return fields.value(QLatin1String(name)); }
    };

    // Every <table><rows><row><field>value</field>…</row></rows></table> of the document.
    using Tables = QHash<QString, QList<Row>>;

    bool readTables(QXmlStreamReader &xml, Tables *tables)
    {
        if (!xml.readNextStartElement() || xml.name() != QLatin1String("document")) {
            if (!xml.hasError())
                xml.raiseError(QStringLiteral("不是调查结构文件（缺少 <document>）"));
            return false;
        }
        while (xml.readNextStartElement()) {
            const QString table = xml.name().toString();
            while (xml.readNextStartElement()) {
                if (xml.name() != QLatin1String("rows")) {
                    xml.skipCurrentElement();
                    continue;
                }
                while (xml.readNextStartElement()) {
                    Row row { xml.lineNumber(), {} };
                    while (xml.readNextStartElement()) {
                        const QString field = xml.name().toString();
                        row.fields.insert(field, xml.readElementText());
                    }
                    (*tables)[table].append(row);
                }
            }
        }
        return !xml.hasError();
    }

    // Text without HTML markup, entities decoded, blanks around it dropped.
    QString plainText(const QString &html)
    {
        static const QRegularExpression breaks(QStringLiteral("<br\\s*/?>|</p>\\s*<p[^>]*>"),
            QRegularExpression::CaseInsensitiveOption);
        static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
        static const QRegularExpression entity(QStringLiteral("&(#x?[0-9a-fA-F]+|[a-zA-Z]+);"));
        QString text = html;
        text.replace(breaks, QStringLiteral("\n"));
        text.remove(tags);
        static const QHash<QString, QString> named {
            { QStringLiteral("amp"), QStringLiteral("&") },
            { QStringLiteral("lt"), QStringLiteral("<") },
            { QStringLiteral("gt"), QStringLiteral(">") },
            { QStringLiteral("quot"), QStringLiteral("\"") },
            { QStringLiteral("apos"), QStringLiteral("'") },
            { QStringLiteral("nbsp"), QStringLiteral(" ") },
        };
        QString out;
        qsizetype from = 0;
        for (auto it = entity.globalMatch(text); it.hasNext();) {
            const auto m = it.next();
            out += text.mid(from, m.capturedStart() - from);
            const QString name = m.captured(1);
            if (name.startsWith(u'#')) {
                bool ok = false;
                const uint code = name.startsWith(QLatin1String("#x"), Qt::CaseInsensitive)
                    ? name.mid(2).toUInt(&ok, 16)
                    : name.mid(1).toUInt(&ok);
                out += ok ? QString::fromUcs4(reinterpret_cast<const char32_t *>(&code), 1)
                          : m.captured();
            } else {
                out += named.value(name, m.captured());
            }
            from = m.capturedEnd();
        }
        out += text.mid(from);
        return out.trimmed();
    }

    class SurveyReader
    {
    public:
        SurveyReader(const Tables &tables, const QString &fileName)
            : m_tables(tables)
            , m_file(fileName)
        { }
        bool read(Test *test, QStringList *skipped, QString *error);

    private:
        QList<Row> rows(const char *table) const { return m_tables.value(QLatin1String(table)); }
        bool inLanguage(const Row &row) const
        {
            return !row.fields.contains(QStringLiteral("language"))
                || row.value("language") == m_language;
        }
        QString fault(const Row &row, const QString &element, const QString &problem) const
        {
            return QStringLiteral("无法读取文件“%1”：第 %2 行的 <%3>%4。")
                .arg(m_file)
                .arg(row.line)
                .arg(element, problem);
        }
        bool number(const Row &row, const char *field, float *out, QString *error) const;
        QString baseLanguage() const;

        const Tables &m_tables;
        QString m_file;
        QString m_language;
    };

    bool SurveyReader::number(const Row &row, const char *field, float *out, QString *error) const
    {
        const QString text = row.value(field).trimmed();
        bool ok = false;
        const double value = text.toDouble(&ok);
        if (!ok || !std::isfinite(value) || std::abs(value) > 3.4028234663852886e38) {
            *error = fault(row, QLatin1String(field), QStringLiteral("“%1”不是数字").arg(text));
            return false;
        }
        *out = float(value);
        return true;
    }

    QString SurveyReader::baseLanguage() const
    {
        for (const Row &s : rows("surveys"))
            if (!s.value("language").isEmpty())
                return s.value("language");
        for (const Row &s : rows("surveys_languagesettings"))
            return s.value("surveyls_language");
        for (const Row &q : rows("questions"))
            return q.value("language");
        return {};
    }

    bool SurveyReader::read(Test *test, QStringList *skipped, QString *error)
    {
        m_language = baseLanguage();
        if (!m_tables.contains(QStringLiteral("questions"))) {
            *error = QStringLiteral("无法读取文件“%1”：没有 <questions> 元素。").arg(m_file);
            return false;
        }
        for (const Row &s : rows("surveys_languagesettings"))
            if (s.value("surveyls_language") == m_language || test->name.isEmpty())
                test->name = plainText(s.value("surveyls_title"));

        // The newer layout keeps texts apart, by question id and answer id.
        QHash<QString, QString> questionText;
        for (const Row &r : rows("question_l10ns"))
            if (inLanguage(r))
                questionText.insert(r.value("qid"), r.value("question"));
        QHash<QString, QString> answerText;
        for (const Row &r : rows("answer_l10ns"))
            if (inLanguage(r))
                answerText.insert(r.value("aid"), r.value("answer"));
        QHash<QString, int> groupOrder;
        for (const Row &g : rows("groups"))
            groupOrder.insert(g.value("gid"), g.value("group_order").toInt());

        struct Choice
        {
            int order;
            QString text;
            float score;
        };
        QHash<QString, QList<Choice>> answers; // by question id
        for (const Row &a : rows("answers")) {
            if (!inLanguage(a) || a.value("scale_id").toInt() != 0)
                continue;
            Choice c { a.value("sortorder").toInt(),
                a.fields.contains(QStringLiteral("answer")) ? a.value("answer")
                                                            : answerText.value(a.value("aid")),
                0 };
            if (!number(a, "assessment_value", &c.score, error))
                return false;
            answers[a.value("qid")].append(c);
        }

        QList<Row> questions;
        for (const Row &q : rows("questions"))
            if (inLanguage(q) && q.value("parent_qid").toInt() == 0)
                questions.append(q);
        std::stable_sort(questions.begin(), questions.end(), [&](const Row &a, const Row &b) {
            const auto key = [&](const Row &r) {
                return std::pair(
                    groupOrder.value(r.value("gid")), r.value("question_order").toInt());
            };
            return key(a) < key(b);
        });

        for (const Row &q : questions) {
            const QString qid = q.value("qid");
            const QString text = plainText(q.fields.contains(QStringLiteral("question"))
                    ? q.value("question")
                    : questionText.value(qid));
            const QString type = q.value("type");
            QList<Choice> choices;
            if (type == u'5') {
                for (int i = 1; i <= 5; ++i)
                    choices.append({ i, QString::number(i), float(i) });
            } else if (type == u'L' || type == u'!') {
                choices = answers.value(qid);
                std::stable_sort(choices.begin(), choices.end(),
                    [](const Choice &a, const Choice &b) { return a.order < b.order; });
            } else {
                skipped->append(QStringLiteral("题目“%1”（%2）不是单选题，没有导入。")
                                    .arg(text, q.value("title")));
                continue;
            }
            if (choices.size() > 6) {
                skipped->append(QStringLiteral("题目“%1”（%2）有 %3 个选项，多于六个，没有导入。")
                                    .arg(text, q.value("title"))
                                    .arg(choices.size()));
                continue;
            }
            Question question;
            question.text = text;
            for (int i = 0; i < choices.size(); ++i) {
                const QString option = plainText(choices[i].text);
                question.options[i] = option.isEmpty() ? Question::blank() : option;
                question.scores[i] = choices[i].score;
            }
            test->questions.append(question);
        }

        for (const Row &a : rows("assessments")) {
            if (!inLanguage(a) || a.value("scope").trimmed() != u'T')
                continue;
            float low = 0, high = 0;
            if (!number(a, "minimum", &low, error) || !number(a, "maximum", &high, error))
                return false;
            test->bands.append(Band { low, high, plainText(a.value("message")) });
        }
        if (test->questions.isEmpty()) {
            *error = QStringLiteral("文件“%1”里没有可以导入的单选题。").arg(m_file);
            return false;
        }
        if (test->name.isEmpty())
            test->name = QStringLiteral("导入的调查");
        return true;
    }

    // What is wrong with the XML, in Chinese; the parser's own words on a line after.
    QString xmlFault(const QXmlStreamReader &xml, const QString &fileName)
    {
        const QString own = xml.errorString();
        QString what = QStringLiteral("不是格式正确的 XML");
        if (xml.error() == QXmlStreamReader::PrematureEndOfDocumentError)
            what = QStringLiteral("文件没有写完就结束了");
        else if (own.contains(QLatin1String("expansion limit"), Qt::CaseInsensitive)
            || own.contains(QLatin1String("recursive"), Qt::CaseInsensitive))
            what = QStringLiteral("文件里定义的实体展开后太长，不能读取");
        else if (own.contains(QLatin1String("entity"), Qt::CaseInsensitive))
            what = QStringLiteral("用到了没有定义或不能使用的实体");
        QString detail = own.trimmed();
        while (detail.endsWith(u'.') || detail.endsWith(u'。'))
            detail.chop(1);
        return QStringLiteral("无法读取文件“%1”：第 %2 行%3。\n详细信息：%4")
            .arg(fileName)
            .arg(xml.lineNumber())
            .arg(what, detail);
    }

} // namespace

Package readSurvey(
    const QByteArray &bytes, const QString &fileName, QStringList *skipped, QString *error)
{
    QXmlStreamReader xml(bytes);
    Tables tables;
    if (!readTables(xml, &tables)) {
        *error = xmlFault(xml, fileName);
        return {};
    }
    Test test;
    SurveyReader reader(tables, fileName);
    if (!reader.read(&test, skipped, error))
        return {};
    return Package { { Category { QString(), { test } } } };
}

} // namespace Exchange
