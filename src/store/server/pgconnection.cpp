#include "store/server/pgconnection.h"

#include "base/endsignals.h"
#include "store/server/libpq.h"

#include <QByteArrayList>
#include <QDeadlineTimer>
#include <QMetaObject>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <cerrno>
#include <charconv>
#include <optional>
#include <poll.h>
#include <utility>
#include <vector>

namespace {

// The client library, once the first connection has loaded it.
const LibPq *pq = nullptr;

bool isLocalSocket(const QString &host)
{
    return host.startsWith(u'/') || host.startsWith(u'@');
}

QString sentence(PgError::Kind kind, const QString &sqlstate, const PgAddress &a)
{
    const QString server = a.display();
    switch (kind) {
    case PgError::None:
        return {};
    case PgError::BadSettings:
        return QStringLiteral("连接题库服务器“%1”的设置有误，没有连接。").arg(server);
    case PgError::NoClient:
        return QStringLiteral(
            "本机没有安装 PostgreSQL 的客户端库（libpq5），无法连接题库服务器“%1”。")
            .arg(server);
    case PgError::Unreachable:
        return QStringLiteral("无法连接题库服务器“%1”：服务器没有运行，或者网络不通。").arg(server);
    case PgError::Timeout:
        if (sqlstate == QLatin1String("57014"))
            return QStringLiteral("题库服务器“%1”没有在 %2 秒内完成这项操作，操作已经取消。")
                .arg(server)
                .arg(a.statementTimeoutMs / 1000.0);
        return QStringLiteral("题库服务器“%1”在 %2 秒内没有答复，连接已经放弃。")
            .arg(server)
            .arg(a.connectTimeoutSeconds);
    case PgError::PasswordNeeded:
        return QStringLiteral("登录题库服务器“%1”需要密码。").arg(server);
    case PgError::LoginRefused:
        return QStringLiteral(
            "题库服务器“%1”拒绝了登录：用户名或密码不对，或者这个用户不能使用题库。")
            .arg(server);
    case PgError::Unverified:
        return QStringLiteral(
            "无法和题库服务器“%1”建立经过验证的加密连接：请检查服务器的证书和本机的根证书。")
            .arg(server);
    case PgError::Interrupted:
        return QStringLiteral("程序正在结束，没有再等题库服务器“%1”答复，连接已经放弃。")
            .arg(server);
    case PgError::ConnectionLost:
        return QStringLiteral(
            "与题库服务器“%1”的连接断开了（服务器停止了，或者网络中断），刚才的操作没有确认完成。")
            .arg(server);
    case PgError::DiskFull:
        return QStringLiteral("题库服务器“%1”的磁盘已满，刚才的修改没有保存。").arg(server);
    case PgError::Busy:
        return QStringLiteral("题库服务器“%1”上这项内容正被别人修改，请稍后再试。").arg(server);
    case PgError::InvalidValue:
        return QStringLiteral("题库服务器“%1”存不下这段文字：其中有空字符或损坏的字符。")
            .arg(server);
    case PgError::Refused:
        if (sqlstate == QLatin1String("3D000"))
            return QStringLiteral("题库服务器“%1”上没有这个数据库。").arg(server);
        return QStringLiteral("题库服务器“%1”拒绝了这项操作。").arg(server);
    }
    return {};
}

PgError::Kind kindOf(const QString &sqlstate)
{
    if (sqlstate.startsWith(QLatin1String("08")) || sqlstate == QLatin1String("57P01")
        || sqlstate == QLatin1String("57P02") || sqlstate == QLatin1String("57P05")
        || sqlstate == QLatin1String("25P03"))
        return PgError::ConnectionLost;
    if (sqlstate.startsWith(QLatin1String("28")))
        return PgError::LoginRefused;
    if (sqlstate == QLatin1String("57P03"))
        return PgError::Unreachable; // starting up or shutting down
    if (sqlstate == QLatin1String("53100"))
        return PgError::DiskFull;
    if (sqlstate == QLatin1String("57014"))
        return PgError::Timeout;
    if (sqlstate == QLatin1String("55P03"))
        return PgError::Busy;
    if (sqlstate == QLatin1String("22021"))
        return PgError::InvalidValue;
    return PgError::Refused;
}

// A value as the text the server reads; nothing for a text PostgreSQL cannot hold
// (it would be cut at a NUL character, or changed where UTF-16 is broken).
std::optional<QByteArray> parameterText(const QVariant &value)
{
    char digits[64];
    switch (value.typeId()) {
    case QMetaType::Bool:
        return QByteArray(value.toBool() ? "t" : "f");
    case QMetaType::Float: {
        const auto end = std::to_chars(digits, digits + sizeof digits, value.toFloat()).ptr;
        return QByteArray(digits, end - digits);
    }
    case QMetaType::Double: {
        const auto end = std::to_chars(digits, digits + sizeof digits, value.toDouble()).ptr;
        return QByteArray(digits, end - digits);
    }
    default:
        break;
    }
    const QString text = value.toString();
    if (text.contains(QChar(u'\0')))
        return std::nullopt;
    QByteArray utf8 = text.toUtf8();
    if (QString::fromUtf8(utf8) != text)
        return std::nullopt;
    return utf8;
}

// The SQLSTATE in a verbose libpq message ("FATAL:  28P01: password ..."), the only
// place libpq keeps it for a failed connection.
QString sqlstateIn(const QString &message)
{
    static const QRegularExpression code(QStringLiteral(":  ([0-9A-Z]{5}): "));
    const QRegularExpressionMatch m = code.match(message);
    return m.hasMatch() ? m.captured(1) : QString();
}

QString words(const char *text)
{
    return QString::fromUtf8(text).trimmed();
}

} // namespace

