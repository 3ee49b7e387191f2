#include "spots/FilterSpots.h"

#include "base/Clock.h"
#include "spots/AlertsHistory.h"
#include "spots/AllBandsTable.h"
#include "spots/MyCallSpots.h"
#include "PageMaker.h"
#include "TempFolder.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace beamtide;
using test::PageSpot;

namespace {

const QDateTime kNow(QDate(2024, 5, 1), QTime(10, 30), Qt::UTC);

QString minutesAgo(int minutes)
{
    return kNow.addSecs(-60 * minutes).toString("yyyy-MM-dd HH:mm");
}

struct Spot
{
    const char* call = "VK2XYZ";
    const char* reporter = "VK3ABC";
    int km = 712;
    int snr = -12;
    int age = 1; // minutes before now
    const char* mhz = "144.490500";

    QString line() const
    {
        PageSpot s;
        s.call = call;
        s.reporter = reporter;
        s.km = QString::number(km);
        s.snr = QString::number(snr);
        s.time = minutesAgo(age);
        s.mhz = mhz;
        return s.spotLine();
    }
};

QStringList page(std::initializer_list<Spot> spots)
{
    QStringList lines;
    for (const Spot& s : spots)
        lines << s.line();
    return lines;
}

// The state the window keeps between passes, in a fresh folder.
struct Monitor
{
    test::TempFolder dir;
    ManualClock clock{kNow};
    AllBandsTable table;
    AlertsHistory alerts{dir.file("WSPR_Alerts1.txt")};
    MyCallSpots mine{dir.file("VK2XYZ-spots.txt")};

    FilterResult run(const QStringList& spots, const FilterControls& c)
    {
        return FilterSpots(spots, c, clock, table, alerts, mine);
    }
};

FilterControls band(const char* text)
{
    FilterControls c;
    c.bandText = text;
    c.fetchedBand = text;
    c.spottedFilter = "";
    c.spotterFilter = "";
    return c;
}

// Vhf band with the distance controls shown.
FilterControls vhf(const char* text = "2")
{
    FilterControls c = band(text);
    c.distanceControlsShown = true;
    return c;
}

QStringList column(const FilterResult& r, int cell)
{
    QStringList cells;
    for (const SpotRow& row : r.rows)
        cells << row.cell(cell);
    return cells;
}

} // namespace

