#include "retrieval/SpotFetcher.h"

#include "base/TextFile.h"

#include "FetchTestKit.h"
#include "PageMaker.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <iostream>

using namespace beamtide;
using namespace beamtide::test;

namespace {

const QString kActivity = QStringLiteral("/drupal/wsprnet/activity");
const QString kQuery = QStringLiteral("/olddb.php");

QByteArray crlf(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toUtf8() + "\r\n";
    return bytes;
}

class SpotFetcherTest : public FetchTestKit
{
protected:
    SpotFetcherTest()
    {
        fetcher.setBaseUrl(server.baseUrl());
        fetcher.setWsprLiveBaseUrl(deadBaseUrl());
        server.setBody(kActivity, linesPage(250));
        server.setBody(kQuery, reportPage(assortedSpots(5)).toUtf8());
        QObject::connect(&fetcher, &SpotFetcher::myCallControls, &fetcher, [this] {
            ++myCallSignals;
            requestsAtMyCallSignal = int(server.requests().size());
        });
    }

    FetchRequest request() const
    {
        FetchRequest r;
        r.publicAddress = QStringLiteral("203.0.113.9");
        r.band = QStringLiteral("20");
        r.updateInterval = 5;
        r.identity = id;
        return r;
    }

    FetchOutcome run(const FetchRequest& r)
    {
        return waitFor<FetchOutcome>(fetcher, [&] { return fetcher.FetchSpots(r).has_value(); });
    }

    QString url(const QString& target) const { return server.baseUrl() + target; }

    QStringList targets() const
    {
        QStringList t;
        for (const auto& r : server.requests())
            t << r.target;
        return t;
    }

    SpotFetcher fetcher{worker, client, log, clock};
    int myCallSignals = 0;
    int requestsAtMyCallSignal = -1;
};

} // namespace

TEST_F(SpotFetcherTest, ActivityThresholdDecidesTheQuery)
{
    struct Case
    {
        const char* name;
        QByteArray page;
        int result;
        bool saved;
        bool queried;
    };
    const Case cases[] = {
        {"201 lines", linesPage(201), 200, true, false},
        {"202 lines", linesPage(202), 201, true, true},
        {"empty answer", QByteArray(), -1, false, false},
        {"one line", "<html>\r\n", 0, false, false},
        {"two lines", "a\nb", 1, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        FetchRequest r = request();
        r.identity.folder = folder.path();
        server.setBody(kActivity, c.page);
        server.clearRequests();
        logLines.clear();

        const FetchOutcome out = run(r);

        QStringList expectedLog{u"1 Activity test : " + url(kActivity),
                                u"1 Activity result: " + QString::number(c.result)};
        QStringList expectedTargets{kActivity};
        if (c.queried) {
            const QString query = QStringLiteral("/olddb.php?mode=html&band=20&limit=1000");
            expectedLog << u"1: " + url(query) << QStringLiteral("1 Get-HTTP result: %1")
                                                      .arg(splitLines(reportPage(assortedSpots(5))).size() - 1);
            expectedTargets << query;
        }
        EXPECT_EQ(logLines, expectedLog);
        EXPECT_EQ(targets(), expectedTargets);
        EXPECT_EQ(out.activityResult, c.result);
        EXPECT_EQ(out.fetchedBand.has_value(), c.queried);
        EXPECT_EQ(folder.exists(QStringLiteral("Activity1.htm")), c.saved);
        if (c.saved) {
            EXPECT_EQ(folder.read(QStringLiteral("Activity1.htm")), crlf(splitLines(decodeText(c.page))));
        }
        EXPECT_EQ(out.spots.size(), c.queried ? 5 : 0);
        EXPECT_EQ(folder.exists(QStringLiteral("WSPRRep1.csv")), c.queried);
        EXPECT_TRUE(out.gateOpen);
        EXPECT_EQ(out.lastUpdateText, QStringLiteral("10:03:17")); // whether or not the query ran
        EXPECT_FALSE(out.nextUpdate.isValid()); // the refresh's owner schedules
        EXPECT_TRUE(out.errors.isEmpty());
        EXPECT_FALSE(fetcher.busy());
    }
}

TEST_F(SpotFetcherTest, QueryAddressesAndMyCallMode)
{
    struct Case
    {
        const char* name;
        const char* band;
        bool sortByKm;
        bool historical;
        const char* target;
    };
    const Case cases[] = {
        {"All with Sort by KM and Historical", "All", true, true, "/olddb.php?mode=html&limit=1000"},
        {"band 20 with Sort by KM", "20", true, false, "/olddb.php?mode=html&band=20&sort=distance&limit=1000"},
        {"MyCall historical", "MyCall", true, true,
         "/olddb?mode=html&band=all&limit=5000&findcall=VK2%2FG4ABC&findreporter=&sort=date"},
        {"MyCall", "MyCall", false, false,
         "/olddb?mode=html&band=all&limit=1000&findcall=VK2%2FG4ABC&findreporter=&sort=date"},
    };
    server.setBody(QStringLiteral("/olddb"), reportPage(assortedSpots(2)).toUtf8());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FetchRequest r = request();
        r.band = QString::fromLatin1(c.band);
        r.sortByKm = c.sortByKm;
        r.historical = c.historical;
        r.identity.myCall = QStringLiteral("VK2/G4ABC");
        server.clearRequests();
        logLines.clear();
        myCallSignals = 0;
        requestsAtMyCallSignal = -1;

        const FetchOutcome out = run(r);

        const QString target = QString::fromLatin1(c.target);
        EXPECT_EQ(targets(), (QStringList{kActivity, target}));
        ASSERT_EQ(logLines.size(), 4);
        EXPECT_EQ(logLines[2], u"1: " + url(target));
        EXPECT_EQ(out.fetchedBand, std::optional<QString>(r.band));
        EXPECT_EQ(out.untickHistorical, c.historical);
        const bool myCall = r.band == kBandMyCall;
        EXPECT_EQ(myCallSignals, myCall ? 1 : 0);
        // The controls (the interval among them) change before the query goes out.
        if (myCall) {
            EXPECT_EQ(requestsAtMyCallSignal, 1);
        }
    }
}

