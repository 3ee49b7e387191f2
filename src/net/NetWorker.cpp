#include "net/NetWorker.h"

#include <QCoreApplication>

#include <atomic>

namespace beamtide {

namespace {
thread_local const std::atomic<bool>* t_stopping = nullptr;
} // namespace

bool NetWorker::currentJobCancelled()
{
    return t_stopping && t_stopping->load();
}

NetWorker::CancelScope::CancelScope(const std::atomic<bool>& cancelled) : m_previous(t_stopping)
{
    t_stopping = &cancelled;
}

NetWorker::CancelScope::~CancelScope()
{
    t_stopping = m_previous;
}

NetWorker::NetWorker(QObject* parent)
    : QObject(parent),
      m_pending(std::make_shared<std::atomic<int>>(0)),
      m_stopping(std::make_shared<std::atomic<bool>>(false))
{
    m_thread.setObjectName(QStringLiteral("beamtide-net"));
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread.start();
}

NetWorker::~NetWorker()
{
    stop();
}

void NetWorker::stop()
{
    m_stopping->store(true);
    m_thread.quit();
    m_thread.wait();
    m_pending->store(0); // the jobs not started never will be
}

int NetWorker::pending() const
{
    return m_pending->load();
}

void NetWorker::deliverArrived()
{
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void NetWorker::postRaw(std::function<void()> job)
{
    if (m_stopping->load())
        return;
    ++*m_pending;
    QMetaObject::invokeMethod(
        m_context,
        [job = std::move(job), pending = m_pending, stopping = m_stopping] {
            if (!stopping->load()) {
                const CancelScope scope(*stopping);
                job();
            }
            --*pending;
        },
        Qt::QueuedConnection);
}

} // namespace beamtide
