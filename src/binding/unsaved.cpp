#include "binding/unsaved.h"

#include "base/programfolder.h"
#include "base/safefile.h"
#include "store/bankbackend.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace Unsaved {

namespace {

    constexpr qint64 kLargest = qint64(16) << 20;

    // The folder of the bank file; a bank that is no file (a server bank) has none, and
    // its texts go to the program folder, where the next start looks too.
    QDir folderOf(const QString &bank)
    {
        return BankBackend::isFile(bank) ? QFileInfo(bank).absoluteDir() : QDir(programFolder());
    }

    // Beside the bank: says that the file got texts the user was not yet told of.
    QString markPath(const QString &bank)
    {
        return folderOf(bank).filePath(QStringLiteral(".qelvi-unsaved"));
    }

} // namespace

QString filePath(const QString &bank)
{
    return folderOf(bank).filePath(QStringLiteral("未保存的修改.txt"));
}

bool keep(const QString &bank, const QString &table, const QString &record,
    const Recordset::Conflict &conflict)
{
    const QString path = filePath(bank);
    QString reason;
    QByteArray bytes = readFile(path, kLargest, &reason).value_or(QByteArray());
    QString text
        = QStringLiteral("\r\n%1  表“%2”的%3\r\n"
                         "另一个 Qelvi 同时修改了它，当时没有人能选择保留哪一份；"
                         "题库里留着已存储的内容，这里是没有存进去的内容。\r\n")
              .arg(QDateTime::currentDateTime().toString(u"yyyy-MM-dd HH:mm:ss"), table, record);
    for (qsizetype i = 0; i < conflict.fields.size(); ++i)
        text += QStringLiteral("“%1”\r\n    已存储的：%2\r\n    没有存进去的：%3\r\n")
                    .arg(conflict.fields.at(i), conflict.stored.at(i), conflict.mine.at(i));
    bytes += text.toUtf8();
    if (bytes.size() > kLargest || !replaceFile(path, bytes, &reason))
        return false;
    return replaceFile(markPath(bank), QFileInfo(path).fileName().toUtf8(), &reason);
}

QString takeNotice(const QString &bank)
{
    QString reason;
    if (!readFile(markPath(bank), 4096, &reason))
        return {};
    QFile::remove(markPath(bank));
    return QStringLiteral(
        "上次 Qelvi 结束时，另一个 Qelvi 同时修改了同一条记录，当时没有人能选择"
        "保留哪一份。题库里保留了已存储的内容，没有存进去的内容保存在文件“%1”里。")
        .arg(QDir::toNativeSeparators(filePath(bank)));
}

} // namespace Unsaved
