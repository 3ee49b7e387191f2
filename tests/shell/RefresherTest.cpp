// The refresh's life without a window: a recording view and network jobs that the test ends
// by hand, in any order.
#include "shell/Refresher.h"

#include "base/Clock.h"
#include "base/DateFormats.h"
#include "base/RunLog.h"
#include "history/History.h"
#include "shell/RefreshJobs.h"
#include "shell/UpdateCycle.h"

#include "TempFolder.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <optional>

using namespace beamtide;

namespace {

const QString kPublic = QStringLiteral("203.0.113.7");

QDateTime at(int h, int m, int s)
{
    return QDateTime(QDate(2024, 5, 1), QTime(h, m, s), Qt::UTC);
}

// The window as the refresh sees it: controls the test sets, effects it records in order.
struct RecordingView final : RefreshView
{
    QString band = QStringLiteral("20");
    bool historical = false;
    int interval = 5;
    QStringList effects;
    QString label, nextUpdateText, lastUpdateText, addressProblem, fetchProblem;
    Indicator indicator = Indicator::ButtonFace;
    bool indicatorVisible = false;
    int filterPasses = 0;

    FetchRequest fetchControls() const override
    {
        FetchRequest r;
        r.band = band;
        r.historical = historical;
        r.updateInterval = interval;
        return r;
    }
    int updateInterval() const override { return interval; }
    void showAddressLabel(const QString& text) override { label = text; }
    void showAddressProblem(const QString& reason) override { addressProblem = reason; }
    void showIndicator(Indicator i, bool visible) override
    {
        indicator = i;
        indicatorVisible = visible;
    }
    void showBusy(bool) override {}
    void showFetchOutcome(const FetchOutcome& outcome) override
    {
        effects << QStringLiteral("outcome");
        if (outcome.gateOpen) {
            nextUpdateText = outcome.nextUpdateText;
            lastUpdateText = outcome.lastUpdateText;
        }
        if (outcome.untickHistorical)
            historical = false;
    }
    void showNextUpdate(const QString& text) override { nextUpdateText = text; }
    void showFetchProblem(const QString& hint) override { fetchProblem = hint; }
    void myCallControls() override { interval = 10; }
    void refreshFilterPass() override
    {
        effects << QStringLiteral("filter");
        ++filterPasses;
    }
    void repaintWindow() override {}
};

// Holds each job until the test ends it.
struct HeldJobs final : RefreshJobs
{
    struct Fetch
    {
        FetchRequest request;
        std::function<void()> myCall;
        FetchDone done;
    };
    struct Lookup
    {
        AddressRequest request;
        LookupDone done;
    };
    std::vector<FetchRequest> fetches; // every fetch started, in order
    std::optional<Fetch> fetch_;
    std::optional<Lookup> lookup_;
    int lookups = 0;

    FetchStart fetch(const FetchRequest& request, std::function<void()> myCall, FetchDone done) override
    {
        EXPECT_FALSE(fetch_) << "a second fetch while one runs";
        fetches.push_back(request);
        fetch_ = Fetch{request, std::move(myCall), std::move(done)};
        return {AddressLabel(request.publicAddress, request.showAddress, request.addressUnknown),
                AddressGateOpen(request.publicAddress, request.addressUnknown)};
    }
    void lookup(const AddressRequest& request, LookupDone done) override
    {
        EXPECT_FALSE(lookup_) << "a second lookup while one runs";
        ++lookups;
        lookup_ = Lookup{request, std::move(done)};
    }

    // Ends the running fetch as the real one would, having fetched at `when`; with an error,
    // no source answered.
    void endFetch(const QDateTime& when, const QStringList& spots = {}, const QString& error = {})
    {
        ASSERT_TRUE(fetch_);
        Fetch f = std::move(*fetch_);
        fetch_.reset();
        FetchOutcome o;
        o.gateOpen = AddressGateOpen(f.request.publicAddress, f.request.addressUnknown);
        o.untickHistorical = f.request.historical;
        o.instance = f.request.identity.instance;
        o.lastUpdateText = longTime(when.time()); // with the gate shut, for the hint alone
        if (o.gateOpen) {
            o.fetchedBand = f.request.band;
            o.spots = spots;
            // When it ended; the schedule is the refresher's.
            o.lastRetrieval = when;
            if (error.isEmpty())
                o.answeredBy = SpotSource::WsprNet;
            else
                o.errors << error;
        }
        f.done(o);
    }

