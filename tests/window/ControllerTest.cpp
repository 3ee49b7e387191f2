// The assembled window and its update cycle against a real local HTTP server: the clock
// fields tick by tick, the refresh when due, "Update NOW", the interval change, the
// conversion error box and the address gate.
#include "base/Clock.h"
#include "base/Identity.h"
#include "settings/SettingsStore.h"
#include "window/Controller.h"
#include "history/History.h"
#include "window/grid/FindPanel.h"
#include "window/history/HistoryPanel.h"
#include "window/history/HistoryServerDialog.h"
#include "window/grid/SpotGrid.h"
#include "window/grid/SpotGridModel.h"
#include "window/main/MainWindow.h"
#include "window/main/Prompt.h"

#include "HttpFixture.h"
#include "LocalServices.h"
#include "PageMaker.h"
#include "QuietOpeners.h"
#include "TempFolder.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace beamtide;

namespace {

const QString kActivityPath = QStringLiteral("/drupal/wsprnet/activity");
const QString kSpotsPath = QStringLiteral("/olddb.php");
const QString kEchoPath = QStringLiteral("/");

// Spots with the given calls, newest first, in the hour of the manual clock.
std::vector<test::PageSpot> spotsCalled(const QStringList& calls)
{
    std::vector<test::PageSpot> spots;
    for (int i = 0; i < calls.size(); ++i) {
        test::PageSpot s;
        s.time = QStringLiteral("2024-05-01 10:%1").arg(2 - i % 3, 2, 10, QLatin1Char('0'));
        s.call = calls[i];
        spots.push_back(s);
    }
    return spots;
}

// One running copy: the real window and controller with their store, files and network
// services all local. Local time runs two hours ahead of UTC so the fields tell them apart.
class ControllerTest : public ::testing::Test
{
protected:
    ControllerTest()
    {
        server.setBody(kActivityPath, test::linesPage(250));
        server.setBody(kEchoPath, "203.0.113.7");
        setPage(spotsCalled({QStringLiteral("VK2AAA"), QStringLiteral("VK2BBB"), QStringLiteral("VK2CCC")}));
        storeSetting(QStringLiteral("WSPRBand"), QStringLiteral("20"));
        storeSetting(QStringLiteral("WSPRUpdInterval"), QStringLiteral("5"));
        // Not a first launch, which would start from a wiped store.
        storeSetting(QStringLiteral("WSPRRunCount"), QStringLiteral("7"));
        // The spot database alone, unless a test says otherwise.
        storeSetting(QStringLiteral("BeamtideSource"), QStringLiteral("WSPRnet"));
    }

    ~ControllerTest() override
    {
        if (controller)
            controller->timer().stop();
        controller.reset();
        window.reset();
    }

    static test::Route answer(const QByteArray& body, int status = 200)
    {
        test::Route route;
        route.body = body;
        route.status = status;
        return route;
    }

    void setPage(const std::vector<test::PageSpot>& spots)
    {
        server.setBody(kSpotsPath, test::reportPage(spots).toUtf8());
    }

    void storeSetting(const QString& name, const QString& value)
    {
        QSettings ini(settingsFile, SettingsStore::iniFormat());
        ini.setValue(QStringLiteral("Drovix/") + name + QStringLiteral("1"), value);
    }

    // The mirror's address is handed in when the controller is built; every other test keeps
    // a closed port.
    void useWsprLive(const test::HttpFixture& live) { m_wsprLiveUrl = live.baseUrl(); }

    // Builds the window and controller; the timer is stopped so each tick is the test's.
    void build(const QStringList& arguments = {})
    {
        identity.commandLine = commandLineText(arguments);
        identity.instance = 1;
        identity.folder = folder.path();
        window = std::make_unique<MainWindow>();
        Services services = test::localServices(server.baseUrl(), settingsFile, openers);
        if (!m_wsprLiveUrl.isEmpty())
            services.wsprLiveUrl = m_wsprLiveUrl;
        controller = std::make_unique<Controller>(*window, identity, clock, services);
        controller->prompt().setSink(&prompts);
        finished = std::make_unique<QSignalSpy>(controller.get(), &Controller::refreshFinished);
    }

