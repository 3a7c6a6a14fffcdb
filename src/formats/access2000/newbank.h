#pragma once

#include "formats/access2000/jetbank.h"
#include "formats/access2000/jetreader.h"
#include "store/storeerror.h"

#include <QByteArray>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

// The pieces of an Access 2000 conversion apart from the reading: the messages that
// say why a conversion was refused or could not be written, and the new bank.
namespace JetConversion {

QString native(const QString &path);
QByteArray fsName(const QString &path);
StoreError refused(StoreError::Number number, const QString &bank, const QString &what);
// Why a conversion could not be written; the original is untouched in every case.
StoreError notWritten(const QString &bank, StoreError::Number number, const QString &why);
StoreError readOnlyFolder(const QString &bank);
StoreError fromErrno(const QString &bank, int error);
StoreError damaged(const QString &bank, const QString &why);
StoreError unsupported(const QString &bank, JetBank::Format format);

// The SQLite type a Jet field becomes. Double keeps its own name, so that the store
// does not take it for a Single; whole numbers and flags are INTEGER.
const char *sqlType(int jetType);

// The new bank, written through SQLite's C interface into a file of its own. It is
// not the bank yet, so it needs no journal: a failure or a kill leaves a file that the
// next conversion removes.
class NewBank final : public JetReader::Rows
{
public:
    explicit NewBank(const QString &path);
    ~NewBank();
    NewBank(const NewBank &) = delete;
    NewBank &operator=(const NewBank &) = delete;

    bool open();
    bool create(const JetReader::Table &table);
    // Inserts one row of the table created last, its values bound where they lie.
    bool row(const JetReader::Value *values, int count) override;
    bool commit();
    // The error of the last failing step, for the user.
    StoreError error(const QString &bank) const;

private:
    bool exec(const QByteArray &sql);

    QString m_path;
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_insert = nullptr;
};

} // namespace JetConversion
