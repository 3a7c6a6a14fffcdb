#pragma once

#include <QString>
#include <QStringList>

class QPrinter;
class QTextDocument;
class QWidget;

// Qt's print dialog for a printer: true when the user chose to print.
bool showPrintDialog(QPrinter *printer, QWidget *parent);

// Asks with the print dialog and prints the document under that name. False when the
// user cancelled or the printer failed (then *error says why; empty for a cancel).
bool printDocument(QTextDocument *doc, const QString &name, QWidget *parent, QString *error);

// Stands in for the user while it exists: answers every print dialog from a queue.
// An answer with a path prints into that PDF file instead of a printer; a dialog with
// no answer queued is cancelled.
class ScriptedPrintDialog
{
public:
    ScriptedPrintDialog();
    ~ScriptedPrintDialog();
    ScriptedPrintDialog(const ScriptedPrintDialog &) = delete;
    ScriptedPrintDialog &operator=(const ScriptedPrintDialog &) = delete;

    void printTo(const QString &pdfPath) { m_answers.append(pdfPath); }
    void cancel() { m_answers.append(QString()); }
    int shown() const { return m_shown; }

private:
    friend bool showPrintDialog(QPrinter *, QWidget *);
    bool reply(QPrinter *printer);

    QStringList m_answers;
    int m_shown = 0;
};
