#include "formats/access2000/newbank.h"

#include "store/bankfile.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <cerrno>
#include <cstring>
#include <mdbtools.h>
#include <sqlite3.h>

namespace JetConversion {

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QByteArray fsName(const QString &path)
{
    return QFile::encodeName(path);
}

StoreError refused(StoreError::Number number, const QString &bank, const QString &what)
{
    return StoreError(number, QStringLiteral("题库文件“%1”%2").arg(native(bank), what));
}

// Why a conversion could not be written; the original is untouched in every case.
StoreError notWritten(const QString &bank, StoreError::Number number, const QString &why)
{
    return refused(number, bank,
        QStringLiteral(
            "是 Access 2000 格式的数据库，要先转换为新格式才能使用，但%1。原文件没有改动。")
            .arg(why));
}

StoreError readOnlyFolder(const QString &bank)
{
    return notWritten(bank, StoreError::BankReadOnly, QStringLiteral("它所在的文件夹不能写入"));
}

StoreError fromErrno(const QString &bank, int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return readOnlyFolder(bank);
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return notWritten(bank, StoreError::Engine, QStringLiteral("磁盘已满"));
    default:
        return notWritten(bank, StoreError::Engine,
            QStringLiteral("写入时出错（%1）").arg(QString::fromLocal8Bit(std::strerror(error))));
    }
}

StoreError damaged(const QString &bank, const QString &why)
{
    return refused(StoreError::NotABank, bank,
        QStringLiteral("是 Access 2000 格式的数据库，但已经损坏（%1），无法转换。原文件没有改动。")
            .arg(why));
}

StoreError unsupported(const QString &bank, JetBank::Format format)
{
    if (format == JetBank::Format::Jet3)
        return refused(StoreError::JetUnsupported, bank,
            QStringLiteral("是 Access 97 格式的数据库，本程序只能转换 Access 2000 格式的题库。"
                           "请先在 Access 里把它转换为 Access 2000 格式。"));
    return refused(StoreError::JetUnsupported, bank,
        QStringLiteral(
            "是 Access 2007 或更新版本格式的数据库，本程序只能转换 Access 2000 格式的题库。"
            "请先在 Access 里把它另存为 Access 2000 格式。"));
}

const char *sqlType(int jetType)
{
    switch (jetType) {
    case MDB_TEXT:
    case MDB_MEMO:
    case MDB_REPID:
        return "TEXT";
    case MDB_FLOAT:
        return "REAL";
    case MDB_DOUBLE:
        return "DOUBLE";
    case MDB_BOOL:
        return "BOOLEAN";
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_COMPLEX:
        return "INTEGER";
    case MDB_MONEY:
        return "CURRENCY";
    case MDB_NUMERIC:
        return "NUMERIC";
    case MDB_DATETIME:
        return "DATETIME";
    default:
        return "BLOB";
    }
}

namespace {

    // A name as SQL quotes it, in UTF-8, appended to sql.
    void appendName(QByteArray &sql, const QString &name)
    {
        sql += '"';
        sql += name.toUtf8().replace('"', "\"\"");
        sql += '"';
    }

} // namespace

NewBank::NewBank(const QString &path)
    : m_path(path)
{ }
NewBank::~NewBank()
{
    sqlite3_finalize(m_insert);
    if (m_db)
        sqlite3_close(m_db);
}

bool NewBank::open()
{
    return sqlite3_open_v2(fsName(m_path).constData(), &m_db,
               SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr)
        == SQLITE_OK
        && exec("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; BEGIN");
}

bool NewBank::create(const JetReader::Table &table)
{
    QByteArray sql = "CREATE TABLE ";
    appendName(sql, table.name);
    sql += " (";
    for (const JetReader::Column &c : table.columns) {
        if (&c != &table.columns.front())
            sql += ", ";
        appendName(sql, c.name);
        sql += ' ';
        sql += sqlType(c.type);
    }
    sql += ')';
    if (!exec(sql))
        return false;
    sqlite3_finalize(m_insert);
    m_insert = nullptr;
    sql = "INSERT INTO ";
    appendName(sql, table.name);
    sql += " VALUES (?";
    for (qsizetype i = 1; i < table.columns.size(); ++i)
        sql += ",?";
    sql += ')';
    return sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &m_insert, nullptr)
        == SQLITE_OK;
}

bool NewBank::row(const JetReader::Value *values, int count)
{
    using Value = JetReader::Value;
    for (int i = 0; i < count; ++i) {
        const Value &v = values[i];
        switch (v.kind) {
        case Value::Null:
            sqlite3_bind_null(m_insert, i + 1);
            break;
        case Value::Integer:
            sqlite3_bind_int64(m_insert, i + 1, v.integer);
            break;
        case Value::Real:
            sqlite3_bind_double(m_insert, i + 1, v.real);
            break;
        case Value::Text:
            sqlite3_bind_text64(
                m_insert, i + 1, v.data, sqlite3_uint64(v.size), SQLITE_STATIC, SQLITE_UTF8);
            break;
        case Value::Blob:
            sqlite3_bind_blob64(m_insert, i + 1, v.data, sqlite3_uint64(v.size), SQLITE_STATIC);
            break;
        }
    }
    const bool ok = sqlite3_step(m_insert) == SQLITE_DONE;
    sqlite3_reset(m_insert);
    return ok;
}

bool NewBank::commit()
{
    sqlite3_finalize(m_insert);
    m_insert = nullptr;
    if (!exec("COMMIT"))
        return false;
    const bool closed = sqlite3_close(m_db) == SQLITE_OK;
    m_db = nullptr;
    return closed;
}

StoreError NewBank::error(const QString &bank) const
{
    const int code = m_db ? sqlite3_errcode(m_db) & 0xff : SQLITE_CANTOPEN;
    const int sysError = m_db ? sqlite3_system_errno(m_db) : EACCES;
    switch (code) {
    case SQLITE_FULL:
        return fromErrno(bank, ENOSPC);
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
        return readOnlyFolder(bank);
    case SQLITE_IOERR:
        return fromErrno(bank, sysError ? sysError : EIO);
    default:
        return notWritten(bank, StoreError::Engine,
            QStringLiteral("写入时出错（%1）").arg(QString::fromUtf8(sqlite3_errmsg(m_db))));
    }
}

bool NewBank::exec(const QByteArray &sql)
{
    return sqlite3_exec(m_db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

} // namespace JetConversion
