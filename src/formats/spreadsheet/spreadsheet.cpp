#include "formats/spreadsheet/spreadsheet.h"

#include "base/valuerules.h"

#include <QStringDecoder>

namespace Exchange {

namespace {

    struct Row
    {
        int line; // where the row starts, from 1
        QStringList cells;
    };

    bool blankRow(const Row &row)
    {
        for (const QString &c : row.cells)
            if (!c.trimmed().isEmpty())
                return false;
        return true;
    }

    // Splits text into rows of cells; false with *line at an unfinished quote.
    bool splitRows(const QString &text, QChar separator, QList<Row> *rows, int *line)
    {
        Row row { 1, {} };
        QString cell;
        bool quoted = false;
        bool wasQuoted = false;
        int n = 1;
        int quoteLine = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (quoted) {
                if (c == u'"') {
                    if (i + 1 < text.size() && text[i + 1] == u'"') {
                        cell += u'"';
                        ++i;
                    } else {
                        quoted = false;
                    }
                } else {
                    if (c == u'\n')
                        ++n;
                    cell += c;
                }
                continue;
            }
            if (c == u'"' && cell.isEmpty() && !wasQuoted) {
                quoted = wasQuoted = true;
                quoteLine = n;
            } else if (c == separator) {
                row.cells << cell;
                cell.clear();
                wasQuoted = false;
            } else if (c == u'\n' || c == u'\r') {
                if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                    ++i;
                row.cells << cell;
                rows->append(row);
                cell.clear();
                wasQuoted = false;
                row = Row { ++n, {} };
            } else {
                cell += c;
            }
        }
        if (quoted) {
            *line = quoteLine;
            return false;
        }
        if (!cell.isEmpty() || !row.cells.isEmpty()) {
            row.cells << cell;
            rows->append(row);
        }
        return true;
    }

    bool isSection(const Row &row)
    {
        return row.cells.value(0).trimmed() == QStringLiteral("评分");
    }

    bool isHeading(const Row &row)
    {
        return row.cells.value(0).trimmed() == QStringLiteral("题目")
            || row.cells.value(0).trimmed() == QStringLiteral("分数下限");
    }

    QString where(const QString &fileName, int line, const QString &problem)
    {
        return QStringLiteral("无法读取文件“%1”：第 %2 行%3。")
            .arg(fileName)
            .arg(line)
            .arg(problem);
    }

    // A score cell: empty is no score; anything else must be one number.
    bool scoreCell(const QString &cell, Score *score)
    {
        if (cell.trimmed().isEmpty()) {
            *score = std::nullopt;
            return true;
        }
        double value = 0;
        if (!parseNumber(cell, &value) || std::abs(value) > 3.4028234663852886e38)
            return false;
        *score = float(value);
        return true;
    }

    bool rows(const QByteArray &bytes, const QString &fileName, QList<Row> *out, QString *error)
    {
        const QString text = decodeUtf8OrGbk(bytes);
        const QString first = text.section(u'\n', 0, 0);
        const QChar separator
            = fileName.endsWith(QLatin1String(".tsv"), Qt::CaseInsensitive) || first.contains(u'\t')
            ? u'\t'
            : u',';
        int line = 0;
        if (!splitRows(text, separator, out, &line)) {
            *error = where(fileName, line, QStringLiteral("的引号没有结束"));
            return false;
        }
        return true;
    }

    bool bandRow(const Row &row, const QString &fileName, QList<Band> *bands, QString *error)
    {
        Band band;
        if (row.cells.size() > 3 && !row.cells.mid(3).join(QString()).trimmed().isEmpty()) {
            *error
                = where(fileName, row.line, QStringLiteral("的评分多于三格（下限、上限、评价）"));
            return false;
        }
        if (!scoreCell(row.cells.value(0), &band.lower)
            || !scoreCell(row.cells.value(1), &band.upper)) {
            *error = where(fileName, row.line, QStringLiteral("的分数下限或上限不是数字"));
            return false;
        }
        band.evaluation = row.cells.value(2);
        bands->append(band);
        return true;
    }

} // namespace

QString decodeUtf8OrGbk(const QByteArray &bytes)
{
    QByteArray data = bytes;
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(data);
    if (!utf8.hasError())
        return text;
    QStringDecoder gbk("GBK");
    return gbk(data);
}

Package readSheet(
    const QByteArray &bytes, const QString &fileName, const QString &testName, QString *error)
{
    QList<Row> all;
    if (!rows(bytes, fileName, &all, error))
        return {};
    Test test { testName, {}, {} };
    bool inBands = false;
    for (int r = 0; r < all.size(); ++r) {
        const Row &row = all.at(r);
        if (blankRow(row) || (r == 0 && isHeading(row)))
            continue;
        if (isSection(row)) {
            inBands = true;
            continue;
        }
        if (inBands) {
            if (isHeading(row))
                continue;
            if (!bandRow(row, fileName, &test.bands, error))
                return {};
            continue;
        }
        if (row.cells.size() > 13 && !row.cells.mid(13).join(QString()).trimmed().isEmpty()) {
            *error = where(fileName, row.line, QStringLiteral("的选项多于六个"));
            return {};
        }
        Question q;
        q.text = row.cells.value(0);
        for (int i = 0; i < 6; ++i) {
            const QString option = row.cells.value(1 + 2 * i);
            const QString score = row.cells.value(2 + 2 * i);
            if (option.trimmed().isEmpty() && score.trimmed().isEmpty())
                continue;
            if (!scoreCell(score, &q.scores[i])) {
                *error = where(fileName, row.line,
                    QStringLiteral("选项%1的分数“%2”不是数字").arg(QChar(u'A' + i)).arg(score));
                return {};
            }
            q.options[i] = option.isEmpty() ? Question::blank() : option;
        }
        test.questions.append(q);
    }
    if (test.questions.isEmpty()) {
        *error = QStringLiteral("文件“%1”里没有题目。").arg(fileName);
        return {};
    }
    return Package { { Category { QString(), { test } } } };
}

QList<Band> readBandSheet(const QByteArray &bytes, const QString &fileName, QString *error)
{
    QList<Row> all;
    QList<Band> bands;
    if (!rows(bytes, fileName, &all, error))
        return {};
    for (int r = 0; r < all.size(); ++r) {
        const Row &row = all.at(r);
        if (blankRow(row) || ((r == 0 || isSection(all.at(r - 1))) && isHeading(row))
            || isSection(row))
            continue;
        if (!bandRow(row, fileName, &bands, error))
            return {};
    }
    if (bands.isEmpty())
        *error = QStringLiteral("文件“%1”里没有评分。").arg(fileName);
    return bands;
}

} // namespace Exchange
