#pragma once

#include <QDateTime>

namespace beamtide {

// Every rule with a time in it reads the clock through this, so tests can set the time.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime nowLocal() const = 0;
    virtual QDateTime nowUtc() const = 0;
};

class SystemClock final : public Clock
{
public:
    QDateTime nowLocal() const override;
    QDateTime nowUtc() const override;
};

// A clock that only moves when told to; local time is UTC plus a fixed offset.
class ManualClock final : public Clock
{
public:
    explicit ManualClock(const QDateTime& utc, int localOffsetSeconds = 0);
    QDateTime nowLocal() const override;
    QDateTime nowUtc() const override;
    void setUtc(const QDateTime& utc);
    void setLocal(const QDateTime& local);
    void advance(qint64 milliseconds);

private:
    QDateTime m_utc;
    int m_offset;
};

} // namespace beamtide
