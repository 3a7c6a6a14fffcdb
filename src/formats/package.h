#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <array>
#include <optional>

// Tests as they travel between banks and files: categories, tests, questions and
// score bands with every value the bank can hold. A text field is a text or NULL
// (std::nullopt), a score a single-precision number or NULL.
namespace Exchange {

// A text field: a text or NULL, used as a std::optional<QString> is. A reader of UTF-8
// may keep a text as the bytes it read, a slice of the file's bytes (shared with them,
// not copied), which the importer binds as they are; the QString is made when asked for.
class Text
{
public:
    Text() = default;
    Text(std::nullopt_t) { }
    Text(const QString &text)
        : m_text(text)
        , m_set(true)
    { }
    Text(QString &&text)
        : m_text(std::move(text))
        , m_set(true)
    { }
    Text(const std::optional<QString> &text)
        : m_text(text.value_or(QString()))
        , m_set(text.has_value())
    { }
    // The `size` bytes of `source` from `from`, which must be well-formed UTF-8.
    static Text utf8(const QByteArray &source, qsizetype from, qsizetype size);

    bool has_value() const { return m_set; }
    explicit operator bool() const { return m_set; }
    // The text (empty for NULL).
    QString value() const;
    QString operator*() const { return value(); }
    QString value_or(const QString &other) const { return m_set ? value() : other; }
    struct Member
    {
        QString text;
        const QString *operator->() const { return &text; }
    };
    Member operator->() const { return { value() }; }

    // The UTF-8 bytes of a text kept as such (data() is never null then, also when it is
    // empty); a null view otherwise.
    QByteArrayView utf8View() const
    {
        return m_source.isNull() ? QByteArrayView()
                                 : QByteArrayView(m_source).sliced(m_from, m_size);
    }
    // The text when it is kept as a QString, else null.
    const QString *string() const { return m_set && m_source.isNull() ? &m_text : nullptr; }

    friend bool operator==(const Text &a, const Text &b)
    {
        return a.m_set == b.m_set && (!a.m_set || a.value() == b.value());
    }
    friend bool operator==(const Text &a, const QString &b) { return a.m_set && a.value() == b; }
    friend bool operator==(const Text &a, const std::optional<QString> &b) { return a == Text(b); }
    friend bool operator==(const Text &a, std::nullopt_t) { return !a.m_set; }

private:
    QString m_text;
    QByteArray m_source; // the bytes a slice lies in, null for a text kept as a QString
    int m_from = 0;
    int m_size = 0;
    bool m_set = false;
};

using Score = std::optional<float>;

// Well-formed UTF-8 as a QString, every character kept (a byte-order mark at the start too).
QString decodedUtf8(QByteArrayView bytes);

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

// Moved by copying their bytes when a list of them grows.
Q_DECLARE_TYPEINFO(Exchange::Text, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(Exchange::Question, Q_RELOCATABLE_TYPE);