    // Start-up up to the end of its first refresh.
    void startUp(const QStringList& arguments = {})
    {
        build(arguments);
        controller->startUp();
        controller->timer().stop();
        waitForRefresh();
    }

    void waitForRefresh()
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !finished->isEmpty() && !controller->refreshRunning(); }, 30000));
        finished->clear();
    }

    void tickAt(const QTime& local)
    {
        clock.setLocal(QDateTime(QDate(2024, 5, 1), local, Qt::UTC));
        controller->cycle().tick();
    }

    int spotQueries() const
    {
        int n = 0;
        for (const auto& r : server.requests())
            n += r.path == kSpotsPath ? 1 : 0;
        return n;
    }

    QStringList gridCalls() const
    {
        QStringList calls;
        const SpotGridModel& model = controller->grid().model();
        for (int row = 1; row < model.rows(); ++row)
            calls << model.cell(row, 1);
        return calls;
    }

    test::TempFolder folder;
    test::HttpFixture server;
    QString settingsFile = folder.file(QStringLiteral("settings.ini"));
    ManualClock clock{QDateTime(QDate(2024, 5, 1), QTime(10, 3, 17), Qt::UTC), 2 * 3600};
    test::QuietOpeners openers;
    PromptRecorder prompts;
    Identity identity;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<Controller> controller;
    std::unique_ptr<QSignalSpy> finished;
    QString m_wsprLiveUrl;
};

} // namespace

TEST_F(ControllerTest, TicksShowTheClocksAndRefreshWhenTheNextUpdateComes)
{
    startUp();
    MainWindow& w = *window;
    EXPECT_EQ(w.lastUpdate->text(), QStringLiteral("12:03:17"));
    EXPECT_EQ(w.nextUpdate->text(), QStringLiteral("12:08:00"));
    EXPECT_EQ(gridCalls(), (QStringList{QStringLiteral("VK2AAA"), QStringLiteral("VK2BBB"), QStringLiteral("VK2CCC")}));
    EXPECT_EQ(w.entriesBox->text(), QStringLiteral("3"));

    struct Step
    {
        QTime local;
        QString localText, utcText;
        int progress;
    };
    // The first tick fills the empty UTC field whatever the second; at second 0 it moves on.
    const Step steps[] = {
        {QTime(12, 3, 18), QStringLiteral("12:03:18"), QStringLiteral("10:03 UTC"), 65},
        {QTime(12, 3, 59), QStringLiteral("12:03:59"), QStringLiteral("10:03 UTC"), 100},
        {QTime(12, 4, 0), QStringLiteral("12:04:00"), QStringLiteral("10:04 UTC"), 0},
        {QTime(12, 4, 1), QStringLiteral("12:04:01"), QStringLiteral("10:04 UTC"), 1},
        {QTime(12, 4, 59), QStringLiteral("12:04:59"), QStringLiteral("10:04 UTC"), 50},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.localText.toStdString());
        tickAt(step.local);
        EXPECT_EQ(w.localTime->text(), step.localText);
        EXPECT_EQ(w.utcTime->text(), step.utcText);
        EXPECT_EQ(w.slotBar->value(), step.progress);
    }
    EXPECT_EQ(spotQueries(), 1);
    EXPECT_TRUE(finished->isEmpty());

    // The minute's pass filters again without fetching.
    w.spottedFilter->setText(QStringLiteral("VK2BBB"));
    tickAt(QTime(12, 5, 0));
    EXPECT_EQ(gridCalls(), QStringList{QStringLiteral("VK2BBB")});
    w.spottedFilter->clear();

    // One second before the next update nothing is fetched; at it the new page shows.
    setPage(spotsCalled({QStringLiteral("VK2DDD"), QStringLiteral("VK2EEE")}));
    tickAt(QTime(12, 7, 59));
    EXPECT_EQ(spotQueries(), 1);
    tickAt(QTime(12, 8, 0));
    waitForRefresh();
    EXPECT_EQ(spotQueries(), 2);
    EXPECT_EQ(gridCalls(), (QStringList{QStringLiteral("VK2DDD"), QStringLiteral("VK2EEE")}));
    EXPECT_EQ(w.lastUpdate->text(), QStringLiteral("12:08:00"));
    EXPECT_EQ(w.nextUpdate->text(), QStringLiteral("12:13:00"));
}

