#include "store/testversion.h"

#include "store/bankbackend.h"
#include "store/bankfile.h"
#include "store/catalogue.h"
#include "store/cataloguesteps.h"

#include <QCryptographicHash>
#include <QSqlDriver>
#include <QStringList>
#include <sqlite3.h>

QString questionsVersion(const QString &bank, const QString &test)
{
    StoreError error;
    const std::unique_ptr<BankBackend> backend = Catalogue::Steps::connected(bank, &error);
    return backend ? backend->questionsVersion(test) : QString();
}

QString fileQuestionsVersion(QSqlDatabase &connection, const QString &test)
{
    sqlite3 *db = BankFile::sqliteHandle(connection);
    if (!db)
        return {};

    QStringList fields;
    for (const FieldDef &field : BankNames::questionTable(test).fields)
        fields << BankFile::quoteName(field.name);
    const QByteArray sql = QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
                               .arg(fields.join(u','), BankFile::quoteName(test))
                               .toUtf8();
    sqlite3_stmt *rows = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &rows, nullptr) != SQLITE_OK) {
        sqlite3_finalize(rows);
        return {};
    }
    // Each value goes in with its type and length, so that no two different tables
    // hash alike by values running into each other.
    QCryptographicHash hash(QCryptographicHash::Sha256);
    int step;
    while ((step = sqlite3_step(rows)) == SQLITE_ROW) {
        for (int i = 0; i < fields.size(); ++i) {
            struct
            {
                qint32 type;
                qint32 size;
                double number;
            } head { sqlite3_column_type(rows, i), 0, 0 };
            const char *bytes = nullptr;
            if (head.type == SQLITE_FLOAT) {
                head.number = sqlite3_column_double(rows, i);
            } else {
                bytes = static_cast<const char *>(sqlite3_column_blob(rows, i));
                head.size = sqlite3_column_bytes(rows, i);
            }
            hash.addData(QByteArrayView(reinterpret_cast<const char *>(&head), sizeof head));
            if (bytes)
                hash.addData(QByteArrayView(bytes, head.size));
        }
    }
    sqlite3_finalize(rows);
    if (step != SQLITE_DONE)
        return {};
    return QString::fromLatin1(hash.result().toHex());
}
