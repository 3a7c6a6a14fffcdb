#include "bank/DBCombo.h"

#include "bank/Data.h"

DBCombo::DBCombo(QWidget *parent)
    : QComboBox(parent)
{
}
void DBCombo::setRowSource(Data *source, const QString &listField)
{
    m_source = source;
    m_field = listField;
}
QString DBCombo::Text() const { return m_text; }
void DBCombo::setText(const QString &text) { m_text = text; }
void DBCombo::reload() { }
