#pragma once

#include "store/results/itemtable.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// 导出统计数据: the results of a test as numbers for statistics programs. One table per
// version of the test, one row a result: id, date, q1_option … (A–F, empty for no
// answer), q1_score … (numbers), total, band (empty when no band held the total or it
// is not known). Beside each table an R script and an SPSS syntax file read it with the
// question texts as variable labels and the option texts as value labels.
namespace StatsExport {

struct Files
{
    QByteArray csv; // UTF-8, CR LF
    QByteArray r; // reads the table named csvName from the script's own folder
    QByteArray sps; // reads the table named csvName from the folder SPSS works in
};

Files make(const Results::ItemTable &table, const QString &csvName);

// Writes the files of every version of the test in the history at historyPath. The
// user chose `path` (a .csv name): one version is written there, several beside it as
// "<name>-<version>.csv"; each with its .R and .sps. The written tables go into *written;
// false with *error (a sentence for the user) when a file cannot be written.
bool write(const QString &historyPath, const QString &test, const QString &path,
    QStringList *written, QString *error);

} // namespace StatsExport
