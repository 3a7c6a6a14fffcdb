#include "store/server/serversession.h"

#include "store/banknews.h"
#include "store/server/serverbank.h"

#include <QUrl>
#include <QUrlQuery>
#include <memory>

namespace ServerSession {

namespace {

    const QString kScheme = QStringLiteral("postgresql");

    struct Session
    {
        std::unique_ptr<PgConnection> connection;
        QString location;
    };

    Session &session()
    {
        static Session one;
        return one;
    }

    QString encoded(const QString &part)
    {
        return QString::fromLatin1(QUrl::toPercentEncoding(part));
    }

} // namespace

QString location(const PgAddress &address)
{
    // Built by hand: QUrl writes an empty host as "postgresql:/db", which libpq and the
    // store would not know for a server location.
    QString text = kScheme + QStringLiteral("://");
    if (!address.user.isEmpty())
        text += encoded(address.user) + u'@';
    const bool socket = address.host.startsWith(u'/');
    if (!address.host.isEmpty() && !socket)
        text += address.host.contains(u':') ? u'[' + address.host + u']' : encoded(address.host);
    if (address.port > 0)
        text += u':' + QString::number(address.port);
    text += u'/' + encoded(address.dbname);
    QStringList query;
    if (socket)
        query << QStringLiteral("host=") + encoded(address.host);
    if (!address.service.isEmpty())
        query << QStringLiteral("service=") + encoded(address.service);
    if (!query.isEmpty())
        text += u'?' + query.join(u'&');
    return text;
}

bool parse(const QString &location, PgAddress *address)
{
    const QUrl url(location, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().compare(kScheme, Qt::CaseInsensitive) != 0)
        return false;
    PgAddress parsed;
    parsed.user = url.userName(QUrl::FullyDecoded);
    parsed.host = url.host(QUrl::FullyDecoded);
    parsed.port = qMax(0, url.port());
    parsed.dbname = url.path(QUrl::FullyDecoded).mid(1);
    const QUrlQuery query(url);
    if (query.hasQueryItem(QStringLiteral("host")))
        parsed.host = query.queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded);
    parsed.service = query.queryItemValue(QStringLiteral("service"), QUrl::FullyDecoded);
    *address = parsed;
    return true;
}

PgError open(const PgAddress &address, const QString &password)
{
    // The bank open now stays until the new one is up: a server that does not answer
    // leaves the user where he was.
    auto connection = std::make_unique<PgConnection>();
    if (PgError error = connection->open(address, password))
        return error;
    if (PgError error = ServerBank::prepare(*connection)) {
        connection->close();
        return error;
    }
    close();
    session().connection = std::move(connection);
    session().location = location(address);
    return {};
}

void close()
{
    session().connection.reset();
    session().location.clear();
}

PgConnection *connection(const QString &where)
{
    Session &s = session();
    return s.connection && where == s.location ? s.connection.get() : nullptr;
}

PgConnection *ready(const QString &where, QString *error)
{
    error->clear();
    PgConnection *c = connection(where);
    if (!c || c->isOpen())
        return c;
    if (const PgError e = c->reconnect()) {
        *error = e.message;
        return nullptr;
    }
    BankNews::instance()->tell(where);
    return c;
}

QString current()
{
    return session().location;
}

void install()
{
    BankBackend::install(kScheme, [](const QString &where) -> std::unique_ptr<BankBackend> {
        return std::make_unique<ServerBank>(where);
    });
}

} // namespace ServerSession
