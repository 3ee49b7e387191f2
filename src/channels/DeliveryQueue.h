#pragma once

#include "channels/HttpChannels.h"

#include <QObject>
#include <QThread>

#include <atomic>

#include <chrono>
#include <functional>
#include <memory>

namespace beamtide {

using RetryDelays = QList<std::chrono::milliseconds>;
// The program's delays between the tries of a failed send.
RetryDelays programRetryDelays();

// One channel's sends, on a thread of the channel's own, so a slow peer holds up neither the
// window nor another channel. A send that fails and is worth another try is tried again
// after each delay in turn, then given up with a log line. A delivered send is never sent
// again. Log lines reach `log` on the thread that made the queue.
class DeliveryQueue final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DeliveryQueue)

public:
    using Attempt = std::function<SendOutcome()>;
    // After the last try of an item, on the queue maker's thread.
    using Done = std::function<void(const SendOutcome&)>;

    DeliveryQueue(QString channel, RetryDelays delays, std::function<void(const QString&)> log,
                  QObject* parent = nullptr);
    ~DeliveryQueue() override; // stop()

    // what: the item in words for the log ("alert K1ABC 20m").
    void deliver(const QString& what, Attempt attempt, Done done = {});

    // Items waiting for their first try or a retry, or sending.
    int pending() const;

    // Drops what waits, with a log line: alerts are not replayed hours later after a restart.
    // A send under way is abandoned (its transfer gives up at once) and counted among the
    // dropped, so closing never waits out a slow peer.
    void stop();

private:
    struct Item;
    void tryItem(const std::shared_ptr<Item>& item);
    void report(const QString& line);

    QString m_channel;
    RetryDelays m_delays;
    std::function<void(const QString&)> m_log;
    QThread m_thread;
    QObject* m_context = nullptr; // lives on m_thread
    std::shared_ptr<std::atomic<int>> m_pending;
    std::atomic<bool> m_abandon{false}; // set by stop(); the send under way gives up
    bool m_stopped = false;
};

} // namespace beamtide
