#include "retrieval/WsprLive.h"

#include "net/HttpClient.h"
#include "retrieval/FetchRules.h"
#include "retrieval/SpotParser.h"
#include "base/TextFile.h"

#include "ClickHouseFixture.h"
#include "PageMaker.h"

#include <QDateTime>
#include <QTimeZone>
#include <QUrl>
#include <QUrlQuery>

#include <gtest/gtest.h>

#include <algorithm>

using namespace beamtide;
using namespace beamtide::test;

namespace {

// A row as the server writes it for the query's columns.
QByteArray answerRow(const WsprRxRow& r)
{
    return QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\t%7\t%8\t%9\t%10")
        .arg(r.time)
        .arg(r.txSign)
        .arg(r.frequency)
        .arg(r.snr)
        .arg(r.drift)
        .arg(r.txLoc)
        .arg(r.power)
        .arg(r.rxSign)
        .arg(r.rxLoc)
        .arg(r.distance)
        .toUtf8();
}

qint64 utc(int day, int hour, int minute)
{
    return QDateTime(QDate(2024, 5, day), QTime(hour, minute), QTimeZone::utc()).toSecsSinceEpoch();
}

} // namespace

TEST(WsprLiveConversion, RowsGiveTheSpotLinesOfThePageParser)
{
    struct Case
    {
        const char* name;
        WsprRxRow row;
        PageSpot page; // the same spot as the report page prints it
    };
    auto row = [](auto change) {
        WsprRxRow r;
        r.time = utc(1, 10, 24);
        change(r);
        return r;
    };
    auto cells = [](auto change) {
        PageSpot s;
        s.dbm = QStringLiteral("+37");
        change(s);
        return s;
    };
    const Case cases[] = {
        {"20 m, 5 W", row([](WsprRxRow&) {}), cells([](PageSpot&) {})},
        {"200 mW and 529 km",
         row([](WsprRxRow& r) { r.power = 23; r.distance = 529; r.frequency = 14097050; }),
         cells([](PageSpot& s) {
             s.dbm = QStringLiteral("+23");
             s.watts = QStringLiteral("0.200");
             s.km = QStringLiteral("529");
             s.miles = QStringLiteral("329");
             s.mhz = QStringLiteral("14.097050");
         })},
        {"LF, 1 mW, negative drift, just after midnight",
         row([](WsprRxRow& r) {
             r.time = utc(2, 0, 2);
             r.frequency = 137500;
             r.power = 0;
             r.drift = -1;
             r.snr = 3;
         }),
         cells([](PageSpot& s) {
             s.time = QStringLiteral("2024-05-02 00:02");
             s.mhz = QStringLiteral("0.137500");
             s.dbm = QStringLiteral("+0");
             s.watts = QStringLiteral("0.001");
             s.drift = QStringLiteral("-1");
             s.snr = QStringLiteral("3");
         })},
        {"1 kW on 2 m, 0 km",
         row([](WsprRxRow& r) { r.frequency = 144490500; r.power = 60; r.distance = 0; }),
         cells([](PageSpot& s) {
             s.mhz = QStringLiteral("144.490500");
             s.dbm = QStringLiteral("+60");
             s.watts = QStringLiteral("1000.000");
             s.km = QStringLiteral("0");
             s.miles = QStringLiteral("0");
         })},
        {"compound call, six-character locator, far",
         row([](WsprRxRow& r) {
             r.txSign = QStringLiteral("VK2/G4ABC");
             r.rxLoc = QStringLiteral("IO91wm");
             r.distance = 19999;
         }),
         cells([](PageSpot& s) {
             s.call = QStringLiteral("VK2/G4ABC");
             s.rgrid = QStringLiteral("IO91wm");
             s.km = QStringLiteral("19999");
             s.miles = QStringLiteral("12427");
         })},
        {"reporter without a locator",
         row([](WsprRxRow& r) { r.rxLoc.clear(); }),
         cells([](PageSpot& s) { s.rgrid.clear(); })},
    };
    QStringList rows;
    std::vector<PageSpot> pageSpots;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList parsed;
        ParseSpotPage(reportPage(std::vector<PageSpot>{c.page}).toUtf8(), parsed);
        ASSERT_EQ(parsed.size(), 1);
        const wsprlive::RowLine converted = wsprlive::RowToSpotLine(answerRow(c.row));
        EXPECT_EQ(converted.spotLine, parsed[0]);
        EXPECT_TRUE(converted.error.isEmpty());
        rows << QString::fromUtf8(answerRow(c.row));
        pageSpots.push_back(c.page);
    }
    // A whole answer gives the page's whole list, in order.
    QStringList parsed;
    ParseSpotPage(reportPage(pageSpots).toUtf8(), parsed);
    const wsprlive::Rows all = wsprlive::AnswerToSpotLines(rows.join(u'\n').toUtf8() + '\n');
    EXPECT_EQ(all.spots, parsed);
    EXPECT_TRUE(all.errors.isEmpty());
}

