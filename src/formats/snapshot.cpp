#include "formats/snapshot.h"

#include "formats/importer.h"
#include "store/bankfile.h"
#include "store/classroom.h"

#include <QFile>
#include <cstdio>

namespace Snapshot {

StoreError download(const QString &server)
{
    const QString path = Classroom::snapshotPath(server);
    const QString fresh = path + QStringLiteral(".new");
    QList<Classroom::TestState> tests;
    if (const StoreError e = Classroom::tests(server, &tests))
        return e;
    if (BankFile::connectedPath() == fresh || BankFile::connectedPath() == path)
        BankFile::closeConnection();
    QFile::remove(fresh);
    if (const StoreError e = BankFile::createFreshBank(fresh))
        return e;
    StoreError e = Exchange::copyBank(server, fresh);
    if (!e)
        e = Classroom::keepSnapshotKeys(fresh, server, tests);
    if (BankFile::connectedPath() == fresh)
        BankFile::closeConnection();
    if (!e
        && std::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path).constData())
            != 0)
        e = StoreError(
            StoreError::BankReadOnly, QStringLiteral("下载的测试没能保存为“%1”。").arg(path));
    if (!e
        && std::rename(QFile::encodeName(fresh + QStringLiteral(".keys")).constData(),
               QFile::encodeName(path + QStringLiteral(".keys")).constData())
            != 0)
        e = StoreError(
            StoreError::BankReadOnly, QStringLiteral("下载的测试没能保存为“%1”。").arg(path));
    if (e) {
        QFile::remove(fresh);
        QFile::remove(fresh + QStringLiteral(".keys"));
    }
    return e;
}

} // namespace Snapshot
