#include "binding/Data.h"

#include "binding/unsaved.h"
#include "platform/msgbox.h"
#include "store/banknews.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTextEdit>
#include <QToolButton>

Data::Data(QWidget *parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    const struct
    {
        Qt::ArrowType arrow;
        int step;
        const char *tip;
    } buttons[] = { { Qt::LeftArrow, -2, "首记录" }, { Qt::LeftArrow, -1, "上一记录" },
        { Qt::RightArrow, 1, "下一记录" }, { Qt::RightArrow, 2, "末记录" } };
    for (int i = 0; i < 4; ++i) {
        auto *button = new QToolButton(this);
        button->setArrowType(buttons[i].arrow);
        button->setToolTip(QString::fromUtf8(buttons[i].tip));
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoRaise(true);
        if (qAbs(buttons[i].step) == 2)
            button->setText(buttons[i].step < 0 ? QStringLiteral("|◀") : QStringLiteral("▶|"));
        if (qAbs(buttons[i].step) == 2)
            button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        const int step = buttons[i].step;
        connect(button, &QToolButton::clicked, this, [this, step] { navigate(step); });
        if (i == 2) {
            m_caption = new QLabel(this);
            layout->addWidget(m_caption, 1);
        }
        layout->addWidget(button);
    }
    connect(&m_recordset, &Recordset::aboutToCommit, this, &Data::stage);
    connect(&m_recordset, &Recordset::currentChanged, this, [this] {
        show();
        emit Reposition();
    });
    connect(&m_recordset, &Recordset::rowsChanged, this, &Data::rowsChanged);
    m_recordset.setResolver([this](const Recordset::Conflict &c) { return resolve(c); });
    // Another copy changed a shared bank: what is shown is read again, except a record
    // being edited, which is compared when it is stored.
    connect(BankNews::instance(), &BankNews::changed, this, [this](const QString &location) {
        if (location != m_databaseName || !m_recordset.isOpen() || m_unattended)
            return;
        stage();
        m_rereading = true;
        m_recordset.reread();
        m_rereading = false;
    });
}

Data::~Data()
{
    m_recordset.disconnect(this);
    m_unattended = true;
    // Boxes that are still there are committed; a refusal cannot be reported now.
    stage();
    m_recordset.commit();
    m_recordset.release();
}

QString Data::Caption() const
{
    return m_caption->text();
}

void Data::setCaption(const QString &caption)
{
    m_caption->setText(caption);
}

StoreError Data::Refresh()
{
    if (m_recordSource.isEmpty())
        return m_recordset.Close();
    if (m_recordset.isOpen() && m_recordset.bank() == m_databaseName
        && m_recordset.table() == m_recordSource)
        return m_recordset.Refresh();
    return m_recordset.open(m_databaseName, m_recordSource);
}

void Data::bind(QLineEdit *box, const QString &field)
{
    m_bindings.append({ box, field, false, {}, {} });
    connect(box, &QLineEdit::textChanged, this, [this, box] { markChanged(box); });
    show();
}

void Data::bind(QTextEdit *box, const QString &field)
{
    m_bindings.append({ box, field, false, {}, {} });
    connect(box, &QTextEdit::textChanged, this, [this, box] { markChanged(box); });
    show();
}

void Data::bind(QLabel *box, const QString &field)
{
    m_bindings.append({ box, field, false, {}, {} });
    show();
}

QWidget *Data::boundControl(const QString &field) const
{
    for (const Binding &b : m_bindings) {
        if (b.field == field && b.box)
            return b.box;
    }
    return nullptr;
}

bool Data::DataChanged(const QWidget *box) const
{
    for (const Binding &b : m_bindings) {
        if (b.box == box) {
            if (qobject_cast<const QLabel *>(box))
                return textOf(b) != b.shown;
            return b.changed;
        }
    }
    return false;
}

bool Data::hasPendingChanges() const
{
    if (m_recordset.hasChanges())
        return true;
    for (const Binding &b : m_bindings) {
        if (b.box && DataChanged(b.box))
            return true;
    }
    return false;
}

StoreError Data::Unload()
{
    const StoreError error = m_recordset.Close();
    if (error)
        m_recordset.release();
    return error;
}

StoreError Data::commitStorable()
{
    m_unattended = true;
    const auto attended = qScopeGuard([this] { m_unattended = false; });
    for (;;) {
        const StoreError error = m_recordset.commit();
        if (error.number() != StoreError::NotANumber
            && error.number() != StoreError::NumberOutOfRange)
            return error;
        // Each round leaves out one more refused value, so this ends.
        for (Binding &b : m_bindings) {
            if (b.field == error.field()) {
                b.changed = false;
                b.shown = textOf(b);
            }
        }
        m_recordset.discardChange(error.field());
    }
}

StoreError Data::UnloadAll(QWidget *window)
{
    StoreError first;
    const auto all = window->findChildren<Data *>();
    for (Data *data : all) {
        const StoreError error = data->Unload();
        if (error && !first)
            first = error;
    }
    return first;
}

namespace {

// A text as a message quotes it: long ones shortened (the record keeps all of it).
QString quoted(const QString &text)
{
    constexpr int kShown = 120;
    return text.size() <= kShown ? text : text.left(kShown) + QStringLiteral("……");
}

} // namespace

