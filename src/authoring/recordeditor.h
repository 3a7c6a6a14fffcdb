#pragma once

#include "forms/form.h"

class Data;
class QLabel;
class StoreError;

// What the question editor and the score-band editor share: one record at a time of
// a test's table, bound through Data1, and the handler steps both take the same way.
// Each editor shows the position of its record in its own words (showNumber).
//
// Every way of leaving commits the record shown first. When it is refused (a score
// that is no number, or a bank that cannot store anything) the user is asked: stay
// on the record to mend it, or leave without the change. 完成 alone just says why
// and stays.
//
// An empty table always has a new record begun, also after first, last and the bar's
// buttons, so what is typed there is stored.
class RecordEditor : public Form
{
    Q_OBJECT

public:
    // `record` names the record in the messages about it ("这道题").
    RecordEditor(
        const QString &caption, double clientWidth, double clientHeight, const QString &record);

    bool Form_QueryUnload() override;
    void Form_UnloadRefused() override;
    void Form_Unload() override;

    Data *Data1;

protected:
    virtual void showNumber(int n) = 0;

    // Creates Data1 at its place, its navigation bar on the window's bottom edge.
    void createData(const QRect &place);
    // Binds Data1 to `table` of the bank and shows the test name in `title`. A table
    // that cannot be opened is reported and the window closes again: false then.
    bool openTable(const QString &table, const QString &test, QLabel *title);
    // Told why, the window closes again once its opener has placed and shown it.
    void closeSoon(const QString &why);
    // A failed step: true when the handler must stop (see stopsHandler).
    bool stops(const StoreError &error);

    // The handler steps both editors take.
    void firstRecord();
    void lastRecord();
    // In an empty table a move finds no record: a blank new one takes its place.
    void newWhenEmpty();
    // Moves past the last record to a new one, numbered one after the last.
    bool newAtEnd();
    // Shows the position of the current record; with none left, starts a new record
    // numbered 1.
    bool showPositionOrNew();
    // After `question` is answered yes, deletes the record shown and goes back to the
    // one before it.
    void deleteRecord(const QString &question);
    // A pending record is stored, then the window unloads.
    void finish();
    // The help page for the editor's mode code, on the main window's outer size.
    void openHelp(qint16 modeCode);

private:
    QString m_record;
    // The user chose to leave without the refused change: it is dropped on unloading,
    // not before, since a window asked along with this one may still keep it open.
    bool m_givingUp = false;
};
