#include "retrieval/SpotFetcher.h"

#include "retrieval/WsprLive.h"

#include "base/TextFile.h"
#include "Version.h"

#include "ClickHouseFixture.h"
#include "FetchTestKit.h"
#include "PageMaker.h"

#include <QCoreApplication>
#include <QUrlQuery>

#include <algorithm>

using namespace beamtide;
using namespace beamtide::test;

namespace {

const QString kActivity = QStringLiteral("/drupal/wsprnet/activity");
const QString kQuery = QStringLiteral("/olddb.php");

Route errorRoute(int status)
{
    Route route;
    route.status = status;
    return route;
}

// The spot database on the local HTTP fixture, wspr.live on a real ClickHouse server that
// holds 30 spots of band 20 from the last hours.
class SourceFallbackTest : public FetchTestKit
{
protected:
    static void SetUpTestSuite()
    {
        mirror = new ClickHouseFixture;
        if (!mirror->running())
            return;
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        QList<WsprRxRow> rows;
        for (int i = 0; i < 30; ++i) {
            WsprRxRow r;
            r.time = now - 300 - i * 120;
            r.distance = 500 + i;
            r.txSign = QStringLiteral("ZL%1ABC").arg(i % 4);
            rows << r;
        }
        insertError = mirror->insert(rows);
    }
    static void TearDownTestSuite()
    {
        delete mirror;
        mirror = nullptr;
    }

    SourceFallbackTest()
    {
        fetcher.setBaseUrl(server.baseUrl());
        fetcher.setWsprLiveBaseUrl(mirror->baseUrl());
        HttpLimits limits;
        limits.totalMs = 1500; // the slow case waits out this bound, not two minutes
        fetcher.setLimits(limits);
        healthy();
    }

    void SetUp() override
    {
        ASSERT_TRUE(mirror->running()) << mirror->startError().toStdString();
        ASSERT_TRUE(insertError.isEmpty()) << insertError.toStdString();
    }

    void healthy()
    {
        server.setBody(kActivity, linesPage(250));
        server.setBody(kQuery, reportPage(assortedSpots(5)).toUtf8());
    }

    FetchRequest request(SpotSource source = SpotSource::Automatic) const
    {
        FetchRequest r;
        r.publicAddress = QStringLiteral("203.0.113.9");
        r.band = QStringLiteral("20");
        r.updateInterval = 5;
        r.identity = id;
        r.source = source;
        return r;
    }

    FetchOutcome run(const FetchRequest& r)
    {
        server.clearRequests();
        logLines.clear();
        return waitFor<FetchOutcome>(fetcher, [&] { return fetcher.FetchSpots(r).has_value(); });
    }

    // What the mirror holds for band 20, as the program's spot lines.
    static QStringList mirrorSpots()
    {
        HttpClient client;
        const wsprlive::Query q = wsprlive::BuildQuery(QStringLiteral("20"), false, false, {});
        return wsprlive::AnswerToSpotLines(client.get(wsprlive::QueryUrl(mirror->baseUrl(), q.sql)).body).spots;
    }

    bool logged(QStringView start) const
    {
        return logged(start.toString());
    }
    bool logged(const QString& start) const
    {
        return std::any_of(logLines.begin(), logLines.end(),
                           [&](const QString& line) { return line.startsWith(start); });
    }

    static inline ClickHouseFixture* mirror = nullptr;
    static inline QString insertError;
    SpotFetcher fetcher{worker, client, log, clock};
};

} // namespace

