// Connecting to a server bank from the main window, against the PostgreSQL cluster that
// the CTest fixture started (tests/server/pgcluster.sh): the dialog as a user fills it,
// the password box, the remembered choice at the next start, the way back to the bank
// file and a connection the server ends.
#include "app/bankchoice.h"
#include "app/frmServer.h"
#include "bank/frmAddTest.h"
#include "bank/frmFL.h"
#include "base/currentbank.h"
#include "base/safefile.h"
#include "binding/DBList.h"
#include "forms/forms.h"
#include "platform/inputbox.h"
#include "platform/msgbox.h"
#include "store/banknews.h"
#include "store/server/serversession.h"
#include "support/mainwindow.h"
#include "support/serverbanks.h"
#include "support/testfolder.h"
#include "support/userinput.h"

#include <QDirIterator>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// The locked role's password while these tests run; no other test knows it.
const QString kPassword = u"Geheim-口令-7"_s;

// The dialog filled with a service, or with the address: the port as an offset from the
// cluster's (1: where nothing listens), the user by the facts' role name.
const struct
{
    const char *tag;
    bool byService;
    int portOffset;
    QString dbname, role;
    QList<std::optional<QString>> passwords; // the password box's answers in turn
    bool connects;
    QString message; // the one message shown (%1: the server as it is named), or none
    bool fromServer = false; // tried while the author's server bank is open
} kAttempts[] = {
    { "host, port, database and user", false, 0, u"qelvi_test"_s, u"author"_s, {}, true, {} },
    { "service", true, 0, {}, {}, {}, true, {} },
    { "wrong port", false, 1, u"qelvi_test"_s, u"author"_s, {}, false,
        u"无法连接题库服务器“%1”：服务器没有运行，或者网络不通。（SQLSTATE 08001）"_s },
    { "no such database", false, 0, u"qelvi_nothing"_s, u"author"_s, {}, false,
        u"题库服务器“%1”上没有这个数据库。（SQLSTATE 3D000）"_s },
    { "password asked and given", false, 0, u"qelvi_test"_s, u"locked"_s, { kPassword }, true, {} },
    { "password box cancelled", false, 0, u"qelvi_test"_s, u"locked"_s, { std::nullopt }, false,
        {} },
    { "wrong password", false, 0, u"qelvi_test"_s, u"locked"_s, { u"nicht"_s }, false,
        u"题库服务器“%1”拒绝了登录：用户名或密码不对，或者这个用户不能使用题库。（SQLSTATE 28P01）"_s },
    { "another server bank", true, 0, {}, {}, {}, true, {}, true },
    { "wrong port from a server bank", false, 1, u"qelvi_test"_s, u"author"_s, {}, false,
        u"无法连接题库服务器“%1”：服务器没有运行，或者网络不通。（SQLSTATE 08001）"_s, true },
    { "no such database from a server bank", false, 0, u"qelvi_nothing"_s, u"author"_s, {}, false,
        u"题库服务器“%1”上没有这个数据库。（SQLSTATE 3D000）"_s, true },
};

template<class Row, size_t N>
void rows(const Row (&table)[N])
{
    QTest::addColumn<int>("row");
    for (size_t i = 0; i < N; ++i)
        QTest::newRow(table[i].tag) << int(i);
}

// Every file of the folder that holds these bytes.
QStringList filesHolding(const QString &folder, const QByteArray &bytes)
{
    QStringList found;
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = it.next();
        QString reason;
        if (readFile(path, 64 << 20, &reason).value_or(QByteArray()).contains(bytes))
            found << path;
    }
    return found;
}

} // namespace

class tst_serverconnect : public QObject
{
    Q_OBJECT

    QHash<QString, QString> m_facts;
    QTemporaryDir m_services;
    PgConnection m_admin;

    // The scene of one case, made in this order and let go in reverse.
    std::optional<TestFolder> m_folder;
    std::optional<ScriptedMessages> m_messages;
    std::optional<ScriptedInputs> m_inputs;
    std::optional<MainWindowFixture> m_main;

    PgAddress address(const QString &role, int portOffset = 0, const QString &dbname = {}) const
    {
        PgAddress a;
        a.host = m_facts[u"socket"_s];
        a.port = m_facts[u"port"_s].toInt() + portOffset;
        a.dbname = dbname.isEmpty() ? m_facts[u"dbname"_s] : dbname;
        a.user = m_facts[role];
        return a;
    }

