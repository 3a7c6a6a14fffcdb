#include "formats/files.h"

#include "base/safefile.h"
#include "formats/spreadsheet/spreadsheet.h"
#include "formats/survey/survey.h"
#include "formats/text/testtext.h"

#include <QFileInfo>

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
    QString reason;
    const std::optional<QByteArray> read = ::readFile(path, kLargestFile, &reason);
    if (!read) {
        *error = QStringLiteral("无法导入文件“%1”：%2。").arg(info.fileName(), reason);
        return {};
    }
    const QByteArray &bytes = *read;
    if (suffix == QLatin1String("csv") || suffix == QLatin1String("tsv"))
        return readSheet(bytes, info.fileName(), info.completeBaseName(), error);
    if (suffix == QLatin1String("lss"))
        return readSurvey(bytes, info.fileName(), notes, error);
    return readText(bytes, info.fileName(), error);
}

QList<Band> readBandFile(const QString &path, QString *error)
{
    error->clear();
    QString reason;
    const QString name = QFileInfo(path).fileName();
    const std::optional<QByteArray> bytes = ::readFile(path, kLargestFile, &reason);
    if (!bytes) {
        *error = QStringLiteral("无法导入评分表“%1”：%2。").arg(name, reason);
        return {};
    }
    return readBandSheet(*bytes, name, error);
}

bool writeFile(const QString &path, const Package &package, QString *error)
{
    QString reason;
    if (!replaceFile(path, writeText(package), &reason)) {
        *error = QStringLiteral("无法写入文件“%1”：%2。原来的文件没有改动。")
                     .arg(QFileInfo(path).fileName(), reason);
        return false;
    }
    return true;
}

} // namespace Exchange
