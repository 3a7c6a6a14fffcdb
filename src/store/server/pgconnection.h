#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

// One connection to a server bank (PostgreSQL through libpq), owned by the object that
// holds it. Nothing it does waits without a bound: the connection has a deadline, every
// statement the server's statement timeout, an idle transaction the server's idle
// timeout, and a silent network TCP keepalives. Values always travel as parameters,
// never inside the SQL text. Every failure comes back as a PgError with one sentence
// in Chinese that names the server and ends with the SQLSTATE.

struct pg_conn;
struct pg_result;
class QSocketNotifier;

// Where a server bank is. A libpq service (~/.pg_service.conf or the system's) gives
// the settings the fields here leave empty; ~/.pgpass is read by libpq itself.
struct PgAddress
{
    QString service;
    QString host; // a name, an address, or the folder of a local socket ("/run/postgresql")
    int port = 0; // 0: the service's, or libpq's default
    QString dbname;
    QString user;
    int connectTimeoutSeconds = 10;
    int statementTimeoutMs = 30000;
    // A transaction left open without a statement (a user typing meanwhile) is ended
    // by the server, so that it holds no lock for long.
    int idleInTransactionMs = 60000;
    // A row or name another client is saving is waited for this long at most, then told
    // (PgError::Busy): never a hang.
    int lockTimeoutMs = 5000;

    // What the messages call the server: the service, or host:port, then /database.
    QString display() const;
};

struct PgError
{
    enum Kind {
        None,
        BadSettings, // the connection's settings cannot be used: an unknown service, a bad value
        NoClient, // the client library (libpq) cannot be loaded
        Unreachable, // no server answers there: stopped, wrong address, network down
        Timeout, // no answer in time: the connection or the statement was given up
        Interrupted, // the program is ending (a signal): the connection was given up
        PasswordNeeded, // the server asks for a password and none was given
        LoginRefused, // the server refused the user or the password
        Unverified, // no verified encrypted connection (sslmode=verify-full) came about
        ConnectionLost, // the connection broke; what was under way is not known to be done
        DiskFull, // the server's disk is full: nothing of the change was kept
        Busy, // a row is locked by another client (a NOWAIT lock, SQLSTATE 55P03)
        InvalidValue, // a value the server cannot store (a NUL character, broken UTF-16)
        Refused, // the server refused the statement: a constraint, a right, the SQL
    };

    Kind kind = None;
    QString sqlstate; // five characters; libpq's own failures as 08001 or 08006
    QString message; // the sentence for the user, naming the server, SQLSTATE included
    QString detail; // the server's or libpq's own words, for a second line
    QString constraint; // the constraint a refused write met, e.g. "names_folded_key"

    explicit operator bool() const { return kind != None; }
};

// The outcome of one statement: its rows, or the error.
class PgResult
{
public:
    PgResult() = default;

    const PgError &error() const { return m_error; }
    bool ok() const { return !m_error; }

    int rows() const;
    int columns() const;
    // Rows an INSERT, UPDATE or DELETE touched; 0 for a versioned write that lost.
    qint64 affected() const;
    bool isNull(int row, int column) const;
    // The field's text as the server sent it; a null QString for NULL.
    QString text(int row, int column) const;
    // An integer column; 0 for NULL.
    qint64 integer(int row, int column) const;
    // A real column's value exactly as stored; 0 for NULL. Numbers are shown by the
    // program's own rules, never in the server's text.
    float single(int row, int column) const;

private:
    friend class PgConnection;
    std::shared_ptr<pg_result> m_result;
    PgError m_error;
};

class PgConnection : public QObject
{
    Q_OBJECT

public:
    explicit PgConnection(QObject *parent = nullptr);
    ~PgConnection() override;
    PgConnection(const PgConnection &) = delete;
    PgConnection &operator=(const PgConnection &) = delete;

    // Connects, closing any earlier connection first. The password is used for this
    // call only (libpq keeps its copy in memory); empty: ~/.pgpass, or none. Any host
    // but a local socket is reached encrypted, with the server's certificate verified.
    PgError open(const PgAddress &address, const QString &password = QString());
    void close();
    bool isOpen() const;
    const PgAddress &address() const { return m_address; }
    // The server process of this connection (for the server's own views); 0 when closed.
    int serverPid() const;

    // Runs one statement with $1, $2, ... bound to values: a null QVariant is NULL,
    // numbers and texts travel as text (UTF-8), bool as t/f.
    PgResult exec(const QString &sql, const QVariantList &values = {});

    // Listens on a channel; each notification then arrives as notified(), also while
    // the program only waits for events.
    PgError listen(const QString &channel);

    // After connectionLost: connects again with the same settings and password, within
    // the same time bound, and listens again on the same channels. What was told
    // meanwhile is lost: the caller re-reads what it shows.
    PgError reconnect();

signals:
    void notified(const QString &channel, const QString &payload);
    // The connection broke (told once, after the call that met it returned).
    void connectionLost(const PgError &error);

private:
    void readNotifications();
    void drain();
    void lost(const PgError &error);
    // Completes a connection that open() or reconnect() started.
    PgError awaitConnection(bool reset);
    PgError resultError(pg_result *result) const;
    PgError failure(PgError::Kind kind, const QString &sqlstate, const QString &detail) const;

    pg_conn *m_conn = nullptr;
    PgAddress m_address;
    QStringList m_channels; // listened to, again after a reconnection
    QSocketNotifier *m_notifier = nullptr;
    bool m_drainQueued = false;
    bool m_lostTold = false;
};
