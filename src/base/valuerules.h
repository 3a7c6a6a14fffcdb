#pragma once

#include <QString>

// The value rules that the bank and the runner share.

// The number at the start of a text: leading blanks skipped, an optional sign,
// digits with at most one decimal point, an optional exponent. An empty or
// non-numeric text counts 0.
double val(const QString &text);

// Whether the whole text (blanks around it allowed) is one number, as a score or a
// band bound must be (and within the range of a double); sets *value when it is.
bool parseNumber(const QString &text, double *value);

// The shortest decimal text that reads back as the same double (or single): no
// leading blank, no trailing zeros, no decimal point for an integral value. Zero and
// every value with 0.0001 <= |v| < 1E+15 are plain decimals ("30", "12.5", "0.0001",
// "100000", "-0.75"); beyond that range the shorter of plain and exponent form
// ("1E+20", "1E-07").
QString doubleText(double value);
QString singleText(float value);
