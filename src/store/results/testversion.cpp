#include "store/results/testversion.h"

#include "store/catalogue.h"
#include "store/recordset.h"

#include <QCryptographicHash>

namespace TestVersion {

namespace {

    // Every column of the table, in field order; each text is length-prefixed so that
    // no two different tables hash alike by shifting text between cells.
    StoreError addTable(QCryptographicHash *hash, const QString &bank, const QString &table,
        const QStringList &fields)
    {
        Recordset rows;
        if (const StoreError e = rows.open(bank, table))
            return e;
        QList<QStringList> columns;
        for (const QString &f : fields)
            columns << rows.column(f);
        rows.release();
        const qsizetype count = columns.isEmpty() ? 0 : columns.first().size();
        hash->addData(QByteArray::number(count) + '\n');
        for (qsizetype row = 0; row < count; ++row) {
            for (const QStringList &column : std::as_const(columns)) {
                const QByteArray cell = column.value(row).toUtf8();
                hash->addData(QByteArray::number(cell.size()) + ':' + cell);
            }
        }
        return {};
    }

} // namespace

QString of(const QString &bank, const QString &test, StoreError *error)
{
    QStringList questionFields { BankNames::questionField() };
    for (int option = 0; option < 6; ++option)
        questionFields << BankNames::optionField(option) << BankNames::scoreField(option);
    const QStringList bandFields { BankNames::lowerField(), BankNames::upperField(),
        BankNames::evaluationField() };

    QCryptographicHash hash(QCryptographicHash::Sha256);
    StoreError e = addTable(&hash, bank, test, questionFields);
    if (!e)
        e = addTable(&hash, bank, BankNames::scoringTable(test), bandFields);
    if (error)
        *error = e;
    if (e)
        return {};
    return QString::fromLatin1(hash.result().toHex().left(16));
}

QString label(const QString &version)
{
    return version.isEmpty() ? QStringLiteral("版本不明") : version.left(8);
}

} // namespace TestVersion