TEST(WsprLiveConversion, MalformedRowsAreSkippedAndNamed)
{
    const QByteArray good = answerRow(WsprRxRow{});
    QByteArray fewer = good;
    fewer.truncate(fewer.lastIndexOf('\t'));
    QByteArray more = good + "\textra";
    QByteArray word = good;
    word.replace("14097100", "14.0971 MHz");
    QByteArray comma = good;
    comma.replace("VK2XYZ", "VK2,XYZ");
    QByteArray markup = good;
    markup.replace("QF56", "<b>QF56</b>");
    QByteArray empty = good;
    empty.replace("\t712", "\t");

    const QByteArray answer = good + '\n' + fewer + '\n' + more + "\r\n" + word + '\n' + comma
                              + '\n' + markup + '\n' + empty + '\n'
                              + "Code: 241, e.displayText() = DB::Exception: Memory limit\n" + good;
    const wsprlive::Rows rows = wsprlive::AnswerToSpotLines(answer);
    const QString line = wsprlive::RowToSpotLine(good).spotLine;
    EXPECT_EQ(rows.spots, (QStringList{line, line}));
    EXPECT_EQ(rows.errors,
              (QStringList{QStringLiteral("wspr.live row 2 skipped: 9 columns, 10 expected"),
                           QStringLiteral("wspr.live row 3 skipped: 11 columns, 10 expected"),
                           QStringLiteral("wspr.live row 4 skipped: a number column holds no number"),
                           QStringLiteral("wspr.live row 5 skipped: a text column holds a separator, markup or a control"),
                           QStringLiteral("wspr.live row 6 skipped: a text column holds a separator, markup or a control"),
                           QStringLiteral("wspr.live: 2 more rows skipped")}));
    EXPECT_EQ(rows.skipped, 7);
    // More than half of the rows do not read: the answer is no answer.
    EXPECT_EQ(wsprlive::UnreadableAnswer(rows),
              std::optional(QStringLiteral("the answer does not read, 7 of its 9 rows were skipped")));
    EXPECT_TRUE(wsprlive::AnswerToSpotLines(QByteArray()).spots.isEmpty());
}