TEST_F(ControllerTest, TicksWhileAFetchRunsStartNoSecondOne)
{
    startUp();
    test::Route slow;
    slow.body = test::reportPage(spotsCalled({QStringLiteral("VK2DDD")})).toUtf8();
    slow.delayMs = 1500;
    server.setRoute(kSpotsPath, slow);

    tickAt(QTime(12, 8, 0));
    ASSERT_TRUE(controller->refreshRunning());
    tickAt(QTime(12, 8, 1));
    tickAt(QTime(12, 8, 2));
    waitForRefresh();
    EXPECT_EQ(spotQueries(), 2);
    EXPECT_EQ(gridCalls(), QStringList{QStringLiteral("VK2DDD")});
}

TEST_F(ControllerTest, UpdateNowFetchesAtOnceAndMovesTheSchedule)
{
    startUp();
    setPage(spotsCalled({QStringLiteral("VK2DDD")}));
    clock.setLocal(QDateTime(QDate(2024, 5, 1), QTime(12, 5, 40), Qt::UTC));
    QTest::mouseClick(window->updateNow, Qt::LeftButton);
    waitForRefresh();
    EXPECT_EQ(spotQueries(), 2);
    EXPECT_EQ(gridCalls(), QStringList{QStringLiteral("VK2DDD")});
    EXPECT_EQ(window->lastUpdate->text(), QStringLiteral("12:05:40"));
    EXPECT_EQ(window->nextUpdate->text(), QStringLiteral("12:11:00"));
    // The old schedule no longer applies.
    tickAt(QTime(12, 8, 0));
    EXPECT_FALSE(controller->refreshRunning());
    EXPECT_EQ(spotQueries(), 2);
}

TEST_F(ControllerTest, IntervalChangeBeforeAnyFetchOnlyShowsTheMinutes)
{
    // The echo service fails, so start-up ends without a fetch.
    server.setRoute(kEchoPath, answer(QByteArray(), 500));
    build();
    QSignalSpy started(controller.get(), &Controller::startUpFinished);
    controller->startUp();
    controller->timer().stop();
    ASSERT_TRUE(!started.isEmpty() || started.wait(30000));
    ASSERT_EQ(window->intervalBar->value(), 5);
    const QString nextBefore = window->nextUpdate->text();
    window->intervalBar->setValue(10);
    EXPECT_EQ(window->intervalBox->text(), QStringLiteral("10"));
    EXPECT_EQ(window->nextUpdate->text(), nextBefore);
    EXPECT_TRUE(window->lastUpdate->text().isEmpty());
    EXPECT_FALSE(controller->nextUpdateTime().isValid());
    EXPECT_EQ(spotQueries(), 0);
}

TEST_F(ControllerTest, IntervalChangeAfterAFetchCountsFromThatFetch)
{
    startUp();
    ASSERT_EQ(window->intervalBar->value(), 5);
    clock.setLocal(QDateTime(QDate(2024, 5, 1), QTime(12, 6, 17), Qt::UTC));
    window->intervalBar->setValue(10);
    EXPECT_EQ(window->intervalBox->text(), QStringLiteral("10"));
    // Ten minutes after the fetch at 12:03:17, not rounded to a minute.
    EXPECT_EQ(window->nextUpdate->text(), QStringLiteral("12:13:17"));

    tickAt(QTime(12, 8, 0));
    tickAt(QTime(12, 13, 16));
    EXPECT_EQ(spotQueries(), 1);
    tickAt(QTime(12, 13, 17));
    waitForRefresh();
    EXPECT_EQ(spotQueries(), 2);
    // The refresh schedules with the new interval.
    EXPECT_EQ(window->nextUpdate->text(), QStringLiteral("12:23:00"));
}

