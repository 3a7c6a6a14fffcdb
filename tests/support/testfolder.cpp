#include "testfolder.h"

#include "base/currentbank.h"
#include "base/programfolder.h"
#include "base/valuerules.h"
#include "formats/access2000/jetbank.h"
#include "store/bankbackend.h"
#include "store/bankfile.h"
#include "store/catalogue.h"
#include "store/recordset.h"
#include "store/server/servershape.h"
#include "support/serverbanks.h"
#include "support/testpieces.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

TestFolder::TestFolder(Bank bank)
    : m_previous(programFolder())
{
    BankFile::closeConnection();
    JetBank::install();
    setProgramFolder(m_dir.path());
    if (bank == FreshBank && ServerBanks::enabled()) {
        m_server = ServerBanks::openEmpty();
        // The windows a test opens work on the server bank, as after connecting to it.
        setCurrentBank(m_server);
    } else if (bank == FreshBank) {
        const StoreError e = BankFile::createFreshBank(this->bank());
        if (e)
            qWarning("TestFolder: %s", qPrintable(e.message()));
    } else if (bank == SampleBank) {
        if (!QFile::copy(sampleBank(), this->bank()))
            qWarning("TestFolder: cannot copy %s", qPrintable(sampleBank()));
        QFile::setPermissions(this->bank(), QFile::ReadOwner | QFile::WriteOwner);
    }
}

TestFolder::~TestFolder()
{
    if (isServer())
        setCurrentBank(QString());
    BankFile::closeConnection();
    setProgramFolder(m_previous);
}

QString TestFolder::path() const
{
    return m_dir.path();
}

QString TestFolder::file(const QString &name) const
{
    return QDir(m_dir.path()).filePath(name);
}

QString TestFolder::bank() const
{
    return m_server.isEmpty() ? file(QStringLiteral("test.mdb")) : m_server;
}

bool TestFolder::changeElsewhere(
    const QString &table, const QString &field, int row, const QString &text) const
{
    if (isServer()) {
        PgConnection &other = ServerBanks::otherCopy();
        StoreError error;
        const ServerShape shape = ServerShape::find(other, table, &error);
        const int i = int(shape.fields.indexOf(field));
        if (error || i < 0)
            return false;
        QVariantList values { shape.isSingle(i) ? ServerErrors::singleValue(text)
                                                : QVariant(text) };
        const QString where = shape.ownerCondition(&values);
        values << row;
        const PgResult r = other.exec(QStringLiteral("UPDATE %1 SET %2 = $1 WHERE id = (SELECT id "
                                                     "FROM %1%3 ORDER BY id OFFSET $%4 LIMIT 1)")
                                          .arg(shape.sqlTable, shape.columns.at(i), where)
                                          .arg(values.size()),
            values);
        return r.ok() && r.affected() == 1;
    }
    bool done = false;
    {
        QSqlDatabase db
            = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other-copy"));
        db.setDatabaseName(bank());
        QSqlQuery q(db);
        done = db.open()
            && q.prepare(QStringLiteral("UPDATE %1 SET %2 = ? WHERE rowid = (SELECT rowid FROM %1 "
                                        "ORDER BY rowid LIMIT 1 OFFSET ?)")
                             .arg(BankFile::quoteName(table), BankFile::quoteName(field)));
        q.addBindValue(text.isEmpty() ? QVariant() : QVariant(text));
        q.addBindValue(row);
        done = done && q.exec() && q.numRowsAffected() == 1;
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other-copy"));
    return done;
}

QString TestFolder::write(const QString &name, const QByteArray &bytes) const
{
    QFile f(file(name));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        QTest::qFail(qPrintable(QStringLiteral("cannot write ") + name), __FILE__, __LINE__);
    return f.fileName();
}

QString TestFolder::copyShipped(const QString &name) const
{
    QFile::remove(file(name));
    if (!QFile::copy(TestPieces::shipped(name), file(name)))
        QTest::qFail(qPrintable(QStringLiteral("cannot copy ") + name), __FILE__, __LINE__);
    return file(name);
}

QByteArray TestFolder::read(const QString &name) const
{
    QFile f(file(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

namespace {
void require(const StoreError &e, const char *what)
{
    if (e)
        QTest::qFail(qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(what), e.message())),
            __FILE__, __LINE__);
}
} // namespace

void TestFolder::addCategory(const QString &category) const
{
    require(Catalogue::createCategory(bank(), category), "addCategory");
}

void TestFolder::addTest(const QString &category, const QString &test) const
{
    if (!Catalogue::hasTable(bank(), category))
        addCategory(category);
    require(Catalogue::createTest(bank(), test, category), "addTest");
}

void TestFolder::addRows(const QString &table, const QList<QStringList> &rows) const
{
    Recordset rs;
    require(rs.open(bank(), table), "addRows");
    const QStringList fields = rs.fieldNames();
    for (const QStringList &row : rows) {
        require(rs.AddNew(), "addRows");
        for (int i = 0; i < row.size() && i < fields.size(); ++i)
            require(rs.setValue(fields.at(i), row.at(i)), "addRows");
        require(rs.Update(), "addRows");
    }
    require(rs.Close(), "addRows");
}

QList<QStringList> TestFolder::rows(const QString &table) const
{
    QList<QStringList> result;
    if (isServer()) {
        StoreError error;
        const auto backend = BankBackend::forLocation(bank(), &error);
        const auto read = backend->table();
        QList<qint64> ids;
        if (read->open(table) || read->rowIds(&ids))
            return result;
        for (const qint64 id : std::as_const(ids)) {
            QStringList row;
            bool found = false;
            read->readRow(id, &row, &found);
            result << row;
        }
        return result;
    }
    StoreError error;
    QSqlDatabase db = BankFile::connection(bank(), &error);
    if (error)
        return result;
    const QList<FieldDef> fields = Catalogue::fields(bank(), table);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(BankFile::quoteName(table))))
        return result;
    while (q.next()) {
        QStringList row;
        for (int i = 0; i < fields.size(); ++i) {
            const QVariant v = q.value(i);
            if (v.isNull())
                row << QString();
            else if (fields.at(i).type == FieldType::Single)
                row << singleText(float(v.toDouble()));
            else
                row << v.toString();
        }
        result << row;
    }
    q.finish();
    return result;
}

QStringList TestFolder::tables() const
{
    return Catalogue::tables(bank());
}

QString TestFolder::sampleBank()
{
    return QStringLiteral(QELVI_SHIPPED_DIR "/test.mdb");
}
