#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

// The Open dialog, set up the way a common file dialog is: a filter list of
// "description|patterns" pairs joined by "|", option flags, whether a cancel is
// reported as an error, and the file name before and after.
class CommonDialog
{
public:
    QString Filter;
    int Flags = 0;
    bool CancelError = false;
    QString FileName;
    QString DialogTitle;

    // Shows the dialog. On a choice FileName holds the full path and true is
    // returned; on a cancel FileName is "" and false is returned (the error that
    // CancelError asks for; the caller decides what it means).
    bool ShowOpen(QWidget *parent = nullptr);
    // The Save dialog: the same, for a file to write. FileName is the suggested name
    // before; a name without an extension gets DefaultExt. Asks before replacing a file.
    bool ShowSave(QWidget *parent = nullptr);
    QString DefaultExt;

private:
    bool show(QWidget *parent, bool save);
};

// The Qt name filters for a "description|patterns|..." list. Patterns are matched
// without regard to letter case, as users of the program expect from "*.MP3".
QStringList qtNameFilters(const QString &filter);

// Stands in for the user while it exists: answers every Open and Save dialog from a queue
// (a path, or a cancel) and records the filter list and file name each one was shown
// with. A dialog with no answer queued is cancelled.
class ScriptedFileDialog
{
public:
    struct Shown
    {
        QString filter;
        QString fileName;
        int flags;
        bool cancelError;
        bool save = false; // a Save dialog
    };

    ScriptedFileDialog();
    ~ScriptedFileDialog();
    ScriptedFileDialog(const ScriptedFileDialog &) = delete;
    ScriptedFileDialog &operator=(const ScriptedFileDialog &) = delete;

    void choose(const QString &path) { m_answers.append(path); }
    void cancel() { m_answers.append(QString()); }
    const QList<Shown> &shown() const { return m_shown; }

private:
    friend class CommonDialog;
    QString reply(const CommonDialog &dialog, bool save);

    QStringList m_answers;
    QList<Shown> m_shown;
};