Recordset::Resolution Data::resolve(const Recordset::Conflict &conflict)
{
    using Resolution = Recordset::Resolution;
    // Nobody to answer: a deleted record's texts are stored anew; a changed record
    // keeps what is stored, and these texts are kept beside the bank for the user.
    if (m_unattended && conflict.deleted)
        return Resolution::StoreAsNew;
    if (m_unattended) {
        Unsaved::keep(m_databaseName, m_recordSource, m_recordName, conflict);
        return Resolution::TakeStored;
    }
    if (conflict.deleted) {
        const QString question
            = QStringLiteral("当前记录已经被删除。\n"
                             "另一个 Qelvi 删除了%1。要把您的内容另存为一条新记录吗？"
                             "选“否”放弃您的内容。")
                  .arg(m_recordName);
        return msgBox(question, MsgStyle::Question) == MsgAnswer::Yes ? Resolution::StoreAsNew
                                                                      : Resolution::Drop;
    }
    QString question = QStringLiteral("另一个 Qelvi 在您编辑的同时修改了%1：").arg(m_recordName);
    for (qsizetype i = 0; i < conflict.fields.size(); ++i) {
        question += QStringLiteral("\n“%1”\n    已存储的：%2\n    您的：%3")
                        .arg(conflict.fields.at(i), quoted(conflict.stored.at(i)),
                            quoted(conflict.mine.at(i)));
    }
    // A server bank knows who stored the record as it is now.
    if (!conflict.changedBy.isEmpty())
        question += QStringLiteral("\n（%1 在 %2 存储）")
                        .arg(conflict.changedBy,
                            conflict.changedAt.toLocalTime().toString(
                                QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    question += QStringLiteral("\n要保留您的内容吗？选“是”保留您的，选“否”采用已存储的。");
    return msgBox(question, MsgStyle::Question) == MsgAnswer::Yes ? Resolution::KeepMine
                                                                  : Resolution::TakeStored;
}

QString Data::textOf(const Binding &b) const
{
    if (auto *line = qobject_cast<QLineEdit *>(b.box))
        return line->text();
    if (auto *edit = qobject_cast<QTextEdit *>(b.box))
        return edit->toPlainText();
    if (auto *label = qobject_cast<QLabel *>(b.box))
        return label->text();
    return {};
}

// Rule 9: every bound box shows the current record's field ("" with none); the
// changed flags start afresh.
void Data::show()
{
    m_showing = true;
    for (Binding &b : m_bindings) {
        if (!b.box)
            continue;
        const QString text = m_recordset.value(b.field);
        if (auto *line = qobject_cast<QLineEdit *>(b.box)) {
            line->setText(text);
            line->setCursorPosition(0);
        } else if (auto *edit = qobject_cast<QTextEdit *>(b.box)) {
            if (edit->toPlainText() != text)
                edit->setPlainText(text);
        } else if (auto *label = qobject_cast<QLabel *>(b.box)) {
            label->setText(text);
        }
        b.shown = text;
        b.last = text;
        b.changed = false;
    }
    // With no record to write to (none current, none begun) nothing typed could be
    // stored: the boxes take no typing until the record set lands on one.
    const bool writable = m_recordset.hasCurrent() || m_recordset.isAdding();
    for (Binding &b : m_bindings) {
        if (auto *line = qobject_cast<QLineEdit *>(b.box))
            line->setReadOnly(!writable);
        else if (auto *edit = qobject_cast<QTextEdit *>(b.box))
            edit->setReadOnly(!writable);
    }
    m_showing = false;
}

// Rule 6: the boxes whose text changed since the record was shown become the
// record set's pending changes.
void Data::stage()
{
    for (const Binding &b : m_bindings) {
        if (!b.box)
            continue;
        const bool changed = qobject_cast<QLabel *>(b.box) ? textOf(b) != b.shown : b.changed;
        if (changed)
            m_recordset.setValue(b.field, textOf(b));
    }
}

void Data::markChanged(QObject *box)
{
    if (m_showing)
        return;
    for (Binding &b : m_bindings) {
        if (b.box != box)
            continue;
        // Setting the text a box already holds is no change.
        const QString now = textOf(b);
        if (now != b.last)
            b.changed = true;
        b.last = now;
    }
}

// The navigation bar: first, previous, next, last. Like the buttons of a data
// control it stops on the first and the last record instead of going past them.
void Data::navigate(int step)
{
    StoreError error;
    switch (step) {
    case -2:
        error = m_recordset.MoveFirst();
        break;
    case 2:
        error = m_recordset.MoveLast();
        break;
    case -1:
        error = m_recordset.MovePrevious();
        if (!error && !m_recordset.hasCurrent())
            error = m_recordset.MoveFirst();
        break;
    default:
        error = m_recordset.MoveNext();
        if (!error && !m_recordset.hasCurrent())
            error = m_recordset.MoveLast();
        break;
    }
    if (!error)
        return;
    if (error.number() == StoreError::NotANumber
        || error.number() == StoreError::NumberOutOfRange) {
        msgBox(error.message());
        if (QWidget *box = boundControl(error.field()))
            box->setFocus();
    }
    emit navigationFailed(error);
}