    // The program ends and starts again on the same folder: the main window and the
    // server connection go, the bank chosen in memory is forgotten, the start runs.
    void restart()
    {
        m_main.reset();
        ServerSession::close();
        setCurrentBank(QString());
        m_main.emplace(QSize(1024, 768), true);
    }

    frmServer *openDialog()
    {
        (*m_main)->mnuServer->trigger();
        return Forms::find<frmServer>();
    }

    QString setting() const { return QString::fromUtf8(m_folder->read(u"bank.ini"_s)); }

private slots:
    void initTestCase()
    {
        QString reason;
        m_facts = ServerBanks::readFacts(QStringLiteral(QELVI_PG_FACTS), &reason);
        QVERIFY2(!m_facts.isEmpty(), qPrintable(u"no test server: "_s + reason));
        const PgError a = m_admin.open(address(u"admin"_s));
        QVERIFY2(!a, qPrintable(a.message + u'\n' + a.detail));
        // The locked role asks for a password on the socket; it gets one for these cases.
        QVERIFY(m_admin.exec(u"ALTER ROLE %1 PASSWORD '%2'"_s.arg(m_facts[u"locked"_s], kPassword))
                    .ok());
        const PgAddress s = address(u"author"_s);
        QVERIFY(replaceFile(m_services.filePath(u"pg_service.conf"_s),
            u"[qelvi_test_connect]\nhost=%1\nport=%2\ndbname=%3\nuser=%4\n"_s
                .arg(s.host, QString::number(s.port), s.dbname, s.user)
                .toUtf8(),
            &reason));
        qputenv("PGSERVICEFILE", m_services.filePath(u"pg_service.conf"_s).toLocal8Bit());
        ServerSession::install();
    }

    void cleanupTestCase()
    {
        m_admin.exec(u"ALTER ROLE %1 PASSWORD NULL"_s.arg(m_facts[u"locked"_s]));
    }

    void init()
    {
        m_folder.emplace();
        m_messages.emplace();
        m_inputs.emplace();
        m_main.emplace();
    }

    void cleanup()
    {
        m_main.reset();
        ServerSession::close();
        setCurrentBank(QString());
        m_inputs.reset();
        m_messages.reset();
        m_folder.reset();
    }

