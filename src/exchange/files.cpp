#include "exchange/files.h"

#include "exchange/spreadsheet.h"
#include "exchange/survey.h"
#include "exchange/testtext.h"
#include "platform/filereason.h"
#include "platform/safefile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace Exchange {

constexpr qint64 kLargestFile = qint64(64) << 20;

QString importFilter()
{
    return QStringLiteral("可以导入的文件|*.txt;*.csv;*.tsv;*.lss;*.mdb;*.db;*.sqlite|"
                          "测试文件 (*.txt)|*.txt|表格 (*.csv, *.tsv)|*.csv;*.tsv|"
                          "调查结构文件 (*.lss)|*.lss|题库 (*.mdb, *.db)|*.mdb;*.db;*.sqlite");
}

QString exportFilter()
{
    return QStringLiteral("测试文件 (*.txt)|*.txt");
}

Package readFile(const QString &path, QStringList *notes, QString *error)
{
    error->clear();
    const QFileInfo info(path);
    const QString suffix = info.suffix().toLower();
    if (suffix == QLatin1String("mdb") || suffix == QLatin1String("db")
        || suffix == QLatin1String("sqlite"))
        return readOtherBank(path, error);
    // A test file of thousands of questions is a few MB; a FIFO, a device or a file far
    // beyond that is no test file.
    if (!isRegularFile(path)) {
        *error
            = QStringLiteral("无法打开文件“%1”：它不存在，或不是普通文件。").arg(info.fileName());
        return {};
    }
    if (info.size() > kLargestFile) {
        *error = QStringLiteral("无法导入文件“%1”：文件超过 %2 MB，不是测试文件。")
                     .arg(info.fileName())
                     .arg(kLargestFile >> 20);
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("无法打开文件“%1”：%2").arg(info.fileName(), fileErrorReason(file));
        return {};
    }
    const QByteArray bytes = file.read(kLargestFile);
    if (suffix == QLatin1String("csv") || suffix == QLatin1String("tsv"))
        return readSheet(bytes, info.fileName(), info.completeBaseName(), error);
    if (suffix == QLatin1String("lss"))
        return readSurvey(bytes, info.fileName(), notes, error);
    return readText(bytes, info.fileName(), error);
}

bool writeFile(const QString &path, const Package &package, QString *error)
{
    QSaveFile file(path);
    const QByteArray bytes = writeText(package);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = QStringLiteral("无法写入文件“%1”：%2")
                     .arg(QFileInfo(path).fileName(), fileErrorReason(file));
        return false;
    }
    return true;
}

} // namespace Exchange
