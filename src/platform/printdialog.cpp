#include "platform/printdialog.h"

#include <QPrintDialog>
#include <QPrinter>
#include <QTextDocument>

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

bool printDocument(QTextDocument *doc, const QString &name, QWidget *parent, QString *error)
{
    error->clear();
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(name);
    if (!showPrintDialog(&printer, parent))
        return false;
    doc->print(&printer);
    if (printer.printerState() == QPrinter::Error) {
        *error = QStringLiteral("打印没有成功，请检查打印机。");
        return false;
    }
    return true;
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
