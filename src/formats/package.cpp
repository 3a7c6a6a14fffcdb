#include "formats/package.h"

#include "base/safefile.h"
#include "formats/access2000/jetbank.h"
#include "store/bankbackend.h"
#include "store/bankfile.h"
#include "store/catalogue.h"
#include "store/tableaccess.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QUuid>
#include <functional>

namespace Exchange {

QString Text::value() const
{
    return m_bytes ? decodedUtf8(utf8View()) : m_text;
}

QString decodedUtf8(QByteArrayView bytes)
{
    // QString::fromUtf8() would drop a byte-order mark at the start: it is a character
    // of the text here.
    if (!bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes);
    QStringDecoder decoder(QStringDecoder::Utf8,
        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder(bytes);
}

int Package::testCount() const
{
    int count = 0;
    for (const Category &c : categories)
        count += c.tests.size();
    return count;
}

namespace {

    using BankFile::quoteName;

    // Why a table could not be read: in Chinese, SQLite's own words on a line after.
    QString readFailure(const QString &table, const QString &why)
    {
        return QStringLiteral("无法读取表“%1”。\n详细信息：%2").arg(table, why);
    }
    QString readFailure(const QString &table, const QSqlError &error)
    {
        if (error.nativeErrorCode() == QLatin1String("9")) // SQLITE_INTERRUPT
            return QStringLiteral("读取表“%1”用时太久，已经停止。").arg(table);
        return readFailure(table, error.databaseText());
    }

    // A bank's tables are read whole into memory: far beyond any test is no bank.
    constexpr int kMostRows = 100000;

    // Reads every row of the named fields of a table in natural order. Only a plain
    // table is read (a view may hold rows without end) and only so many rows.
    bool selectRows(QSqlDatabase &db, const QString &table, const QStringList &fields,
        QList<QVariantList> *rows, QString *error)
    {
        if (!BankFile::isPlainTable(db, table)) {
            *error = QStringLiteral("“%1”不是一张表（题库里只能有表，不能是视图）。").arg(table);
            return false;
        }
        QStringList columns;
        for (const QString &f : fields)
            columns << quoteName(f);
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid LIMIT %3")
                        .arg(columns.join(QStringLiteral(", ")), quoteName(table))
                        .arg(kMostRows + 1))) {
            *error = readFailure(table, q.lastError());
            return false;
        }
        while (q.next()) {
            if (rows->size() == kMostRows) {
                *error = QStringLiteral("表“%1”有 %2 行以上，不像是题库里的表。")
                             .arg(table)
                             .arg(kMostRows);
                return false;
            }
            QVariantList row;
            for (int i = 0; i < fields.size(); ++i)
                row << q.value(i);
            rows->append(row);
        }
        if (q.lastError().isValid()) {
            *error = readFailure(table, q.lastError());
            return false;
        }
        q.finish();
        return true;
    }

    Text textOf(const QVariant &v)
    {
        if (v.isNull())
            return std::nullopt;
        return v.toString();
    }

    // A Single field: NULL, or a number (stored text that is no number is a damaged bank).
    bool scoreOf(const QVariant &v, Score *score)
    {
        if (v.isNull()) {
            *score = std::nullopt;
            return true;
        }
        bool ok = false;
        const double d = v.metaType().id() == QMetaType::QString ? v.toString().toDouble(&ok)
                                                                 : v.toDouble(&ok);
        *score = float(d);
        return ok;
    }

    QString notANumber(const QString &table, int row, const QString &field)
    {
        return QStringLiteral("表“%1”第 %2 行的“%3”不是数字。").arg(table).arg(row + 1).arg(field);
    }

    // Reads every row of the named fields of a table, as selectRows does.
    using TableReader = std::function<bool(const QString &table, const QStringList &fields,
        QList<QVariantList> *rows, QString *error)>;

    bool readTest(const TableReader &select, const QString &name, Test *test, QString *error)
    {
        test->name = name;
        const TableDef questions = BankNames::questionTable(name);
        QStringList fields;
        for (const FieldDef &f : questions.fields)
            fields << f.name;
        QList<QVariantList> rows;
        if (!select(name, fields, &rows, error))
            return false;
        for (int r = 0; r < rows.size(); ++r) {
            const QVariantList &row = rows.at(r);
            Question q;
            q.text = textOf(row.at(0));
            for (int i = 0; i < 6; ++i) {
                q.options[i] = textOf(row.at(1 + 2 * i));
                if (!scoreOf(row.at(2 + 2 * i), &q.scores[i])) {
                    *error = notANumber(name, r, BankNames::scoreField(i));
                    return false;
                }
            }
            test->questions.append(q);
        }
        const QString scoring = BankNames::scoringTable(name);
        rows.clear();
        if (!select(scoring,
                { BankNames::lowerField(), BankNames::upperField(), BankNames::evaluationField() },
                &rows, error))
            return false;
        for (int r = 0; r < rows.size(); ++r) {
            Band b;
            if (!scoreOf(rows[r].at(0), &b.lower) || !scoreOf(rows[r].at(1), &b.upper)) {
                *error = notANumber(
                    scoring, r, BankNames::lowerField() + u'/' + BankNames::upperField());
                return false;
            }
            b.evaluation = textOf(rows[r].at(2));
            test->bands.append(b);
        }
        return true;
    }

