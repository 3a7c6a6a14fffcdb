#pragma once

#include <QListWidget>
#include <QPointer>

class Data;

// A list that shows one field of every record of a Data, in record-set order, and
// reads the rows again whenever they change (Refresh, a stored or deleted record).
// Reading again clears the choice, so Text() is "" until the user picks an entry.
//
// The entry drawn selected is the chosen one at every moment, whatever the user did:
// there is no current row apart from the choice (none on getting the focus, so the
// first Down chooses the first entry), and every change of the choice by the mouse or
// the keys is reported as a Click, a press on the empty part of the list included
// (which chooses nothing). A press is reported when it happens, not on the release,
// so that nothing raised by the press can leave the highlight moved and the choice not.
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
    // The user picked an entry (or, by a press on the empty part, none) with the mouse
    // or the keyboard.
    void Click();
    // The user double-clicked an entry (after its Click).
    void DblClick();

protected:
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int chosenRow() const;
    // Runs one of the view's own input handlers, then makes the current row follow
    // the choice and reports a changed choice (or, with clickAnyway, any press).
    template<class Handler>
    void userInput(Handler handler, bool clickAnyway = false);

    QPointer<Data> m_source;
    QString m_field;
};