TEST_F(ControllerTest, UnreadableSpotLineIsSkippedWithOneBoxAndTheCycleGoesOn)
{
    struct Case
    {
        const char* name;
        QString watts;
        QString shown; // the unreadable text the box names
    };
    const Case cases[] = {
        {"unreadable power figure", QStringLiteral("5.0.1"), QStringLiteral("5.0.1")},
        {"empty power cell", QString(), QString()},
        // A cell holding markup is dropped, so the reporter lands in the power field.
        {"power cell with markup", QStringLiteral("<b>5</b>"), QStringLiteral("VK3ABC")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto spots = spotsCalled({QStringLiteral("VK2AAA"), QStringLiteral("VK2BBB"), QStringLiteral("VK2CCC")});
        spots[1].watts = c.watts;
        setPage(spots);
        prompts.requests.clear();
        startUp({QStringLiteral("/log")});

        ASSERT_EQ(prompts.requests.size(), 1);
        EXPECT_EQ(prompts.requests[0].icon, QMessageBox::Critical);
        EXPECT_TRUE(prompts.requests[0].text.contains(u'\'' + c.shown + u'\''))
            << prompts.requests[0].text.toStdString();
        EXPECT_TRUE(prompts.requests[0].text.startsWith(QStringLiteral("Spot line 2 (VK2BBB)")));
        // The bad line alone is left out.
        EXPECT_EQ(gridCalls(), (QStringList{QStringLiteral("VK2AAA"), QStringLiteral("VK2CCC")}));
        EXPECT_TRUE(folder.read(QStringLiteral("WSPRLog1.txt"))
                        .contains(("Filter pass skipped 1 spot line(s): spot line 2 (VK2BBB): '" + c.shown + "'")
                                      .toUtf8()));

        // The next minutes' passes meet the same line while the box is still up.
        tickAt(QTime(12, 4, 0));
        tickAt(QTime(12, 5, 0));
        EXPECT_EQ(prompts.requests.size(), 1);
        EXPECT_EQ(window->localTime->text(), QStringLiteral("12:05:00"));
        EXPECT_EQ(window->slotBar->value(), 50);

        // Once closed, the same line brings no box back; the log keeps its line per pass
        // and the schedule still holds.
        controller->prompt().dismiss(QStringLiteral("conversion"));
        const auto skippedLines = [&] {
            return folder.read(QStringLiteral("WSPRLog1.txt")).count("Filter pass skipped 1 spot line(s)");
        };
        const qsizetype before = skippedLines();
        tickAt(QTime(12, 6, 0));
        EXPECT_EQ(prompts.requests.size(), 1);
        EXPECT_GT(skippedLines(), before); // the log still names the line at each pass
        tickAt(QTime(12, 8, 0));
        waitForRefresh();
        EXPECT_EQ(spotQueries(), 2);
        EXPECT_EQ(prompts.requests.size(), 1);

        // A damaged line not reported before brings it back.
        auto more = spots;
        more[2].watts = c.watts;
        setPage(more);
        tickAt(QTime(12, 13, 0));
        waitForRefresh();
        ASSERT_EQ(prompts.requests.size(), 2);
        EXPECT_TRUE(prompts.requests[1].text.startsWith(QStringLiteral("Spot line 3 (VK2CCC)")))
            << prompts.requests[1].text.toStdString();

        controller.reset();
        window.reset();
        server.clearRequests();
        clock.setUtc(QDateTime(QDate(2024, 5, 1), QTime(10, 3, 17), Qt::UTC));
    }
}

// The echo service is a third party's: down at start-up, it once stopped every spot query
// for as long as it stayed down, with only a red indicator to show for it. With a usable
// local address the spots are fetched and the address shows as unknown, the reason in its hint.
TEST_F(ControllerTest, AFailedLookupStillFetchesTheSpots)
{
    struct Case
    {
        const char* name;
        test::Route echo;
        const char* reason;
    };
    test::Route reset;
    reset.behaviour = test::Behaviour::Reset;
    const Case cases[] = {
        {"echo answers 500", answer("203.0.113.7", 500), "500"},
        {"echo resets", reset, ""},
        {"echo answers markup", answer("<b>PWNED</b>"), "not an address: &quot;&lt;b&gt;PWNED&lt;/b&gt;&quot;"},
        // The offline mark as an answer once shut the gate for good; only the address
        // watch may say the machine is offline.
        {"echo answers loopback", answer("127.0.0.1"), "not a public address: &quot;127.0.0.1&quot;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.setRoute(kEchoPath, c.echo);
        startUp();
        EXPECT_EQ(spotQueries(), 1);
        EXPECT_EQ(gridCalls(), (QStringList{QStringLiteral("VK2AAA"), QStringLiteral("VK2BBB"), QStringLiteral("VK2CCC")}));
        EXPECT_EQ(window->lastUpdate->text(), QStringLiteral("12:03:17"));
        EXPECT_EQ(window->addressLabel->text(), QStringLiteral("IP: unknown"));
        EXPECT_TRUE(window->addressLabel->toolTip().contains(u"is unknown: the lookup failed"))
            << window->addressLabel->toolTip().toStdString();
        EXPECT_TRUE(window->addressLabel->toolTip().contains(QLatin1String(c.reason)))
            << window->addressLabel->toolTip().toStdString();

        controller.reset();
        window.reset();
        server.clearRequests();
    }
}


TEST_F(ControllerTest, FailedSpotQueryKeepsTheLastSpotsAndMarksTheStatusRow)
{
    test::Route reset;
    reset.behaviour = test::Behaviour::Reset;
    test::Route truncated = answer(test::reportPage(spotsCalled({QStringLiteral("VK2DDD")})).toUtf8());
    truncated.behaviour = test::Behaviour::Truncate;
    struct Case
    {
        const char* name;
        test::Route route;
        const char* reason; // in the hint
    };
    const Case cases[] = {
        {"server error", answer("<html>busy</html>", 503), "503"},
        {"connection reset", reset, "Connection reset"},
        {"page cut short", truncated, "transfer closed"},
    };
    setPage(spotsCalled({QStringLiteral("VK2AAA"), QStringLiteral("VK2BBB")}));
    startUp();
    const QStringList good = gridCalls();
    ASSERT_EQ(good, (QStringList{QStringLiteral("VK2AAA"), QStringLiteral("VK2BBB")}));
    const QString goodTime = window->lastUpdate->text();
    const QColor normalText = window->lastUpdate->palette().color(QPalette::Text);
    QTime at(12, 8, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.setRoute(kSpotsPath, c.route);
        tickAt(at);
        waitForRefresh();
        EXPECT_EQ(gridCalls(), good);
        EXPECT_EQ(window->lastUpdate->text(), goodTime);
        EXPECT_EQ(window->lastUpdate->palette().color(QPalette::Text), QColor(Qt::red));
        const QString hint = window->lastUpdate->toolTip();
        EXPECT_TRUE(hint.contains(u"The fetch at " + at.toString(QStringLiteral("hh:mm:ss")) + u" failed: "))
            << hint.toStdString();
        EXPECT_TRUE(hint.contains(QString::fromLatin1(c.reason))) << hint.toStdString();
        EXPECT_TRUE(hint.contains(u"The spots shown are from the fetch at " + goodTime)) << hint.toStdString();
        // The schedule goes on from the attempt.
        EXPECT_EQ(window->nextUpdate->text(), at.addSecs(5 * 60).toString(QStringLiteral("hh:mm:ss")));
        EXPECT_TRUE(prompts.requests.isEmpty());
        at = at.addSecs(5 * 60);
    }
    // The next good page shows again and the mark goes.
    setPage(spotsCalled({QStringLiteral("VK2EEE")}));
    tickAt(at);
    waitForRefresh();
    EXPECT_EQ(gridCalls(), QStringList{QStringLiteral("VK2EEE")});
    EXPECT_EQ(window->lastUpdate->text(), at.toString(QStringLiteral("hh:mm:ss")));
    EXPECT_EQ(window->lastUpdate->palette().color(QPalette::Text), normalText);
    EXPECT_EQ(window->lastUpdate->toolTip(), kLastUpdateHint);
}

TEST_F(ControllerTest, StatusRowNamesWsprLiveWhileItStandsIn)
{
    test::HttpFixture live;
    live.setBody(QStringLiteral("/"),
                 QStringLiteral("%1\tVK2LIV\t14097100\t-12\t0\tQF56\t37\tVK3ABC\tQF22\t712\n")
                     .arg(QDateTime(QDate(2024, 5, 1), QTime(10, 2), Qt::UTC).toSecsSinceEpoch())
                     .toUtf8());
    server.setRoute(kSpotsPath, answer("<html>busy</html>", 503));
    storeSetting(QStringLiteral("BeamtideSource"), QStringLiteral("Automatic"));
    useWsprLive(live);
    build();
    controller->startUp();
    controller->timer().stop();
    waitForRefresh();

    EXPECT_EQ(gridCalls(), QStringList{QStringLiteral("VK2LIV")});
    EXPECT_EQ(window->siteLink->text(), QStringLiteral("wspr.live"));
    EXPECT_EQ(window->siteLink->toolTip(),
              QStringLiteral("Spots from wspr.live: the WSPRnet spot database failed (spot query "
                             "failed: HTTP/1.1 503 Service Unavailable). It is tried again at 12:33."));
    EXPECT_EQ(live.requests().size(), 1);
    // Its link opens the page of the source of the spots on screen.
    QTest::mouseClick(window->siteLink, Qt::LeftButton);
    ASSERT_EQ(openers.urls.size(), 1);
    EXPECT_EQ(openers.urls[0].toString(), QStringLiteral("https://wspr.live/"));

    // Back on the spot database after the stay, the label follows.
    setPage(spotsCalled({QStringLiteral("VK2EEE")}));
    tickAt(QTime(12, 35, 0));
    waitForRefresh();
    EXPECT_EQ(gridCalls(), QStringList{QStringLiteral("VK2EEE")});
    EXPECT_EQ(window->siteLink->text(), QStringLiteral("WSPRNet"));
    QTest::mouseClick(window->siteLink, Qt::LeftButton);
    ASSERT_EQ(openers.urls.size(), 2);
    EXPECT_EQ(openers.urls[1].toString(), server.baseUrl() + u'/');
}

TEST_F(ControllerTest, SourceOptionOverridesSetupForTheRun)
{
    test::HttpFixture live;
    live.setBody(QStringLiteral("/"), QByteArray());
    storeSetting(QStringLiteral("BeamtideSource"), QStringLiteral("Automatic"));
    server.setRoute(kSpotsPath, answer("<html>busy</html>", 503));
    useWsprLive(live);
    build({QStringLiteral("/source=wsprnet")});
    controller->startUp();
    controller->timer().stop();
    waitForRefresh();
    EXPECT_TRUE(live.requests().isEmpty());
    EXPECT_EQ(window->siteLink->text(), QStringLiteral("WSPRNet"));
    // The stored choice stays what Setup says.
    EXPECT_EQ(window->findChild<QComboBox*>(QStringLiteral("ComboBoxSource"))->currentText(),
              QStringLiteral("Automatic"));
}

TEST_F(ControllerTest, UnknownSourceOptionIsLoggedAndSetupHolds)
{
    test::HttpFixture live;
    live.setBody(QStringLiteral("/"), QByteArray());
    server.setRoute(kSpotsPath, answer("<html>busy</html>", 503));
    storeSetting(QStringLiteral("BeamtideSource"), QStringLiteral("wspr.live"));
    useWsprLive(live);
    build({QStringLiteral("/log"), QStringLiteral("/source=mirror")});
    controller->startUp();
    controller->timer().stop();
    waitForRefresh();
    EXPECT_EQ(live.requests().size(), 1);
    EXPECT_EQ(spotQueries(), 0);
    EXPECT_TRUE(folder.read(QStringLiteral("WSPRLog1.txt"))
                    .contains("1: /source=mirror is not wsprnet, wsprlive or auto: the spot source of Setup stays\r\n"))
        << folder.read(QStringLiteral("WSPRLog1.txt")).toStdString();
}

TEST_F(ControllerTest, EveryThreeHundredTicksTheAddressIsLookedUpAgain)
{
    startUp();
    EXPECT_EQ(window->addressLabel->text(), QStringLiteral("IP: 203.0.113.7"));
    server.setBody(kEchoPath, "198.51.100.9");
    QSignalSpy looked(controller.get(), &Controller::addressLookupFinished);
    QDateTime local(QDate(2024, 5, 1), QTime(12, 3, 18), Qt::UTC);
    for (int i = 1; i < UpdateCycle::kAddressCheckTicks; ++i) {
        tickAt(local.time());
        local = local.addSecs(1);
    }
    // Let any refresh of these ticks end, so only the 300th tick can ask.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->refreshRunning(); }, 30000));
    EXPECT_TRUE(looked.isEmpty());
    tickAt(local.time());
    ASSERT_TRUE(!looked.isEmpty() || looked.wait(30000));
    EXPECT_EQ(controller->publicAddress(), QStringLiteral("198.51.100.9"));
    EXPECT_EQ(window->addressLabel->text(), QStringLiteral("IP: 198.51.100.9"));
}

TEST_F(ControllerTest, CallFilterKeysRefreshOnEnterAndKeepOneCommaList)
{
    startUp();
    MainWindow& w = *window;
    const int queries = spotQueries();

    // Enter on a band fetches again and filters with the new text.
    w.spottedFilter->setText(QStringLiteral("VK2B"));
    w.spotterFilter->clear();
    QTest::keyClick(w.spottedFilter, Qt::Key_Return);
    waitForRefresh();
    EXPECT_EQ(spotQueries(), queries + 1);
    EXPECT_EQ(gridCalls(), QStringList{QStringLiteral("VK2BBB")});

    // Both fields holding a comma list: the next key empties the spotter field after a box.
    w.spottedFilter->setText(QStringLiteral("VK,ZL"));
    w.spotterFilter->setText(QStringLiteral("K,G"));
    QTest::keyClick(w.spottedFilter, Qt::Key_A);
    ASSERT_EQ(prompts.requests.size(), 1);
    EXPECT_EQ(prompts.requests[0].title, QStringLiteral("Oh-Oh"));
    EXPECT_EQ(prompts.requests[0].text,
              QStringLiteral("Only ONE spot filter can contain multiple terms separated by commas"));
    EXPECT_EQ(w.spotterFilter->text(), QString());
    EXPECT_EQ(w.spottedFilter->text(), QStringLiteral("VK,ZLA"));
}

TEST_F(ControllerTest, WhatTheUserAsksDuringASlowFetchIsFetchedAfterIt)
{
    struct Case
    {
        const char* name;
        std::function<void(MainWindow&, Controller&)> act;
        QString band; // the band on screen afterwards
    };
    const Case cases[] = {
        {"Update NOW", [](MainWindow& w, Controller&) { QTest::mouseClick(w.updateNow, Qt::LeftButton); },
         QStringLiteral("20")},
        {"a band picked from the all-bands grid",
         [](MainWindow&, Controller& c) { Q_EMIT c.findPanel().bandPicked(QStringLiteral("40")); },
         QStringLiteral("40")},
        {"Enter in a call filter",
         [](MainWindow& w, Controller&) {
             w.spottedFilter->setText(QStringLiteral("VK2B"));
             QTest::keyClick(w.spottedFilter, Qt::Key_Return);
         },
         QStringLiteral("20")},
        {"a band typed into the band box",
         [](MainWindow& w, Controller&) {
             w.bandBox->lineEdit()->selectAll();
             QTest::keyClicks(w.bandBox->lineEdit(), QStringLiteral("15"));
         },
         QStringLiteral("15")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setPage(spotsCalled({QStringLiteral("VK2AAA")}));
        startUp();
        test::Route slow = answer(test::reportPage(spotsCalled({QStringLiteral("VK2BBB")})).toUtf8());
        slow.delayMs = 1500;
        server.setRoute(kSpotsPath, slow);
        tickAt(QTime(12, 8, 0));
        ASSERT_TRUE(QTest::qWaitFor([&] { return spotQueries() == 2; }, 30000));
        ASSERT_TRUE(controller->refreshRunning());

        c.act(*window, *controller);
        ASSERT_TRUE(QTest::qWaitFor([&] {
            return spotQueries() == 3 && !controller->refreshRunning() && !controller->refresher().pending();
        }, 30000));
        const auto requests = server.requests();
        EXPECT_EQ(requests.last().query, u"mode=html&band=" + c.band + u"&limit=1000");
        EXPECT_EQ(controller->refresher().fetchedBand(), c.band);
        EXPECT_EQ(window->bandBox->currentText(), c.band);

        controller.reset();
        window.reset();
        server.clearRequests();
        clock.setUtc(QDateTime(QDate(2024, 5, 1), QTime(10, 3, 17), Qt::UTC));
    }
}

// A band set from code (an option, a pick from the all-bands grid) is no band switch when
// the user later leaves the band box.
TEST_F(ControllerTest, LeavingTheBandBoxAfterABandOptionFetchesNothing)
{
    startUp({QStringLiteral("/40")});
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->bandBox->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->bandBox->lineEdit()->hasFocus(); }, 5000));
    window->grid->setFocus();
    ASSERT_TRUE(window->grid->hasFocus());
    EXPECT_FALSE(controller->refreshRunning());
    EXPECT_EQ(spotQueries(), 1);
    EXPECT_EQ(window->bandBox->currentText(), QStringLiteral("40"));
}

