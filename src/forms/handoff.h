#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The two hand-off files through which a window tells the window it opens what to
// work on: temp1.txt holds a mode code, temp.txt a test name. Both live in the
// program folder, UTF-8 with CR LF line ends.
namespace HandOff {

// Mode codes of temp1.txt for the test chooser.
enum Mode : qint16 { EditMode = 1, TakeMode = 2, ManageMode = 3 };

QString modeFile(); // temp1.txt
QString nameFile(); // temp.txt

// Writers replace the file. When it cannot be written they tell the user which file
// and why, and return false: the caller then does not open the window that reads it.
// A test name with a line feed is refused the same way (the reader would cut it).
bool writeModeCode(qint16 code);
bool writeTestName(const QString &name);

// Readers: nothing when the file is missing or holds no value, and nothing when its
// first line runs on past any name the bank can hold (it is never used cut short).
std::optional<qint16> readModeCode();
std::optional<QString> readTestName();

// In memory only: the test a chooser opened and the category it listed it in, so that
// the runner need not look for it when it keeps the result. The runner takes it when
// it loads (a runner opened otherwise finds none).
void setChosenCategory(const QString &test, const QString &category);
std::pair<QString, QString> takeChosenCategory();

// Deletes both files; a missing file is fine.
void removeAll();

// The byte layouts, apart from the file system.
QByteArray modeCodeBytes(qint16 code); // " 2 \r\n"
// Skips leading blanks, reads the number up to a blank, comma or line end; a value
// outside 16 bits or no number at all gives nothing.
std::optional<qint16> parseModeCode(const QByteArray &bytes);
QByteArray testNameBytes(const QString &name); // name + "\r\n"
// The first line without its line end, whole; nothing when it is empty or ends in a
// line feed without CR (a name with a line feed in it).
std::optional<QString> parseTestName(const QByteArray &bytes);

} // namespace HandOff
