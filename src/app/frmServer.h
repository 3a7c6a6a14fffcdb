#pragma once

#include "forms/forms.h"

class PictureButton;
class QComboBox;
class QLabel;
class QLineEdit;

// The server-bank dialog: connects to a shared bank on a PostgreSQL server, named by a
// libpq service or by host, port, database and user, and makes it the open bank. The
// password comes from ~/.pgpass or, when the server asks for one, from a password box;
// it is never shown here nor kept. A failure is told and the dialog stays as typed.
class frmServer : public Form
{
    Q_OBJECT

public:
    // Height, width (twips) and placement when it opens.
    static constexpr Forms::Opening opening { 4800, 4920, Forms::Base::Outer, 1.5 };
    frmServer();

    void Form_Load() override;
    Qt::WindowFlags frameFlags() const override { return fixedFrameFlags(); }

    QLabel *lblService;
    QComboBox *cboService; // the services of ~/.pg_service.conf and the system's, or one typed
    QLabel *lblOr;
    QLabel *lblHost;
    QLineEdit *txtHost;
    QLabel *lblPort;
    QLineEdit *txtPort;
    QLabel *lblDatabase;
    QLineEdit *txtDatabase;
    QLabel *lblUser;
    QLineEdit *txtUser;
    QLabel *lblPassword;
    PictureButton *Command1; // 连接
    PictureButton *Command2; // 取消

public slots:
    void Command1_Click();
    void Command2_Click();
};