TEST(WsprLiveQuery, BandCodes)
{
    const std::pair<const char*, int> known[] = {
        {"2190", -1}, {"630", 0},  {"160", 1},  {"80", 3},   {"60", 5},    {"40", 7},
        {"30", 10},   {"20", 14},  {"17", 18},  {"15", 21},  {"12", 24},   {"10", 28},
        {"8", 40},    {"6", 50},   {"4", 70},   {"2", 144},  {"220", 222}, {"432", 432},
        {" 20 ", 14},
    };
    for (const auto& [text, code] : known) {
        SCOPED_TRACE(text);
        EXPECT_EQ(wsprlive::bandCode(QString::fromLatin1(text)), std::optional<int>(code));
    }
    for (const char* text : {"u", "", "14", "20m", "All", "MyCall"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(wsprlive::bandCode(QString::fromLatin1(text)));
    }
}

TEST(WsprLiveQuery, CallSignsOnlyAsSafeLiterals)
{
    struct Case
    {
        const char* call;
        bool sent;
    };
    const Case cases[] = {
        {"VK2XYZ", true},
        {"VK2/G4ABC", true},
        {"G4ABC/P", true},
        {"VK2XYZ' OR '1'='1", false},
        {"VK2XYZ'; DROP TABLE wspr.rx; --", false},
        {"VK2XYZ;", false},
        {"VK2 XYZ", false},
        {"vk2xyz", false},
        {"VK2\\XYZ", false},
        {"VK2XYZ\xc3\x84", false},
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        const QString call = QString::fromUtf8(c.call);
        const wsprlive::Query q = wsprlive::BuildQuery(kBandMyCall, false, false, call);
        EXPECT_EQ(!q.sql.isEmpty(), c.sent);
        EXPECT_EQ(q.error.isEmpty(), c.sent);
        if (c.sent) {
            EXPECT_TRUE(q.sql.contains(u"tx_sign = '" + call + u"' OR rx_sign = '" + call + u"'"));
        } else {
            EXPECT_FALSE(q.sql.contains(u'\''));
        }
    }
    // A band without a code is refused too, never sent as text.
    const wsprlive::Query unknown = wsprlive::BuildQuery(QStringLiteral("20'"), false, false, {});
    EXPECT_TRUE(unknown.sql.isEmpty());
    EXPECT_FALSE(unknown.error.isEmpty());
}

TEST(WsprLiveQuery, AddressCarriesTheSqlPercentEncoded)
{
    const wsprlive::Query q = wsprlive::BuildQuery(QStringLiteral("20"), true, false, {});
    const QString url = wsprlive::QueryUrl(QStringLiteral("https://db.example"), q.sql);
    EXPECT_TRUE(url.startsWith(u"https://db.example/?query=SELECT%20"));
    EXPECT_FALSE(url.contains(u' '));
    EXPECT_EQ(QUrlQuery(QUrl(url)).queryItemValue(QStringLiteral("query"), QUrl::FullyDecoded), q.sql);
}

// --- Against the real server ---------------------------------------------------------------

namespace {

class WsprLiveServer : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        server = new ClickHouseFixture;
        if (!server->running())
            return;
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        const char* const calls[] = {"VK2XYZ", "ZL1ABC", "K1JT", "G4ABC", "JA1XX"};
        // 20 m: 1100 spots of the last 23 hours, one a minute, distances all different;
        // 300 more from two to six days ago; 20 from eight days ago.
        // 40 m and 6 m: 150 each within the day. Times and distances never tie.
        QList<WsprRxRow> rows;
        auto add = [&](int band, qint64 hz, qint64 age, int k) {
            WsprRxRow r;
            r.time = now - age;
            r.band = band;
            r.frequency = hz + k % 200;
            r.txSign = QString::fromLatin1(calls[k % 5]);
            r.rxSign = QString::fromLatin1(calls[(k / 5 + 1) % 5]) + QString::number(k % 7);
            r.distance = 100 + (k * 7919) % 19000;
            r.snr = -30 + k % 40;
            r.power = 20 + k % 20;
            rows << r;
        };
        int k = 0;
        for (int i = 0; i < 1100; ++i)
            add(14, 14097000, 600 + i * 60, k++);
        for (int i = 0; i < 300; ++i)
            add(14, 14097000, 2 * 86400 + i * 1200, k++);
        for (int i = 0; i < 20; ++i)
            add(14, 14097000, 8 * 86400 + i * 60, k++);
        for (int i = 0; i < 150; ++i) {
            add(7, 7040000, 630 + i * 300, k++);
            add(50, 50294000, 650 + i * 300, k++);
        }
        // The MyCall call as transmitter and as reporter, on a band of its own.
        for (int i = 0; i < 12; ++i) {
            add(28, 28126000, 700 + i * 600, k++);
            (i % 2 ? rows.back().txSign : rows.back().rxSign) = QStringLiteral("VK2/G4ABC");
        }
        all = rows;
        error = server->insert(rows);
    }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(server->running()) << server->startError().toStdString();
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }

    // What the program receives for a query, through its own client with a GET.
    wsprlive::Rows ask(const QString& band, bool sortByKm, bool historical, const QString& myCall = {})
    {
        const wsprlive::Query q = wsprlive::BuildQuery(band, sortByKm, historical, myCall);
        EXPECT_TRUE(q.error.isEmpty()) << q.error.toStdString();
        HttpClient client;
        const HttpResult reply = client.get(wsprlive::QueryUrl(server->baseUrl(), q.sql));
        EXPECT_TRUE(reply.ok) << reply.error.toStdString() << reply.body.toStdString();
        return wsprlive::AnswerToSpotLines(reply.body);
    }

    // The lines the rows chosen by a rule, ordered and cut as the query says, convert to.
    static QStringList expected(auto keep, bool byDistance, int limit)
    {
        QList<WsprRxRow> chosen;
        std::copy_if(all.begin(), all.end(), std::back_inserter(chosen), keep);
        std::sort(chosen.begin(), chosen.end(), [&](const WsprRxRow& a, const WsprRxRow& b) {
            if (byDistance && a.distance != b.distance)
                return a.distance > b.distance;
            return a.time > b.time;
        });
        QStringList lines;
        for (const WsprRxRow& r : chosen.mid(0, limit))
            lines << wsprlive::RowToSpotLine(answerRow(r)).spotLine;
        return lines;
    }

    static qint64 ageOf(const WsprRxRow& r) { return QDateTime::currentSecsSinceEpoch() - r.time; }

    static inline ClickHouseFixture* server = nullptr;
    static inline QList<WsprRxRow> all;
    static inline QString error;
};

} // namespace

