#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Reads the user tables of an Access 2000 (Jet 4) file through libmdb, value by value
// from the stored bytes: a Single from its 4 bytes, text from its UTF-16 (compressed
// or not), a Memo whole through the library's long-value reader. The library's text
// interface is not used: it prints Singles with 8 digits, cuts long values at its bind
// buffer and turns characters outside the BMP into "??".
//
// Each row is cracked once and handed over as it lies: numbers as numbers, text (also
// GUIDs, exact decimals, currency and dates, see jetreader.cpp) as UTF-8 in a buffer the
// reader keeps for the row, binary data as its bytes; a writer binds them from there.
class JetReader
{
public:
    struct Column
    {
        QString name;
        int type = 0; // libmdb's type code (MDB_TEXT, MDB_FLOAT, ...)
    };
    struct Table
    {
        QString name;
        QList<Column> columns;
    };

    JetReader();
    ~JetReader();
    JetReader(const JetReader &) = delete;
    JetReader &operator=(const JetReader &) = delete;

    // Opens the file and reads its catalogue. False (with problem()) when libmdb cannot
    // read it as a Jet 4 database.
    bool open(const QString &path);
    QString problem() const { return m_problem; }

    // The user tables, in catalogue order, with their fields in order.
    const QList<Table> &tables() const { return m_tables; }

    // One value of a row. The bytes stay valid until the next row is read.
    struct Value
    {
        enum Kind { Null, Integer, Real, Text, Blob };
        Kind kind = Null;
        qint64 integer = 0;
        double real = 0;
        const char *data = ""; // Text (UTF-8) and Blob; never null, also when empty
        qsizetype size = 0;
    };
    // Takes the rows of a table one after the other; false stops the reading.
    class Rows
    {
    public:
        virtual ~Rows() = default;
        virtual bool row(const Value *values, int count) = 0;
    };

    // Visits every row a Jet reader sees (deleted rows stay out) in the order it visits
    // them. Stops early when rows.row() returns false. False with problem() when the
    // table cannot be read whole.
    bool readRows(int table, Rows &rows);

    // Characters that could not be read exactly (broken UTF-16) and were replaced by
    // U+FFFD, over everything read so far.
    int replaced() const { return m_replaced; }

    // Text as Jet 4 stores it: UTF-16LE, or "compressed" when it begins with FF FE
    // (one byte per character, a 0x00 byte switching between one and two bytes).
    // Broken UTF-16 becomes U+FFFD, counted in *replaced.
    static QString decodeText(const char *data, qsizetype size, int *replaced);
    // The same as UTF-8, appended to out.
    static void appendText(const char *data, qsizetype size, QByteArray *out, int *replaced);

private:
    struct Handle;
    Handle *m_handle = nullptr;
    QList<Table> m_tables;
    QString m_problem;
    int m_replaced = 0;
};