TEST_F(SourceFallbackTest, EachFailureOfTheSpotDatabaseBringsTheSameSpotsFromWsprLive)
{
    const QStringList expected = mirrorSpots();
    ASSERT_EQ(expected.size(), 30);

    Route good;
    good.body = linesPage(250);
    Route page;
    page.body = reportPage(assortedSpots(5)).toUtf8();
    Route broken;
    broken.status = 500;
    Route reset;
    reset.behaviour = Behaviour::Reset;
    Route slow = page;
    slow.delayMs = 4000;
    Route cutBeforeTable;
    cutBeforeTable.body = reportPage(assortedSpots(5)).toUtf8().left(3000);
    Route errorPage;
    errorPage.body = linesPage(150); // long enough to parse, but no table in it
    Route shortActivity;
    shortActivity.body = linesPage(201);

    struct Case
    {
        const char* name;
        bool dead;
        Route activity;
        Route query;
        const char* reason; // the fallback reason starts with this
    };
    const Case cases[] = {
        {"spot database dead", true, good, page, "activity test failed: Failed to connect"},
        {"activity test 500", false, broken, page, "activity test failed: HTTP/1.1 500"},
        {"activity page of 201 lines", false, shortActivity, page, "activity result 200, 201 or more needed"},
        {"spot query 500", false, good, broken, "spot query failed: HTTP/1.1 500"},
        {"spot query reset", false, good, reset, "spot query failed: Recv failure"},
        {"spot query past the bound", false, good, slow, "spot query failed: Operation timed out"},
        {"page cut before the table", false, good, cutBeforeTable, "the spot page"},
        {"page without the table", false, good, errorPage, "the spot page ends before its report table"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SpotFetcher fresh{worker, client, log, clock}; // no stay from the case before
        fresh.setBaseUrl(c.dead ? deadBaseUrl() : server.baseUrl());
        fresh.setWsprLiveBaseUrl(mirror->baseUrl());
        HttpLimits limits;
        limits.totalMs = 1500;
        fresh.setLimits(limits);
        server.setRoute(kActivity, c.activity);
        server.setRoute(kQuery, c.query);
        logLines.clear();

        const FetchOutcome out =
            waitFor<FetchOutcome>(fresh, [&] { return fresh.FetchSpots(request()).has_value(); });

        EXPECT_EQ(out.spots, expected);
        EXPECT_EQ(out.answeredBy, std::optional(SpotSource::WsprLive));
        EXPECT_TRUE(out.fallbackReason.startsWith(QLatin1String(c.reason))) << out.fallbackReason.toStdString();
        EXPECT_EQ(out.retryAt, QDateTime(QDate(2024, 5, 1), QTime(10, 33, 17)));
        EXPECT_EQ(out.fetchedBand, std::optional(QStringLiteral("20")));
        ASSERT_TRUE(out.parse.has_value());
        EXPECT_TRUE(out.parse->completed);
        EXPECT_TRUE(logged(u"1 Spot database failed (" + out.fallbackReason + u"): asking wspr.live"));
        EXPECT_TRUE(logged(u"1 wspr.live answered: asked alone for the next 30 minutes"));
        EXPECT_TRUE(logged(u"1 wspr.live query: " + mirror->baseUrl() + u"/?query=SELECT"));
        EXPECT_TRUE(logged(u"1 wspr.live result: 30"));
        EXPECT_EQ(fresh.wsprLiveUntil(), QDateTime(QDate(2024, 5, 1), QTime(10, 33, 17), Qt::UTC));
        EXPECT_EQ(dir.read(QStringLiteral("WSPRRep1.csv")), (expected.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
    }
}

TEST_F(SourceFallbackTest, AnswersOfTheSpotDatabaseAreKept)
{
    QStringList noPostsPage = splitLines(reportPage(QStringList{}));
    noPostsPage.insert(110, QStringLiteral("<p>No posts found!</p>"));
    struct Case
    {
        const char* name;
        QByteArray page;
        int spots;
    };
    const Case cases[] = {
        {"five spots", reportPage(assortedSpots(5)).toUtf8(), 5},
        {"No posts found!", noPostsPage.join(u'\n').toUtf8(), 0},
        {"short page saying No posts found!", "<html>\n<p>No posts found!</p>\n</html>\n", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.setBody(kQuery, c.page);
        const FetchOutcome out = run(request());
        EXPECT_EQ(out.spots.size(), c.spots);
        EXPECT_EQ(out.answeredBy, std::optional(SpotSource::WsprNet));
        EXPECT_TRUE(out.fallbackReason.isEmpty());
        EXPECT_FALSE(fetcher.wsprLiveUntil().isValid());
        EXPECT_FALSE(logged(u"1 wspr.live"));
    }
}

TEST_F(SourceFallbackTest, ThirtyMinutesOnWsprLiveThenTheSpotDatabaseAgain)
{
    server.setRoute(kActivity, errorRoute(503));
    FetchOutcome out = run(request());
    EXPECT_EQ(out.answeredBy, std::optional(SpotSource::WsprLive));

    // The spot database is back, but the next refreshes do not ask it.
    healthy();
    for (int minutes : {2, 20, 29}) {
        SCOPED_TRACE(minutes);
        clock.setUtc(QDateTime(QDate(2024, 5, 1), QTime(10, 3, 17), Qt::UTC).addSecs(minutes * 60));
        out = run(request());
        EXPECT_TRUE(server.requests().isEmpty());
        EXPECT_EQ(out.answeredBy, std::optional(SpotSource::WsprLive));
        EXPECT_EQ(out.spots.size(), 30);
        EXPECT_TRUE(out.fallbackReason.startsWith(QStringLiteral("activity test failed: HTTP/1.1 503")));
        EXPECT_FALSE(logged(u"1 Spot database failed"));
        EXPECT_FALSE(logged(u"1 Activity test"));
        EXPECT_TRUE(out.gateOpen); // and scheduled as any fetch
    }

    clock.setUtc(QDateTime(QDate(2024, 5, 1), QTime(10, 33, 17), Qt::UTC));
    out = run(request());
    EXPECT_EQ(logLines.value(0),
              QStringLiteral("1 Spot source: 30 minutes on wspr.live are over, asking the spot database again"));
    EXPECT_EQ(server.requests().size(), 2);
    EXPECT_EQ(out.answeredBy, std::optional(SpotSource::WsprNet));
    EXPECT_EQ(out.spots.size(), 5);
    EXPECT_TRUE(out.fallbackReason.isEmpty());
    EXPECT_FALSE(fetcher.wsprLiveUntil().isValid());
}

TEST_F(SourceFallbackTest, ChosenSourcesAskOnlyThemselves)
{
    FetchOutcome out = run(request(SpotSource::WsprLive));
    EXPECT_TRUE(server.requests().isEmpty());
    EXPECT_EQ(out.answeredBy, std::optional(SpotSource::WsprLive));
    EXPECT_EQ(out.spots.size(), 30);
    EXPECT_TRUE(out.fallbackReason.isEmpty());
    EXPECT_EQ(out.activityResult, 0);

    server.setRoute(kActivity, errorRoute(503));
    out = run(request(SpotSource::WsprNet));
    EXPECT_FALSE(out.answeredBy.has_value());
    EXPECT_TRUE(out.spots.isEmpty());
    EXPECT_FALSE(logged(u"1 wspr.live"));
    EXPECT_FALSE(fetcher.wsprLiveUntil().isValid());
}

TEST_F(SourceFallbackTest, BothDownShowsNothingAndLogsBothReasons)
{
    server.setRoute(kQuery, errorRoute(500));
    fetcher.setWsprLiveBaseUrl(deadBaseUrl());
    const FetchOutcome out = run(request());
    EXPECT_FALSE(out.answeredBy.has_value());
    EXPECT_FALSE(out.parse.has_value());
    EXPECT_TRUE(out.spots.isEmpty());
    ASSERT_EQ(out.errors.size(), 2);
    EXPECT_TRUE(out.errors[0].startsWith(QStringLiteral("HTTP/1.1 500")));
    EXPECT_TRUE(out.errors[1].startsWith(QStringLiteral("Failed to connect")));
    EXPECT_TRUE(logged(u"1: HTTP error: HTTP/1.1 500"));
    EXPECT_TRUE(logged(u"1: wspr.live error: Failed to connect"));
    EXPECT_TRUE(out.gateOpen);
    EXPECT_FALSE(dir.exists(QStringLiteral("WSPRRep1.csv")));
}

TEST_F(SourceFallbackTest, WsprLiveErrorsAndBadRowsOnTheLocalServer)
{
    HttpFixture live;
    fetcher.setWsprLiveBaseUrl(live.baseUrl());
    WsprRxRow row;
    row.time = QDateTime(QDate(2024, 5, 1), QTime(9, 58), Qt::UTC).toSecsSinceEpoch();
    const QByteArray good = QStringLiteral("%1\tVK2XYZ\t14097100\t-12\t0\tQF56\t37\tVK3ABC\tQF22\t712")
                                .arg(row.time)
                                .toUtf8();
    live.setBody(QStringLiteral("/"), good + "\n" + "1714557480\tVK2XYZ\t14097100\n" + good + "\n");

    FetchOutcome out = run(request(SpotSource::WsprLive));
    EXPECT_EQ(out.spots.size(), 2);
    EXPECT_EQ(out.spots.value(0),
              QStringLiteral("2024-05-01 09:58,VK2XYZ,14.097100,-12,0,QF56,+37,5.012,VK3ABC,QF22,712,442,"));
    EXPECT_EQ(out.errors, QStringList{QStringLiteral("wspr.live row 2 skipped: 3 columns, 10 expected")});
    EXPECT_TRUE(logged(u"1: wspr.live row 2 skipped: 3 columns, 10 expected"));

    // One GET that names the program, the SQL in "query", never a retry.
    const QList<RecordedRequest> asked = live.requests();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0].method, QStringLiteral("GET"));
    EXPECT_EQ(asked[0].path, QStringLiteral("/"));
    EXPECT_EQ(asked[0].header(QStringLiteral("User-Agent")), QStringLiteral("Beamtide/") + QString::fromLatin1(kVersionText));
    EXPECT_EQ(QUrlQuery(asked[0].query).queryItemValue(QStringLiteral("query"), QUrl::FullyDecoded),
              wsprlive::BuildQuery(QStringLiteral("20"), false, false, {}).sql);

    Route refused = errorRoute(400);
    refused.body = "Code: 62, e.displayText() = DB::Exception: Syntax error";
    live.setRoute(QStringLiteral("/"), refused);
    live.clearRequests();
    out = run(request(SpotSource::WsprLive));
    EXPECT_FALSE(out.answeredBy.has_value());
    EXPECT_TRUE(out.spots.isEmpty());
    EXPECT_TRUE(logged(u"1: wspr.live error: HTTP/1.1 400"));
    EXPECT_EQ(live.requests().size(), 1);
}

TEST_F(SourceFallbackTest, UnsafeMyCallNeverReachesTheQuery)
{
    HttpFixture live;
    fetcher.setWsprLiveBaseUrl(live.baseUrl());
    live.setBody(QStringLiteral("/"), QByteArray());
    server.setRoute(kActivity, errorRoute(503));
    for (const char* call : {"VK2XYZ'; DROP TABLE wspr.rx; --", "VK2XYZ' OR '1'='1"}) {
        SCOPED_TRACE(call);
        SpotFetcher fresh{worker, client, log, clock};
        fresh.setBaseUrl(server.baseUrl());
        fresh.setWsprLiveBaseUrl(live.baseUrl());
        FetchRequest r = request();
        r.band = kBandMyCall;
        r.identity.myCall = QString::fromLatin1(call);
        logLines.clear();
        const FetchOutcome out =
            waitFor<FetchOutcome>(fresh, [&] { return fresh.FetchSpots(r).has_value(); });
        EXPECT_TRUE(live.requests().isEmpty());
        EXPECT_TRUE(logged(u"1: wspr.live: the call sign \"" + QString::fromLatin1(call)));
        EXPECT_FALSE(out.answeredBy.has_value());
    }
}

// The stay on wspr.live begins only once wspr.live has answered: when both fail, the next
// refresh asks the spot database again, and the outcome names no fallback.
TEST_F(SourceFallbackTest, WhenBothFailTheNextRefreshAsksTheSpotDatabaseAgain)
{
    server.setRoute(kActivity, errorRoute(503));
    fetcher.setWsprLiveBaseUrl(deadBaseUrl());
    FetchOutcome out = run(request());
    EXPECT_FALSE(out.answeredBy.has_value());
    EXPECT_TRUE(out.fallbackReason.isEmpty());
    EXPECT_FALSE(out.retryAt.isValid());
    EXPECT_FALSE(fetcher.wsprLiveUntil().isValid());
    EXPECT_FALSE(logged(u"1 wspr.live answered"));

    healthy();
    fetcher.setWsprLiveBaseUrl(mirror->baseUrl());
    clock.setUtc(QDateTime(QDate(2024, 5, 1), QTime(10, 8, 17), Qt::UTC));
    out = run(request());
    EXPECT_EQ(server.requests().size(), 2);
    EXPECT_EQ(out.answeredBy, std::optional(SpotSource::WsprNet));
    EXPECT_EQ(out.spots.size(), 5);
}

// A status-200 answer that holds no spot table or no readable row is a failed fetch, not
// "no spots", from either source; an empty wspr.live answer still is "No posts found!".
TEST_F(SourceFallbackTest, AnAnswerThatDoesNotReadIsAFailedFetch)
{
    HttpFixture live;
    fetcher.setWsprLiveBaseUrl(live.baseUrl());
    const QByteArray good = "1714557480\tVK2XYZ\t14097100\t-12\t0\tQF56\t37\tVK3ABC\tQF22\t712\n";
    Route html;
    html.body = "<html>\n<head><title>502 Bad Gateway</title></head>\n<body>Try later</body>\n</html>\n";
    Route nowhere;
    nowhere.status = 302;
    Route columns;
    columns.body = "1714557480\tVK2XYZ\t14097100\n1714557480\tVK2XYZ\n";
    Route mostlyJunk;
    mostlyJunk.body = good + "x\ny\nz\n";
    struct Case
    {
        const char* name;
        Route route;
        const char* error; // the last error, which the hint shows
    };
    const Case cases[] = {
        {"an HTML page with 200", html, "the answer does not read, 4 of its 4 rows were skipped"},
        {"a redirect without Location", nowhere, "HTTP/1.1 302"},
        {"rows of the wrong shape", columns, "the answer does not read, 2 of its 2 rows were skipped"},
        {"more than half junk", mostlyJunk, "the answer does not read, 3 of its 4 rows were skipped"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        live.setRoute(QStringLiteral("/"), c.route);
        const FetchOutcome out = run(request(SpotSource::WsprLive));
        EXPECT_FALSE(out.answeredBy.has_value());
        EXPECT_FALSE(out.parse.has_value());
        EXPECT_TRUE(out.spots.isEmpty());
        const std::optional<QString> failure = FetchFailure(out);
        ASSERT_TRUE(failure.has_value());
        EXPECT_TRUE(failure->startsWith(QLatin1String(c.error))) << failure->toStdString();
    }

    live.setBody(QStringLiteral("/"), QByteArray());
    const FetchOutcome empty = run(request(SpotSource::WsprLive));
    EXPECT_EQ(empty.answeredBy, std::optional(SpotSource::WsprLive));
    ASSERT_TRUE(empty.parse.has_value());
    EXPECT_TRUE(empty.parse->noPosts);

    // The spot database chosen alone: a maintenance page sent with 200.
    server.setBody(kQuery, linesPage(150));
    const FetchOutcome maintenance = run(request(SpotSource::WsprNet));
    EXPECT_FALSE(maintenance.answeredBy.has_value());
    EXPECT_FALSE(maintenance.parse.has_value());
    EXPECT_TRUE(maintenance.spots.isEmpty());
    EXPECT_EQ(FetchFailure(maintenance), std::optional(QStringLiteral("the spot page ends before its report table")));
    EXPECT_TRUE(logged(u"1: Spot page: the spot page ends before its report table"));
    EXPECT_TRUE(dir.exists(QStringLiteral("WSPRRep1.htm"))); // the page itself is kept as received
}

// A junk answer is counted, not kept row by row: five rows named, the rest in one line.
TEST_F(SourceFallbackTest, SkippedRowsAreNamedFiveAtMost)
{
    HttpFixture live;
    fetcher.setWsprLiveBaseUrl(live.baseUrl());
    QByteArray junk;
    for (int i = 0; i < 1000; ++i)
        junk += "j\n";
    live.setBody(QStringLiteral("/"), junk);
    const FetchOutcome out = run(request(SpotSource::WsprLive));
    EXPECT_FALSE(out.answeredBy.has_value());
    ASSERT_EQ(out.errors.size(), 7);
    EXPECT_EQ(out.errors[0], QStringLiteral("wspr.live row 1 skipped: 1 columns, 10 expected"));
    EXPECT_EQ(out.errors[4], QStringLiteral("wspr.live row 5 skipped: 1 columns, 10 expected"));
    EXPECT_EQ(out.errors[5], QStringLiteral("wspr.live: 995 more rows skipped"));
    EXPECT_EQ(out.errors[6], QStringLiteral("the answer does not read, 1000 of its 1000 rows were skipped"));
    EXPECT_LT(logLines.size(), 12);
}

// The shut-down ends a slow spot query: that is no failure of the spot database, so
// nothing more is asked and nothing more is logged.
TEST_F(SourceFallbackTest, AShutDownDuringTheQueryAsksNothingMore)
{
    HttpFixture live;
    fetcher.setWsprLiveBaseUrl(live.baseUrl());
    HttpLimits limits; // the default bound: only the shut-down ends this transfer
    fetcher.setLimits(limits);
    Route slow;
    slow.body = reportPage(assortedSpots(5)).toUtf8();
    slow.delayMs = 60000;
    server.setRoute(kQuery, slow);
    logLines.clear();
    ASSERT_TRUE(fetcher.FetchSpots(request()).has_value());
    while (server.requests().size() < 2)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    worker.stop();
    QCoreApplication::processEvents();
    EXPECT_TRUE(live.requests().isEmpty());
    EXPECT_FALSE(logged(u"1 Spot database failed"));
    EXPECT_FALSE(logged(u"1: HTTP error"));
    EXPECT_FALSE(fetcher.wsprLiveUntil().isValid());
}
