#pragma once

#include <QProcess>
#include <QString>

// Kills the suite's server at once ("crash", as a power cut would) or starts it again
// ("revive") on the same folder and port; the test program names the script and the
// cluster's facts folder (QELVI_PG_CLUSTER, QELVI_PG_FACTS_DIR).
inline void cluster(const char *action)
{
    QProcess p;
    p.start(QStringLiteral(QELVI_PG_CLUSTER),
        { QString::fromLatin1(action), QStringLiteral(QELVI_PG_FACTS_DIR) });
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        qWarning("pgcluster.sh %s: %s", action, p.readAllStandardError().constData());
}

// The suite's server killed for a while: started again at the latest when this goes, so
// that a failed test leaves it running for the next.
class ServerDown
{
public:
    void crash()
    {
        cluster("crash");
        m_down = true;
    }
    void revive()
    {
        cluster("revive");
        m_down = false;
    }
    ~ServerDown()
    {
        if (m_down)
            revive();
    }

private:
    bool m_down = false;
};
