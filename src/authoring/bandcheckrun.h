#pragma once

#include "scoring/bandcheck.h"

#include <QObject>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

// Runs the band check off the window's thread, so that a long check never holds up
// the editor. One check is wanted at a time: starting a new one stops the one that
// runs (its result is thrown away), and nothing here waits for a check to end but the
// destructor, which stops it first (a stopped check ends within one question).
class BandCheckRun : public QObject
{
    Q_OBJECT

public:
    explicit BandCheckRun(QObject *parent = nullptr);
    ~BandCheckRun() override;

    void start(QList<BandCheck::Question> questions, QList<BandCheck::Band> bands);
    // Stops the check that runs; finished() then does not come for it.
    void stop();
    // Whether a check was started and its result has not come yet.
    bool isRunning() const { return m_running; }

signals:
    // The result of the check started last, on the window's thread.
    void finished(const BandCheck::Check &check);

private:
    struct Worker
    {
        std::jthread thread;
        std::shared_ptr<std::atomic_bool> done;
    };

    std::vector<Worker> m_workers; // the last one started, and stopped ones still ending
    quint64 m_generation = 0;
    bool m_running = false;
};
