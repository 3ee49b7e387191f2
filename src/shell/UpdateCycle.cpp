#include "shell/UpdateCycle.h"

#include "base/Clock.h"
#include "base/DateFormats.h"
#include "spots/SpotRules.h"

namespace beamtide {

UpdateCycle::UpdateCycle(UpdateHost& host, const Clock& clock) : m_host(host), m_clock(clock) {}

void UpdateCycle::tick()
{
    ++m_counter;
    const QDateTime local = m_clock.nowLocal();
    const QTime time = local.time();
    m_host.showLocalTime(longTime(time));

    if (m_host.utcFieldEmpty())
        m_host.showUtc(utcClockText(m_clock.nowUtc()));

    const int second = time.second();
    if (second == 0) {
        m_host.showUtc(utcClockText(m_clock.nowUtc()));
        if (!m_host.bandIsMyCall())
            m_host.runFilterPass();
    }

    m_host.showSlotProgress(slotProgress(time));

    if (m_pending && ++m_pendingAge > kRefilterDelayTicks) {
        m_host.runFilterPass();
        m_pending = false;
        m_pendingAge = 0;
    }

    if (m_counter % kAddressCheckTicks == 0) {
        m_host.checkAddress();
        m_counter = 0;
    }

    const QDateTime next = m_host.nextUpdateTime();
    if (!next.isValid() || local >= next)
        m_host.refresh();

    if (second % 10 == 0)
        m_host.alertCheck();
}

void UpdateCycle::markPendingRefilter()
{
    m_pending = true;
    m_pendingAge = 0;
}

int slotProgress(const QTime& localTime)
{
    const int s = localTime.second() + (localTime.minute() % 2 == 1 ? 60 : 0);
    return (s + 1) * 5 / 6;
}

QDateTime nextUpdateAfterIntervalChange(const QDateTime& lastRetrieval, int minutes)
{
    return lastRetrieval.addSecs(qint64(minutes) * 60);
}

} // namespace beamtide