TEST(FilterSpots, CallFiltersExclusionsAndMyCallMode)
{
    const QStringList spots = page({{"VK2XYZ", "VK3ABC"}, {"VK4TQ", "ZL1AA"}, {"ZL2BB", "VK3ABC"},
                                    {"K1JT", "K9AN"}, {"G4ABC", "ZL1AA"}});
    struct Case { const char* name; const char* s; const char* r; const char* logic;
                  const char* exclude; const char* fetched; QStringList shown; };
    const Case cases[] = {
        {"AND", "VK*", "VK*", "AND", "", "2", {"VK2XYZ"}},
        {"OR", "VK*", "VK*", "OR", "", "2", {"VK2XYZ", "VK4TQ", "ZL2BB"}},
        {"spotter list", "", "ZL,K9", "AND", "", "2", {"VK4TQ", "K1JT", "G4ABC"}},
        {"spotted list", "ZL,K", "", "OR", "", "2", {"ZL2BB", "K1JT"}},
        {"list and filter, AND", "VK,ZL", "K", "AND", "", "2", {}},
        {"list and filter, OR", "VK,ZL", "K", "OR", "", "2", {"K1JT"}},
        {"other logic", "VK", "VK", "BOTH", "", "2", {}},
        {"exclusion beats the filters", "", "", "AND", "VK4,ZL", "2", {"VK2XYZ", "K1JT", "G4ABC"}},
        {"exclusion stops at an empty term", "", "", "AND", "VK4,,ZL", "2",
         {"VK2XYZ", "ZL2BB", "K1JT", "G4ABC"}},
        {"MyCall mode shows every spot", "K1", "K1", "AND", "VK4,ZL", "MyCall",
         {"VK2XYZ", "VK4TQ", "ZL2BB", "K1JT", "G4ABC"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Monitor m;
        FilterControls controls = band("20");
        controls.spottedFilter = c.s;
        controls.spotterFilter = c.r;
        controls.logic = c.logic;
        controls.exclusionList = c.exclude;
        controls.fetchedBand = c.fetched;
        const FilterResult r = m.run(spots, controls);
        EXPECT_EQ(r.end, FilterEnd::Normal);
        EXPECT_EQ(column(r, 1), c.shown);
        EXPECT_EQ(r.rowCount, c.shown.size() + 1);
    }
}

TEST(FilterSpots, RowsCarryTheSpotFields)
{
    Monitor m;
    PageSpot s;
    s.time = minutesAgo(1);
    s.watts = "0.567";
    const FilterResult r = m.run({s.spotLine()}, band("20"));
    ASSERT_EQ(r.rows.size(), 1); // a page of one spot shows it
    EXPECT_EQ(r.rows[0].cells(), (QStringList{s.time, "VK2XYZ", "14.097100", "-12", "0", "QF56", "37",
                                      "0.56", "VK3ABC", "QF22", "712", "442", ""}));
    EXPECT_TRUE(r.finalStep());

    // Blanks around the fields do not reach the cells.
    const QString padded = " " + s.time + " , VK2XYZ ,14.097100, -12 ,0,QF56,37, 5.012 ,VK3ABC,QF22, 712 ,442,";
    const QStringList cells = m.run({padded}, band("20")).rows.value(0).cells();
    EXPECT_EQ(cells, (QStringList{s.time, "VK2XYZ", "14.097100", "-12", "0", "QF56", "37", "5",
                                  "VK3ABC", "QF22", "712", "442", ""}));
}

TEST(FilterSpots, DistanceWindowBothWays)
{
    const QStringList spots = page({{"A1", "R", 100}, {"B1", "R", 200}, {"C1", "R", 350},
                                    {"D1", "R", 500}, {"E1", "R", 501}, {"F1", "R", 4000}});
    struct Case { const char* name; int min, max; bool ticked, shown; QStringList calls; };
    const Case cases[] = {
        {"inclusive window", 4, 10, true, true, {"B1", "C1", "D1"}},
        {"max below min: from min on", 10, 4, true, true, {"D1", "E1", "F1"}},
        {"unticked", 4, 10, false, true, {"A1", "B1", "C1", "D1", "E1", "F1"}},
        {"hidden", 4, 10, true, false, {"A1", "B1", "C1", "D1", "E1", "F1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Monitor m;
        FilterControls controls = band("2");
        controls.distanceScale = 50;
        controls.minDistancePosition = c.min;
        controls.maxDistancePosition = c.max;
        controls.distanceWindow = c.ticked;
        controls.distanceControlsShown = c.shown;
        EXPECT_EQ(column(m.run(spots, controls), 1), c.calls);
    }
}

TEST(FilterSpots, TagsAndDiagnosticWords)
{
    // SNR bar 30 is a 0 dB threshold; the window is 200..500 km.
    const QStringList spots = page({{"A1", "R", 300, 0}, {"B1", "R", 300, -1}, {"C1", "R", 600, 0},
                                    {"D1", "R", 2500, -1}, {"VK2XYZ", "R", 300, -5}});
    struct Case { const char* name; FilterControls c; QStringList tags; const char* words; };
    FilterControls plain = band("20");
    plain.snrAlert = true;
    FilterControls beyond = vhf();
    beyond.snrAlert = true;
    beyond.minDistancePosition = 4;
    FilterControls window = beyond;
    window.distanceWindow = true;
    window.maxDistancePosition = 60;
    window.myCall = "VK2XYZ";
    const Case cases[] = {
        {"SNR only", plain, {"sh", "", "sh", "ld: 2500 2000", ""}, "SigHi SigHi "},
        {"beyond min", beyond, {"md", "md", "md", "ld: 2500 2000", "md"},
         "SigHi Dist+ Dist+ SigHi Dist+ Dist+ Dist+ "},
        {"window", window, {"al", "bd", "al", "ld: 2500 2000", "mc :VK2XYZ VK2XYZ"},
         "SigHi BtwnDist ALERT BtwnDist SigHi BtwnDist ALERT BtwnDist BtwnDist "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Monitor m;
        const FilterResult r = m.run(spots, c.c);
        EXPECT_EQ(column(r, 12), c.tags);
        EXPECT_EQ(r.diagnostics, c.words);
    }
}

TEST(FilterSpots, RowLimitAndTimeWindow)
{
    const QStringList byDate = page({{"A1"}, {"B1"}, {"C1"}, {"D1"}, {"E1"}, {"F1"}, {"G1"}});
    const QStringList withOld = page({{"A1", "R", 1, 0, 1}, {"B1", "R", 1, 0, 5}, {"C1", "R", 1, 0, 6},
                                      {"D1", "R", 1, 0, 2}});
    // Sorted by distance: an old spot in the middle ends the listing there.
    const QStringList byKm = page({{"A1", "R", 900, 0, 2}, {"B1", "R", 800, 0, 30},
                                   {"C1", "R", 700, 0, 1}});
    PageSpot undated;
    undated.call = "X1";
    undated.time = "01 May 2024";
    const QStringList badTime = QStringList{undated.spotLine()} + byDate;

    struct Case { const char* name; QStringList spots; bool entries; bool time; FilterEnd end;
                  QStringList calls; };
    const Case cases[] = {
        {"five rows", byDate, true, false, FilterEnd::RowLimit, {"A1", "B1", "C1", "D1", "E1"}},
        {"no limit", byDate, false, false, FilterEnd::Normal, {"A1", "B1", "C1", "D1", "E1", "F1", "G1"}},
        {"date order, 5 minutes", withOld, false, true, FilterEnd::TimeWindow, {"A1", "B1"}},
        {"distance order", byKm, false, true, FilterEnd::TimeWindow, {"A1"}},
        {"unplaced date ends at once", badTime, false, true, FilterEnd::TimeWindow, {}},
        {"unplaced date shown without the window", badTime, true, false, FilterEnd::RowLimit,
         {"X1", "A1", "B1", "C1", "D1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Monitor m;
        FilterControls controls = band("20");
        controls.rowLimit = c.entries;
        controls.maxLines = 5;
        controls.timeWindow = c.time;
        controls.elapsedMinutes = 5; // cut-off 6 minutes ago
        const FilterResult r = m.run(c.spots, controls);
        EXPECT_EQ(r.end, c.end);
        EXPECT_EQ(column(r, 1), c.calls);
        EXPECT_EQ(r.rowCount, c.calls.size() + 1);
        EXPECT_EQ(r.finalStep(), c.end == FilterEnd::Normal);
    }
}

TEST(FilterSpots, AlertTextLinesInTheMemo)
{
    // Update interval 5: alerts of the last 6 minutes count. Window 200..500 km, 0 dB.
    const QStringList spots = page({{"A1", "R1", 300, 0, 2}, {"B1", "R1", 300, 0, 6},
                                    {"C1", "R1", 300, 0, 7}, {"D1", "R1", 300, -3, 1},
                                    {"E1", "R1", 3000, 0, 60}});
    FilterControls c = vhf("20");
    c.snrAlert = true;
    c.distanceWindow = true;
    c.minDistancePosition = 4;
    c.maxDistancePosition = 10;
    c.spottedFilter = "ZZ"; // nothing shown: alerts come before the call filters
    c.updateIntervalMinutes = 5;
    const QString header = "Beamtide Alerts:-";

    Monitor m;
    FilterResult r = m.run(spots, c);
    EXPECT_TRUE(r.rows.isEmpty());
    EXPECT_EQ(r.memo, (QStringList{header, minutesAgo(2) + ",A1,144.490500,0,R1,QF22,300,",
                                   minutesAgo(6) + ",B1,144.490500,0,R1,QF22,300,"}));

    // Far ticked: the distant spot alerts however old it is, also outside the window.
    c.far = true;
    c.maxDistancePosition = 1;
    c.minDistancePosition = 60;
    r = m.run(spots, c);
    EXPECT_EQ(r.memo, (QStringList{header, minutesAgo(60) + ",E1,144.490500,0,R1,QF22,3000,"}));
}

TEST(FilterSpots, AlertingRowsAreRecordedAndSaved)
{
    // A1 alerts; B1 is beyond the far distance; rows from the max-lines setting (5) on are
    // not recorded.
    const QStringList spots = page({{"A1", "R1", 300, 0}, {"B1", "R1", 2500, -9}, {"C1", "R1", 300, 0},
                                    {"D1", "R1", 300, 0}, {"E1", "R1", 300, 0}, {"F1", "R1", 300, 0}});
    auto alert = [](const char* call, int km) -> QString {
        return minutesAgo(1) + "," + call + ",144.490500," + (km == 2500 ? "-9" : "0") + "dBm,R1,"
            + QString::number(km) + "Km. ";
    };
    struct Case { const char* name; const char* band; bool far; bool perBand; QStringList recorded; };
    const Case cases[] = {
        {"band 2", "2", false, true, {alert("A1", 300), alert("C1", 300), alert("D1", 300)}},
        {"band 2 with Far", "2", true, true,
         {alert("A1", 300), alert("B1", 2500), alert("C1", 300), alert("D1", 300)}},
        {"band 20 records nothing", "20", true, true, {}},
        {"band 220 records nothing", "220", true, true, {}},
        {"layout not in place", "432", true, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Monitor m;
        FilterControls controls = vhf(c.band);
        controls.snrAlert = true;
        controls.distanceWindow = true;
        controls.minDistancePosition = 4;
        controls.maxDistancePosition = 60;
        controls.far = c.far;
        controls.maxLines = 5;
        controls.perBandLayout = c.perBand;
        const FilterResult r = m.run(spots, controls);
        EXPECT_EQ(r.rows.size(), 6);
        EXPECT_EQ(r.recordedAlerts, c.recorded);
        QStringList sorted = c.recorded;
        sorted.sort(Qt::CaseInsensitive);
        EXPECT_EQ(m.alerts.lines(), sorted);
        EXPECT_EQ(m.dir.exists("WSPR_Alerts1.txt"), !c.recorded.isEmpty());

        // The next pass over the same page adds nothing.
        EXPECT_TRUE(m.run(spots, controls).recordedAlerts.isEmpty());
        EXPECT_EQ(m.alerts.lines(), sorted);
    }
}

// A spot dated far ahead, once recorded, stays the newest alert for good; it is not recorded,
// and named so the window can log it. A clock a little fast still alerts.
TEST(FilterSpots, AnAlertDatedMoreThanAnHourAheadIsNotRecorded)
{
    Monitor m;
    FilterControls c = vhf("6");
    c.snrAlert = true;
    c.distanceWindow = true;
    c.maxDistancePosition = 60;
    c.maxLines = 100;
    // A day ahead at most: later still is no spot at all (skipped, see below).
    const FilterResult r = m.run(page({{"FUT1", "R1", 300, 0, -60 * 23},
                                       {"FUT2", "R1", 300, 0, -61},
                                       {"SOON", "R1", 300, 0, -60},
                                       {"NOW1", "R1", 300, 0, 1}}),
                                 c);
    EXPECT_EQ(r.rows.size(), 4); // still shown
    EXPECT_EQ(r.futureAlerts, (QStringList{minutesAgo(-60 * 23) + ",FUT1", minutesAgo(-61) + ",FUT2"}));
    ASSERT_EQ(r.recordedAlerts.size(), 2);
    EXPECT_TRUE(r.recordedAlerts[0].contains(",SOON,"));
    EXPECT_TRUE(r.recordedAlerts[1].contains(",NOW1,"));
}

TEST(FilterSpots, OneRecordedAlertIsWritten)
{
    Monitor m;
    FilterControls c = vhf("6");
    c.snrAlert = true;
    c.distanceWindow = true;
    c.maxDistancePosition = 60;
    const FilterResult r = m.run(page({{"A1", "R1", 300, 0}}), c);
    ASSERT_EQ(r.recordedAlerts.size(), 1);
    EXPECT_EQ(m.dir.read("WSPR_Alerts1.txt"), (r.recordedAlerts[0] + "\r\n").toUtf8());
}

TEST(FilterSpots, AlertsFileErrorIsReported)
{
    Monitor m;
    AlertsHistory unwritable(m.dir.file("missing folder/WSPR_Alerts1.txt"));
    FilterControls c = vhf("6");
    c.snrAlert = true;
    c.distanceWindow = true;
    c.maxDistancePosition = 60;
    const FilterResult r = FilterSpots(page({{"A1", "R1", 300, 0}}), c, m.clock, m.table, unwritable, m.mine);
    EXPECT_EQ(r.end, FilterEnd::Normal);
    EXPECT_TRUE(r.saveError.startsWith("Cannot save " + unwritable.path() + ": ")) << r.saveError.toStdString();
    EXPECT_EQ(unwritable.size(), 1); // kept for the next save

    ASSERT_TRUE(QDir(m.dir.path()).mkdir("missing folder"));
    const FilterResult again = FilterSpots(page({{"A1", "R1", 300, 0}}), c, m.clock, m.table, unwritable, m.mine);
    EXPECT_TRUE(again.saveError.isEmpty());
    EXPECT_TRUE(m.dir.exists("missing folder/WSPR_Alerts1.txt"));
}

TEST(FilterSpots, MyCallSpotsCollected)
{
    // The user's spots are collected whatever the filters show.
    const QStringList spots = page({{"VK2XYZ", "K1"}, {"VK2XYZ/P", "K2"}, {"XVK2XYZ", "K3"}, {"G4ABC", "K4"}});
    Monitor m;
    FilterControls c = band("20");
    c.myCall = "VK2XYZ";
    c.spottedFilter = "G4";
    c.distanceWindow = true;
    c.distanceControlsShown = true; // nothing passes an empty window
    FilterResult r = m.run(spots, c);
    EXPECT_TRUE(r.rows.isEmpty());
    const QString at = kNow.addSecs(-60).toString("yyyy-MM-dd HH:mm:ss");
    const QStringList perBand{minutesAgo(1) + ",VK2XYZ,144.490500,-12,K1,QF22,712," + at,
                              minutesAgo(1) + ",VK2XYZ/P,144.490500,-12,K2,QF22,712," + at};
    EXPECT_EQ(r.myCallLines, perBand);
    EXPECT_EQ(m.mine.lines(), perBand);

    c.bandText = "All";
    r = m.run(spots, c);
    const QStringList allBands{minutesAgo(1) + ",VK2XYZ,144.490500,-12,K1,QF22,712,",
                               minutesAgo(1) + ",VK2XYZ/P,144.490500,-12,K2,QF22,712,"};
    EXPECT_EQ(r.myCallLines, allBands);
    EXPECT_EQ(m.mine.size(), 4);

    r = m.run(spots, c);
    EXPECT_EQ(m.mine.size(), 4);
}

TEST(FilterSpots, UnreadableLinesAreSkippedAndLeaveNoTrace)
{
    PageSpot good;
    good.time = minutesAgo(1);
    PageSpot later = good;
    later.call = "VK4TQ";
    later.time = minutesAgo(2);
    PageSpot shifted = good; // an empty drift cell once dropped: watts holds the reporter
    shifted.call = "Z1";
    const QString shiftedLine = shifted.time + ",Z1,14.097100,-12,QF56,37,5.012,VK3ABC,QF22,712,442,";
    PageSpot unreadable = good;
    unreadable.call = "Z2";
    unreadable.time = "2024-13-45 10:24";
    PageSpot noKm = good;
    noKm.call = "Z3";
    noKm.km = "";
    PageSpot wordySnr = good;
    wordySnr.call = "K1JT"; // the user's own call: no MyCall line from a line that fails later
    wordySnr.snr = "strong";
    PageSpot hugeSnr = good;
    hugeSnr.call = "Z5";
    hugeSnr.snr = "99999999999";
    PageSpot megaCell = good;
    megaCell.call = "Z6";
    megaCell.snr = QString(3'000'000, u'9');

    struct Case { const char* name; QString bad; FilterControls c; QString call; QString text; };
    FilterControls plain = band("20");
    plain.snrAlert = true; // every readable row is "SigHi": a skipped one must add no word
    plain.snrPosition = 0;
    FilterControls withMyCall = plain;
    withMyCall.myCall = "K1JT";
    FilterControls window = vhf();
    window.distanceWindow = true;
    window.maxDistancePosition = 100;
    window.snrAlert = true;
    window.snrPosition = 0;
    const Case cases[] = {
        {"shifted fields", shiftedLine, plain, "Z1", "'VK3ABC' is not a valid floating point value"},
        {"unreadable date", unreadable.spotLine(), plain, "Z2", "'2024-13-45 10:24' is not a valid date and time"},
        {"unreadable date with MyCall", unreadable.spotLine(), withMyCall, "Z2",
         "'2024-13-45 10:24' is not a valid date and time"},
        {"empty km on a shown row", noKm.spotLine(), plain, "Z3", "'' is not a valid integer value"},
        {"empty km in the distance window", noKm.spotLine(), window, "Z3", "'' is not a valid integer value"},
        {"SNR in words on the user's own call", wordySnr.spotLine(), withMyCall, "K1JT",
         "'strong' is not a valid integer value"},
        {"SNR past the integer range", hugeSnr.spotLine(), plain, "Z5", "'99999999999' is not a valid integer value"},
        {"SNR cell of 3 MB, shown cut short", megaCell.spotLine(), plain, "Z6",
         "'" + QString(40, u'9') + QChar(0x2026) + "' is not a valid integer value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Monitor m;
        const FilterResult r = m.run({good.spotLine(), c.bad, later.spotLine()}, c.c);
        EXPECT_EQ(r.end, FilterEnd::Normal);
        EXPECT_TRUE(r.finalStep());
        EXPECT_EQ(column(r, 1), (QStringList{"VK2XYZ", "VK4TQ"})); // the rows on both sides
        EXPECT_EQ(r.skipped, (QVector<SkippedSpot>{{2, c.call, c.text}}));
        EXPECT_EQ(r.diagnostics.count(u"SigHi"), 2);
        EXPECT_TRUE(r.myCallLines.isEmpty());
        EXPECT_EQ(m.mine.size(), 0);
    }
}

// Values no real spot has, from either source, are skipped like unreadable ones; the
// bounds themselves still pass.
TEST(FilterSpots, LinesWithImpossibleValuesAreSkipped)
{
    PageSpot good;
    good.time = minutesAgo(1);
    PageSpot later = good;
    later.call = "VK4TQ";
    later.time = minutesAgo(2);
    struct Case { const char* name; const char* field; QString value; QString text; };
    const QString tomorrow = kNow.addSecs(24 * 3600 + 120).toString("yyyy-MM-dd HH:mm");
    const Case cases[] = {
        {"a time before 2008", "time", "2007-12-31 23:58", "'2007-12-31 23:58' is out of range (2008 to one day ahead)"},
        {"a time more than a day ahead", "time", tomorrow, "'" + tomorrow + "' is out of range (2008 to one day ahead)"},
        {"127 dBm", "dbm", "+127", "'+127' is out of range (-30 to 70 dBm)"},
        {"-31 dBm", "dbm", "-31", "'-31' is out of range (-30 to 70 dBm)"},
        {"SNR 51", "snr", "51", "'51' is out of range (-50 to 50 dB SNR)"},
        {"SNR -99", "snr", "-99", "'-99' is out of range (-50 to 50 dB SNR)"},
        {"past the antipode", "km", "20041", "'20041' is out of range (0 to 20040 km)"},
        {"negative distance", "km", "-5", "'-5' is out of range (0 to 20040 km)"},
    };
    for (const bool allBands : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (allBands ? " (all bands)" : ""));
            PageSpot bad = good;
            bad.call = "Z1";
            const QString field = c.field;
            (field == "time" ? bad.time : field == "dbm" ? bad.dbm : field == "snr" ? bad.snr : bad.km) = c.value;
            Monitor m;
            const FilterResult r = m.run({good.spotLine(), bad.spotLine(), later.spotLine()},
                                         band(allBands ? "All" : "20"));
            EXPECT_EQ(r.skipped, (QVector<SkippedSpot>{{2, "Z1", c.text}}));
            if (!allBands) {
                EXPECT_EQ(column(r, 1), (QStringList{"VK2XYZ", "VK4TQ"}));
            }
        }
    }
    PageSpot edge = good;
    edge.dbm = "+70";
    edge.snr = "-50";
    edge.km = "20040";
    edge.time = "2008-01-01 00:00";
    Monitor m;
    const FilterResult r = m.run({good.spotLine(), edge.spotLine()}, band("20"));
    EXPECT_TRUE(r.skipped.isEmpty());
    EXPECT_EQ(r.rows.size(), 2);
}

TEST(FilterSpots, SkippedLinesAreNamedOnceInTheBoxAndBrieflyInTheLog)
{
    QVector<SkippedSpot> skipped;
    for (int i = 1; i <= 7; ++i)
        skipped.append({i * 10, QString("Z%1").arg(i), "'x' is not a valid integer value"});
    EXPECT_EQ(skippedSpotsMessage(skipped.mid(0, 1)),
              "Spot line 10 (Z1): 'x' is not a valid integer value\n"
              "The line was skipped; the other spots are shown.");
    EXPECT_TRUE(skippedSpotsMessage(skipped).endsWith(
        "\n6 more lines that do not read were skipped too; the run log names them."));
    const QString log = skippedSpotsLogLine(skipped);
    EXPECT_TRUE(log.startsWith("Filter pass skipped 7 spot line(s): spot line 10 (Z1): 'x' is not"));
    EXPECT_TRUE(log.contains("spot line 50 (Z5)"));
    EXPECT_FALSE(log.contains("(Z6)"));
    EXPECT_TRUE(log.endsWith("; and 2 more"));
}

TEST(FilterSpots, SkippedLineKeepsTheAlertsAroundIt)
{
    Monitor m;
    FilterControls c = vhf("4");
    c.snrAlert = true;
    c.distanceWindow = true;
    c.maxDistancePosition = 60;
    QStringList spots = page({{"A1", "R1", 300, 0}});
    spots << minutesAgo(1) + ",Z1,70.091,-12,QF56,37,5.012,VK3ABC,QF22,300,442,";
    spots << Spot{"A2", "R2", 300, 0, 2}.line();
    const FilterResult r = m.run(spots, c);
    EXPECT_EQ(r.end, FilterEnd::Normal);
    EXPECT_EQ(r.recordedAlerts.size(), 2);
    EXPECT_EQ(r.skipped.size(), 1);
    EXPECT_TRUE(m.dir.exists("WSPR_Alerts1.txt"));
}

TEST(FilterSpots, AllBandsColumns)
{
    Monitor m;
    FilterControls c = band("All");
    c.spotterFilter = "VK";
    const QStringList first = page({{"K1JT", "VK3", 1, 0, 1, "14.097100"}, {"k1jt", "VK3", 1, 0, 2, "14.097200"},
                                    {"K1JT", "VK3", 1, 0, 3, "7.040100"}, {"G4ABC", "ZL1", 1, 0, 4, "7.040100"},
                                    {"ZL2BB", "VK4", 1, 0, 14, "0.475700"}});
    FilterResult r = m.run(first, c);
    EXPECT_EQ(r.end, FilterEnd::Normal);
    ASSERT_EQ(r.bandColumns.size(), 17);
    EXPECT_EQ(r.bandColumns[6], QStringList{"K1JT"});
    EXPECT_EQ(r.bandColumns[4], QStringList{"K1JT"});
    EXPECT_EQ(r.bandColumns[0], QStringList{"ZL2BB"});
    EXPECT_EQ(r.bandColumns[1], QStringList{" "});
    EXPECT_EQ(r.rowCount, 2);
    EXPECT_EQ(r.lineCount, "2");
    EXPECT_EQ(r.newestTime, "10:29 UTC");
    EXPECT_EQ(r.oldestTime, "10:16 UTC");

    // A second pass adds nothing; calls stay listed though the filter changed.
    c.spotterFilter = "ZL";
    r = m.run(first, c);
    EXPECT_EQ(r.bandColumns[4], (QStringList{"K1JT", "G4ABC"}));
    EXPECT_EQ(r.bandColumns[6], (QStringList{"K1JT", " "}));
    EXPECT_EQ(r.rowCount, 3);

    // More calls than any earlier row count: the column grows.
    QStringList many;
    for (int i = 0; i < 1500; ++i)
        many << Spot{qPrintable(QString("W%1").arg(i)), "ZL1", 1, 0, 1, "50.294500"}.line();
    r = m.run(many, c);
    EXPECT_EQ(r.rowCount, 1501);
    EXPECT_EQ(r.bandColumns[12].size(), 1500);
    EXPECT_EQ(r.bandColumns[12].last(), "W1499");
    EXPECT_EQ(r.bandColumns[4].size(), 1500);

    m.table.reset();
    r = m.run(first, c);
    EXPECT_EQ(r.bandColumns[4], QStringList{"G4ABC"});
    EXPECT_EQ(r.rowCount, 2);
}

TEST(FilterSpots, AllBandsSkipsUnreadableLines)
{
    Monitor m;
    FilterControls c = band("All");
    c.myCall = "Z1";
    QStringList spots{"not a date,Z1,14.0971,-12,0,QF56,37,5.012,VK3ABC,QF22,712,442,"};
    spots << page({{"K1JT"}});
    spots << minutesAgo(1) + ",Z1,,-12,0,QF56,37,5.012,VK3ABC,QF22,712,442,";
    spots << page({{"G4ABC", "VK3ABC", 712, -12, 3, "14.097100"}});
    FilterResult r = m.run(spots, c);
    EXPECT_EQ(r.end, FilterEnd::Normal);
    EXPECT_EQ(r.skipped, (QVector<SkippedSpot>{{1, "Z1", "'not a date' is not a valid date and time"},
                                               {3, "Z1", "'' is not a valid floating point value"}}));
    EXPECT_EQ(r.rowCount, 2);
    EXPECT_EQ(r.bandColumns[14], QStringList{"K1JT"});
    EXPECT_EQ(r.bandColumns[6], QStringList{"G4ABC"});
    EXPECT_EQ(r.newestTime, utcClockText(kNow.addSecs(-60)));
    EXPECT_EQ(r.oldestTime, utcClockText(kNow.addSecs(-180)));
    EXPECT_TRUE(r.myCallLines.isEmpty()); // neither of the user's unreadable lines
}

TEST(FilterSpots, NothingToShow)
{
    Monitor m;
    FilterControls c = band("20");
    c.pageParsed = false;
    FilterResult r = m.run(page({{"A1"}}), c);
    EXPECT_EQ(r.end, FilterEnd::NotParsed);
    EXPECT_FALSE(r.finalStep());
    EXPECT_FALSE(r.changesGrid());

    c.pageParsed = true;
    r = m.run({}, c);
    EXPECT_EQ(r.end, FilterEnd::NoSpots);
    EXPECT_TRUE(r.finalStep());
    EXPECT_FALSE(r.changesGrid());
}
