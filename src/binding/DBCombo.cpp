#include "binding/DBCombo.h"

#include "binding/Data.h"

DBCombo::DBCombo(QWidget *parent)
    : QComboBox(parent)
{
    setEditable(false);
    setCurrentIndex(-1);
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        const QString text = currentIndex() >= 0 ? currentText() : QString();
        if (text == m_text)
            return;
        m_text = text;
        emit Change();
    });
    connect(this, &QComboBox::activated, this, [this] { emit Click(); });
}

void DBCombo::setRowSource(Data *source, const QString &listField)
{
    if (m_source)
        m_source->disconnect(this);
    m_source = source;
    m_field = listField;
    if (m_source)
        connect(m_source, &Data::rowsChanged, this, &DBCombo::reload);
    reload();
}

QString DBCombo::Text() const
{
    return m_text;
}

void DBCombo::setText(const QString &text)
{
    setCurrentIndex(findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void DBCombo::reload()
{
    const QString chosen = m_text;
    {
        const QSignalBlocker quiet(this);
        clear();
        if (m_source)
            addItems(m_source->recordset().column(m_field));
        setCurrentIndex(-1);
    }
    setText(chosen);
    if (currentIndex() < 0 && !m_text.isEmpty()) {
        m_text.clear();
        emit Change();
    }
}