// A band typed into the box is fetched once: leaving the box, which Qt takes as picking the
// typed band from the list, fetches nothing more.
TEST_F(ControllerTest, ABandTypedAndLeftIsFetchedOnce)
{
    startUp();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->bandBox->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->bandBox->lineEdit()->hasFocus(); }, 5000));
    window->bandBox->lineEdit()->selectAll();
    QTest::keyClicks(window->bandBox->lineEdit(), QStringLiteral("40"));
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return !controller->refreshRunning() && !controller->refresher().pending()
               && controller->refresher().fetchedBand() == u"40";
    }, 30000));
    const int queries = spotQueries();

    window->grid->setFocus();
    ASSERT_TRUE(window->grid->hasFocus());
    QCoreApplication::processEvents();
    EXPECT_FALSE(controller->refreshRunning());
    EXPECT_EQ(spotQueries(), queries);
    EXPECT_EQ(window->bandBox->currentText(), QStringLiteral("40"));

    // Picking the band from the list afterwards is a switch again.
    window->bandBox->textActivated(QStringLiteral("40"));
    EXPECT_TRUE(controller->refreshRunning() || controller->refresher().pending());
}

TEST_F(ControllerTest, TheHistoryServerIsReadAtStartUpAndSetFromThePanel)
{
    storeSetting(QStringLiteral("BeamtideHistoryServer"), QStringLiteral("http://127.0.0.1:9"));
    storeSetting(QStringLiteral("BeamtideHistoryUser"), QStringLiteral("shack"));
    storeSetting(QStringLiteral("BeamtideHistoryPassword"), QStringLiteral("pw-topsecret"));
    startUp();
    ASSERT_TRUE(controller->history());
    EXPECT_EQ(controller->history()->server(),
              (HistoryServer{QStringLiteral("http://127.0.0.1:9"), QStringLiteral("shack"), QStringLiteral("pw-topsecret")}));

    controller->historyPanel()->findChild<QPushButton*>(QStringLiteral("ButtonHistoryServer"))->click();
    auto* dialog = controller->historyPanel()->findChild<HistoryServerDialog*>();
    ASSERT_TRUE(dialog);
    dialog->findChild<QLineEdit*>(QStringLiteral("HistoryServerAddress"))->setText(QStringLiteral("http://127.0.0.1:10"));
    dialog->accept();
    EXPECT_EQ(controller->history()->server().url, QStringLiteral("http://127.0.0.1:10"));
    QSettings ini(settingsFile, SettingsStore::iniFormat());
    EXPECT_EQ(ini.value(QStringLiteral("Drovix/BeamtideHistoryServer1")).toString(), QStringLiteral("http://127.0.0.1:10"));
    EXPECT_EQ(ini.value(QStringLiteral("Drovix/BeamtideHistoryPassword1")).toString(), QStringLiteral("pw-topsecret"));
}
