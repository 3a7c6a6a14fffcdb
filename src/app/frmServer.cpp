#include "app/frmServer.h"

#include "app/bankchoice.h"
#include "base/fonts.h"
#include "base/safefile.h"
#include "forms/controls.h"
#include "platform/msgbox.h"
#include "platform/twips.h"
#include "store/server/serversession.h"

#include <QComboBox>
#include <QDir>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>

namespace {

template<class Box>
Box *field(QLabel *label, const QRect &geometry, QWidget *parent)
{
    auto *box = new Box(parent);
    box->setGeometry(geometry);
    box->setAccessibleName(label->text());
    label->setBuddy(box);
    return box;
}

// The services libpq knows, as it finds them: the user's file (PGSERVICEFILE, or
// ~/.pg_service.conf) first, then the system's (pg_service.conf in PGSYSCONFDIR, or in
// Debian's folder for it). A file that is missing or no plain file lists nothing.
QStringList knownServices()
{
    const auto setting = [](const char *name, const QString &otherwise) {
        const QString value = qEnvironmentVariable(name);
        return value.isEmpty() ? otherwise : value;
    };
    const QStringList files {
        setting("PGSERVICEFILE", QDir::home().filePath(QStringLiteral(".pg_service.conf"))),
        QDir(setting("PGSYSCONFDIR", QStringLiteral("/etc/postgresql-common")))
            .filePath(QStringLiteral("pg_service.conf")),
    };
    QStringList services;
    for (const QString &file : files) {
        QString reason;
        const QByteArray bytes = readFile(file, 1 << 20, &reason).value_or(QByteArray());
        for (const QByteArray &line : bytes.split('\n')) {
            const QString text = QString::fromUtf8(line.trimmed());
            if (text.size() > 2 && text.startsWith(u'[') && text.endsWith(u']')
                && !services.contains(text.mid(1, text.size() - 2)))
                services << text.mid(1, text.size() - 2);
        }
    }
    return services;
}

} // namespace

frmServer::frmServer()
    : Form(QStringLiteral("Qelvi——连接题库服务器"), 4800, 4320)
{
    setFont(designFont(QStringLiteral("宋体"), 9));

    lblService = new QLabel(QStringLiteral("服务名："), this);
    lblService->setGeometry(twipsRect(120, 240, 1200, 312));
    cboService = field<QComboBox>(lblService, twipsRect(1320, 240, 3360, 312), this);
    cboService->setEditable(true);
    cboService->setInsertPolicy(QComboBox::NoInsert);
    lblOr = new QLabel(QStringLiteral("没有服务名时，填写服务器的地址："), this);
    lblOr->setGeometry(twipsRect(120, 720, 4560, 312));
    lblHost = new QLabel(QStringLiteral("主机："), this);
    lblHost->setGeometry(twipsRect(120, 1140, 1200, 312));
    txtHost = field<QLineEdit>(lblHost, twipsRect(1320, 1140, 3360, 312), this);
    lblPort = new QLabel(QStringLiteral("端口："), this);
    lblPort->setGeometry(twipsRect(120, 1560, 1200, 312));
    txtPort = field<QLineEdit>(lblPort, twipsRect(1320, 1560, 1200, 312), this);
    txtPort->setValidator(new QIntValidator(1, 65535, txtPort));
    lblDatabase = new QLabel(QStringLiteral("数据库："), this);
    lblDatabase->setGeometry(twipsRect(120, 1980, 1200, 312));
    txtDatabase = field<QLineEdit>(lblDatabase, twipsRect(1320, 1980, 3360, 312), this);
    lblUser = new QLabel(QStringLiteral("用户名："), this);
    lblUser->setGeometry(twipsRect(120, 2400, 1200, 312));
    txtUser = field<QLineEdit>(lblUser, twipsRect(1320, 2400, 3360, 312), this);
    lblPassword = new QLabel(
        QStringLiteral("密码取自 ~/.pgpass；服务器要求密码时会询问，密码只留在内存里。"), this);
    lblPassword->setGeometry(twipsRect(120, 2820, 4560, 480));
    lblPassword->setWordWrap(true);

    Command1 = new PictureButton(
        QStringLiteral("连接"), QStringLiteral(":/images/btn-ok.svg"), 24, this);
    Command1->setGeometry(twipsRect(1200, 3420, 732, 732));
    Command2 = new PictureButton(
        QStringLiteral("取消"), QStringLiteral(":/images/btn-cancel.svg"), 24, this);
    Command2->setGeometry(twipsRect(2880, 3420, 732, 732));

    chainTabOrder({ cboService, txtHost, txtPort, txtDatabase, txtUser, Command1, Command2 });
    // Enter in any box connects, as a click on 连接 does.
    for (QLineEdit *box : { cboService->lineEdit(), txtHost, txtPort, txtDatabase, txtUser })
        connect(box, &QLineEdit::returnPressed, this, &frmServer::Command1_Click);

    connect(Command1, &QToolButton::clicked, this, &frmServer::Command1_Click);
    connect(Command2, &QToolButton::clicked, this, &frmServer::Command2_Click);
}

// Opens on the server bank in use, or the one chosen last.
void frmServer::Form_Load()
{
    cboService->addItems(knownServices());
    cboService->setCurrentIndex(-1);
    PgAddress address;
    const QString open = ServerSession::current();
    if (ServerSession::parse(open.isEmpty() ? BankChoice::remembered() : open, &address)) {
        cboService->setEditText(address.service);
        txtHost->setText(address.host);
        txtPort->setText(address.port > 0 ? QString::number(address.port) : QString());
        txtDatabase->setText(address.dbname);
        txtUser->setText(address.user);
    }
    cboService->setFocus();
}

void frmServer::Command2_Click()
{
    Unload();
}

void frmServer::Command1_Click()
{
    PgAddress address;
    address.service = cboService->currentText().trimmed();
    address.host = txtHost->text().trimmed();
    address.port = txtPort->text().toInt();
    address.dbname = txtDatabase->text().trimmed();
    address.user = txtUser->text().trimmed();
    if (address.service.isEmpty() && address.host.isEmpty() && address.dbname.isEmpty()) {
        msgBox(QStringLiteral("请填写服务名，或者填写服务器的主机和数据库。"));
        cboService->setFocus();
        return;
    }
    if (BankChoice::connectServer(address))
        Unload();
}
