// Writes results of the sample test into a program folder's history through the
// program's own store, as a class of takers would leave them (question 3 answered the
// opposite way), for trying the analysis by hand and for its picture:
//   prog_fillhistory <program-folder> <count>
#include "store/catalogue.h"
#include "store/recordset.h"
#include "store/results/history.h"
#include "store/results/testversion.h"
#include "support/sampleresults.h"

#include <QCoreApplication>
#include <QDir>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        fprintf(stderr, "usage: %s <program-folder> <count>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const QString bank = folder.filePath(QStringLiteral("test.mdb"));
    const QString test = QStringLiteral("日常情商自测");
    Recordset table;
    if (const StoreError e = table.open(bank, test)) {
        fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    QList<QStringList> columns { table.column(BankNames::questionField()) };
    for (int o = 0; o < 6; ++o)
        columns << table.column(BankNames::optionField(o))
                << table.column(BankNames::scoreField(o));
    table.release();
    QList<QStringList> rows;
    for (qsizetype r = 0; r < columns.first().size(); ++r) {
        QStringList row;
        for (const QStringList &c : columns)
            row << c.value(r);
        rows << row;
    }
    const QString version = TestVersion::of(bank, test);
    const Results::History history(folder.filePath(QStringLiteral("results.db")));
    for (int t = 0; t < QByteArray(argv[2]).toInt(); ++t) {
        Results::Record r = sampleResult(test, rows, t, version, 2);
        if (const StoreError e = history.append(&r)) {
            fprintf(stderr, "%s\n", qPrintable(e.message()));
            return 1;
        }
    }
    return 0;
}
