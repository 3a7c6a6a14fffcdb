#include "formats/csvtext.h"

#include <QRegularExpression>

namespace Csv {

namespace {

    bool plainNumber(const QString &text)
    {
        static const QRegularExpression number(
            QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
        return number.match(text).hasMatch();
    }

    bool readAsFormula(const QString &text)
    {
        if (text.isEmpty())
            return false;
        switch (text.front().unicode()) {
        case u'=':
        case u'+':
        case u'-':
        case u'@':
        case u'\t':
        case u'\r':
            return !plainNumber(text);
        default:
            return false;
        }
    }

} // namespace

QString field(const QString &text)
{
    const QString cell = readAsFormula(text) ? QLatin1Char('\'') + text : text;
    if (!cell.contains(QLatin1Char(',')) && !cell.contains(QLatin1Char('"'))
        && !cell.contains(QLatin1Char('\n')) && !cell.contains(QLatin1Char('\r')))
        return cell;
    QString quoted = cell;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString row(const QStringList &cells)
{
    QStringList out;
    for (const QString &c : cells)
        out << field(c);
    return out.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

} // namespace Csv
