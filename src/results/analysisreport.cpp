#include "results/analysisreport.h"

#include "base/fonts.h"
#include "base/safefile.h"
#include "base/valuerules.h"
#include "platform/printdialog.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>
#include <QUrl>
#include <cmath>

namespace AnalysisReport {

namespace {

    QString number(double value, int decimals = 2)
    {
        return std::isnan(value) ? QStringLiteral("—") : QString::number(value, 'f', decimals);
    }

    QString percent(double share)
    {
        return QString::number(qRound(share * 100)) + QLatin1Char('%');
    }

    QString bandName(const ItemStats::BandCount &b)
    {
        return b.band > 0 ? QStringLiteral("第 %1 档").arg(b.band) : QStringLiteral("未落入任何档");
    }

    QString summary(const Report &r)
    {
        const ItemStats::Analysis &a = r.analysis;
        QString out = QStringLiteral("<p>版本：%1　结果：%2 条")
                          .arg(r.version.toHtmlEscaped())
                          .arg(a.results);
        if (a.complete != a.results)
            out += QStringLiteral("（答完全部题目的 %1 条用来算α和相关）").arg(a.complete);
        out += QStringLiteral("</p>");
        if (a.results < ItemStats::steadyResults)
            out += QStringLiteral("<p style=\"color:#b00000;\">只有 %1 条结果，下面的数字还不稳定，"
                                  "有 %2 条以上再下结论更可靠。</p>")
                       .arg(a.results)
                       .arg(ItemStats::steadyResults);
        out += QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">"
                              "<tr><th>平均分</th><th>标准差</th><th>最低分</th><th>最高分</th>"
                              "<th>α（内部一致性）</th></tr><tr><td>%1</td><td>%2</td><td>%3</td>"
                              "<td>%4</td><td>%5</td></tr></table>")
                   .arg(number(a.mean), number(a.sd), doubleText(a.lowest), doubleText(a.highest),
                       number(a.alpha));
        out += QStringLiteral("<p>α = %1：%2</p>")
                   .arg(number(a.alpha), ItemStats::alphaMeaning(a.alpha).toHtmlEscaped());
        return out;
    }

    // One row a question: its text with any mark under it, the share of each option
    // (only as many option columns as the test uses), the mean score, the correlation
    // with the other questions and alpha without it.
    QString itemRows(const Report &r)
    {
        const ItemStats::Analysis &a = r.analysis;
        int options = 0;
        for (const ItemStats::Item &item : a.items)
            for (int o = 0; o < 6; ++o)
                if (item.chosen[o])
                    options = qMax(options, o + 1);
        QString out = QStringLiteral("<h3>各题</h3><table width=\"100%\" border=\"1\" "
                                     "cellspacing=\"0\" cellpadding=\"3\"><tr><th>题</th>"
                                     "<th width=\"45%\">题目</th>");
        for (int o = 0; o < options; ++o)
            out += QStringLiteral("<th>%1</th>").arg(QLatin1Char(char('A' + o)));
        out += QStringLiteral("<th>平均得分</th><th>相关</th><th>去掉后α</th></tr>");
        for (int q = 0; q < a.items.size(); ++q) {
            const ItemStats::Item &item = a.items.at(q);
            QStringList notes;
            if (item.likelyReversed)
                notes << QStringLiteral("与其余题方向相反，分数可能给反了");
            if (item.nearlyConstant)
                notes << QStringLiteral("几乎人人答得一样，区分不出人");
            const QString colour = item.likelyReversed ? QStringLiteral(" bgcolor=\"#ffd8d8\"")
                : item.nearlyConstant                  ? QStringLiteral(" bgcolor=\"#fff2c0\"")
                                                       : QString();
            QString text = r.table.questionTexts.value(q).toHtmlEscaped();
            if (!notes.isEmpty())
                text += QStringLiteral("<br/><b>⚠ %1</b>").arg(notes.join(QStringLiteral("；")));
            out += QStringLiteral("<tr%1><td>%2</td><td>%3</td>").arg(colour).arg(q + 1).arg(text);
            for (int o = 0; o < options; ++o)
                out += QStringLiteral("<td align=\"right\">%1</td>")
                           .arg(item.chosen[o] ? percent(item.share(o)) : QString());
            out += QStringLiteral("<td align=\"right\">%1</td><td align=\"right\">%2</td>"
                                  "<td align=\"right\">%3</td></tr>")
                       .arg(number(item.meanScore), number(item.itemRest),
                           number(item.alphaIfDropped));
        }
        return out + QStringLiteral("</table>");
    }

