#include "app/bankchoice.h"

#include "base/currentbank.h"
#include "base/programfolder.h"
#include "base/safefile.h"
#include "platform/inputbox.h"
#include "platform/msgbox.h"
#include "store/banknews.h"
#include "store/server/serversession.h"

#include <QPointer>

namespace BankChoice {

namespace {

    const QByteArray kKey = QByteArrayLiteral("location=");

    std::function<bool()> &windowCloser()
    {
        static std::function<bool()> closer;
        return closer;
    }

    bool closeWindows()
    {
        return !windowCloser() || windowCloser()();
    }

    QString settingFile()
    {
        return programFile(QStringLiteral("bank.ini"));
    }

    void remember(const QString &location)
    {
        QString reason;
        if (!replaceFile(settingFile(), kKey + location.toUtf8() + "\r\n", &reason))
            msgBox(QStringLiteral("这个设置没能保存：%1").arg(reason));
    }

    // Opens the server bank, asking for the password when the server wants one. A
    // password box the user cancelled sets *cancelled.
    PgError openServer(const PgAddress &address, bool *cancelled)
    {
        *cancelled = false;
        PgError error = ServerSession::open(address);
        if (error.kind != PgError::PasswordNeeded)
            return error;
        std::optional<QString> password = passwordBox(
            QStringLiteral("登录题库服务器“%1”需要密码，请输入密码：").arg(address.display()));
        if (!password) {
            *cancelled = true;
            return error;
        }
        error = ServerSession::open(address, *password);
        password->fill(QChar(u'\0'));
        return error;
    }

    // The connection broke: told once; the user may have it connected again, and the
    // windows then read what they show afresh.
    void lost(const QPointer<PgConnection> &connection, PgError error)
    {
        const QString location = ServerSession::current();
        for (;;) {
            if (msgBox(error.message + QStringLiteral("\n要重新连接吗？"), MsgStyle::Question)
                != MsgAnswer::Yes)
                return;
            // The bank may have changed or the program be ending while the box was open.
            if (!connection || ServerSession::connection(location) != connection)
                return;
            error = connection->reconnect();
            if (!error) {
                BankNews::instance()->tell(location);
                return;
            }
            if (error.kind == PgError::Interrupted)
                return; // the program is ending
        }
    }

    void watchOpenConnection()
    {
        PgConnection *connection = ServerSession::connection(ServerSession::current());
        if (!connection)
            return;
        QObject::connect(connection, &PgConnection::connectionLost, connection,
            [guard = QPointer<PgConnection>(connection)](
                const PgError &error) { lost(guard, error); });
    }

} // namespace

void setWindowCloser(std::function<bool()> closer)
{
    windowCloser() = std::move(closer);
}

bool connectServer(const PgAddress &address)
{
    // The windows on the bank file can stay until the server answers; those on a server
    // bank go first, since its connection closes when another one opens.
    const bool fromServer = currentBank() != fileBank();
    if (fromServer && !closeWindows())
        return false;
    bool cancelled = false;
    if (const PgError error = openServer(address, &cancelled)) {
        // The bank open before is open still, a server bank too. A program that is
        // ending asks and tells nothing more.
        if (!cancelled && error.kind != PgError::Interrupted)
            msgBox(error.message);
        return false;
    }
    if (!fromServer && !closeWindows()) {
        ServerSession::close();
        return false;
    }
    setCurrentBank(ServerSession::current());
    remember(ServerSession::current());
    watchOpenConnection();
    return true;
}

bool useFile()
{
    if (!closeWindows())
        return false;
    ServerSession::close();
    setCurrentBank(QString());
    remember(QString());
    return true;
}

bool useSnapshot(const QString &path)
{
    if (!closeWindows())
        return false;
    ServerSession::close();
    setCurrentBank(path);
    return true;
}

void restore()
{
    PgAddress address;
    const QString location = remembered();
    if (location.isEmpty() || !ServerSession::parse(location, &address))
        return;
    bool cancelled = false;
    const PgError error = openServer(address, &cancelled);
    if (!error) {
        setCurrentBank(ServerSession::current());
        watchOpenConnection();
        return;
    }
    if (error.kind == PgError::Interrupted)
        return; // the program is ending: the bank file stays open for its last steps
    const QString why = cancelled
        ? QStringLiteral("没有连接题库服务器“%1”。").arg(address.display())
        : error.message;
    msgBox(why + QStringLiteral("\n这次打开的是本机的题库文件。"));
}

QString remembered()
{
    const QByteArray bytes = readRegularFile(settingFile(), 4096).value_or(QByteArray());
    for (const QByteArray &line : bytes.split('\n')) {
        const QByteArray text = line.trimmed();
        if (text.startsWith(kKey))
            return QString::fromUtf8(text.mid(kKey.size()));
    }
    return {};
}

QString captionFor(const QString &location)
{
    const QString name = serverName(location);
    return name.isEmpty() ? QString() : QStringLiteral("题库服务器 ") + name;
}

QString serverName(const QString &location)
{
    PgAddress address;
    return ServerSession::parse(location, &address) ? address.display() : QString();
}

} // namespace BankChoice
