#include "formats/stats/statsexport.h"

#include "base/safefile.h"
#include "base/valuerules.h"
#include "formats/csvtext.h"
#include "store/results/testversion.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>

namespace StatsExport {

namespace {

    QString variable(int question, const char *what)
    {
        return QStringLiteral("q%1_%2").arg(question + 1).arg(QLatin1String(what));
    }

    // The options somebody chose, with their texts.
    QList<int> chosenOptions(const Results::ItemTable &table, int q)
    {
        QList<int> out;
        for (int o = 0; o < 6; ++o)
            if (!table.optionTexts.at(q).at(o).isNull())
                out << o;
        return out;
    }

    QString letter(int option)
    {
        return QString(QLatin1Char(char('A' + option)));
    }

    QByteArray table(const Results::ItemTable &t)
    {
        QStringList header { QStringLiteral("id"), QStringLiteral("date") };
        for (int q = 0; q < t.questions; ++q)
            header << variable(q, "option");
        for (int q = 0; q < t.questions; ++q)
            header << variable(q, "score");
        header << QStringLiteral("total") << QStringLiteral("band");
        QString out = Csv::row(header);
        for (qsizetype r = 0; r < t.rows.size(); ++r) {
            const Results::ItemTable::Row &row = t.rows.at(r);
            QStringList cells { QString::number(row.id),
                row.takenAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) };
            for (int q = 0; q < t.questions; ++q)
                cells << (t.option(r, q) < 0 ? QString() : letter(t.option(r, q)));
            for (int q = 0; q < t.questions; ++q)
                cells << (std::isnan(t.score(r, q)) ? QString() : doubleText(t.score(r, q)));
            cells << doubleText(row.total)
                  << (row.band > 0 ? QString::number(row.band) : QString());
            out += Csv::row(cells);
        }
        return out.toUtf8();
    }

    // A text as an R string literal.
    QString rText(const QString &text)
    {
        QString s = text;
        s.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
        s.replace(QLatin1Char('"'), QStringLiteral("\\\""));
        s.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
        s.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
        return QLatin1Char('"') + s + QLatin1Char('"');
    }

    QByteArray rScript(const Results::ItemTable &t, const QString &csvName)
    {
        QString s = QStringLiteral(
            "# Reads %1 with the question texts as labels (UTF-8).\n"
            "# Run it with Rscript, or source() it from the folder that holds the table.\n"
            "args <- grep(\"^--file=\", commandArgs(FALSE), value = TRUE)\n"
            "here <- if (length(args)) dirname(sub(\"^--file=\", \"\", args[1])) else \".\"\n"
            "qelvi <- read.csv(file.path(here, %2), fileEncoding = \"UTF-8\",\n"
            "                  na.strings = \"\", stringsAsFactors = FALSE)\n"
            "qelvi$date <- as.POSIXct(qelvi$date, format = \"%Y-%m-%d %H:%M:%S\")\n")
                        .arg(csvName, rText(csvName));
        for (int q = 0; q < t.questions; ++q) {
            const QList<int> options = chosenOptions(t, q);
            QStringList levels, labels;
            for (const int o : options) {
                levels << rText(letter(o));
                labels << rText(letter(o) + QStringLiteral(". ") + t.optionTexts.at(q).at(o));
            }
            const QString option = variable(q, "option");
            s += QStringLiteral("qelvi$%1 <- factor(qelvi$%1, levels = c(%2), labels = c(%3))\n")
                     .arg(option, levels.join(QStringLiteral(", ")),
                         labels.join(QStringLiteral(", ")));
            for (const char *what : { "option", "score" })
                s += QStringLiteral("attr(qelvi$%1, \"label\") <- %2\n")
                         .arg(variable(q, what), rText(t.questionTexts.at(q)));
        }
        s += QStringLiteral("attr(qelvi$total, \"label\") <- \"总分\"\n"
                            "attr(qelvi$band, \"label\") <- \"分数档\"\n");
        return s.toUtf8();
    }

