#include "bank/DBList.h"

#include "bank/Data.h"

DBList::DBList(QWidget *parent)
    : QListWidget(parent)
{
}
void DBList::setRowSource(Data *source, const QString &listField)
{
    m_source = source;
    m_field = listField;
}
QString DBList::Text() const { return {}; }
void DBList::reload() { }
void DBList::keyPressEvent(QKeyEvent *event) { QListWidget::keyPressEvent(event); }
