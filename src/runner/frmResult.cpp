#include "runner/frmResult.h"

#include "base/fonts.h"
#include "formats/result/resultdocument.h"
#include "forms/controls.h"
#include "platform/filedialog.h"
#include "platform/msgbox.h"
#include "platform/printdialog.h"
#include "platform/twips.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QTextDocument>
#include <QTextEdit>

frmResult::frmResult()
    : Form(QStringLiteral("Qelvi"), 4428, 4128)
{
    setFont(designFont(QStringLiteral("宋体"), 9));
    Text1 = new QTextEdit(this);
    Text1->setGeometry(twipsRect(240, 120, 3132, 2772));
    Text1->setFont(designFont(QStringLiteral("宋体"), 10.8));
    Text1->setReadOnly(true);
    Text1->setAcceptRichText(false);
    Text1->setLineWrapMode(QTextEdit::WidgetWidth);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette pal = Text1->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::ToolTipBase));
    pal.setColor(QPalette::Text, pal.color(QPalette::ToolTipText));
    Text1->setPalette(pal);
    Text1->installEventFilter(this);

    Command1 = new PictureButton(
        QStringLiteral("谢谢Tovik！"), QStringLiteral(":/images/btn-thanks.svg"), 28, this);
    Command1->setGeometry(twipsRect(1560, 3120, 972, 852));

    Image1 = stretchedPicture(
        QStringLiteral(":/images/qelvi.svg"), twipsRect(3600, 3240, 480, 480), this);

    setTabOrder(Text1, Command1);
    connect(Command1, &QToolButton::clicked, this, &frmResult::Command1_Click);

    const auto action = [this](const QString &caption, Qt::Key key, void (frmResult::*slot)()) {
        auto *a = new QAction(caption, this);
        a->setShortcut(QKeySequence(Qt::CTRL | key));
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(a);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    mnuPrint = action(QStringLiteral("打印(&P)..."), Qt::Key_P, &frmResult::mnuPrint_Click);
    mnuSavePdf = action(QStringLiteral("存为PDF(&S)..."), Qt::Key_S, &frmResult::mnuSavePdf_Click);
    Text1->viewport()->installEventFilter(this);
}

void frmResult::setRecord(const Results::Record &record)
{
    m_record = record;
}

Results::Record frmResult::shownRecord() const
{
    Results::Record record = m_record;
    record.resultText = Text1->toPlainText();
    if (!record.takenAt.isValid())
        record.takenAt = QDateTime::currentDateTime();
    return record;
}

QMenu *frmResult::textMenu()
{
    QMenu *menu = Text1->createStandardContextMenu();
    menu->addSeparator();
    menu->addAction(mnuPrint);
    menu->addAction(mnuSavePdf);
    return menu;
}

void frmResult::mnuPrint_Click()
{
    QString error;
    const Results::Record record = shownRecord();
    QTextDocument doc;
    ResultDocument::fill(&doc, record);
    if (!printDocument(&doc, record.test, this, &error) && !error.isEmpty())
        msgBox(error);
}

void frmResult::mnuSavePdf_Click()
{
    CommonDialog dialog;
    dialog.Filter = QStringLiteral("PDF 文件|*.pdf");
    dialog.DefaultExt = QStringLiteral("pdf");
    dialog.DialogTitle = QStringLiteral("把测试结果存为PDF");
    dialog.FileName = m_record.test.isEmpty() ? QStringLiteral("测试结果.pdf")
                                              : m_record.test + QStringLiteral("的测试结果.pdf");
    if (!dialog.ShowSave(this))
        return;
    QString error;
    if (!ResultDocument::savePdf(shownRecord(), dialog.FileName, &error))
        msgBox(error);
}

void frmResult::Command1_Click()
{
    Unload();
}

void frmResult::Text1_GotFocus()
{
    Command1->setFocus();
}

bool frmResult::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Text1 && event->type() == QEvent::FocusIn)
        Text1_GotFocus();
    if (watched == Text1->viewport() && event->type() == QEvent::ContextMenu) {
        QMenu *menu = textMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(static_cast<QContextMenuEvent *>(event)->globalPos());
        return true;
    }
    return Form::eventFilter(watched, event);
}
