#include "runner/taker.h"

#include "base/programfolder.h"
#include "base/safefile.h"
#include "platform/inputbox.h"

namespace Taker {

namespace {

    QString settingFile()
    {
        return programFile(QStringLiteral("taker.ini"));
    }

} // namespace

bool asking()
{
    const QByteArray bytes = readRegularFile(settingFile(), 256).value_or(QByteArray());
    return bytes.trimmed() == "ask=1";
}

bool setAsking(bool on, QString *reason)
{
    return replaceFile(
        settingFile(), on ? QByteArray("ask=1\r\n") : QByteArray("ask=0\r\n"), reason);
}

std::optional<QString> ask(const QString &test)
{
    const std::optional<QString> name = inputBox(
        QStringLiteral("开始“%1”之前，请输入测试者的姓名或编号（可以不填）：").arg(test), longest);
    if (!name)
        return std::nullopt;
    return name->trimmed();
}

} // namespace Taker
