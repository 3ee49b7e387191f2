#include "channels/DeliveryQueue.h"

#include "net/NetWorker.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

namespace beamtide {

using namespace std::chrono_literals;

RetryDelays programRetryDelays()
{
    return {30s, 2min, 10min};
}

struct DeliveryQueue::Item
{
    QString what;
    Attempt attempt;
    Done done;
    int tries = 0;
};

DeliveryQueue::DeliveryQueue(QString channel, RetryDelays delays,
                             std::function<void(const QString&)> log, QObject* parent)
    : QObject(parent), m_channel(std::move(channel)), m_delays(std::move(delays)),
      m_log(std::move(log)), m_pending(std::make_shared<std::atomic<int>>(0))
{
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread.setObjectName(QStringLiteral("channel ") + m_channel);
    m_thread.start();
}

DeliveryQueue::~DeliveryQueue()
{
    stop();
}

int DeliveryQueue::pending() const
{
    return m_pending->load();
}

void DeliveryQueue::report(const QString& line)
{
    if (!m_log)
        return;
    QPointer<DeliveryQueue> self(this);
    QMetaObject::invokeMethod(
        this, [self, line] { if (self) self->m_log(line); }, Qt::QueuedConnection);
}

void DeliveryQueue::deliver(const QString& what, Attempt attempt, Done done)
{
    if (m_stopped)
        return;
    auto item = std::make_shared<Item>(Item{what, std::move(attempt), std::move(done), 0});
    ++*m_pending;
    QMetaObject::invokeMethod(m_context, [this, item] { tryItem(item); }, Qt::QueuedConnection);
}

// Runs on m_thread.
void DeliveryQueue::tryItem(const std::shared_ptr<Item>& item)
{
    SendOutcome outcome;
    {
        const NetWorker::CancelScope scope(m_abandon);
        outcome = item->attempt();
    }
    // Given up at shut-down: one of the dropped, not a failure to try again.
    if (m_abandon && !outcome.delivered)
        return;
    ++item->tries;
    const bool last = outcome.delivered || !outcome.retry || item->tries > m_delays.size();
    if (!last) {
        const auto delay = m_delays[item->tries - 1];
        report(QStringLiteral("%1: %2 not delivered (%3), try %4 in %5 s")
                   .arg(m_channel, item->what, outcome.words)
                   .arg(item->tries + 1)
                   .arg(double(delay.count()) / 1000.0));
        QTimer::singleShot(delay, m_context, [this, item] { tryItem(item); });
        return;
    }
    if (outcome.delivered)
        report(QStringLiteral("%1: %2 delivered, %3").arg(m_channel, item->what, outcome.words));
    else
        report(QStringLiteral("%1: %2 undelivered after %3 tries (%4)")
                   .arg(m_channel, item->what)
                   .arg(item->tries)
                   .arg(outcome.words));
    if (item->done) {
        QPointer<DeliveryQueue> self(this);
        QMetaObject::invokeMethod(
            this, [self, done = item->done, outcome] { if (self) done(outcome); },
            Qt::QueuedConnection);
    }
    --*m_pending;
}

void DeliveryQueue::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_abandon = true;
    // Retries still waiting die with the thread's timers.
    m_thread.quit();
    m_thread.wait();
    // What the thread said before it ended goes to the log ahead of the last line.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    const int left = m_pending->exchange(0);
    if (left > 0 && m_log)
        m_log(QStringLiteral("%1: %2 alert(s) not yet delivered dropped at shut-down")
                  .arg(m_channel)
                  .arg(left));
}

} // namespace beamtide