    // Ends the running lookup with the echo service's answer, or with an error.
    void endLookup(const QString& answer, bool failed = false)
    {
        ASSERT_TRUE(lookup_);
        Lookup l = std::move(*lookup_);
        lookup_.reset();
        AddressOutcome o;
        o.requested = true;
        o.publicAddress = failed ? l.request.publicAddress : answer;
        if (failed)
            o.error = QStringLiteral("Couldn't connect to server");
        o.indicator = o.publicAddress != kLoopbackAddress ? Indicator::DarkGreen : Indicator::Red;
        o.addressLabel = AddressLabel(o.publicAddress, l.request.showAddress);
        l.done(o);
    }
};

// One refresher with its window and its jobs; each case of a table takes a fresh one.
struct Rig
{
    Rig()
    {
        identity.instance = 1;
        identity.showAddress = true;
    }

    // Start-up with the lookup answered: the first fetch is under way.
    void startRunning()
    {
        refresher.startUp();
        jobs.endLookup(kPublic);
        ASSERT_EQ(jobs.fetches.size(), 1u);
    }

    QStringList bandsFetched() const
    {
        QStringList bands;
        for (const FetchRequest& r : jobs.fetches)
            bands << r.band;
        return bands;
    }

    QList<QHostAddress> interfaces{QHostAddress(QStringLiteral("192.168.1.20"))};
    RecordingView view;
    HeldJobs jobs;
    Identity identity;
    Refresher refresher{view, jobs, identity, [this] { return interfaces; }};
};

} // namespace

