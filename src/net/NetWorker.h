#pragma once

#include <QObject>
#include <QPointer>
#include <QThread>

#include <atomic>

#include <functional>
#include <memory>

namespace beamtide {

// The one thread every network exchange runs on: blocking libcurl calls, one at a time, in
// the order they were posted. Results come back on the thread of the receiver object, so
// their effects are applied there in order; a receiver that is gone gets nothing.
class NetWorker final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NetWorker)

public:
    explicit NetWorker(QObject* parent = nullptr);
    ~NetWorker() override; // stop()

    // Cancels the job that is running and waits for it to end; jobs not started are
    // dropped and later ones never run. Shut-down calls it before its last log line, so
    // no job writes after it.
    void stop();

    template <typename Result>
    void post(std::function<Result()> job, QObject* receiver, std::function<void(Result)> done)
    {
        // The receiver is looked at only on its own thread, where it may be destroyed at any
        // moment: a look from the worker's thread could pass just before it goes, and the
        // result would then be posted to an object that no longer exists. The result travels
        // by way of this object, which outlives every job (stop() waits for the last one).
        QPointer<QObject> guard(receiver);
        QObject* carrier = receiver->thread() == thread() ? this : nullptr;
        postRaw([job = std::move(job), guard, carrier, done = std::move(done)] {
            auto result = std::make_shared<Result>(job());
            const auto deliver = [guard, done, result] {
                if (guard)
                    done(std::move(*result));
            };
            if (carrier) {
                QMetaObject::invokeMethod(carrier, deliver, Qt::QueuedConnection);
            } else if (QObject* target = guard.data()) {
                // A receiver on a thread of its own must outlive its jobs.
                QMetaObject::invokeMethod(target, deliver, Qt::QueuedConnection);
            }
        });
    }

    // Jobs posted and not yet finished.
    int pending() const;
    // Delivers now, on this thread, the results that have come back so far.
    void deliverArrived();

    // True inside a job whose worker is being destroyed: a transfer checks it from its
    // progress callback and gives up, so closing the window never waits out a slow server.
    static bool currentJobCancelled();

    // Makes currentJobCancelled() follow `cancelled` on the calling thread while it lives:
    // for threads of their own (the alert channels, a "Send test") whose transfers must give
    // up at closing as well.
    class CancelScope final
    {
        Q_DISABLE_COPY_MOVE(CancelScope)

    public:
        explicit CancelScope(const std::atomic<bool>& cancelled);
        ~CancelScope();

    private:
        const std::atomic<bool>* m_previous;
    };

private:
    void postRaw(std::function<void()> job);

    QThread m_thread;
    QObject* m_context = nullptr; // lives on m_thread
    std::shared_ptr<std::atomic<int>> m_pending;
    std::shared_ptr<std::atomic<bool>> m_stopping;
};

} // namespace beamtide
