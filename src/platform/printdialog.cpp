#include "platform/printdialog.h"

#include <QPrintDialog>
#include <QPrinter>

namespace {
ScriptedPrintDialog *scripted = nullptr;
}

bool showPrintDialog(QPrinter *printer, QWidget *parent)
{
    if (scripted)
        return scripted->reply(printer);
    QPrintDialog dialog(printer, parent);
    dialog.setWindowTitle(QStringLiteral("打印"));
    return dialog.exec() == QDialog::Accepted;
}

ScriptedPrintDialog::ScriptedPrintDialog()
{
    scripted = this;
}

ScriptedPrintDialog::~ScriptedPrintDialog()
{
    if (scripted == this)
        scripted = nullptr;
}

bool ScriptedPrintDialog::reply(QPrinter *printer)
{
    ++m_shown;
    const QString path = m_answers.isEmpty() ? QString() : m_answers.takeFirst();
    if (path.isEmpty())
        return false;
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(path);
    return true;
}
