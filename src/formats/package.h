#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <array>
#include <optional>

// Tests as they travel between banks and files: categories, tests, questions and
// score bands with every value the bank can hold. A text field is a text or NULL
// (std::nullopt), a score a single-precision number or NULL.
namespace Exchange {

using Text = std::optional<QString>;
using Score = std::optional<float>;

struct Question
{
    Text text;
    // An option the author left out is one blank with no score, as the editor stores it.
    std::array<Text, 6> options { blank(), blank(), blank(), blank(), blank(), blank() };
    std::array<Score, 6> scores {};

    static QString blank() { return QStringLiteral(" "); }
    static bool isLeftOut(const Text &option, const Score &score)
    {
        return option == QStringLiteral(" ") && !score;
    }
};

struct Band
{
    Score lower;
    Score upper;
    Text evaluation;
};

struct Test
{
    QString name;
    QList<Question> questions;
    QList<Band> bands;
};

// A category of the bank; an empty name when the source names none (a file with
// tests only), so the importer puts them into the category the user chooses.
struct Category
{
    QString name;
    QList<Test> tests;
};

struct Package
{
    QList<Category> categories;

    int testCount() const;
    bool isEmpty() const { return categories.isEmpty(); }
};

// Reads the categories of a bank (in the order of "分类列表") with their tests (in the
// order of each category table), questions and bands. On failure returns an empty
// package and sets *error to a sentence that names the table at fault.
Package readBank(QSqlDatabase db, QString *error);

// The same for the bank at path, opened through the program's own connection.
Package readBank(const QString &bank, QString *error);

// Another program bank, opened read-only on a connection of its own so that the
// program's bank stays open; the message names the file when it is no bank.
Package readOtherBank(const QString &path, QString *error);

// One category of a package, or one test (in a category of its own name, kept).
Package onlyCategory(const Package &package, const QString &category);
Package onlyTest(const Package &package, const QString &test);

} // namespace Exchange
