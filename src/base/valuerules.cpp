#include "base/valuerules.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// Length of the numeric prefix of s starting at i: sign, digits, '.', digits,
// exponent. Returns the end index; *digits tells whether any digit was seen.
qsizetype numberEnd(const QString &s, qsizetype i, bool *digits)
{
    *digits = false;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        ++i;
    bool point = false;
    for (; i < s.size(); ++i) {
        if (s[i].isDigit() && s[i].unicode() < 128)
            *digits = true;
        else if (s[i] == u'.' && !point)
            point = true;
        else
            break;
    }
    if (*digits && i < s.size() && (s[i] == u'e' || s[i] == u'E' || s[i] == u'd' || s[i] == u'D')) {
        qsizetype j = i + 1;
        if (j < s.size() && (s[j] == u'+' || s[j] == u'-'))
            ++j;
        const qsizetype start = j;
        while (j < s.size() && s[j].isDigit() && s[j].unicode() < 128)
            ++j;
        if (j > start)
            i = j;
    }
    return i;
}

// The value of a numeric prefix; an overflow gives infinity.
double rawDouble(const QString &number)
{
    std::string ascii = number.toStdString();
    for (char &c : ascii)
        if (c == 'd' || c == 'D')
            c = 'e';
    return std::strtod(ascii.c_str(), nullptr);
}

double toDouble(const QString &number)
{
    const double value = rawDouble(number);
    return std::isfinite(value) ? value : 0.0;
}

template<class T>
QString shortest(T value)
{
    if (value == 0)
        return QStringLiteral("0");
    // Plain decimals for the numbers people type and read (100000, 0.0001, 1234567);
    // only the very large and the very small take the exponent form.
    const T magnitude = value < 0 ? -value : value;
    const bool plain = magnitude >= T(0.0001) && magnitude < T(1e15);
    char buffer[400];
    const auto result = plain
        ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed)
        : std::to_chars(buffer, buffer + sizeof buffer, value);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    // Exponent form as "1E+20", "1E-07".
    const qsizetype e = text.indexOf(u'e');
    if (e >= 0) {
        QString mantissa = text.left(e);
        QString exponent = text.mid(e + 1);
        QChar sign = u'+';
        if (exponent.startsWith(u'-') || exponent.startsWith(u'+')) {
            sign = exponent[0];
            exponent.remove(0, 1);
        }
        if (exponent.size() < 2)
            exponent.prepend(u'0');
        text = mantissa + u'E' + sign + exponent;
    }
    return text;
}

} // namespace

double val(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool digits = false;
    const qsizetype end = numberEnd(text, i, &digits);
    return digits ? toDouble(text.mid(i, end - i)) : 0.0;
}

bool parseNumber(const QString &text, double *value)
{
    const QString t = text.trimmed();
    bool digits = false;
    if (numberEnd(t, 0, &digits) != t.size() || !digits)
        return false;
    const double v = rawDouble(t);
    if (!std::isfinite(v))
        return false;
    if (value)
        *value = v;
    return true;
}

QString doubleText(double value)
{
    return shortest(value);
}

QString singleText(float value)
{
    return shortest(value);
}
