#pragma once

#include "formats/package.h"

#include <QByteArray>

// The readable test file: UTF-8 text, one field a line.
//
//   分类: <category>            starts a category
//   测试: <test>                starts a test in it (before any 分类: the category
//                               is chosen when importing)
//   题目: <question text>       starts a question
//   <letter> <score>: <text>    an option, A to F in order; one left out is a blank
//                               with no score
//   评分 <low>-<high>: <text>   a score band
//
// A value is written plain when it can be: the rest of the line, blanks around it
// dropped, each further line of the text on a line of its own indented by blanks.
// Otherwise it is quoted: "…" on one line, with \" \\ \n \r \t and \uXXXX inside.
// ~ stands for an empty field (NULL), both as a text and as a score. A score is the
// shortest decimal text that reads back as the same single-precision number. Lines
// starting with # and blank lines are passed over.
namespace Exchange {

QByteArray writeText(const Package &package);

// Reads a file's bytes; `fileName` is for the message. On failure returns an empty
// package and sets *error to one sentence naming the file and the line.
Package readText(const QByteArray &bytes, const QString &fileName, QString *error);

// How a value is written, and read back (the parts shared with the tests).
QString valueText(const Text &value);
QString scoreText(const Score &score);
bool readScore(QStringView text, Score *score);

} // namespace Exchange
