#include "bank/DBList.h"

#include "bank/Data.h"

#include <QKeyEvent>

DBList::DBList(QWidget *parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemClicked, this, [this] { emit Click(); });
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
    const QListWidgetItem *item = currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

void DBList::reload()
{
    clear();
    if (m_source)
        addItems(m_source->recordset().column(m_field));
    setCurrentRow(-1);
}

void DBList::keyPressEvent(QKeyEvent *event)
{
    const int before = currentRow();
    QListWidget::keyPressEvent(event);
    if (currentRow() != before && currentRow() >= 0)
        emit Click();
}
