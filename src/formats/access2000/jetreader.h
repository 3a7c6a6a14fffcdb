#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>
#include <functional>

// Reads the user tables of an Access 2000 (Jet 4) file through libmdb, value by value
// from the stored bytes: a Single from its 4 bytes, text from its UTF-16 (compressed
// or not), a Memo whole through the library's long-value reader. The library's text
// interface is not used: it prints Singles with 8 digits, cuts long values at its bind
// buffer and turns characters outside the BMP into "??".
//
// Values come as QVariant: null for NULL, QString for Text and Memo (also GUIDs and
// exact decimals), double for Single, Double and Currency... (see jetreader.cpp),
// qlonglong for whole numbers, QByteArray for binary data.
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

    // Visits every row a Jet reader sees (deleted rows stay out) in the order it visits
    // them. Stops early when row() returns false. False with problem() when the table
    // cannot be read whole.
    bool readRows(int table, const std::function<bool(const QVariantList &)> &row);

    // Characters that could not be read exactly (broken UTF-16) and were replaced by
    // U+FFFD, over everything read so far.
    int replaced() const { return m_replaced; }

    // Text as Jet 4 stores it: UTF-16LE, or "compressed" when it begins with FF FE
    // (one byte per character, a 0x00 byte switching between one and two bytes).
    // Broken UTF-16 becomes U+FFFD, counted in *replaced.
    static QString decodeText(const char *data, qsizetype size, int *replaced);

private:
    struct Handle;
    Handle *m_handle = nullptr;
    QList<Table> m_tables;
    QString m_problem;
    int m_replaced = 0;
};
