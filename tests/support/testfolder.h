#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A temporary program folder for one test. While it lives, programFolder() points at
// it and it holds a bank of the chosen kind:
//   FreshBank   test.mdb with only the empty table "分类列表" (the default)
//   SampleBank  a copy of the shipped bank (category 情商测试 with the test 日常情商自测)
//   NoBank      no test.mdb at all
// On destruction the bank connection is closed, the previous program folder comes
// back and the folder is removed. Create it before the windows of the test and let it
// go after them.
//
//     TestFolder folder;                         // fresh bank
//     folder.addTest(u"情商"_s, u"测试一"_s);     // category and test, with tables
//     folder.addRows(u"测试一"_s, { { u"题目一"_s, u"是"_s, u"1"_s } });
//     ... open windows, click ...
//     QCOMPARE(folder.rows(u"测试一"_s).size(), 1);
class TestFolder
{
public:
    enum Bank { FreshBank, SampleBank, NoBank };

    explicit TestFolder(Bank bank = FreshBank);
    ~TestFolder();
    TestFolder(const TestFolder &) = delete;
    TestFolder &operator=(const TestFolder &) = delete;

    QString path() const;
    QString file(const QString &name) const;
    // The bank's location: test.mdb in the folder, or a fresh server bank when the test
    // program runs on the suite's server (ServerBanks::enabled()); it is then the open
    // bank (currentBank()) while the folder lives.
    QString bank() const;
    bool isServer() const { return !m_server.isEmpty(); }
    // Sets a field of a table's row (counted from 0) as another copy of the program
    // does, on a connection of its own; false when it could not.
    bool changeElsewhere(
        const QString &table, const QString &field, int row, const QString &text) const;
    // Writes (replaces) a file of the folder; returns its path.
    QString write(const QString &name, const QByteArray &bytes) const;
    // Copies a file shipped beside the program (TestPieces::shipped) into the folder,
    // replacing one there; returns its path.
    QString copyShipped(const QString &name) const;
    QByteArray read(const QString &name) const;

    // Fills the bank through the store; each fails the running test when refused.
    void addCategory(const QString &category) const;
    // Adds the category too when it is not there.
    void addTest(const QString &category, const QString &test) const;
    // Appends rows: the values of the table's fields in order; missing ones stay empty.
    void addRows(const QString &table, const QList<QStringList> &rows) const;

    // Every row of a table as text (Single fields as shortest text, empty as ""),
    // read straight from the file.
    QList<QStringList> rows(const QString &table) const;
    // The tables of the bank, in creation order.
    QStringList tables() const;

    // The shipped sample bank in the source tree.
    static QString sampleBank();

private:
    QTemporaryDir m_dir;
    QString m_previous;
    QString m_server;
};
