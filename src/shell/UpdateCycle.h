#pragma once

#include <QDateTime>
#include <QString>

namespace beamtide {

class Clock;

// What one tick reads and drives; the Controller implements it over the window.
class UpdateHost
{
public:
    virtual ~UpdateHost() = default;
    virtual void showLocalTime(const QString& text) = 0; // Edit5
    virtual bool utcFieldEmpty() const = 0;              // Edit18
    virtual void showUtc(const QString& text) = 0;
    virtual bool bandIsMyCall() const = 0;
    virtual void runFilterPass() = 0;
    virtual void showSlotProgress(int percent) = 0;      // ProgressBar1
    virtual void checkAddress() = 0;                     // address watch, then the lookup
    virtual QDateTime nextUpdateTime() const = 0;        // invalid until a fetch has run
    virtual void refresh() = 0;                          // does nothing while one runs
    virtual void alertCheck() = 0;
};

// The one-second cycle: clock fields, slot progress, the minute's filter pass, the address
// check every 300 ticks, the refresh when due and the ten-second alert check.
class UpdateCycle final
{
public:
    UpdateCycle(UpdateHost& host, const Clock& clock);

    void tick();

    // A distance or elapsed-time bar moved: filter again a few ticks after the last move,
    // so dragging a bar does not run a pass per step.
    void markPendingRefilter();
    bool refilterPending() const { return m_pending; }

    int tickCounter() const { return m_counter; }

    static constexpr int kAddressCheckTicks = 300;
    static constexpr int kRefilterDelayTicks = 2;

private:
    UpdateHost& m_host;
    const Clock& m_clock;
    int m_counter = 0;
    bool m_pending = false;
    int m_pendingAge = 0;
};

// Position of the two-minute WSPR slot, 0..100.
int slotProgress(const QTime& localTime);
// The next update after the interval changed: last retrieval + interval, not aligned.
QDateTime nextUpdateAfterIntervalChange(const QDateTime& lastRetrieval, int minutes);

} // namespace beamtide
