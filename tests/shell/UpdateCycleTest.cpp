#include "shell/UpdateCycle.h"

#include "base/Clock.h"

#include <gtest/gtest.h>

using namespace beamtide;

namespace {

// Records what the cycle asked of the window.
struct RecordingHost final : UpdateHost
{
    QString local, utc;
    bool myCall = false;
    int filterPasses = 0, addressChecks = 0, refreshes = 0, alertChecks = 0, progress = -1;
    QDateTime next;

    void showLocalTime(const QString& text) override { local = text; }
    bool utcFieldEmpty() const override { return utc.isEmpty(); }
    void showUtc(const QString& text) override { utc = text; }
    bool bandIsMyCall() const override { return myCall; }
    void runFilterPass() override { ++filterPasses; }
    void showSlotProgress(int p) override { progress = p; }
    void checkAddress() override { ++addressChecks; }
    QDateTime nextUpdateTime() const override { return next; }
    void refresh() override { ++refreshes; }
    void alertCheck() override { ++alertChecks; }
};

QDateTime at(int h, int m, int s)
{
    return QDateTime(QDate(2024, 5, 1), QTime(h, m, s), Qt::UTC);
}

} // namespace

TEST(UpdateCycle, SlotProgress)
{
    struct Case { int minute, second, expected; };
    for (const Case c : {Case{0, 0, 0}, Case{0, 1, 1}, Case{0, 59, 50}, Case{1, 59, 100},
                         Case{1, 0, 50}, Case{2, 0, 0}}) {
        SCOPED_TRACE(c.minute * 100 + c.second);
        EXPECT_EQ(slotProgress(QTime(10, c.minute, c.second)), c.expected);
    }
}

TEST(UpdateCycle, FirstTickFillsUtcAtOnceAndMinutePassSkipsMyCall)
{
    ManualClock clock(at(7, 4, 33), 3600); // local is an hour ahead
    RecordingHost host;
    host.next = at(23, 0, 0);
    UpdateCycle cycle(host, clock);
    cycle.tick();
    EXPECT_EQ(host.local, QStringLiteral("08:04:33"));
    EXPECT_EQ(host.utc, QStringLiteral("07:04 UTC"));
    EXPECT_EQ(host.filterPasses, 0);

    clock.setUtc(at(7, 5, 0));
    host.myCall = true;
    cycle.tick();
    EXPECT_EQ(host.utc, QStringLiteral("07:05 UTC"));
    EXPECT_EQ(host.filterPasses, 0);
    EXPECT_EQ(host.alertChecks, 1);

    clock.setUtc(at(7, 6, 0));
    host.myCall = false;
    cycle.tick();
    EXPECT_EQ(host.filterPasses, 1);
}

TEST(UpdateCycle, AddressCheckEvery300TicksAndAlertCheckEveryTenSeconds)
{
    ManualClock clock(at(10, 0, 1));
    RecordingHost host;
    host.next = at(23, 0, 0);
    UpdateCycle cycle(host, clock);
    for (int i = 1; i <= 600; ++i) {
        cycle.tick();
        clock.advance(1000);
        if (i == 299)
            EXPECT_EQ(host.addressChecks, 0);
        if (i == 300)
            EXPECT_EQ(host.addressChecks, 1);
    }
    EXPECT_EQ(host.addressChecks, 2);
    EXPECT_EQ(host.alertChecks, 60);
    EXPECT_EQ(host.refreshes, 0);
}

TEST(UpdateCycle, RefreshWhenDueAndEveryTickBeforeTheFirstFetch)
{
    ManualClock clock(at(10, 0, 1));
    RecordingHost host; // no next update time yet: the gate kept the fetch from running
    UpdateCycle cycle(host, clock);
    cycle.tick();
    cycle.tick();
    EXPECT_EQ(host.refreshes, 2);

    host.next = at(10, 0, 5);
    clock.setUtc(at(10, 0, 4));
    cycle.tick();
    EXPECT_EQ(host.refreshes, 2);
    clock.setUtc(at(10, 0, 5));
    cycle.tick();
    EXPECT_EQ(host.refreshes, 3);
}

TEST(UpdateCycle, PendingRefilterRunsAFewTicksAfterTheLastMove)
{
    ManualClock clock(at(10, 0, 1));
    RecordingHost host;
    host.next = at(23, 0, 0);
    UpdateCycle cycle(host, clock);
    cycle.markPendingRefilter();
    cycle.tick();
    cycle.markPendingRefilter(); // the bar moved again: wait from here
    cycle.tick();
    cycle.tick();
    EXPECT_EQ(host.filterPasses, 0);
    cycle.tick();
    EXPECT_EQ(host.filterPasses, 1);
    EXPECT_FALSE(cycle.refilterPending());
    cycle.tick();
    EXPECT_EQ(host.filterPasses, 1);
}

TEST(UpdateCycle, IntervalChangeMovesNextUpdateFromLastFetch)
{
    EXPECT_EQ(nextUpdateAfterIntervalChange(at(10, 0, 0), 10), at(10, 10, 0));
}
