#pragma once

#include <QListWidget>
#include <QPointer>

class Data;

// A list that shows one field of every record of a Data, in record-set order, and
// reads the rows again whenever they change (Refresh, a stored or deleted record).
// Reading again clears the choice, so Text() is "" until the user picks an entry.
class DBList : public QListWidget
{
    Q_OBJECT

public:
    explicit DBList(QWidget *parent = nullptr);

    // The rows to show: the field listField of every record of source.
    void setRowSource(Data *source, const QString &listField);
    // The text of the entry the user picked, "" when none.
    QString Text() const;
    // Reads the rows again from the record set.
    void reload();

signals:
    // The user picked an entry by a click or by the keyboard.
    void Click();
    // The user double-clicked an entry (after its Click).
    void DblClick();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPointer<Data> m_source;
    QString m_field;
};