QString PgAddress::display() const
{
    QString where = !service.isEmpty()
        ? service
        : (host.isEmpty() || isLocalSocket(host) ? QStringLiteral("本机") : host);
    if (port > 0)
        where += u':' + QString::number(port);
    if (!dbname.isEmpty())
        where += u'/' + dbname;
    return where;
}

int PgResult::rows() const
{
    return m_result ? pq->PQntuples(m_result.get()) : 0;
}

int PgResult::columns() const
{
    return m_result ? pq->PQnfields(m_result.get()) : 0;
}

qint64 PgResult::affected() const
{
    return m_result ? QByteArray(pq->PQcmdTuples(m_result.get())).toLongLong() : 0;
}

bool PgResult::isNull(int row, int column) const
{
    return !m_result || pq->PQgetisnull(m_result.get(), row, column);
}

QString PgResult::text(int row, int column) const
{
    if (isNull(row, column))
        return {};
    return QString::fromUtf8(
        pq->PQgetvalue(m_result.get(), row, column), pq->PQgetlength(m_result.get(), row, column));
}

qint64 PgResult::integer(int row, int column) const
{
    return isNull(row, column)
        ? 0
        : QByteArray(pq->PQgetvalue(m_result.get(), row, column)).toLongLong();
}

float PgResult::single(int row, int column) const
{
    if (isNull(row, column))
        return 0;
    const char *text = pq->PQgetvalue(m_result.get(), row, column);
    const char *end = text + pq->PQgetlength(m_result.get(), row, column);
    float value = 0;
    // The server writes the shortest text that reads back as the same single;
    // from_chars reads it without the locale's decimal point.
    std::from_chars(*text == '+' ? text + 1 : text, end, value);
    return value;
}

PgConnection::PgConnection(QObject *parent)
    : QObject(parent)
{ }

PgConnection::~PgConnection()
{
    close();
}

bool PgConnection::isOpen() const
{
    return m_conn && pq->PQstatus(m_conn) == CONNECTION_OK;
}

int PgConnection::serverPid() const
{
    return m_conn ? pq->PQbackendPID(m_conn) : 0;
}

void PgConnection::close()
{
    delete m_notifier;
    m_notifier = nullptr;
    if (m_conn)
        pq->PQfinish(m_conn);
    m_conn = nullptr;
    m_lostTold = false;
    m_channels.clear();
}

PgError PgConnection::failure(
    PgError::Kind kind, const QString &sqlstate, const QString &detail) const
{
    PgError e;
    e.kind = kind;
    e.sqlstate = sqlstate;
    e.detail = detail;
    e.message
        = sentence(kind, sqlstate, m_address) + QStringLiteral("（SQLSTATE %1）").arg(sqlstate);
    return e;
}