TEST(Refresher, AsksDuringAFetchJoinOneRefreshThatReadsTheControlsWhenItStarts)
{
    struct Case
    {
        const char* name;
        QStringList typed;   // the band box after each ask
        int ticks;           // ticks that find the fetch running
        QStringList fetched; // every fetch, in order
    };
    const Case cases[] = {
        {"one ask", {QStringLiteral("40")}, 0, {QStringLiteral("20"), QStringLiteral("40")}},
        {"three keystrokes", {QStringLiteral("4"), QStringLiteral("43"), QStringLiteral("432")}, 0,
         {QStringLiteral("20"), QStringLiteral("432")}},
        {"ticks alone", {}, 3, {QStringLiteral("20")}},
        {"ticks and an ask", {QStringLiteral("6")}, 3, {QStringLiteral("20"), QStringLiteral("6")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.startRunning();
        Refresher& r = rig.refresher;
        for (const QString& band : c.typed) {
            rig.view.band = band;
            r.ask();
        }
        for (int i = 0; i < c.ticks; ++i)
            r.tickRefresh();
        EXPECT_EQ(rig.jobs.fetches.size(), 1u);
        EXPECT_EQ(r.pending(), !c.typed.isEmpty());

        rig.jobs.endFetch(at(12, 3, 17), {QStringLiteral("old spot,")});
        if (rig.jobs.fetch_)
            rig.jobs.endFetch(at(12, 3, 40), {QStringLiteral("new spot,")});
        EXPECT_EQ(rig.bandsFetched(), c.fetched);
        EXPECT_FALSE(r.running());
        EXPECT_FALSE(r.pending());

        // Each refresh applies its outcome and filters before the next one starts.
        QStringList expected;
        for (qsizetype i = 0; i < c.fetched.size(); ++i)
            expected << QStringLiteral("outcome") << QStringLiteral("filter");
        EXPECT_EQ(rig.view.effects, expected);
        EXPECT_EQ(r.fetchedBand(), c.fetched.last());
        EXPECT_EQ(r.spots().size(), 1);
    }
}

TEST(Refresher, OfflineChangeDuringALookupWinsOverItsAnswer)
{
    for (const bool lookupFails : {false, true}) {
        SCOPED_TRACE(lookupFails ? "the lookup fails" : "the lookup answers");
        Rig rig;
        rig.startRunning();
        rig.jobs.endFetch(at(12, 3, 17));

        // The 300th tick's lookup is out when the machine loses its address.
        rig.refresher.checkAddress();
        ASSERT_TRUE(rig.refresher.lookupRunning());
        EXPECT_EQ(rig.jobs.lookup_->request.publicAddress, kPublic);
        rig.interfaces = {};
        rig.refresher.addressWatch().poll();
        EXPECT_EQ(rig.refresher.publicAddress(), kLoopbackAddress);

        rig.jobs.endLookup(QStringLiteral("198.51.100.9"), lookupFails);
        EXPECT_EQ(rig.refresher.publicAddress(), kLoopbackAddress);
        EXPECT_EQ(rig.view.indicator, Indicator::Red);
        EXPECT_TRUE(rig.view.indicatorVisible);
        EXPECT_EQ(rig.view.label, QStringLiteral("IP: 127.0.0.1"));

        // And the gate stays shut.
        rig.refresher.ask();
        EXPECT_EQ(rig.jobs.fetches.back().publicAddress, kLoopbackAddress);
    }
}

TEST(Refresher, FailedLookupKeepsTheAddressItFindsAtItsEnd)
{
    Rig rig;
    rig.startRunning();
    rig.jobs.endFetch(at(12, 3, 17));
    rig.refresher.checkAddress();
    rig.jobs.endLookup(QString(), true);
    EXPECT_EQ(rig.refresher.publicAddress(), kPublic);
    EXPECT_EQ(rig.view.label, QStringLiteral("IP: ") + kPublic);
}

TEST(Refresher, OfflineChangeDuringAFetchStaysOnShowWhenTheFetchEnds)
{
    Rig rig;
    rig.startRunning();
    EXPECT_EQ(rig.view.indicator, Indicator::Lime);
    rig.interfaces = {};
    rig.refresher.addressWatch().poll();
    rig.jobs.endFetch(at(12, 3, 17));
    EXPECT_EQ(rig.view.indicator, Indicator::Red);
    EXPECT_TRUE(rig.view.indicatorVisible);
    EXPECT_EQ(rig.view.label, QStringLiteral("IP: 127.0.0.1"));

    // Without a change the end of the fetch hides it as usual.
    rig.interfaces = {QHostAddress(QStringLiteral("192.168.1.20"))};
    rig.refresher.addressWatch().poll();
    rig.refresher.checkAddress();
    rig.jobs.endLookup(kPublic);
    rig.refresher.ask();
    rig.jobs.endFetch(at(12, 4, 0));
    EXPECT_EQ(rig.view.indicator, Indicator::ButtonFace);
    EXPECT_FALSE(rig.view.indicatorVisible);
}

TEST(Refresher, ScheduleUsesTheIntervalShownWhenTheFetchEnds)
{
    struct Case
    {
        const char* name;
        std::function<void(Rig&)> during;
        QString nextDuring; // Edit4 while the fetch still runs
        QString nextAfter;  // Edit4 once it has ended at 12:05:00
    };
    const Case cases[] = {
        {"nothing changes", [](Rig&) {}, QStringLiteral("12:08:00"), QStringLiteral("12:10:00")},
        {"the user moves the bar to 10",
         [](Rig& rig) {
             rig.view.interval = 10;
             rig.refresher.intervalChanged(10);
         },
         QStringLiteral("12:13:17"), QStringLiteral("12:15:00")},
        {"MyCall mode sets 10", [](Rig& rig) { rig.jobs.fetch_->myCall(); }, QStringLiteral("12:08:00"),
         QStringLiteral("12:15:00")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.startRunning();
        rig.jobs.endFetch(at(12, 3, 17));
        ASSERT_EQ(rig.view.nextUpdateText, QStringLiteral("12:08:00"));

        rig.refresher.ask();
        c.during(rig);
        EXPECT_EQ(rig.view.nextUpdateText, c.nextDuring);
        rig.jobs.endFetch(at(12, 5, 0));
        EXPECT_EQ(rig.view.nextUpdateText, c.nextAfter);
        EXPECT_EQ(longTime(rig.refresher.nextUpdate().time()), c.nextAfter);
        EXPECT_EQ(rig.refresher.lastRetrieval(), at(12, 5, 0));
    }
}

TEST(Refresher, StartUpRunsItsFirstRefreshAfterASlowLookupBeforeAnyTick)
{
    Rig rig;
    Refresher& r = rig.refresher;
    rig.view.historical = true; // a stored tick: its 5000-line query is the first fetch's
    r.startUp();
    ASSERT_TRUE(r.lookupRunning());
    for (int i = 0; i < 5; ++i)
        r.tickRefresh();
    r.ask();
    EXPECT_FALSE(r.startedUp());
    EXPECT_TRUE(rig.jobs.fetches.empty());
    EXPECT_TRUE(rig.view.historical);

    rig.jobs.endLookup(kPublic);
    ASSERT_EQ(rig.jobs.fetches.size(), 1u);
    EXPECT_TRUE(rig.jobs.fetches[0].historical);
    EXPECT_EQ(rig.jobs.fetches[0].publicAddress, kPublic);
    EXPECT_TRUE(r.startedUp());
    r.tickRefresh();
    rig.jobs.endFetch(at(12, 3, 17));
    EXPECT_EQ(rig.jobs.fetches.size(), 1u);
    EXPECT_FALSE(rig.view.historical);
}

TEST(Refresher, WithoutALocalAddressTheFirstRefreshRunsAtOnceWithTheGateShut)
{
    Rig rig;
    rig.interfaces = {};
    rig.refresher.startUp();
    EXPECT_EQ(rig.jobs.lookups, 0);
    ASSERT_EQ(rig.jobs.fetches.size(), 1u);
    EXPECT_TRUE(rig.jobs.fetches[0].publicAddress.isEmpty());
    rig.jobs.endFetch(at(12, 3, 17));
    // No schedule: the next tick tries again.
    EXPECT_FALSE(rig.refresher.nextUpdate().isValid());
    rig.refresher.tickRefresh();
    EXPECT_EQ(rig.jobs.fetches.size(), 2u);
}

// The echo service is a third party's. Its failure at start-up once shut the gate for good:
// no spot query for as long as it was down. With a usable local address the spots are
// fetched, the address shows as unknown and the reason is kept for the hint.
TEST(Refresher, AFailedLookupWithAUsableLocalAddressKeepsTheGateOpen)
{
    Rig rig;
    rig.refresher.startUp();
    rig.jobs.endLookup(QString(), true);
    ASSERT_EQ(rig.jobs.fetches.size(), 1u);
    EXPECT_TRUE(rig.jobs.fetches[0].addressUnknown);
    EXPECT_TRUE(rig.refresher.addressUnknown());
    EXPECT_EQ(rig.view.label, QStringLiteral("IP: unknown"));
    EXPECT_EQ(rig.view.addressProblem, QStringLiteral("Couldn't connect to server"));
    rig.jobs.endFetch(at(12, 3, 17), {QStringLiteral("a spot")});
    EXPECT_TRUE(rig.refresher.nextUpdate().isValid());
    EXPECT_EQ(rig.refresher.spots(), QStringList{QStringLiteral("a spot")});

    // The next lookup that answers makes the address known again.
    rig.refresher.checkAddress();
    rig.jobs.endLookup(kPublic);
    EXPECT_FALSE(rig.refresher.addressUnknown());
    EXPECT_EQ(rig.view.label, QStringLiteral("IP: ") + kPublic);
    EXPECT_TRUE(rig.view.addressProblem.isEmpty());

    // Offline, the gate shuts as before, whatever the lookup said.
    rig.refresher.checkAddress();
    rig.jobs.endLookup(QString(), true);
    rig.refresher.wentOffline();
    EXPECT_FALSE(rig.refresher.addressUnknown());
    rig.refresher.tickRefresh();
    ASSERT_EQ(rig.jobs.fetches.size(), 2u);
    EXPECT_FALSE(AddressGateOpen(rig.jobs.fetches[1].publicAddress, rig.jobs.fetches[1].addressUnknown));
}

// The real tick: its address check posts the lookup, and its refresh waits for the answer.
TEST(Refresher, TheThreeHundredthTickRefreshesWithItsLookupsAnswer)
{
    struct TickHost final : UpdateHost
    {
        Refresher& r;
        explicit TickHost(Refresher& refresher) : r(refresher) {}
        void showLocalTime(const QString&) override {}
        bool utcFieldEmpty() const override { return false; }
        void showUtc(const QString&) override {}
        bool bandIsMyCall() const override { return false; }
        void runFilterPass() override {}
        void showSlotProgress(int) override {}
        void checkAddress() override { r.checkAddress(); }
        QDateTime nextUpdateTime() const override { return r.nextUpdate(); }
        void refresh() override { r.tickRefresh(); }
        void alertCheck() override {}
    };
    for (const QString& answer : {QStringLiteral("198.51.100.9"), kLoopbackAddress}) {
        SCOPED_TRACE(answer.toStdString());
        Rig rig;
        rig.startRunning();
        rig.jobs.endFetch(at(12, 3, 17));
        ASSERT_EQ(rig.refresher.nextUpdate(), at(12, 8, 0));

        ManualClock clock(at(12, 3, 18));
        TickHost host(rig.refresher);
        UpdateCycle cycle(host, clock);
        for (int i = 1; i < UpdateCycle::kAddressCheckTicks; ++i)
            cycle.tick();
        EXPECT_EQ(rig.jobs.lookups, 1);
        clock.setUtc(at(12, 8, 0));
        cycle.tick();
        ASSERT_EQ(rig.jobs.lookups, 2);
        EXPECT_EQ(rig.jobs.fetches.size(), 1u) << "the refresh went ahead of the lookup";
        rig.jobs.endLookup(answer);
        ASSERT_EQ(rig.jobs.fetches.size(), 2u);
        EXPECT_EQ(rig.jobs.fetches[1].publicAddress, answer);
    }
}

TEST(Refresher, AfterShutDownNothingStartsAndLateOutcomesAreDropped)
{
    Rig rig;
    rig.startRunning();
    Refresher& r = rig.refresher;
    rig.view.band = QStringLiteral("40");
    r.ask(); // pending behind the first fetch
    r.checkAddress();
    r.stop();
    r.ask();
    r.tickRefresh();

    rig.jobs.endFetch(at(12, 3, 17), {QStringLiteral("late spot,")});
    rig.jobs.endLookup(QStringLiteral("198.51.100.9"));
    EXPECT_EQ(rig.bandsFetched(), QStringList{QStringLiteral("20")});
    EXPECT_FALSE(r.running());
    EXPECT_FALSE(r.pending());
    EXPECT_TRUE(rig.view.effects.isEmpty());
    EXPECT_TRUE(r.spots().isEmpty());
    EXPECT_EQ(r.publicAddress(), kPublic);
}

TEST(Refresher, AFailedFetchKeepsTheLastAnswerOfTheSameBandOnScreen)
{
    Rig rig;
    rig.startRunning();
    Refresher& r = rig.refresher;
    const QStringList good{QStringLiteral("spot A,"), QStringLiteral("spot B,")};
    rig.jobs.endFetch(at(12, 0, 0), good);
    EXPECT_TRUE(rig.view.fetchProblem.isEmpty());

    r.ask();
    rig.jobs.endFetch(at(12, 5, 0), {}, QStringLiteral("HTTP error: The requested URL returned error: 500"));
    EXPECT_EQ(r.spots(), good);
    EXPECT_EQ(r.fetchedBand(), QStringLiteral("20"));
    EXPECT_EQ(rig.view.lastUpdateText, QStringLiteral("12:00:00"));
    EXPECT_EQ(rig.view.fetchProblem,
              QStringLiteral("The fetch at 12:05:00 failed: HTTP error: The requested URL returned error: 500\n"
                             "The spots shown are from the fetch at 12:00:00."));
    EXPECT_EQ(r.lastGoodRetrieval(), at(12, 0, 0));
    EXPECT_EQ(r.lastRetrieval(), at(12, 5, 0)); // the schedule counts from the attempt
    EXPECT_EQ(rig.view.filterPasses, 2);

    // A second failure still has the same spots to keep.
    r.ask();
    rig.jobs.endFetch(at(12, 10, 0), {}, QStringLiteral("Couldn't connect to server"));
    EXPECT_EQ(r.spots(), good);
    EXPECT_TRUE(rig.view.fetchProblem.contains(QStringLiteral("from the fetch at 12:00:00")));

    // Another band's failure shows none of them: they would be read as that band's.
    rig.view.band = QStringLiteral("40");
    r.ask();
    rig.jobs.endFetch(at(12, 15, 0), {}, QStringLiteral("Couldn't connect to server"));
    EXPECT_TRUE(r.spots().isEmpty());
    EXPECT_EQ(rig.view.fetchProblem,
              QStringLiteral("The fetch at 12:15:00 failed: Couldn't connect to server"));
    EXPECT_EQ(rig.view.lastUpdateText, QStringLiteral("12:00:00"));

    // An answer, even an empty one, ends the mark.
    r.ask();
    rig.jobs.endFetch(at(12, 20, 0), {});
    EXPECT_TRUE(rig.view.fetchProblem.isEmpty());
    EXPECT_EQ(rig.view.lastUpdateText, QStringLiteral("12:20:00"));
    EXPECT_EQ(r.lastGoodRetrieval(), at(12, 20, 0));
}

// The rows on screen stay for the whole of a fetch, also when the band changed meanwhile,
// until the outcome replaces them in one step.
TEST(Refresher, TheLastRowsStayOnScreenUntilTheOutcomeReplacesThem)
{
    Rig rig;
    rig.startRunning();
    Refresher& r = rig.refresher;
    const QStringList old{QStringLiteral("spot A,"), QStringLiteral("spot B,")};
    rig.jobs.endFetch(at(12, 0, 0), old);

    rig.view.band = QStringLiteral("40");
    r.ask();
    ASSERT_TRUE(r.running());
    EXPECT_EQ(r.spots(), old);
    EXPECT_EQ(r.fetchedBand(), QStringLiteral("20"));
    EXPECT_EQ(rig.view.effects, (QStringList{QStringLiteral("outcome"), QStringLiteral("filter")}));

    const QStringList fresh{QStringLiteral("spot C,")};
    rig.jobs.endFetch(at(12, 1, 0), fresh);
    EXPECT_EQ(r.spots(), fresh);
    EXPECT_EQ(r.fetchedBand(), QStringLiteral("40"));
}

// Offline is a fetch that could not be made: the last answer of the same band stays on
// screen with the mark, as after a failed fetch.
TEST(Refresher, OfflineTheLastAnswerOfTheSameBandStaysOnScreen)
{
    Rig rig;
    rig.startRunning();
    Refresher& r = rig.refresher;
    const QStringList good{QStringLiteral("spot A,"), QStringLiteral("spot B,")};
    rig.jobs.endFetch(at(12, 0, 0), good);

    rig.refresher.wentOffline();
    r.ask();
    rig.jobs.endFetch(at(12, 5, 0));
    EXPECT_EQ(r.spots(), good);
    EXPECT_EQ(r.fetchedBand(), QStringLiteral("20"));
    EXPECT_EQ(rig.view.lastUpdateText, QStringLiteral("12:00:00"));
    EXPECT_EQ(rig.view.fetchProblem,
              QStringLiteral("The fetch at 12:05:00 failed: offline, no public address: nothing was asked\n"
                             "The spots shown are from the fetch at 12:00:00."));
    EXPECT_EQ(rig.view.filterPasses, 2);
}

// Who asked is recorded with the refresh, also one that waited behind the address lookup:
// only what the user asked for may move the focus.
TEST(Refresher, ARefreshKnowsWhetherTheUserAskedForIt)
{
    struct Case
    {
        const char* name;
        bool tick;
        bool ask;
    };
    const Case cases[] = {
        {"a tick behind the lookup", true, false},
        {"an ask behind the lookup", false, true},
        {"a tick, then an ask", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.startRunning();
        Refresher& r = rig.refresher;
        EXPECT_TRUE(r.askedByUser()); // the start-up's own
        rig.jobs.endFetch(at(12, 0, 0));
        r.checkAddress();
        ASSERT_TRUE(r.lookupRunning());
        if (c.tick)
            r.tickRefresh();
        if (c.ask)
            r.ask();
        rig.jobs.endLookup(kPublic);
        ASSERT_TRUE(r.running());
        EXPECT_EQ(r.askedByUser(), c.ask);
        rig.jobs.endFetch(at(12, 1, 0));
    }
    Rig rig;
    rig.startRunning();
    rig.jobs.endFetch(at(12, 0, 0));
    rig.refresher.tickRefresh();
    EXPECT_FALSE(rig.refresher.askedByUser());
}

// A lookup that ends during a long fetch paints its colour; the end of the fetch keeps it.
TEST(Refresher, TheIndicatorShowsWhatHoldsAfterTheFetch)
{
    for (const bool found : {true, false}) {
        SCOPED_TRACE(found ? "the lookup answers" : "the lookup fails");
        Rig rig;
        rig.startRunning();
        Refresher& r = rig.refresher;
        rig.jobs.endFetch(at(12, 0, 0));
        EXPECT_FALSE(rig.view.indicatorVisible); // a plain fetch ends hidden, as always

        r.ask();
        EXPECT_EQ(rig.view.indicator, Indicator::Lime);
        r.checkAddress();
        rig.jobs.endLookup(kPublic, !found);
        const Indicator painted = rig.view.indicator;
        rig.jobs.endFetch(at(12, 1, 0));
        EXPECT_EQ(rig.view.indicator, painted);
        EXPECT_TRUE(rig.view.indicatorVisible);
    }
}

// The schedule is worked out in one place, when the fetch ends: a copy above 3 turns to 0
// and waits six hours.
TEST(Refresher, ACopyAboveThreeTurnsToZeroWithItsFirstSchedule)
{
    Rig rig;
    rig.identity.instance = 4;
    rig.startRunning();
    EXPECT_EQ(rig.jobs.fetches[0].identity.instance, 4);
    rig.jobs.endFetch(at(12, 0, 0));
    EXPECT_EQ(rig.identity.instance, 0);
    EXPECT_EQ(rig.refresher.nextUpdate(), at(18, 0, 0));
    EXPECT_EQ(rig.view.nextUpdateText, QStringLiteral("18:00:00"));
}

TEST(Refresher, EachAnswerGoesToTheHistoryOnceAndFailuresNot)
{
    test::TempFolder folder;
    Rig rig;
    SystemClock clock;
    RunLog log(rig.identity, clock);
    History history(folder.file(QStringLiteral("BeamtideHistory.sqlite")), log);
    rig.refresher.setHistory(&history);
    QSignalSpy stored(&history, &History::stored);
    rig.startRunning();
    const QString a = QStringLiteral("2024-05-01 11:58,K1ABC,14.097088,-20,0,FN42,+37,5,DL1AB,JO31,5912,3674");
    const QString b = QStringLiteral("2024-05-01 11:58,K1ABC,14.097088,-20,0,FN42,+37,5,G4XYZ,IO91,5100,3169");
    rig.jobs.endFetch(at(12, 0, 0), {a});
    ASSERT_TRUE(stored.wait());
    EXPECT_EQ(stored.last().at(0).toInt(), 1);

    // A failed fetch keeps its last answer on screen, but it is no new answer to keep.
    rig.refresher.ask();
    rig.jobs.endFetch(at(12, 5, 0), {}, QStringLiteral("Couldn't connect to server"));
    rig.refresher.ask();
    rig.jobs.endFetch(at(12, 10, 0), {a, b});
    ASSERT_TRUE(stored.wait());
    EXPECT_EQ(stored.size(), 2);
    EXPECT_EQ(stored.last().at(0).toInt(), 1); // the first spot again, and one new

    rig.refresher.setHistory(nullptr); // history switched off in the setup panel
    rig.refresher.ask();
    rig.jobs.endFetch(at(12, 15, 0), {a, b});
    history.finish();
    QCoreApplication::processEvents();
    EXPECT_EQ(stored.size(), 2);
}