    // A text as an SPSS string literal (one line), at most `limit` characters: SPSS keeps
    // variable labels to 256 bytes and value labels to 120, and a Chinese character is 3.
    QString spsText(const QString &text, int limit = 80)
    {
        QString s = text.left(limit);
        s.replace(QLatin1Char('\''), QStringLiteral("''"));
        s.replace(QLatin1Char('\n'), QLatin1Char(' '));
        s.replace(QLatin1Char('\r'), QLatin1Char(' '));
        return QLatin1Char('\'') + s + QLatin1Char('\'');
    }

    QByteArray spssSyntax(const Results::ItemTable &t, const QString &csvName)
    {
        QString s = QStringLiteral("* Encoding: UTF-8.\n"
                                   "* Reads %1 with the question and option texts as labels.\n"
                                   "GET DATA /TYPE=TXT /FILE=%2 /ENCODING='UTF8'\n"
                                   "  /ARRANGEMENT=DELIMITED /DELIMITERS=',' /QUALIFIER='\"'\n"
                                   "  /FIRSTCASE=2 /VARIABLES=id F10.0 date A19")
                        .arg(csvName, spsText(csvName, int(csvName.size())));
        for (int q = 0; q < t.questions; ++q)
            s += QStringLiteral("\n  %1 A1").arg(variable(q, "option"));
        for (int q = 0; q < t.questions; ++q)
            s += QStringLiteral("\n  %1 F16.6").arg(variable(q, "score"));
        s += QStringLiteral("\n  total F16.6 band F4.0.\n");
        s += QStringLiteral("VARIABLE LABELS id '编号' /date '测试时间'");
        for (int q = 0; q < t.questions; ++q)
            for (const char *what : { "option", "score" })
                s += QStringLiteral("\n  /%1 %2")
                         .arg(variable(q, what), spsText(t.questionTexts.at(q)));
        s += QStringLiteral("\n  /total '总分' /band '分数档'.\n");
        QStringList values;
        for (int q = 0; q < t.questions; ++q) {
            QString v = QStringLiteral("  /%1").arg(variable(q, "option"));
            for (const int o : chosenOptions(t, q))
                v += QStringLiteral(" '%1' %2")
                         .arg(letter(o), spsText(t.optionTexts.at(q).at(o), 40));
            values << v;
        }
        if (!values.isEmpty())
            s += QStringLiteral("VALUE LABELS\n") + values.join(QLatin1Char('\n')).mid(3)
                + QStringLiteral(".\n");
        s += QStringLiteral("EXECUTE.\n");
        return s.toUtf8();
    }

} // namespace

Files make(const Results::ItemTable &t, const QString &csvName)
{
    return { table(t), rScript(t, csvName), spssSyntax(t, csvName) };
}

bool write(const QString &historyPath, const QString &test, const QString &path,
    QStringList *written, QString *error)
{
    StoreError e;
    const QList<Results::VersionCount> versions = Results::versionsOf(historyPath, test, &e);
    if (e) {
        *error = e.message();
        return false;
    }
    const QFileInfo chosen(path);
    for (const Results::VersionCount &v : versions) {
        const Results::ItemTable t = Results::itemTable(historyPath, test, { v.version }, &e);
        if (e) {
            *error = e.message();
            return false;
        }
        const QString base = versions.size() == 1
            ? chosen.completeBaseName()
            : chosen.completeBaseName() + QLatin1Char('-') + TestVersion::label(v.version);
        const QDir folder = chosen.absoluteDir();
        const QString csvName = base + QStringLiteral(".csv");
        const Files files = make(t, csvName);
        const QList<std::pair<QString, QByteArray>> out { { csvName, files.csv },
            { base + QStringLiteral(".R"), files.r },
            { base + QStringLiteral(".sps"), files.sps } };
        for (const auto &[name, bytes] : out) {
            QString reason;
            if (!replaceFile(folder.filePath(name), bytes, &reason)) {
                *error = QStringLiteral("文件“%1”没能写成：%2").arg(folder.filePath(name), reason);
                return false;
            }
        }
        written->append(folder.filePath(csvName));
    }
    return true;
}

} // namespace StatsExport
