#pragma once

#include <QString>

// Errors of the test bank, reported as values: the store never shows a message.
// A default-constructed StoreError means success; it converts to true when it
// carries an error, so callers write `if (const StoreError e = rs.MoveNext()) ...`.
//
// 3010 and 3021 are the numbers the windows recognise; every other failure has a
// number of its own below and a readable message (Chinese, for the user).
class StoreError
{
public:
    enum Number : int {
        None = 0,
        TableExists = 3010, // the name is taken by a table (ASCII letter case ignored)
        NoCurrentRecord
        = 3021, // no current record, a move past either end, any move in an empty table

        EmptyName = 3101, // a table name that is empty
        ReservedName = 3102, // a table name beginning with "sqlite_"
        InvalidName = 3103, // a name with a control character or broken UTF-16
        NotFound = 3104, // FindFirst, or a catalogue action, found no such row
        NothingPending = 3105, // Update with nothing changed
        NotANumber = 3106, // a Single field given text that is no number; see field() and text()
        NumberOutOfRange = 3107, // a number too large for a Single field
        NoSuchTable = 3108, // the table to open, rename or drop does not exist
        NoSuchField = 3109, // the table has no field of that name
        NotOpen = 3110, // the record set is bound to no table
        RecordGone = 3111, // the current record was deleted by another record set
        CategoryNotEmpty = 3112, // a category table that still lists tests

        BankMissing = 3120, // test.mdb does not exist
        BankUnreadable = 3121, // test.mdb cannot be opened or read
        NotABank = 3122, // test.mdb is not a database file
        NoCategoryList = 3123, // test.mdb holds no table "分类列表"
        BankExists = 3124, // createFreshBank on a path that exists
        BankReadOnly = 3125, // test.mdb, or the folder that holds it, cannot be written
        JetUnsupported = 3126, // test.mdb is an Access database of a format other than 2000
        UnknownBank = 3127, // a bank location that names no kind of bank the program can open
        ServerUnreachable = 3128, // the server bank: not connected, stopped, the login
                                  // refused, the connection lost, no answer in time
        ServerBusy = 3129, // the server bank: a row or name another copy is saving
        ServerRefused = 3130, // the server bank refused a change: its disk full, a right
        VersionChanged = 3131, // a result handed in for a test changed since it was begun
        HandInRefused = 3132, // a result whose answers the server bank does not take

        Engine = 3199, // any other failure; the message carries SQLite's text
    };

    StoreError() = default;
    StoreError(Number number, const QString &message)
        : m_number(number)
        , m_message(message)
    { }

    // A refused value of a Single field: names the field and keeps the text as typed.
    static StoreError notANumber(const QString &field, const QString &text);
    static StoreError outOfRange(const QString &field, const QString &text);

    int number() const { return m_number; }
    bool ok() const { return m_number == None; }
    explicit operator bool() const { return m_number != None; }

    // One sentence for a message box; names the file, table or field concerned.
    QString message() const { return m_message; }
    // For NotANumber and NumberOutOfRange: the field and the text that was refused.
    QString field() const { return m_field; }
    QString text() const { return m_text; }

private:
    int m_number = None;
    QString m_message;
    QString m_field;
    QString m_text;
};
