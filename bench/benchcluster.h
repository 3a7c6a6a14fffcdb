#pragma once

// A benchmark's own PostgreSQL cluster (tests/server/pgcluster.sh), local socket only for
// the clients, and a guard process that stops it when the program ends in any way, an
// interrupt or a kill included. The program defines QELVI_SOURCE_DIR.
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QString>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace benchcluster {

inline const char *const kScript = QELVI_SOURCE_DIR "/tests/server/pgcluster.sh";

// The cluster's facts folder; the guard stops the cluster written there.
inline std::string &factsDir()
{
    static std::string dir;
    return dir;
}

// The guard and this process's end of its pipe.
inline pid_t g_guard = -1;
inline int g_guardPipe = -1;

// A child that waits for this process to end (its pipe closes, however the end came)
// and then stops the cluster and removes the facts folder. Forked before any thread.
inline void startGuard()
{
    char dir[] = "/tmp/qelvi-bench-pg.XXXXXX";
    if (!mkdtemp(dir)) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    factsDir() = dir;
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        std::perror("pipe2");
        std::exit(1);
    }
    const pid_t guard = fork();
    if (guard < 0) {
        std::perror("fork");
        std::exit(1);
    }
    if (guard == 0) {
        // An interrupt at the terminal reaches the whole group: the guard outlives it.
        for (int sig : { SIGINT, SIGTERM, SIGHUP, SIGQUIT })
            std::signal(sig, SIG_IGN);
        close(ends[1]);
        char byte;
        while (read(ends[0], &byte, 1) != 0) {
            if (errno != EINTR)
                break;
        }
        const pid_t stopper = fork();
        if (stopper == 0) {
            execl(kScript, kScript, "stop", dir, static_cast<char *>(nullptr));
            _exit(127);
        }
        int status = 0;
        if (stopper > 0)
            waitpid(stopper, &status, 0);
        rmdir(dir);
        _exit(0);
    }
    close(ends[0]);
    // Open, close-on-exec, until this process ends or stopGuarded() closes it.
    g_guard = guard;
    g_guardPipe = ends[1];
}

// The cluster stopped and removed now, by the guard, before the program returns.
inline void stopGuarded()
{
    close(g_guardPipe);
    int status = 0;
    waitpid(g_guard, &status, 0);
}

// What pgcluster.sh wrote of the running cluster: socket, port, dbname, role names.
inline QHash<QString, QString> &facts()
{
    static QHash<QString, QString> all;
    return all;
}

inline void startCluster()
{
    const int status = QProcess::execute(QString::fromUtf8(kScript),
        { QStringLiteral("start"), QString::fromStdString(factsDir()),
            QStringLiteral(QELVI_SOURCE_DIR) });
    QFile file(QString::fromStdString(factsDir()) + QStringLiteral("/connection"));
    if (status != 0 || !file.open(QIODevice::ReadOnly))
        qFatal("the benchmark's PostgreSQL cluster did not start");
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n'))
        facts().insert(line.section(u'=', 0, 0), line.section(u'=', 1));
}

} // namespace benchcluster
