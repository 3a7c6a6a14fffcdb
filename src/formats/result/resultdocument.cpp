#include "formats/result/resultdocument.h"

#include "base/fonts.h"
#include "base/safefile.h"
#include "formats/csvtext.h"
#include "store/results/testversion.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>

namespace ResultDocument {

namespace {

    QString escaped(const QString &text)
    {
        return text.toHtmlEscaped();
    }

    QString fileFailure(const QString &path, const QString &reason)
    {
        return QStringLiteral("文件“%1”没能写成：%2。原来的文件没有改动。")
            .arg(QFileInfo(path).absoluteFilePath(), reason);
    }

} // namespace

QString dateText(const QDateTime &at)
{
    return at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString html(const Results::Record &record)
{
    QString out = QStringLiteral("<h2>%1</h2>").arg(escaped(record.test));
    if (!record.category.isEmpty())
        out += QStringLiteral("<p>测试分类：%1</p>").arg(escaped(record.category));
    out += QStringLiteral("<p>测试时间：%1</p>").arg(escaped(dateText(record.takenAt)));
    if (!record.taker.isEmpty())
        out += QStringLiteral("<p>测试者：%1</p>").arg(escaped(record.taker));
    out += QStringLiteral("<p>测试版本：%1</p>").arg(escaped(TestVersion::label(record.version)));
    // Blanks and line breaks of the result text stay as the result window shows them.
    out += QStringLiteral("<p style=\"white-space: pre-wrap;\">%1</p>")
               .arg(escaped(record.resultText));
    if (record.answers.isEmpty())
        return out;
    // One paragraph a question, so that the page reads in order wherever it breaks.
    out += QStringLiteral("<h3>答题情况</h3>");
    for (const Results::Answer &a : record.answers) {
        // A result of the class keeps the chosen letter only: no empty score is shown.
        if (a.score.isEmpty() && a.optionText.isEmpty())
            out += QStringLiteral("<p>%1. %2<br/>&nbsp;&nbsp;&nbsp;&nbsp;选择 %3.</p>")
                       .arg(
                           QString::number(a.question), escaped(a.questionText), escaped(a.option));
        else
            out += QStringLiteral("<p>%1. %2<br/>&nbsp;&nbsp;&nbsp;&nbsp;选择 %3. %4（%5分）</p>")
                       .arg(QString::number(a.question), escaped(a.questionText), escaped(a.option),
                           escaped(a.optionText), escaped(a.score));
    }
    return out;
}

void fill(QTextDocument *doc, const Results::Record &record)
{
    doc->setDefaultFont(designFont(QStringLiteral("宋体"), 10.8));
    doc->setDocumentMargin(0);
    doc->setHtml(html(record));
}

bool savePdf(const Results::Record &record, const QString &path, QString *error)
{
    // Made in memory, then written as one file: a failed write leaves the old file.
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
        writer.setTitle(record.test);
        writer.setCreator(QStringLiteral("Qelvi"));
        QTextDocument doc;
        fill(&doc, record);
        doc.print(&writer);
    }
    return writeFile(path, pdf.data(), error);
}

QByteArray csv(const QList<Results::Record> &records)
{
    qsizetype questions = 0;
    for (const Results::Record &r : records)
        questions = qMax(questions, r.answers.size());

    QStringList header { QStringLiteral("测试时间"), QStringLiteral("测试分类"),
        QStringLiteral("测试项目"), QStringLiteral("得分"), QStringLiteral("评价"),
        QStringLiteral("测试者"), QStringLiteral("测试版本") };
    for (qsizetype q = 1; q <= questions; ++q)
        header << QStringLiteral("第%1题").arg(q);

    QString text = Csv::row(header);
    for (const Results::Record &r : records) {
        QStringList row { dateText(r.takenAt), r.category, r.test, r.total, r.evaluation, r.taker,
            TestVersion::label(r.version) };
        for (const Results::Answer &a : r.answers)
            row << (a.score.isEmpty() ? a.option
                                      : QStringLiteral("%1（%2分）").arg(a.option, a.score));
        text += Csv::row(row);
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

bool writeFile(const QString &path, const QByteArray &bytes, QString *error)
{
    QString reason;
    if (!replaceFile(path, bytes, &reason)) {
        *error = fileFailure(path, reason);
        return false;
    }
    return true;
}

} // namespace ResultDocument
