#include "authoring/recordeditor.h"

#include "authoring/editorparts.h"
#include "base/currentbank.h"
#include "binding/Data.h"
#include "forms/forms.h"
#include "forms/handoff.h"
#include "platform/msgbox.h"

#include <QLabel>
#include <QTimer>

RecordEditor::RecordEditor(
    const QString &caption, double clientWidth, double clientHeight, const QString &record)
    : Form(caption, clientWidth, clientHeight)
    , Data1(nullptr)
    , m_record(record)
{ }

bool RecordEditor::Form_QueryUnload()
{
    Recordset &rs = Data1->recordset();
    // Let go already (the record was given up, or the table never opened), or nothing
    // to store: asked along with other windows, the editor stays as it is.
    if (!rs.isOpen() || !Data1->hasPendingChanges())
        return true;
    const StoreError error = rs.commit();
    if (!error || error.number() == StoreError::NoCurrentRecord)
        return true;
    // The record is refused (a score that is no number) or the bank itself refuses
    // (read-only, damaged, gone). The user may go back and mend it, or leave without
    // it instead of being held in the window, and with it the whole program.
    const QString question
        = QStringLiteral("%1\n要放弃这次的修改并关闭窗口吗？").arg(refusedMessage(error, m_record));
    if (msgBox(question, MsgStyle::Question) == MsgAnswer::Yes) {
        m_givingUp = true;
        return true;
    }
    if (QWidget *box = Data1->boundControl(error.field()))
        box->setFocus(Qt::OtherFocusReason);
    return false;
}

void RecordEditor::Form_UnloadRefused()
{
    m_givingUp = false;
}

void RecordEditor::Form_Unload()
{
    if (m_givingUp)
        Data1->recordset().release();
    // Form_QueryUnload has committed already; what fails here is the bank itself.
    if (const StoreError e = Data::UnloadAll(this))
        msgBox(refusedMessage(e, m_record));
}

void RecordEditor::createData(const QRect &place)
{
    Data1 = new Data(this);
    Data1->setGeometry(place);
    Data1->setCaption(QStringLiteral("Data1"));
    Data1->setRecordName(m_record);
    // The bar's first and last in an empty table find no record either.
    connect(Data1, &Data::navigationFailed, this, [this](const StoreError &error) {
        if (error.number() == StoreError::NoCurrentRecord)
            newWhenEmpty();
    });
}

bool RecordEditor::openTable(const QString &table, const QString &test, QLabel *title)
{
    Data1->setDatabaseName(currentBank());
    Data1->setRecordSource(table);
    title->setText(test);
    title->setToolTip(test);
    if (const StoreError e = Data1->Refresh()) {
        closeSoon(e.message());
        return false;
    }
    return true;
}

void RecordEditor::closeSoon(const QString &why)
{
    msgBox(why);
    // The opener still places and shows the window after loading it.
    QTimer::singleShot(0, this, &Form::Unload);
}

bool RecordEditor::stops(const StoreError &error)
{
    return stopsHandler(error, Data1, m_record);
}

void RecordEditor::firstRecord()
{
    if (stops(Data1->recordset().MoveFirst()))
        return;
    showNumber(1);
    newWhenEmpty();
}

void RecordEditor::lastRecord()
{
    Recordset &rs = Data1->recordset();
    if (stops(rs.MoveLast()))
        return;
    showNumber(rs.RecordCount());
    newWhenEmpty();
}

void RecordEditor::newWhenEmpty()
{
    Recordset &rs = Data1->recordset();
    if (rs.isOpen() && rs.RecordCount() == 0 && !rs.isAdding())
        stops(rs.AddNew());
}

bool RecordEditor::newAtEnd()
{
    Recordset &rs = Data1->recordset();
    if (stops(rs.MoveLast()))
        return false;
    showNumber(rs.RecordCount() + 1);
    return !stops(rs.AddNew());
}

bool RecordEditor::showPositionOrNew()
{
    Recordset &rs = Data1->recordset();
    const int n = rs.AbsolutePosition() + 1;
    showNumber(n);
    if (n != 0)
        return true;
    if (stops(rs.AddNew()))
        return false;
    showNumber(1);
    return true;
}

void RecordEditor::deleteRecord(const QString &question)
{
    if (msgBox(question, MsgStyle::Question) != MsgAnswer::Yes)
        return;
    Recordset &rs = Data1->recordset();
    if (stops(rs.Delete()))
        return;
    if (stops(rs.MovePrevious()))
        return;
    showPositionOrNew();
}

void RecordEditor::finish()
{
    // A bank that refuses the record is asked about on unloading.
    const StoreError error = Data1->recordset().AddNew();
    if (error.number() < StoreError::BankMissing && stops(error))
        return;
    Unload();
}

void RecordEditor::openHelp(qint16 modeCode)
{
    if (!HandOff::writeModeCode(modeCode))
        return;
    Forms::show("frmHelp");
}