    // The names in one field of a table, NULL rows passed over.
    bool names(const TableReader &select, const QString &table, const QString &field,
        QStringList *out, QString *error)
    {
        QList<QVariantList> rows;
        if (!select(table, { field }, &rows, error))
            return false;
        for (const QVariantList &row : rows)
            if (!row.at(0).isNull())
                out->append(row.at(0).toString());
        return true;
    }

    Package readWith(const TableReader &select, QString *error)
    {
        Package package;
        QStringList categories;
        if (!names(
                select, BankNames::categoryList(), BankNames::categoryField(), &categories, error))
            return {};
        for (const QString &name : categories) {
            Category category { name, {} };
            QStringList tests;
            if (!names(select, name, BankNames::testField(), &tests, error))
                return {};
            for (const QString &t : tests) {
                Test test;
                if (!readTest(select, t, &test, error))
                    return {};
                category.tests.append(test);
            }
            package.categories.append(category);
        }
        return package;
    }

    // A bank that is no file (a server bank), read through the store's own verbs.
    Package readThroughStore(const QString &bank, QString *error)
    {
        TableAccess access;
        return readWith(
            [&](const QString &table, const QStringList &fields, QList<QVariantList> *rows,
                QString *why) {
                if (const StoreError e = access.open(bank, table)) {
                    *why = e.message();
                    return false;
                }
                for (int f = 0; f < fields.size(); ++f) {
                    const int field = int(access.fields().indexOf(fields.at(f)));
                    QList<qint64> ids;
                    QVariantList values;
                    const StoreError e = field < 0
                        ? StoreError(StoreError::NoSuchField, fields.at(f))
                        : access.values(field, &ids, &values);
                    if (e) {
                        *why = readFailure(table, e.message());
                        return false;
                    }
                    if (values.size() > kMostRows) {
                        *why = QStringLiteral("表“%1”有 %2 行以上，不像是题库里的表。")
                                   .arg(table)
                                   .arg(kMostRows);
                        return false;
                    }
                    if (f == 0)
                        rows->resize(values.size());
                    for (qsizetype r = 0; r < values.size() && r < rows->size(); ++r)
                        (*rows)[r].append(values.at(r));
                }
                return true;
            },
            error);
    }

} // namespace

Package readBank(QSqlDatabase db, QString *error)
{
    return readWith([&](const QString &table, const QStringList &fields, QList<QVariantList> *rows,
                        QString *why) { return selectRows(db, table, fields, rows, why); },
        error);
}

Package readBank(const QString &bank, QString *error)
{
    if (!BankBackend::isFile(bank))
        return readThroughStore(bank, error);
    StoreError problem;
    QSqlDatabase db = BankFile::connection(bank, &problem);
    if (problem) {
        *error = problem.message();
        return {};
    }
    return readBank(db, error);
}

// Another bank is copied whole into memory first: far beyond any bank is no bank.
constexpr qint64 kLargestBank = qint64(256) << 20;
// And reading it takes no longer than this.
constexpr int kLongestRead = 20000;

// A bank of the program, read-only through a copy; messages name it as shown.
static Package readSqliteBank(const QString &path, const QString &shown, QString *error)
{
    const QString connection = QStringLiteral("qelvi-source-") + QUuid::createUuid().toString();
    Package package;
    QTemporaryDir copy;
    {
        QString reason;
        QSqlDatabase db = BankFile::openCopy(
            path, copy.path(), connection, kLargestBank, kLongestRead, &reason);
        if (!db.isOpen()) {
            *error = QStringLiteral("无法导入题库“%1”：%2。").arg(shown, reason);
        } else if (!db.tables(QSql::AllTables).contains(BankNames::categoryList())) {
            *error = QStringLiteral("“%1”不是题库文件（没有“分类列表”表）。").arg(shown);
        } else {
            package = readBank(db, error);
            if (!error->isEmpty())
                *error = QStringLiteral("题库“%1”：%2").arg(shown, *error);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return package;
}

Package readOtherBank(const QString &path, QString *error)
{
    error->clear();
    const QString shown = QFileInfo(path).fileName();
    QString reason;
    const std::optional<DatabaseFile> file = databaseFile(path, &reason);
    if (!file || !file->exists) {
        *error = QStringLiteral("无法导入题库“%1”：%2。")
                     .arg(shown, file ? QStringLiteral("文件不存在") : reason);
        return {};
    }
    // An Access 2000 bank is read through a converted copy; the file itself is not touched.
    if (JetBank::formatOf(path) != JetBank::Format::Other) {
        QTemporaryDir copy;
        const QString converted = copy.filePath(QStringLiteral("test.mdb"));
        if (const StoreError e = JetBank::convertCopy(path, converted)) {
            *error = e.message();
            return {};
        }
        return readSqliteBank(converted, shown, error);
    }
    return readSqliteBank(path, shown, error);
}

Package onlyCategory(const Package &package, const QString &category)
{
    Package one;
    for (const Category &c : package.categories)
        if (c.name == category)
            one.categories.append(c);
    return one;
}

Package onlyTest(const Package &package, const QString &test)
{
    for (const Category &c : package.categories)
        for (const Test &t : c.tests)
            if (t.name == test)
                return Package { { Category { c.name, { t } } } };
    return {};
}

} // namespace Exchange