TEST_F(SpotFetcherTest, PagesAndListsSavedByTheirLineCounts)
{
    PageSpot one;
    struct Case
    {
        const char* name;
        QByteArray page;
        bool pageSaved;
        bool parsed;
        QStringList spots;
    };
    const Case cases[] = {
        {"one-line page", "<html>", false, false, {}},
        {"two-line page", "<html>\r\n</html>\r\n", true, false, {}},
        // Saved as received, but without the report table it is a failed fetch, not a parse.
        {"three-line page", "a\nb\nc", true, false, {}},
        {"one spot", reportPage(std::vector<PageSpot>{one}).toUtf8(), true, true, {one.spotLine()}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        FetchRequest r = request();
        r.identity.folder = folder.path();
        r.identity.filePrefix = QStringLiteral("SHACK#");
        server.setBody(kQuery, c.page);
        logLines.clear();

        const FetchOutcome out = run(r);

        const QStringList page = splitLines(decodeText(c.page));
        EXPECT_EQ(logLines.value(3), QStringLiteral("1 Get-HTTP result: %1").arg(page.size() - 1));
        EXPECT_EQ(out.pageLines, page.size());
        EXPECT_EQ(folder.exists(QStringLiteral("SHACK#WSPRRep1.txt")), c.pageSaved);
        EXPECT_EQ(folder.exists(QStringLiteral("WSPRRep1.htm")), c.pageSaved);
        if (c.pageSaved) {
            EXPECT_EQ(folder.read(QStringLiteral("SHACK#WSPRRep1.txt")), crlf(page));
            EXPECT_EQ(folder.read(QStringLiteral("WSPRRep1.htm")), crlf(page));
        }
        EXPECT_EQ(out.parse.has_value(), c.parsed);
        if (c.parsed) {
            EXPECT_TRUE(out.parse->completed);
            EXPECT_EQ(out.parse->entries, c.spots.size());
        }
        EXPECT_EQ(out.spots, c.spots);
        // A single spot is kept too.
        EXPECT_EQ(folder.exists(QStringLiteral("SHACK#WSPRRep1.csv")), !c.spots.isEmpty());
        if (!c.spots.isEmpty()) {
            EXPECT_EQ(folder.read(QStringLiteral("SHACK#WSPRRep1.csv")), crlf(c.spots));
        }
    }
}

TEST_F(SpotFetcherTest, SavedCopiesAreTheServedBytesWithCrLfLineEnds)
{
    // Bytes that are not UTF-8 in a cell and in the head of the page.
    const std::vector<PageSpot> spots = assortedSpots(3);
    QByteArray sent = reportPage(spots).toUtf8();
    sent.replace("<title>Spot report</title>", "<title>Spot \xc3\x28report\xff</title>");
    const QByteArray call = spots[1].call.toUtf8();
    const qsizetype at = sent.indexOf(QByteArray("&nbsp;" + call + "&nbsp;"), sent.indexOf("oddrow"));
    ASSERT_GT(at, 0);
    sent.replace(at + 6, call.size(), QByteArray(call.left(2) + "\xe9\x80" + call.mid(2)));
    ASSERT_TRUE(sent.endsWith("\r\n"));

    QByteArray lf = sent;
    lf.replace("\r\n", "\n");
    QByteArray crNoLastEnd = sent;
    crNoLastEnd.replace("\r\n", "\r");
    crNoLastEnd.chop(1);
    QByteArray mixed = sent;
    mixed.replace(mixed.indexOf("\r\n"), 2, "\n");
    mixed.replace(mixed.lastIndexOf("\r\n", mixed.size() - 3), 2, "\r");
    const QByteArray activity = "<html>\xfe\r\n" + linesPage(240);

    struct Case
    {
        const char* name;
        QByteArray page;
        QByteArray activity;
    };
    const Case cases[] = {
        {"CR LF", sent, activity},
        {"LF", lf, QByteArray(activity).replace("\r\n", "\n")},
        {"CR, no end after the last line", crNoLastEnd, QByteArray(activity).replace("\r\n", "\r").chopped(1)},
        {"LF, CR and CR LF in one page", mixed, activity},
    };
    QString expectedCall = spots[1].call;
    expectedCall.insert(2, QString(2, QChar::ReplacementCharacter));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        FetchRequest r = request();
        r.identity.folder = folder.path();
        server.setBody(kActivity, c.page == sent ? activity : c.activity);
        server.setBody(kQuery, c.page);

        const FetchOutcome out = run(r);

        EXPECT_EQ(folder.read(QStringLiteral("WSPRRep1.txt")), sent);
        EXPECT_EQ(folder.read(QStringLiteral("WSPRRep1.htm")), sent);
        EXPECT_EQ(folder.read(QStringLiteral("Activity1.htm")), activity);
        EXPECT_EQ(out.activityResult, 240);
        ASSERT_EQ(out.spots.size(), 3);
        EXPECT_EQ(out.spots[0], spots[0].spotLine());
        EXPECT_EQ(GetField(out.spots[1], u',', 2), expectedCall);
        EXPECT_EQ(out.spots[2], spots[2].spotLine());
    }
}