    QString bandRows(const Report &r)
    {
        const ItemStats::Analysis &a = r.analysis;
        QString out
            = QStringLiteral("<h3>得分落在各档的情况</h3><p><img src=\"%1\"/></p>"
                             "<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">"
                             "<tr><th>分数档</th><th>评价</th><th>人数</th><th>占比</th></tr>")
                  .arg(pictureUrl());
        for (const ItemStats::BandCount &b : a.bands)
            out += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td></tr>")
                       .arg(bandName(b), b.evaluation.left(40).toHtmlEscaped())
                       .arg(b.results)
                       .arg(percent(double(b.results) / qMax(1, a.results)));
        return out + QStringLiteral("</table>");
    }

    const QString howToRead = QStringLiteral(
        "<h3>怎样看</h3><p>α 衡量各题是否测的是同一件事：0.7 以上一般可以接受，0.8 以上好。"
        "A～F 是选每个选项的人所占的比例。“相关”是这道题的得分和其余各题总分的相关：越高，"
        "这道题越和整个测试一致；接近 0 的题目和其他题关系不大，为负的题目往往是分数给反了。"
        "“去掉后α”比现在的α高，说明去掉这道题测试会更一致。</p>");

    QString fileFailure(const QString &path, const QString &reason)
    {
        return QStringLiteral("文件“%1”没能写成：%2")
            .arg(QFileInfo(path).absoluteFilePath(), reason);
    }

} // namespace

QString pictureUrl()
{
    return QStringLiteral("qelvi-analysis:bands.png");
}

QString html(const Report &report)
{
    if (report.analysis.results == 0)
        return QStringLiteral("<h2>题目分析：%1</h2><p>这个测试还没有测试记录。</p>")
            .arg(report.test.toHtmlEscaped());
    return QStringLiteral("<h2>题目分析：%1</h2>").arg(report.test.toHtmlEscaped())
        + summary(report) + itemRows(report) + bandRows(report) + howToRead;
}

// One bar a band, as long as its share of the results, with its count.
QImage bandPicture(const ItemStats::Analysis &analysis)
{
    const int rowHeight = 26;
    const int labelWidth = 110;
    const int barWidth = 360;
    QImage image(labelWidth + barWidth + 60, qMax(1, int(analysis.bands.size())) * rowHeight + 8,
        QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setFont(designFont(QStringLiteral("宋体"), 9));
    int most = 1;
    for (const ItemStats::BandCount &b : analysis.bands)
        most = qMax(most, b.results);
    int y = 4;
    for (const ItemStats::BandCount &b : analysis.bands) {
        p.setPen(Qt::black);
        p.drawText(
            QRect(0, y, labelWidth - 8, rowHeight), Qt::AlignRight | Qt::AlignVCenter, bandName(b));
        const int length = qMax(1, barWidth * b.results / most);
        p.fillRect(QRect(labelWidth, y + 4, length, rowHeight - 8),
            b.band > 0 ? QColor(70, 130, 180) : QColor(170, 170, 170));
        p.drawText(QRect(labelWidth + length + 6, y, 60, rowHeight),
            Qt::AlignLeft | Qt::AlignVCenter, QString::number(b.results));
        y += rowHeight;
    }
    return image;
}

void fill(QTextDocument *doc, const Report &report)
{
    doc->setDefaultFont(designFont(QStringLiteral("宋体"), 10.8));
    doc->addResource(
        QTextDocument::ImageResource, QUrl(pictureUrl()), bandPicture(report.analysis));
    doc->setHtml(html(report));
}

bool savePdf(const Report &report, const QString &path, QString *error)
{
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer.setTitle(QStringLiteral("题目分析：") + report.test);
        writer.setCreator(QStringLiteral("Qelvi"));
        QTextDocument doc;
        fill(&doc, report);
        doc.print(&writer);
    }
    QString reason;
    if (!replaceFile(path, bytes, &reason)) {
        *error = fileFailure(path, reason);
        return false;
    }
    return true;
}

bool print(const Report &report, QWidget *parent, QString *error)
{
    QTextDocument doc;
    fill(&doc, report);
    return printDocument(&doc, QStringLiteral("题目分析：") + report.test, parent, error);
}

} // namespace AnalysisReport
