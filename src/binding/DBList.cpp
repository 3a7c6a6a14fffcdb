#include "binding/DBList.h"

#include "binding/Data.h"

#include <QKeyEvent>
#include <QMouseEvent>

DBList::DBList(QWidget *parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemDoubleClicked, this, [this] { emit DblClick(); });
}

void DBList::setRowSource(Data *source, const QString &listField)
{
    if (m_source)
        m_source->disconnect(this);
    m_source = source;
    m_field = listField;
    if (m_source)
        connect(m_source, &Data::rowsChanged, this, &DBList::reload);
    reload();
}

QString DBList::Text() const
{
    const int row = chosenRow();
    return row >= 0 ? item(row)->text() : QString();
}

int DBList::chosenRow() const
{
    const QList<QListWidgetItem *> chosen = selectedItems();
    return chosen.isEmpty() ? -1 : row(chosen.first());
}

void DBList::reload()
{
    // Read again for another copy's change: what the user chose stays chosen.
    const QString kept = m_source && m_source->isRereading() ? Text() : QString();
    clear();
    if (m_source)
        addItems(m_source->recordset().column(m_field));
    setCurrentRow(-1);
    if (const QList<QListWidgetItem *> same = findItems(kept, Qt::MatchExactly);
        !kept.isEmpty() && !same.isEmpty()) {
        same.first()->setSelected(true);
        selectionModel()->setCurrentIndex(
            indexFromItem(same.first()), QItemSelectionModel::NoUpdate);
    }
}

template<class Handler>
void DBList::userInput(Handler handler, bool clickAnyway)
{
    const int before = chosenRow();
    handler();
    const int after = chosenRow();
    // The view keeps a current row of its own (drawn with the focus frame) that keys
    // move from; it is the chosen row or none.
    if (currentRow() != after)
        selectionModel()->setCurrentIndex(
            after >= 0 ? indexFromItem(item(after)) : QModelIndex(), QItemSelectionModel::NoUpdate);
    if (after != before || clickAnyway)
        emit Click();
}

void DBList::focusInEvent(QFocusEvent *event)
{
    // The view makes the first row current on getting the focus, drawn as if chosen.
    userInput([&] { QListWidget::focusInEvent(event); });
}

void DBList::keyPressEvent(QKeyEvent *event)
{
    userInput([&] { QListWidget::keyPressEvent(event); });
}

void DBList::mousePressEvent(QMouseEvent *event)
{
    // Every press on an entry is a Click, also on the chosen one.
    const bool onEntry = event->button() == Qt::LeftButton && itemAt(event->position().toPoint());
    userInput([&] { QListWidget::mousePressEvent(event); }, onEntry);
}

void DBList::mouseMoveEvent(QMouseEvent *event)
{
    // Dragging with the button down moves the choice along.
    userInput([&] { QListWidget::mouseMoveEvent(event); });
}

void DBList::mouseReleaseEvent(QMouseEvent *event)
{
    userInput([&] { QListWidget::mouseReleaseEvent(event); });
}
