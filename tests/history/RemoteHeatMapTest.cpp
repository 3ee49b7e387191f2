// The heat map from wspr.live: the one aggregate query, sent to the real ClickHouse server of
// the tests, counted against the rows put there, and narrowed exactly as the local heat map
// narrows (the window's call filter rules, the far distance) and by a grid.
#include "history/RemoteHeatMap.h"

#include "spots/SpotRules.h"

#include "ClickHouseFixture.h"
#include "RemoteAsk.h"
#include "HttpFixture.h"

#include <QDateTime>
#include <QMap>
#include <QSignalSpy>
#include <QTimeZone>
#include <QUrl>
#include <QUrlQuery>

#include <gtest/gtest.h>

using namespace beamtide;
using namespace beamtide::test;

namespace {

bool startsWithUpper(const QString& text, const QString& prefix)
{
    return prefix.isEmpty() || text.toUpper().startsWith(prefix);
}

} // namespace

TEST(RemoteHeatMapQuery, RefusesWhatCannotGoInAsALiteral)
{
    const RemoteSource live = wsprLiveSource(QStringLiteral("https://db.example"));
    const int band20 = *historyBandOfName(u"20");
    struct Case
    {
        const char* name;
        std::optional<int> band;
        HeatFilter filter;
        const char* grid;
        const char* says; // empty: sent
    };
    const auto off = [](HeatFilter f) {
        f.calls = false;
        return f;
    };
    const Case cases[] = {
        {"plain band", band20, {}, "", ""},
        {"a list of prefixes", band20, callFilter("VK,ZL,K1", ""), "", ""},
        {"a quote in the spotted filter", band20, callFilter("VK' OR 1=1 --", ""), "", "call filter"},
        {"a quote in one term of a list", band20, callFilter("", "DL,G4'"), "", "call filter"},
        {"a quote in a filter that is off", band20, off(callFilter("VK'", "", "AND")), "", ""},
        {"a quote in the grid", band20, {}, "JO31' OR '1", "grid"},
        {"a slash in the grid", band20, {}, "JO/31", "grid"},
        {"a band without a code", *historyBandOfName(u"u"), {}, "", "no band code"},
        {"every band of wspr.live at once", std::nullopt, {}, "", "one band at a time"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RemoteQuery q = heatMapQuery(live, c.band, 490000, 490024, c.filter, QString::fromUtf8(c.grid));
        if (*c.says == 0) {
            EXPECT_FALSE(q.sql.isEmpty()) << q.error.toStdString();
            EXPECT_FALSE(q.sql.contains(u"FINAL"));
            EXPECT_TRUE(q.sql.contains(u"FROM wspr.rx WHERE"));
        } else {
            EXPECT_TRUE(q.sql.isEmpty()) << q.sql.toStdString();
            EXPECT_TRUE(q.error.contains(QString::fromLatin1(c.says))) << q.error.toStdString();
        }
    }
}

TEST(RemoteHeatMapQuery, OneGetWithTheProgramsNameAndNoSecondTry)
{
    HttpFixture server;
    server.setBody(QStringLiteral("/"), "Code: 241, e.displayText() = DB::Exception: Memory limit", 500);
    RemoteSource source = wsprLiveSource(server.baseUrl());
    const RemoteQuery q = heatMapQuery(source, *historyBandOfName(u"20"), 490000, 490024, {}, {});
    const RemoteCells failed = ask(source, q);
    EXPECT_TRUE(failed.cells.isEmpty());
    EXPECT_TRUE(failed.error.startsWith(u"wspr.live: ")) << failed.error.toStdString();
    ASSERT_EQ(server.requests().size(), 1);
    const RecordedRequest sent = server.requests()[0];
    EXPECT_EQ(sent.method, QStringLiteral("GET"));
    EXPECT_TRUE(sent.header(QStringLiteral("User-Agent")).startsWith(u"Beamtide/"));
    EXPECT_TRUE(sent.header(QStringLiteral("Authorization")).isEmpty());
    EXPECT_EQ(QUrlQuery(sent.query).queryItemValue(QStringLiteral("query"), QUrl::FullyDecoded), q.sql);

    // An answer that is not rows of two numbers is said, not drawn.
    server.setBody(QStringLiteral("/"), "<html>maintenance</html>\n");
    EXPECT_EQ(ask(source, q).error, QStringLiteral("wspr.live: the answer does not read (row 1)"));
    // A history server of one's own gets the credentials; a refused query goes nowhere.
    source.user = QStringLiteral("club");
    source.password = QStringLiteral("pa ss:word");
    server.clearRequests();
    server.setBody(QStringLiteral("/"), "490001\t3\n");
    EXPECT_EQ(pairs(ask(source, q).cells), (Cells{{490001, 3}}));
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests()[0].header(QStringLiteral("Authorization")),
              QStringLiteral("Basic ") + QString::fromLatin1(QByteArray("club:pa ss:word").toBase64()));
    server.clearRequests();
    EXPECT_FALSE(ask(source, heatMapQuery(source, std::nullopt, 490000, 490024, {}, {})).error.isEmpty());
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST(RemoteHeatMap, CountsTheRowsOfTheRealServerAsTheLocalFiltersWould)
{
    ClickHouseFixture server;
    ASSERT_TRUE(server.running()) << server.startError().toStdString();
    // Three days up to the hour before this one, on two bands, with calls, reporters, grids
    // and distances that the filters below tell apart.
    const qint64 thisHour = QDateTime::currentSecsSinceEpoch() / 3600;
    const qint64 firstHour = thisHour - 72;
    const char* const txCalls[] = {"VK2XYZ", "VK3AB", "ZL1ABC", "K1JT", "VK2/G4ABC", "G4ABC"};
    const char* const rxCalls[] = {"DL1AB", "G4XYZ", "VK3ABC", "K9AN"};
    const char* const grids[] = {"JO31", "jo31le", "QF56", "FN42", "IO91wm"};
    QList<WsprRxRow> rows;
    for (int i = 0; i < 900; ++i) {
        WsprRxRow r;
        r.time = (firstHour + (i * 7) % 72) * 3600 + (i * 13) % 3600;
        r.band = i % 5 == 1 ? 7 : 14;
        r.frequency = r.band == 7 ? 7040000 + i : 14097000 + i;
        r.txSign = QString::fromLatin1(txCalls[i % 6]);
        r.rxSign = QString::fromLatin1(rxCalls[(i / 6) % 4]);
        r.txLoc = QString::fromLatin1(grids[i % 5]);
        r.rxLoc = QString::fromLatin1(grids[(i / 5 + 2) % 5]);
        r.distance = 100 + (i * 37) % 15000;
        rows << r;
    }
    // One spot in the future of a wrong clock: never counted.
    WsprRxRow future = rows[0];
    future.time = (thisHour + 30) * 3600;
    rows << future;
    ASSERT_EQ(server.insert(rows), QString());

    struct Case
    {
        const char* name;
        HeatFilter filter;
        const char* grid;
    };
    HeatFilter far;
    far.minKm = 7000;
    HeatFilter farCalls = callFilter("VK", "", "AND");
    farCalls.minKm = 3000;
    const Case cases[] = {
        {"every spot of the band", {}, ""},
        {"beyond the far distance", far, ""},
        {"spotted prefix, AND", callFilter("VK", "", "AND"), ""},
        {"both prefixes, AND", callFilter("VK2", "DL", "AND"), ""},
        {"both prefixes, OR", callFilter("K1", "G4", "OR"), ""},
        {"a list of spotted prefixes", callFilter("VK3,ZL,K1", "", "AND"), ""},
        {"a list of spotter prefixes", callFilter("", "K9,G4", "OR"), ""},
        {"a list beside a spotter prefix matches nothing, as in the window", callFilter("VK,ZL", "DL", "AND"), ""},
        {"a compound call", callFilter("VK2/", "", "AND"), ""},
        {"both filters empty", callFilter("", "", "AND"), ""},
        {"a grid of either end, any letter case", {}, "jo31"},
        {"a field", {}, "IO"},
        {"calls, distance and grid at once", farCalls, "QF56"},
    };
    const RemoteSource source = wsprLiveSource(server.baseUrl());
    const int band20 = *historyBandOfName(u"20");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QMap<qint64, qint64> expected;
        const QString grid = QString::fromLatin1(c.grid).toUpper();
        for (const WsprRxRow& r : rows) {
            const qint64 hour = r.time / 3600;
            if (r.band != 14 || hour < firstHour || hour > thisHour)
                continue;
            if (c.filter.minKm > 0 && r.distance <= c.filter.minKm)
                continue;
            if (c.filter.calls
                && !callFilterMatch(c.filter.spotted, c.filter.spotter, c.filter.logic, r.txSign, r.rxSign))
                continue;
            if (!grid.isEmpty() && !startsWithUpper(r.txLoc, grid) && !startsWithUpper(r.rxLoc, grid))
                continue;
            ++expected[hour];
        }
        Cells want;
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            want.append({it.key(), *it});
        EXPECT_EQ(want.isEmpty(), QByteArrayView(c.name).contains("matches nothing"));
        // The range reaches a day past now: the server's clock cuts it.
        const RemoteQuery q = heatMapQuery(source, band20, firstHour, thisHour + 24, c.filter, QString::fromLatin1(c.grid));
        ASSERT_TRUE(q.error.isEmpty()) << q.error.toStdString();
        const RemoteCells got = ask(source, q);
        EXPECT_TRUE(got.error.isEmpty()) << got.error.toStdString();
        EXPECT_EQ(pairs(got.cells), want);
    }
    // A range in the past ends where it says.
    const RemoteCells firstDay = ask(source, heatMapQuery(source, band20, firstHour, firstHour + 24, {}, {}));
    ASSERT_FALSE(firstDay.cells.isEmpty());
    EXPECT_GE(firstDay.cells.first().hour, firstHour);
    EXPECT_LT(firstDay.cells.last().hour, firstHour + 24);
}
