#include "support/asnobody.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <cstdio>
#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace asnobody {

namespace {

    const char *const kSwitch = "--as-nobody";

    bool dropToNobody()
    {
        const passwd *nobody = ::getpwnam("nobody");
        if (!nobody || ::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0
            || ::setuid(nobody->pw_uid) != 0)
            return false;
        // setuid makes the process undumpable, which LeakSanitizer needs it to be.
        ::prctl(PR_SET_DUMPABLE, 1);
        return true;
    }

    // Whether every folder above path lets other users through, and path runs for them.
    bool reachableByOthers(const QString &path)
    {
        QFileInfo info(path);
        if (!(info.permissions() & QFile::ExeOther))
            return false;
        for (QDir dir = info.absoluteDir();; dir.cdUp()) {
            if (!(QFileInfo(dir.absolutePath()).permissions() & QFile::ExeOther))
                return false;
            if (dir.isRoot())
                return true;
        }
    }

} // namespace

bool runsAsRoot()
{
    return ::geteuid() == 0;
}

void rerun(const QString &function)
{
    const QString self = QCoreApplication::applicationFilePath();
    if (!reachableByOthers(self))
        QSKIP("running as root, and the test program is out of reach of other users");
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(self, { QString::fromLatin1(kSwitch), function });
    QVERIFY2(child.waitForFinished(120000),
        qPrintable(QStringLiteral("%1 as nobody: %2").arg(function, child.errorString())));
    const QString out = QString::fromUtf8(child.readAll());
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, qPrintable(out));
    const QRegularExpression passed(
        QStringLiteral("PASS   : \\w+::%1\\(")
            .arg(QRegularExpression::escape(function.section(u':', 0, 0))));
    QVERIFY2(out.contains(passed), qPrintable(out));
}

bool takeSwitch(std::vector<char *> &args)
{
    if (args.size() < 2 || qstrcmp(args[1], kSwitch) != 0)
        return true;
    if (!dropToNobody()) {
        std::fputs("cannot become the user nobody\n", stderr);
        return false;
    }
    args.erase(args.begin() + 1);
    return true;
}

} // namespace asnobody