    // The dialog as a user fills it, with a window on the bank file open: a bank that
    // opens closes that window and is named by the caption and the setting; one that
    // does not is told once, and the dialog, the window and the bank stay as they were.
    // Tried from a server bank, that bank stays open and its windows show what it holds.
    void connectFromDialog_data() { rows(kAttempts); }
    void connectFromDialog()
    {
        QFETCH(int, row);
        const auto &r = kAttempts[row];
        const QString before = ServerSession::location(address(u"author"_s));
        const QString onServer = u"只在服务器上的类"_s;
        QVERIFY(m_admin.exec(u"DELETE FROM qelvi.categories WHERE name = $1"_s, { onServer }).ok());
        if (r.fromServer) {
            QVERIFY(BankChoice::connectServer(address(u"author"_s)));
            QVERIFY(m_admin.exec(u"INSERT INTO qelvi.categories (name) VALUES ($1)"_s, { onServer })
                        .ok());
        }
        (*m_main)->mnuCreatTest_Click();
        QVERIFY(Forms::find<frmAddTest>());
        m_messages->clear();
        for (const auto &password : r.passwords) {
            if (password)
                m_inputs->answer(*password);
            else
                m_inputs->cancel();
        }

        frmServer *dialog = openDialog();
        QVERIFY(dialog);
        PgAddress wanted;
        if (r.byService) {
            wanted.service = u"qelvi_test_connect"_s;
            // Listed from the user's service file.
            QVERIFY(userinput::pick(dialog, u"服务名："_s, wanted.service));
            QVERIFY(userinput::type(dialog, u"主机："_s, QString()));
            QVERIFY(userinput::type(dialog, u"端口："_s, QString()));
            QVERIFY(userinput::type(dialog, u"数据库："_s, QString()));
            QVERIFY(userinput::type(dialog, u"用户名："_s, QString()));
        } else {
            wanted = address(r.role, r.portOffset, r.dbname);
            QVERIFY(userinput::type(dialog, u"主机："_s, wanted.host));
            QVERIFY(userinput::type(dialog, u"端口："_s, QString::number(wanted.port)));
            QVERIFY(userinput::type(dialog, u"数据库："_s, wanted.dbname));
            QVERIFY(userinput::type(dialog, u"用户名："_s, wanted.user));
        }
        QVERIFY(userinput::press(dialog, u"连接"_s));
        settle();

        QCOMPARE(m_inputs->prompts().size(), r.passwords.size());
        QCOMPARE(m_messages->texts(),
            r.message.isEmpty() ? QStringList() : QStringList { r.message.arg(wanted.display()) });
        const QString location = ServerSession::location(wanted);
        // The windows on a server bank close before another one opens.
        QCOMPARE(!Forms::find<frmAddTest>(), r.connects || r.fromServer);
        if (r.connects) {
            QVERIFY(!Forms::find<frmServer>());
            QCOMPARE(currentBank(), location);
            QVERIFY(ServerSession::connection(location));
            QCOMPARE((*m_main)->windowTitle(), u"Qelvi——题库服务器 "_s + wanted.display());
            QVERIFY((*m_main)->mnuFileBank->isEnabled());
            QCOMPARE(setting(), u"location="_s + location + u"\r\n"_s);
        } else if (r.fromServer) {
            QCOMPARE(Forms::find<frmServer>(), dialog);
            QCOMPARE(currentBank(), before);
            QCOMPARE(ServerSession::current(), before);
            QCOMPARE(
                (*m_main)->windowTitle(), u"Qelvi——题库服务器 "_s + address(u"author"_s).display());
            QVERIFY((*m_main)->mnuFileBank->isEnabled());
            QCOMPARE(setting(), u"location="_s + before + u"\r\n"_s);
            (*m_main)->mnuFL_Click();
            frmFL *editor = Forms::find<frmFL>();
            QVERIFY(editor);
            QCOMPARE(editor->DBList1->findItems(onServer, Qt::MatchExactly).size(), 1);
            QCOMPARE(m_messages->texts().size(), 1);
        } else {
            QCOMPARE(Forms::find<frmServer>(), dialog);
            QCOMPARE(dialog->txtHost->text(), wanted.host);
            QCOMPARE(dialog->txtDatabase->text(), wanted.dbname);
            QCOMPARE(currentBank(), m_folder->bank());
            QVERIFY(ServerSession::current().isEmpty());
            QCOMPARE((*m_main)->windowTitle(), u"Qelvi"_s);
            QVERIFY(!(*m_main)->mnuFileBank->isEnabled());
            QVERIFY(!QFile::exists(m_folder->file(u"bank.ini"_s)));
        }
        m_admin.exec(u"DELETE FROM qelvi.categories WHERE name = $1"_s, { onServer });
        // Whatever was typed into the password box, no file of the program holds it.
        for (const auto &password : r.passwords) {
            if (password) {
                QCOMPARE(filesHolding(m_folder->path(), password->toUtf8()), QStringList());
            }
        }
    }

    // The next start connects the remembered server bank, asking for the password again
    // when the server wants one; one that cannot be reached is named, and the program
    // works on the bank file.
    void rememberedAtStart_data()
    {
        QTest::addColumn<QString>("role");
        QTest::addColumn<int>("portOffset");
        QTest::addColumn<bool>("connects");
        QTest::newRow("connects again") << u"author"_s << 0 << true;
        QTest::newRow("asks for the password again") << u"locked"_s << 0 << true;
        QTest::newRow("server gone") << u"author"_s << 1 << false;
    }
    void rememberedAtStart()
    {
        QFETCH(QString, role);
        QFETCH(int, portOffset);
        QFETCH(bool, connects);
        const PgAddress wanted = address(role, portOffset);
        const QString location = ServerSession::location(wanted);
        const bool password = role == u"locked"_s;
        if (connects) {
            if (password)
                m_inputs->answer(kPassword);
            QVERIFY(BankChoice::connectServer(wanted));
        } else {
            m_folder->write(u"bank.ini"_s, (u"location="_s + location + u"\r\n"_s).toUtf8());
        }
        QCOMPARE(BankChoice::remembered(), location);
        if (password)
            m_inputs->answer(kPassword);

        restart();
        QTRY_COMPARE(m_inputs->prompts().size(), password ? 2 : 0);
        if (connects) {
            QTRY_COMPARE(currentBank(), location);
            QVERIFY(ServerSession::connection(location));
            QCOMPARE((*m_main)->windowTitle(), u"Qelvi——题库服务器 "_s + wanted.display());
            QCOMPARE(m_messages->texts(), QStringList());
        } else {
            QTRY_COMPARE(m_messages->texts().size(), 1);
            QCOMPARE(m_messages->last(),
                u"无法连接题库服务器“%1”：服务器没有运行，或者网络不通。（SQLSTATE 08001）\n"
                "这次打开的是本机的题库文件。"_s.arg(wanted.display()));
            QCOMPARE(currentBank(), m_folder->bank());
            QCOMPARE((*m_main)->windowTitle(), u"Qelvi"_s);
        }
        // The choice stays for the start after, whether it came about or not.
        QCOMPARE(BankChoice::remembered(), location);
        QCOMPARE(filesHolding(m_folder->path(), kPassword.toUtf8()), QStringList());
    }