TEST_F(WsprLiveServer, OneBandNewestFirstWithinTheDay)
{
    const wsprlive::Rows rows = ask(QStringLiteral("20"), false, false);
    EXPECT_TRUE(rows.errors.isEmpty());
    EXPECT_EQ(rows.spots.size(), 1000);
    EXPECT_EQ(rows.spots, expected([](const WsprRxRow& r) { return r.band == 14 && ageOf(r) < 86400; },
                                   false, 1000));
}

TEST_F(WsprLiveServer, AllBandsAskForThousandNewestWhateverTheBoxes)
{
    const QStringList want =
        expected([](const WsprRxRow& r) { return ageOf(r) < 86400; }, false, 1000);
    EXPECT_EQ(ask(QStringLiteral("All"), false, false).spots, want);
    EXPECT_EQ(ask(QStringLiteral("All"), true, true).spots, want);
    // Three bands are among them.
    EXPECT_TRUE(std::any_of(want.begin(), want.end(), [](const QString& l) { return l.contains(u",50.29"); }));
}

TEST_F(WsprLiveServer, HistoricalReachesBackAWeekForUpTo5000)
{
    const wsprlive::Rows rows = ask(QStringLiteral("20"), false, true);
    EXPECT_EQ(rows.spots.size(), 1400); // not the 20 spots of eight days ago
    EXPECT_EQ(rows.spots, expected([](const WsprRxRow& r) { return r.band == 14 && ageOf(r) < 7 * 86400; },
                                   false, 5000));
}

TEST_F(WsprLiveServer, SortByKmGivesTheFarthestFirst)
{
    const wsprlive::Rows rows = ask(QStringLiteral("40"), true, false);
    EXPECT_EQ(rows.spots.size(), 150);
    EXPECT_EQ(rows.spots, expected([](const WsprRxRow& r) { return r.band == 7; }, true, 1000));
    EXPECT_EQ(ask(QStringLiteral("6"), false, false).spots,
              expected([](const WsprRxRow& r) { return r.band == 50; }, false, 1000));
}

TEST_F(WsprLiveServer, MyCallAsTransmitterOrReporterOnAnyBand)
{
    const QString call = QStringLiteral("VK2/G4ABC");
    const wsprlive::Rows rows = ask(kBandMyCall, true, false, call);
    EXPECT_EQ(rows.spots.size(), 12);
    EXPECT_EQ(rows.spots, expected([&](const WsprRxRow& r) { return r.txSign == call || r.rxSign == call; },
                                   false, 1000));
    // A call never heard is an empty answer, not a failure.
    EXPECT_TRUE(ask(kBandMyCall, false, false, QStringLiteral("ZZ9ZZZ")).spots.isEmpty());
}
