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
// may keep a text as the bytes it read, which the importer binds as they are; the
// QString is made when asked for. Such a text borrows a slice of the file's bytes,
// which the test it is in keeps (Test::bytes), so that a thousand texts cost no more
// than one: a copy of the text, or the text moved elsewhere, owns a copy of its slice.
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
    Text(const Text &other)
        : m_text(other.m_text)
        , m_source(other.m_source)
        , m_bytes(other.m_bytes)
        , m_size(other.m_size)
        , m_set(other.m_set)
    {
        own();
    }
    Text(Text &&other) noexcept
        : m_text(std::move(other.m_text))
        , m_source(std::move(other.m_source))
        , m_bytes(other.m_bytes)
        , m_size(other.m_size)
        , m_set(other.m_set)
    {
        own();
    }
    Text &operator=(const Text &other)
    {
        Text copy(other);
        swap(copy);
        return *this;
    }
    Text &operator=(Text &&other) noexcept
    {
        Text moved(std::move(other));
        swap(moved);
        return *this;
    }
    ~Text() = default;

    // Becomes the `size` bytes at `data`, well-formed UTF-8 that the test this text is in
    // keeps in Test::bytes.
    void borrow(const char *data, qsizetype size)
    {
        m_text.clear();
        m_source.clear();
        m_bytes = data;
        m_size = int(size);
        m_set = true;
    }

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
        return m_bytes ? QByteArrayView(m_bytes, m_size) : QByteArrayView();
    }
    // The text when it is kept as a QString, else null.
    const QString *string() const { return m_set && !m_bytes ? &m_text : nullptr; }

    friend bool operator==(const Text &a, const Text &b)
    {
        return a.m_set == b.m_set && (!a.m_set || a.value() == b.value());
    }
    friend bool operator==(const Text &a, const QString &b) { return a.m_set && a.value() == b; }
    friend bool operator==(const Text &a, const std::optional<QString> &b) { return a == Text(b); }
    friend bool operator==(const Text &a, std::nullopt_t) { return !a.m_set; }

private:
    // A borrowed slice becomes one of the text's own.
    void own()
    {
        if (m_bytes && m_source.isNull()) {
            m_source = QByteArray(m_bytes, m_size);
            m_bytes = m_source.constData();
        }
    }
    void swap(Text &other) noexcept
    {
        m_text.swap(other.m_text);
        m_source.swap(other.m_source);
        std::swap(m_bytes, other.m_bytes);
        std::swap(m_size, other.m_size);
        std::swap(m_set, other.m_set);
    }

    QString m_text;
    QByteArray m_source; // the bytes of a slice the text owns
    const char *m_bytes = nullptr; // a slice's first byte, in m_source or borrowed
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
    QByteArray bytes {}; // what the texts read from a file borrow (Text::borrow)
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