    // The windows work on the open bank: a category made in the editor while the server
    // bank is open is on the server, not in the file. 使用本机题库文件 then closes the
    // windows on the server bank, ends its connection and gives the caption back; the
    // editor lists the file's categories again, and the next start stays on the file.
    void windowsFollowTheOpenBank()
    {
        const QString name = u"服务器上的类"_s;
        QVERIFY(m_admin.exec(u"DELETE FROM qelvi.categories WHERE name = $1"_s, { name }).ok());
        QVERIFY(BankChoice::connectServer(address(u"author"_s)));
        (*m_main)->mnuFL_Click();
        frmFL *editor = Forms::find<frmFL>();
        QVERIFY(editor);
        QVERIFY(userinput::press(editor, u"新建"_s));
        QVERIFY(userinput::type(editor, u"请输入名称:"_s, name));
        QVERIFY(userinput::press(editor, u"名称确定"_s));
        QCOMPARE(m_messages->texts(), QStringList());
        QCOMPARE(m_admin.exec(u"SELECT count(*) FROM qelvi.categories WHERE name = $1"_s, { name })
                     .integer(0, 0),
            1);
        QCOMPARE(m_folder->rows(u"分类列表"_s), QList<QStringList>());

        (*m_main)->mnuFileBank->trigger();
        settle();
        QVERIFY(!Forms::find<frmFL>());
        QCOMPARE(currentBank(), m_folder->bank());
        QVERIFY(ServerSession::current().isEmpty());
        QCOMPARE((*m_main)->windowTitle(), u"Qelvi"_s);
        QVERIFY(!(*m_main)->mnuFileBank->isEnabled());
        QCOMPARE(setting(), u"location=\r\n"_s);
        (*m_main)->mnuFL_Click();
        QCOMPARE(Forms::find<frmFL>()->DBList1->count(), 0);
        m_admin.exec(u"DELETE FROM qelvi.categories WHERE name = $1"_s, { name });

        restart();
        QTest::qWait(50);
        QCOMPARE(currentBank(), m_folder->bank());
        QCOMPARE(m_messages->texts(), QStringList());
    }

    // The server ends the connection: one question names the server; 是 connects again
    // and tells the windows to read afresh, 否 leaves it.
    void serverEndsTheConnection_data()
    {
        QTest::addColumn<bool>("again");
        QTest::newRow("connect again") << true;
        QTest::newRow("leave it") << false;
    }
    void serverEndsTheConnection()
    {
        QFETCH(bool, again);
        const PgAddress wanted = address(u"author"_s);
        QVERIFY(BankChoice::connectServer(wanted));
        const QString location = ServerSession::current();
        PgConnection *connection = ServerSession::connection(location);
        QVERIFY(connection);
        const int before = connection->serverPid();
        QSignalSpy told(BankNews::instance(), &BankNews::changed);
        m_messages->answer(again ? MsgAnswer::Yes : MsgAnswer::No);

        QVERIFY(m_admin.exec(u"SELECT pg_terminate_backend($1)"_s, { before }).ok());
        QTRY_COMPARE(m_messages->shown().size(), 1);
        QCOMPARE(m_messages->shown().first().style, MsgStyle::Question);
        QVERIFY2(
            m_messages->last().startsWith(u"与题库服务器“%1”的连接断开了"_s.arg(wanted.display())),
            qPrintable(m_messages->last()));
        QVERIFY(m_messages->last().endsWith(u"\n要重新连接吗？"_s));
        QTest::qWait(100);
        QCOMPARE(m_messages->shown().size(), 1);
        QCOMPARE(connection->isOpen(), again);
        if (again) {
            QCOMPARE(told.size(), 1);
            QCOMPARE(told.first().first().toString(), location);
            QVERIFY(connection->serverPid() != before);
            QVERIFY(connection->exec(u"SELECT 1"_s).ok());
        } else {
            QCOMPARE(told.size(), 0);
        }
        QCOMPARE(currentBank(), location);
    }
};

QTEST_MAIN(tst_serverconnect)
#include "serverconnect.moc"