TEST_F(SpotFetcherTest, MyCallSpotsListSavedFromOneLine)
{
    const QString line = QStringLiteral("2024-05-01 10:24,G4ABC,14.097100,-12,VK3ABC,QF22,712,");
    struct Case
    {
        const char* name;
        QString call;
        QStringList list;
        std::optional<int> count;
        bool saved;
    };
    const Case cases[] = {
        {"no call sign", QString(), {line}, std::nullopt, false},
        {"empty list", QStringLiteral("G4ABC"), {}, 0, false},
        {"one line", QStringLiteral("G4ABC"), {line}, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        FetchRequest r = request();
        r.identity.folder = folder.path();
        r.identity.myCall = c.call;
        r.myCallSpots = c.list;
        const FetchOutcome out = run(r);
        EXPECT_EQ(out.myCallCount, c.count);
        EXPECT_EQ(folder.exists(QStringLiteral("G4ABC-spots.txt")), c.saved);
        if (c.saved) {
            EXPECT_EQ(folder.read(QStringLiteral("G4ABC-spots.txt")), crlf(c.list));
        }
    }
}

TEST_F(SpotFetcherTest, ShutGateSendsNothingAndSchedulesNothing)
{
    for (const QString& address : {QString(), QStringLiteral("127.0.0.1")}) {
        SCOPED_TRACE(address.toStdString());
        FetchRequest r = request();
        r.publicAddress = address;
        r.historical = true;
        logLines.clear();
        const auto start = fetcher.FetchSpots(r);
        ASSERT_TRUE(start.has_value());
        EXPECT_FALSE(start->gateOpen);
        EXPECT_EQ(start->addressLabel, u"IP: " + address);
        const FetchOutcome out = waitFor<FetchOutcome>(fetcher, [] { return true; });
        EXPECT_FALSE(out.gateOpen);
        EXPECT_FALSE(out.nextUpdate.isValid());
        EXPECT_FALSE(out.untickHistorical); // no 5000-line query was sent: the tick stays
        EXPECT_EQ(out.instance, 1);
        EXPECT_TRUE(logLines.isEmpty());
    }
    EXPECT_TRUE(server.requests().isEmpty());
    EXPECT_TRUE(dir.exists(QStringLiteral(".")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList());

    // With /noip the address is hidden but still opens the gate.
    FetchRequest hidden = request();
    hidden.showAddress = false;
    const auto start = fetcher.FetchSpots(hidden);
    ASSERT_TRUE(start.has_value());
    EXPECT_TRUE(start->gateOpen);
    EXPECT_EQ(start->addressLabel, QStringLiteral("IP: vvv.www.xxx.yyy"));
    const FetchOutcome out = waitFor<FetchOutcome>(fetcher, [] { return true; });
    EXPECT_EQ(out.addressLabel, QStringLiteral("IP: vvv.www.xxx.yyy"));
    EXPECT_EQ(server.requests().size(), 2);
}

// The Historical tick is cleared by the refresh that sent the 5000-line query, and by no
// other: a stored tick outlives a first refresh that could not ask.
TEST_F(SpotFetcherTest, TheHistoricalTickStaysUntilItsQueryIsSent)
{
    FetchRequest r = request();
    r.historical = true;
    server.setBody(kActivity, linesPage(150));
    EXPECT_FALSE(run(r).untickHistorical);
    server.setBody(kActivity, linesPage(250));
    EXPECT_TRUE(run(r).untickHistorical);
    EXPECT_TRUE(targets().last().contains(QStringLiteral("limit=5000"))) << targets().last().toStdString();
}

TEST_F(SpotFetcherTest, BadAnswersEndInTheLogNotInFiles)
{
    QByteArray tenMegabytes = linesPage(250);
    while (tenMegabytes.size() < 10 * 1024 * 1024)
        tenMegabytes += QByteArray(1000, 'x') + "\r\n";
    Route notFound;
    notFound.status = 404;
    Route broken;
    broken.status = 500;
    Route loop;
    loop.behaviour = Behaviour::RedirectLoop;
    Route reset;
    reset.behaviour = Behaviour::Reset;
    Route cut;
    cut.behaviour = Behaviour::Truncate;
    cut.body = reportPage(assortedSpots(20)).toUtf8();
    Route empty;
    Route huge;
    huge.body = tenMegabytes;
    Route good;
    good.body = linesPage(250);

    struct Case
    {
        const char* name;
        bool deadServer;
        Route activity;
        Route query;
        const char* error; // the "HTTP error: " line's message starts with this; empty: none
        int resultLine;    // Get-HTTP result, when the query answered
        const char* pageFailure = ""; // a page sent with 200 that holds no spot table
    };
    const Case cases[] = {
        {"dead server", true, good, good, "Failed to connect", 0},
        {"activity 404", false, notFound, good, "HTTP/1.1 404 Not Found", 0},
        {"activity redirect loop", false, loop, good, "Maximum (15) redirects followed", 0},
        {"activity reset", false, reset, good, "Recv failure", 0},
        {"query 500", false, good, broken, "HTTP/1.1 500 Internal Server Error", 0},
        {"query stops half-way", false, good, cut, "transfer closed", 0},
        {"query empty", false, good, empty, "", -1, "the spot page has no report table (0 lines)"},
        {"query 10 MB", false, good, huge, "", int(splitLines(decodeText(tenMegabytes)).size() - 1),
         "the spot page ends before its report table"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        FetchRequest r = request();
        r.identity.folder = folder.path();
        server.setRoute(kActivity, c.activity);
        server.setRoute(kQuery, c.query);
        fetcher.setBaseUrl(c.deadServer ? deadBaseUrl() : server.baseUrl());
        logLines.clear();

        const FetchOutcome out = run(r);

        const bool activityFailed = c.deadServer || c.activity.status != 200
                                    || c.activity.behaviour != Behaviour::Normal;
        ASSERT_GE(logLines.size(), 2);
        EXPECT_TRUE(logLines[0].startsWith(QStringLiteral("1 Activity test : ")));
        if (activityFailed) {
            ASSERT_EQ(logLines.size(), 2);
            EXPECT_TRUE(logLines[1].startsWith(u"1: HTTP error: " + QLatin1String(c.error)))
                << logLines[1].toStdString();
            EXPECT_EQ(out.activityResult, 0);
            EXPECT_FALSE(out.fetchedBand.has_value());
        } else if (*c.error) {
            ASSERT_EQ(logLines.size(), 4);
            EXPECT_TRUE(logLines[3].startsWith(u"1: HTTP error: " + QLatin1String(c.error)))
                << logLines[3].toStdString();
            EXPECT_FALSE(folder.exists(QStringLiteral("WSPRRep1.txt")));
        } else {
            // A page without the spot table is a failed fetch, not "no spots".
            ASSERT_EQ(logLines.size(), 5);
            EXPECT_EQ(logLines[3], QStringLiteral("1 Get-HTTP result: %1").arg(c.resultLine));
            EXPECT_EQ(logLines[4], u"1: Spot page: " + QLatin1String(c.pageFailure));
            EXPECT_FALSE(out.answeredBy.has_value());
        }
        EXPECT_EQ(out.errors.size(), 1);
        EXPECT_TRUE(out.spots.isEmpty());
        EXPECT_FALSE(folder.exists(QStringLiteral("WSPRRep1.csv")));
    }
}

TEST_F(SpotFetcherTest, FailedSavesAreLoggedAndThePageStillParsed)
{
    FetchRequest r = request();
    r.identity.folder = dir.file(QStringLiteral("missing/folder"));
    const FetchOutcome out = run(r);
    ASSERT_EQ(logLines.size(), 5);
    // The activity count survives its failed save, so the query still runs.
    EXPECT_TRUE(logLines[1].startsWith(QStringLiteral("1: HTTP error: Cannot save ")));
    EXPECT_TRUE(logLines[1].contains(QStringLiteral("Activity1.htm")));
    EXPECT_TRUE(logLines[3].startsWith(QStringLiteral("1: HTTP error: Cannot save ")));
    EXPECT_TRUE(logLines[4].startsWith(QStringLiteral("1: File error: Cannot save ")));
    EXPECT_EQ(out.activityResult, 249);
    EXPECT_EQ(out.spots.size(), 5);
    EXPECT_EQ(out.errors.size(), 3);
}

TEST_F(SpotFetcherTest, InstanceAboveThreeFetchesUnderItsOwnNumber)
{
    FetchRequest r = request();
    r.identity.instance = 4;
    const FetchOutcome out = run(r);
    EXPECT_EQ(out.instance, 4); // the refresh's owner turns it to 0 with the schedule
    EXPECT_TRUE(logLines.value(0).startsWith(QStringLiteral("4 Activity test : ")));
    EXPECT_TRUE(dir.exists(QStringLiteral("WSPRRep4.txt")));
}

TEST_F(SpotFetcherTest, WindowThreadKeepsRunningWhileTheServerIsSlow)
{
    Route slow;
    slow.body = linesPage(250);
    slow.delayMs = 5000;
    server.setRoute(kActivity, slow);

    int ticks = 0;
    qint64 worstLateness = 0;
    QElapsedTimer sinceTick;
    QTimer probe;
    probe.setInterval(100);
    QObject::connect(&probe, &QTimer::timeout, &probe, [&] {
        ++ticks;
        worstLateness = std::max(worstLateness, sinceTick.restart() - 100);
    });

    bool refusedWhileBusy = false;
    const FetchOutcome out = waitFor<FetchOutcome>(fetcher, [&] {
        if (!fetcher.FetchSpots(request()))
            return false;
        refusedWhileBusy = !fetcher.FetchSpots(request()).has_value();
        sinceTick.start();
        probe.start();
        return true;
    });
    probe.stop();

    EXPECT_TRUE(refusedWhileBusy);
    EXPECT_GT(ticks, 0);
    EXPECT_EQ(out.spots.size(), 5);
    EXPECT_EQ(server.requests().size(), 2); // the refused second fetch sent nothing
    std::cout << "[ probe    ] " << ticks << " ticks of 100 ms while the server took 5 s; "
              << "worst lateness " << worstLateness << " ms (goal: under 50 ms)\n";
    RecordProperty("worst_lateness_ms", int(worstLateness));
}

TEST_F(SpotFetcherTest, PageEndingInsideItsTableIsLoggedAndKeepsItsRows)
{
    const QString whole = reportPage(assortedSpots(20));
    const struct
    {
        const char* name;
        QString page;
        bool logged;
    } cases[] = {
        {"the whole page", whole, false},
        {"cut before the end of the table", whole.left(whole.indexOf(QStringLiteral("</table>"))), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.setBody(kQuery, c.page.toUtf8());
        logLines.clear();
        const FetchOutcome out = run(request());
        EXPECT_EQ(out.spots.size(), 20);
        EXPECT_EQ(logLines.contains(QStringLiteral("1: Spot page ended early, 20 spots kept")),
                  c.logged)
            << logLines.join(u'\n').toStdString();
    }
}
