#pragma once

#include <QComboBox>
#include <QPointer>

class Data;

// A drop-down list of one field of every record of a Data, in record-set order.
// Nothing is chosen at first (Text() is ""). Reading the rows again keeps the chosen
// text when it is still listed.
class DBCombo : public QComboBox
{
    Q_OBJECT

public:
    explicit DBCombo(QWidget *parent = nullptr);

    void setRowSource(Data *source, const QString &listField);
    // The chosen text, "" when none.
    QString Text() const;
    // Chooses the entry with that text, or none (-1) when it is not listed.
    void setText(const QString &text);
    void reload();

signals:
    // The chosen text changed (by the user or by setText).
    void Change();
    // The user picked an entry from the list.
    void Click();

private:
    QPointer<Data> m_source;
    QString m_field;
    QString m_text;
};
