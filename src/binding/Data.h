#pragma once

// Data binding: a Data control owns one Recordset over a table of test.mdb and keeps
// the boxes bound to its fields in step with the current record.
//
// How a window uses it (error numbers in store/storeerror.h):
//
//     // members: Data *Data1; QLineEdit *Text1; QLineEdit *Text8;
//     Data1 = new Data(this);
//     Data1->setGeometry(twipsRect(120, 5280, 1932, 444)); // or Data1->hide()
//     Data1->bind(Text1, QStringLiteral("题目"));
//     Data1->bind(Text8, QStringLiteral("选项A分数"));
//
//     void frmX::Form_Load()
//     {
//         Data1->setDatabaseName(programFile(QStringLiteral("test.mdb")));
//         Data1->setRecordSource(testName);
//         if (const StoreError e = Data1->Refresh()) { // opens on the first record
//             if (e.number() >= StoreError::BankMissing) // file missing, broken, ...
//                 msgBox(e.message());
//             return;
//         }
//     }
//
//     Recordset &rs = Data1->recordset();
//     rs.MoveNext();                      // commits changed boxes first (rule 6)
//     rs.AbsolutePosition();              // -1 before the first / after the last
//     rs.MoveLast(); rs.RecordCount();
//     rs.AddNew();                        // boxes empty; stored when one changes
//     Text1->setText(u"..."_qs);          // the window's own text counts as a change
//     rs.Update();                        // NothingPending when nothing changed
//     rs.Delete();                        // no current record until the next move
//     rs.FindFirst(u"测试"_qs, name);      // NotFound: no current record
//
//     if (const StoreError e = rs.MovePrevious()) {
//         if (e.number() == StoreError::NoCurrentRecord) ...   // 3021: past an end
//         if (e.number() == StoreError::NotANumber) {          // a score that is no number
//             msgBox(e.message());                             // names the field and text
//             if (QWidget *box = Data1->boundControl(e.field()))
//                 box->setFocus();                             // still on the record, text as
//                 typed
//         }
//     }
//
//     // Catalogue actions (Catalogue::createTest, ...) return TableExists (3010) for a
//     // taken name; release a table first with setRecordSource("") and Refresh().
//
//     void frmX::Form_Unload() { Data::UnloadAll(this); } // commits every Data (rule 6)

#include "store/recordset.h"
#include "store/storeerror.h"

#include <QFrame>
#include <QList>
#include <QPointer>
#include <QString>

class QLabel;
class QLineEdit;
class QTextEdit;
class QToolButton;

class Data : public QFrame
{
    Q_OBJECT

public:
    explicit Data(QWidget *parent = nullptr);
    // Commits and closes; a refused commit is lost here, so windows unload first.
    ~Data() override;

    // The bank file (the windows pass programFile("test.mdb")).
    QString DatabaseName() const { return m_databaseName; }
    void setDatabaseName(const QString &path) { m_databaseName = path; }
    // The table to open; "" releases the table on the next Refresh.
    QString RecordSource() const { return m_recordSource; }
    void setRecordSource(const QString &table) { m_recordSource = table; }
    // How the questions about a record that another copy of the program changed or
    // deleted name it ("这道题"); "当前记录" unless set.
    void setRecordName(const QString &name) { m_recordName = name; }
    // The caption shown in the navigation bar.
    QString Caption() const;
    void setCaption(const QString &caption);

    // Commits, then opens RecordSource again on its first record (or closes it when
    // RecordSource is ""). Fails with the bank's errors (file missing, not a bank,
    // ...), NoSuchTable, or a refused commit (then the old record set stays as it was).
    StoreError Refresh();
    // The record set; closed (every operation fails with NotOpen) while unbound.
    Recordset &recordset() { return m_recordset; }
    const Recordset &recordset() const { return m_recordset; }
    // Whether the rows are being read again because another copy changed the bank: a
    // bound list keeps the user's choice through it.
    bool isRereading() const { return m_rereading; }

    // Binds a box to a field: it shows the field of the current record, and when its
    // text changes other than by the binding showing a record, the change is written
    // at the next commit. A label's change is its text differing from what was shown.
    // While the record set has no record to write to (none current, no new one begun)
    // the text boxes are read-only, so that nothing is typed in vain.
    void bind(QLineEdit *box, const QString &field);
    void bind(QTextEdit *box, const QString &field);
    void bind(QLabel *box, const QString &field);
    // The box bound to field (the first one), or nullptr.
    QWidget *boundControl(const QString &field) const;
    // Whether the box's text changed since the record was shown.
    bool DataChanged(const QWidget *box) const;
    // Whether anything waits to be committed: a box changed, or a change is pending in
    // the record set.
    bool hasPendingChanges() const;

    // Commits and closes the record set (rule 6 on closing a window). After a refused
    // commit the record set is released anyway and the error returned.
    StoreError Unload();
    // Commits what the bank takes without asking anyone: a value it refuses (a score
    // that is no number) is left out and the rest of the record stored; a record that
    // another copy changed or deleted meanwhile is stored as a new record, so neither
    // copy's text is lost. For a program that must end now (a logout).
    StoreError commitStorable();
    // Unload() for every Data inside window; returns the first error.
    static StoreError UnloadAll(QWidget *window);

signals:
    // The record set landed on a record or on none; bound boxes already show it.
    void Reposition();
    // The rows changed (stored, deleted, re-read, another table opened).
    void rowsChanged();
    // A move from the navigation bar failed (the bar shows refusals itself).
    void navigationFailed(const StoreError &error);

private:
    struct Binding
    {
        QPointer<QWidget> box;
        QString field;
        bool changed = false;
        QString shown; // the text last shown
        QString last; // the text when last looked at, to see real changes
    };

    void show();
    void stage();
    void markChanged(QObject *box);
    void navigate(int step);
    QString textOf(const Binding &b) const;
    // Asks the user what becomes of a record another copy changed or deleted.
    Recordset::Resolution resolve(const Recordset::Conflict &conflict);

    QString m_databaseName;
    QString m_recordSource;
    Recordset m_recordset;
    QList<Binding> m_bindings;
    bool m_showing = false;
    bool m_rereading = false;
    bool m_unattended = false; // nobody to ask: committing for a program that ends now
    QString m_recordName = QStringLiteral("当前记录");
    QLabel *m_caption = nullptr;
};
