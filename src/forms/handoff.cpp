#include "forms/handoff.h"

#include <utility>

#include "base/filereason.h"
#include "base/programfolder.h"
#include "base/safefile.h"
#include "platform/msgbox.h"

#include <QFile>

namespace HandOff {

QString modeFile()
{
    return programFile(QStringLiteral("temp1.txt"));
}

QString nameFile()
{
    return programFile(QStringLiteral("temp.txt"));
}

namespace {

    bool writeFile(const QString &path, const QByteArray &bytes)
    {
        QString reason;
        if (replaceFile(path, bytes, &reason))
            return true;
        msgBox(QStringLiteral("无法写入文件 %1：%2").arg(path, reason));
        return false;
    }

    // The longest line a reader takes: a test name is a table name, and SQLite refuses a
    // statement over 1,000,000 bytes, so every name the bank can hold fits, with its CR LF.
    constexpr qint64 kLineLimit = (1 << 20) + 2;

    // The file's first bytes, one more than a line may hold; nothing when it cannot be read.
    std::optional<QByteArray> readFile(const QString &path)
    {
        return readRegularFile(path, kLineLimit + 1);
    }

    bool isBlank(char c)
    {
        return c == ' ' || c == '\t';
    }

} // namespace

QByteArray modeCodeBytes(qint16 code)
{
    // List-output form: the sign position (a blank for a non-negative number), the
    // digits, a trailing blank.
    QByteArray digits = QByteArray::number(code);
    if (code >= 0)
        digits.prepend(' ');
    return digits + " \r\n";
}

std::optional<qint16> parseModeCode(const QByteArray &bytes)
{
    qsizetype i = 0;
    while (i < bytes.size() && isBlank(bytes[i]))
        ++i;
    qsizetype end = i;
    while (end < bytes.size() && !isBlank(bytes[end]) && bytes[end] != ',' && bytes[end] != '\r'
        && bytes[end] != '\n')
        ++end;
    bool ok = false;
    const int value = bytes.mid(i, end - i).toInt(&ok);
    if (!ok || value < -32768 || value > 32767)
        return std::nullopt;
    return qint16(value);
}

QByteArray testNameBytes(const QString &name)
{
    return name.toUtf8() + "\r\n";
}

std::optional<QString> parseTestName(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return std::nullopt;
    qsizetype end = bytes.indexOf('\n');
    // The writer ends the name with CR LF; a line feed alone was part of the name, and
    // the line before it would name another test.
    if (end >= 0 && (end == 0 || bytes.at(end - 1) != '\r'))
        return std::nullopt;
    if (end < 0)
        end = bytes.size();
    QByteArray line = bytes.left(end);
    if (line.endsWith('\r'))
        line.chop(1);
    // No test has an empty name; an empty line names none.
    if (line.isEmpty())
        return std::nullopt;
    return QString::fromUtf8(line);
}

bool writeModeCode(qint16 code)
{
    return writeFile(modeFile(), modeCodeBytes(code));
}

bool writeTestName(const QString &name)
{
    // A line feed would end the name early for the reader (an old bank may hold one).
    if (name.contains(u'\n')) {
        msgBox(QStringLiteral("这个测试的名称里有换行符，无法打开。请先在“删除测试项目”里用"
                              "“更名”给它换一个名称。"));
        return false;
    }
    return writeFile(nameFile(), testNameBytes(name));
}

std::optional<qint16> readModeCode()
{
    const auto bytes = readFile(modeFile());
    return bytes ? parseModeCode(*bytes) : std::nullopt;
}

std::optional<QString> readTestName()
{
    const auto bytes = readFile(nameFile());
    // A first line that runs on past the limit is no name the program wrote; cut
    // short, it could name another test.
    if (!bytes || (bytes->size() > kLineLimit && !bytes->left(kLineLimit).contains('\n')))
        return std::nullopt;
    return parseTestName(*bytes);
}

void removeAll()
{
    QFile::remove(nameFile());
    QFile::remove(modeFile());
}

namespace {
    std::pair<QString, QString> &chosen()
    {
        static std::pair<QString, QString> testAndCategory;
        return testAndCategory;
    }
} // namespace

void setChosenCategory(const QString &test, const QString &category)
{
    chosen() = { test, category };
}

std::pair<QString, QString> takeChosenCategory()
{
    return std::exchange(chosen(), {});
}

} // namespace HandOff