PgError PgConnection::open(const PgAddress &address, const QString &password)
{
    close();
    m_address = address;
    QString missing;
    if (!(pq = libPq(&missing)))
        return failure(PgError::NoClient, QStringLiteral("08001"), missing);
    QByteArrayList keys;
    QByteArrayList values;
    const auto set = [&](const char *key, const QByteArray &value) {
        if (!value.isEmpty()) {
            keys << key;
            values << value;
        }
    };
    set("service", address.service.toUtf8());
    set("host", address.host.toUtf8());
    set("port", address.port > 0 ? QByteArray::number(address.port) : QByteArray());
    set("dbname", address.dbname.toUtf8());
    set("user", address.user.toUtf8());
    // libpq ignores sslmode on a local socket; everywhere else it is this one.
    set("sslmode", "verify-full");
    set("connect_timeout", QByteArray::number(qMax(1, address.connectTimeoutSeconds)));
    set("client_encoding", "UTF8");
    set("application_name", "qelvi");
    set("keepalives", "1");
    set("keepalives_idle", "30");
    set("keepalives_interval", "10");
    set("keepalives_count", "3");
    set("tcp_user_timeout", "60000");
    set("options",
        QStringLiteral("-c statement_timeout=%1 -c idle_in_transaction_session_timeout=%2 "
                       "-c lock_timeout=%3")
            .arg(qMax(0, address.statementTimeoutMs))
            .arg(qMax(0, address.idleInTransactionMs))
            .arg(qMax(0, address.lockTimeoutMs))
            .toUtf8());
    std::vector<const char *> k;
    std::vector<const char *> v;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        k.push_back(keys[i].constData());
        v.push_back(values[i].constData());
    }
    // The password's one copy here is wiped once libpq has taken its own.
    QByteArray secret = password.toUtf8();
    if (!secret.isEmpty()) {
        k.push_back("password");
        v.push_back(secret.constData());
    }
    k.push_back(nullptr);
    v.push_back(nullptr);
    // expand_dbname 0: a database name is a name, never read as settings.
    m_conn = pq->PQconnectStartParams(k.data(), v.data(), 0);
    secret.fill('\0');
    if (!m_conn)
        return failure(PgError::Unreachable, QStringLiteral("08001"), QString());
    // Settings libpq could not use (an unknown service) leave it without a host; a
    // local socket that is not there fails already here, with its host known.
    const char *host = pq->PQhost(m_conn);
    if (pq->PQstatus(m_conn) == CONNECTION_BAD && (!host || !*host)) {
        const PgError e = failure(
            PgError::BadSettings, QStringLiteral("08001"), words(pq->PQerrorMessage(m_conn)));
        close();
        return e;
    }
    pq->PQsetNoticeProcessor(
        m_conn, [](void *, const char *) {}, nullptr);
    // Verbose: the server's SQLSTATE of a refused login stays in the message.
    pq->PQsetErrorVerbosity(m_conn, PQERRORS_VERBOSE);

    const PgError e = awaitConnection(false);
    if (e)
        close();
    return e;
}

PgError PgConnection::awaitConnection(bool reset)
{
    // libpq's own connect_timeout holds only for its blocking calls; this loop keeps
    // one deadline for the whole connection (address lookup aside).
    const QDeadlineTimer deadline(qMax(1, m_address.connectTimeoutSeconds) * 1000);
    PostgresPollingStatusType state
        = pq->PQstatus(m_conn) == CONNECTION_BAD ? PGRES_POLLING_FAILED : PGRES_POLLING_WRITING;
    bool late = false;
    // A signal that ends the program gives the wait up, so that the program's own end
    // follows at once; any other signal that cuts poll short is waited past. One that
    // comes just before poll is seen within its second.
    const int endSignals = EndSignals::seen();
    bool interrupted = false;
    while (state != PGRES_POLLING_OK && state != PGRES_POLLING_FAILED) {
        if (EndSignals::seen() != endSignals) {
            interrupted = true;
            break;
        }
        pollfd p { pq->PQsocket(m_conn), short(state == PGRES_POLLING_READING ? POLLIN : POLLOUT),
            0 };
        const int ready = poll(&p, 1, int(qMin<qint64>(deadline.remainingTime(), 1000)));
        if (ready < 0 && errno != EINTR)
            break;
        if (ready == 0 && deadline.hasExpired()) {
            late = true;
            break;
        }
        if (ready > 0)
            state = reset ? pq->PQresetPoll(m_conn) : pq->PQconnectPoll(m_conn);
    }
    if (state == PGRES_POLLING_OK)
        return {};

    const QString detail = words(pq->PQerrorMessage(m_conn));
    const QString sqlstate = sqlstateIn(detail);
    if (interrupted)
        return failure(PgError::Interrupted, QStringLiteral("08001"), detail);
    if (late)
        return failure(PgError::Timeout, QStringLiteral("08001"), detail);
    if (pq->PQconnectionNeedsPassword(m_conn))
        return failure(PgError::PasswordNeeded, QStringLiteral("28P01"), detail);
    if (!sqlstate.isEmpty())
        return failure(
            kindOf(sqlstate) == PgError::ConnectionLost ? PgError::Unreachable : kindOf(sqlstate),
            sqlstate, detail);
    if (detail.contains(QLatin1String("SSL")) || detail.contains(QLatin1String("certificate")))
        return failure(PgError::Unverified, QStringLiteral("08001"), detail);
    return failure(PgError::Unreachable, QStringLiteral("08001"), detail);
}

PgError PgConnection::reconnect()
{
    if (!m_conn)
        return failure(PgError::ConnectionLost, QStringLiteral("08003"), QString());
    delete m_notifier;
    m_notifier = nullptr;
    m_lostTold = false;
    const QStringList channels = std::exchange(m_channels, {});
    if (!pq->PQresetStart(m_conn))
        return failure(
            PgError::Unreachable, QStringLiteral("08001"), words(pq->PQerrorMessage(m_conn)));
    if (const PgError e = awaitConnection(true)) {
        m_channels = channels; // for the next try
        return e;
    }
    for (const QString &channel : channels)
        if (const PgError e = listen(channel))
            return e;
    return {};
}

