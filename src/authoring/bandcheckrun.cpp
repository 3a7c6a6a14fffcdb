#include "authoring/bandcheckrun.h"

#include <QMetaObject>

BandCheckRun::BandCheckRun(QObject *parent)
    : QObject(parent)
{ }

BandCheckRun::~BandCheckRun()
{
    stop();
    m_workers.clear(); // joins: each worker ends within one question of being stopped
}

void BandCheckRun::start(QList<BandCheck::Question> questions, QList<BandCheck::Band> bands)
{
    stop();
    std::erase_if(m_workers, [](const Worker &w) { return w.done->load(); });
    const quint64 generation = ++m_generation;
    m_running = true;
    auto done = std::make_shared<std::atomic_bool>(false);
    std::jthread thread([this, generation, done, questions = std::move(questions),
                            bands = std::move(bands)](std::stop_token stop) {
        BandCheck::Check check = BandCheck::check(questions, bands, BandCheck::exactLimit, stop);
        if (!stop.stop_requested()) {
            QMetaObject::invokeMethod(
                this,
                [this, generation, check = std::move(check)] {
                    if (generation != m_generation)
                        return;
                    m_running = false;
                    emit finished(check);
                },
                Qt::QueuedConnection);
        }
        done->store(true);
    });
    m_workers.push_back({ std::move(thread), std::move(done) });
}

void BandCheckRun::stop()
{
    ++m_generation;
    m_running = false;
    for (Worker &w : m_workers)
        w.thread.request_stop();
}
