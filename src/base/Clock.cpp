#include "base/Clock.h"

#include <QTimeZone>

namespace beamtide {

QDateTime SystemClock::nowLocal() const
{
    return QDateTime::currentDateTime();
}

QDateTime SystemClock::nowUtc() const
{
    return QDateTime::currentDateTimeUtc();
}

ManualClock::ManualClock(const QDateTime& utc, int localOffsetSeconds)
    : m_utc(utc.toUTC()), m_offset(localOffsetSeconds)
{
}

QDateTime ManualClock::nowLocal() const
{
    // Local time as wall-clock fields; the offset is applied by hand so tests do not
    // depend on the machine's time zone.
    const QDateTime shifted = m_utc.addSecs(m_offset);
    return QDateTime(shifted.date(), shifted.time());
}

QDateTime ManualClock::nowUtc() const
{
    return m_utc;
}

void ManualClock::setUtc(const QDateTime& utc)
{
    m_utc = utc.toUTC();
}

void ManualClock::setLocal(const QDateTime& local)
{
    const QDateTime asUtc(local.date(), local.time(), Qt::UTC);
    m_utc = asUtc.addSecs(-m_offset);
}

void ManualClock::advance(qint64 milliseconds)
{
    m_utc = m_utc.addMSecs(milliseconds);
}

} // namespace beamtide
