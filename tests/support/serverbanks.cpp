#include "serverbanks.h"

#include "base/safefile.h"
#include "store/server/serversession.h"

#include <QHash>
#include <QTest>

namespace ServerBanks {

namespace {

    const QHash<QString, QString> &facts()
    {
        static const QHash<QString, QString> all = [] {
            QString reason;
            const QHash<QString, QString> read
                = readFacts(QString::fromLocal8Bit(qgetenv("QELVI_TEST_SERVER")), &reason);
            if (read.isEmpty())
                qFatal("no test server: %s", qPrintable(reason));
            return read;
        }();
        return all;
    }

    PgConnection &opened(PgConnection &c, const QString &role)
    {
        // One the server dropped (killed and started again by a test) is opened afresh.
        if (c.isOpen() && !c.exec(QStringLiteral("SELECT 1")).ok())
            c.close();
        if (!c.isOpen()) {
            if (const PgError e = c.open(at(role)))
                qFatal("test server: %s (%s)", qPrintable(e.message), qPrintable(e.detail));
        }
        return c;
    }

} // namespace

QHash<QString, QString> readFacts(const QString &path, QString *reason)
{
    QHash<QString, QString> read;
    const auto bytes = readFile(path, 4096, reason);
    if (!bytes)
        return read;
    for (const QString &line : QString::fromUtf8(*bytes).split(u'\n'))
        read.insert(line.section(u'=', 0, 0), line.section(u'=', 1));
    return read;
}

bool enabled()
{
    return !qEnvironmentVariableIsEmpty("QELVI_TEST_SERVER");
}

PgAddress at(const QString &role)
{
    PgAddress a;
    a.host = facts().value(QStringLiteral("socket"));
    a.port = facts().value(QStringLiteral("port")).toInt();
    a.dbname = facts().value(QStringLiteral("dbname"));
    a.user = facts().value(role);
    a.connectTimeoutSeconds = 5;
    return a;
}

QString openEmpty()
{
    static PgConnection admin;
    opened(admin, QStringLiteral("admin"));
    for (const char *sql : { "DELETE FROM qelvi.tests", "DELETE FROM qelvi.categories" }) {
        const PgResult r = admin.exec(QString::fromLatin1(sql));
        if (!r.ok())
            qFatal("test server: %s", qPrintable(r.error().message));
    }
    ServerSession::install();
    const PgAddress author = at(QStringLiteral("author"));
    if (ServerSession::current() != ServerSession::location(author)) {
        if (const PgError e = ServerSession::open(author))
            qFatal("test server: %s (%s)", qPrintable(e.message), qPrintable(e.detail));
    }
    return ServerSession::current();
}

PgConnection &otherCopy()
{
    static PgConnection other;
    return opened(other, QStringLiteral("other"));
}

} // namespace ServerBanks