PgError PgConnection::resultError(pg_result *result) const
{
    const ExecStatusType status = result ? pq->PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
        return {};
    const char *code = result ? pq->PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    QString sqlstate = QString::fromLatin1(code);
    const char *primary
        = result ? pq->PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    const QString detail = primary ? words(primary) : words(pq->PQerrorMessage(m_conn));
    if (sqlstate.isEmpty())
        sqlstate = pq->PQstatus(m_conn) == CONNECTION_BAD ? QStringLiteral("08006")
                                                          : QStringLiteral("XX000");
    PgError e = failure(kindOf(sqlstate), sqlstate, detail);
    if (result)
        e.constraint = QString::fromUtf8(pq->PQresultErrorField(result, PG_DIAG_CONSTRAINT_NAME));
    return e;
}

PgResult PgConnection::exec(const QString &sql, const QVariantList &values)
{
    PgResult r;
    if (!m_conn) {
        r.m_error = failure(PgError::ConnectionLost, QStringLiteral("08003"), QString());
        return r;
    }
    QByteArrayList texts;
    std::vector<const char *> params;
    for (const QVariant &value : values) {
        if (value.isNull()) {
            texts << QByteArray();
            continue;
        }
        const std::optional<QByteArray> text = parameterText(value);
        if (!text) {
            r.m_error = failure(PgError::InvalidValue, QStringLiteral("22021"), QString());
            return r;
        }
        texts << *text;
    }
    for (qsizetype i = 0; i < values.size(); ++i)
        params.push_back(values[i].isNull() ? nullptr : texts[i].constData());
    const QByteArray statement = sql.toUtf8();
    pg_result *result = pq->PQexecParams(m_conn, statement.constData(), int(params.size()), nullptr,
        params.data(), nullptr, nullptr, 0);
    if (result)
        r.m_result.reset(result, pq->PQclear);
    r.m_error = resultError(result);
    if (pq->PQstatus(m_conn) == CONNECTION_BAD) {
        if (r.m_error.kind != PgError::ConnectionLost)
            r.m_error = failure(PgError::ConnectionLost, QStringLiteral("08006"), r.m_error.detail);
        lost(r.m_error);
    } else if (m_notifier && !m_drainQueued) {
        // Notifications that came in with the answer are already read off the socket.
        m_drainQueued = true;
        QMetaObject::invokeMethod(this, &PgConnection::drain, Qt::QueuedConnection);
    }
    return r;
}

PgError PgConnection::listen(const QString &channel)
{
    if (!m_conn)
        return failure(PgError::ConnectionLost, QStringLiteral("08003"), QString());
    // A channel is a name in the SQL text (LISTEN takes no parameter), quoted as one.
    const QByteArray name = channel.toUtf8();
    char *quoted = pq->PQescapeIdentifier(m_conn, name.constData(), size_t(name.size()));
    if (!quoted)
        return failure(
            PgError::InvalidValue, QStringLiteral("22021"), words(pq->PQerrorMessage(m_conn)));
    const QString sql = QStringLiteral("LISTEN ") + QString::fromUtf8(quoted);
    pq->PQfreemem(quoted);
    const PgResult r = exec(sql);
    if (r.error())
        return r.error();
    if (!m_channels.contains(channel))
        m_channels << channel;
    if (!m_notifier) {
        m_notifier = new QSocketNotifier(pq->PQsocket(m_conn), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &PgConnection::readNotifications);
    }
    return {};
}

void PgConnection::readNotifications()
{
    if (!m_conn)
        return;
    if (!pq->PQconsumeInput(m_conn) || pq->PQstatus(m_conn) == CONNECTION_BAD) {
        lost(failure(
            PgError::ConnectionLost, QStringLiteral("08006"), words(pq->PQerrorMessage(m_conn))));
        return;
    }
    drain();
}

void PgConnection::drain()
{
    m_drainQueued = false;
    while (m_conn) {
        PGnotify *n = pq->PQnotifies(m_conn);
        if (!n)
            break;
        const QString channel = QString::fromUtf8(n->relname);
        const QString payload = QString::fromUtf8(n->extra);
        pq->PQfreemem(n);
        emit notified(channel, payload);
    }
}

void PgConnection::lost(const PgError &error)
{
    if (m_notifier)
        m_notifier->setEnabled(false);
    if (m_lostTold)
        return;
    m_lostTold = true;
    // Told after the call that met it has returned, never from inside it.
    QMetaObject::invokeMethod(
        this, [this, error] { emit connectionLost(error); }, Qt::QueuedConnection);
}
