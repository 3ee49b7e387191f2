#include "spots/AlertsHistory.h"
#include "spots/MyCallSpots.h"

#include "base/Identity.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

using namespace beamtide;

namespace {

QStringList row(const QString& time, const QString& call, const QString& km = "712")
{
    return {time, call, "14.097100", "-12", "0", "QF56", "37", "5", "VK3ABC", "QF22", km, "442", "al"};
}

QByteArray crlf(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toUtf8() + "\r\n";
    return bytes;
}

} // namespace

TEST(AlertsHistory, FileNames)
{
    Identity id;
    id.instance = 2;
    id.filePrefix = "SHACK#";
    id.folder = "/data";
    id.myCall = "VK2XYZ";
    EXPECT_EQ(AlertsHistory::filePath(id), "/data/SHACK#WSPR_Alerts2.txt");
    EXPECT_EQ(MyCallSpots::filePath(id), "/data/SHACK#VK2XYZ-spots.txt");
}

TEST(AlertsHistory, AlertLineFormAndRowLimit)
{
    test::TempFolder dir;
    AlertsHistory history(dir.file("alerts.txt"));
    const QStringList cells = row("2024-05-01 10:24", "VK2XYZ", "2345");
    EXPECT_EQ(AlertsHistory::alertLine(cells), "2024-05-01 10:24,VK2XYZ,14.097100,-12dBm,VK3ABC,2345Km. ");

    // With max lines 5, rows 1 to 4 are recorded and row 5 is not.
    EXPECT_FALSE(history.RecordAlertRow(5, cells, 5));
    EXPECT_EQ(history.size(), 0);
    EXPECT_TRUE(history.RecordAlertRow(4, cells, 5));
    for (int repaint = 0; repaint < 3; ++repaint)
        EXPECT_FALSE(history.RecordAlertRow(4, cells, 5));
    EXPECT_EQ(history.lines(), QStringList{AlertsHistory::alertLine(cells)});
}

TEST(AlertsHistory, SortedWithoutRegardToCaseAndWithoutDuplicates)
{
    test::TempFolder dir;
    AlertsHistory history(dir.file("alerts.txt"));
    const QStringList offered{
        "2024-05-01 10:24,VK2XYZ,14.097100,-12dBm,VK3ABC,712Km. ",
        "2024-05-01 09:00,zl1aa,14.097100,-12dBm,VK3ABC,712Km. ",
        "2024-05-01 09:00,ZL1AB,14.097100,-12dBm,VK3ABC,712Km. ",
        "2024-05-01 10:24,vk2xyz,14.097100,-12dBm,vk3abc,712Km. ", // same line, other case
        "2024-04-30 23:58,K1JT,7.040100,-3dBm,VK3ABC,16000Km. ",
        "2024-05-01 09:00,zl1aa,14.097100,-12dBm,VK3ABC,712Km. ", // exact duplicate
    };
    for (const QString& line : offered)
        history.record(line);
    EXPECT_EQ(history.lines(), (QStringList{offered[4], offered[1], offered[2], offered[0]}));
}

TEST(AlertsHistory, LineHeldInsideAnotherIsNotAdded)
{
    const QString alert = "2024-05-01 10:24,VK2XYZ,14.097100,-12dBm,VK3ABC,712Km. ";
    struct Case { const char* name; QString held; bool blocks; };
    const Case cases[] = {
        {"text after it", alert + "noted", true},
        {"text before it", "x" + alert, true},
        {"both, with commas", "a,b," + alert + ",c", true},
        {"other km", "2024-05-01 10:24,VK2XYZ,14.097100,-12dBm,VK3ABC,7120Km. ", false},
        {"other case is not held inside", "X2024-05-01 10:24,vk2xyz,14.097100,-12dBm,VK3ABC,712Km. ", false},
        {"a shorter line", "2024-05-01 10:24,VK2XYZ,", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempFolder dir;
        dir.write("alerts.txt", crlf({c.held}));
        AlertsHistory history(dir.file("alerts.txt"));
        history.load();
        ASSERT_EQ(history.size(), 1);
        EXPECT_EQ(history.record(alert), !c.blocks);
        EXPECT_EQ(history.lines().contains(alert), !c.blocks);
    }

    // Lines of another shape than the usual five commas still obey the same rule.
    test::TempFolder dir;
    AlertsHistory history(dir.file("alerts.txt"));
    EXPECT_TRUE(history.record("note: 2024-05-01 10:24 VK2XYZ heard"));
    EXPECT_FALSE(history.record("2024-05-01 10:24 VK2XYZ"));
    EXPECT_TRUE(history.record("2024-05-01 10:24,A,B"));
    EXPECT_FALSE(history.record("10:24,A,"));
    EXPECT_TRUE(history.record("2024-05-01 10:24,VK2XYZ,14.097100,-12dBm,VK3ABC,712Km. heard"));
    EXPECT_FALSE(history.record("10:24,VK2XYZ,14.097100,-12dBm,VK3ABC,712Km. "));
}

TEST(AlertsHistory, LoadSortsAndSavesFromOneLine)
{
    test::TempFolder dir;
    const QString b = "2024-05-01 10:24,VK2XYZ,14.097100,-12dBm,VK3ABC,712Km. ";
    const QString a = "2024-05-01 09:00,ZL1AA,14.097100,-12dBm,VK3ABC,712Km. ";
    dir.write("alerts.txt", crlf({b, a, b}));
    AlertsHistory history(dir.file("alerts.txt"));
    history.load();
    EXPECT_EQ(history.lines(), (QStringList{a, b}));
    // Nothing new: the file is left as it is until an alert is added.
    EXPECT_TRUE(history.saveIfChanged().ok);
    EXPECT_EQ(dir.read("alerts.txt"), crlf({b, a, b}));
    const QString c = "2024-05-01 11:00,K1JT,14.097100,-12dBm,VK3ABC,712Km. ";
    history.record(c);
    EXPECT_TRUE(history.saveIfChanged().ok);
    EXPECT_EQ(dir.read("alerts.txt"), crlf({a, b, c}));

    AlertsHistory missing(dir.file("none.txt"));
    missing.load();
    EXPECT_EQ(missing.size(), 0);
    EXPECT_TRUE(missing.saveIfChanged().ok);
    EXPECT_FALSE(dir.exists("none.txt"));
    EXPECT_TRUE(missing.save().ok); // the user asked to see it, even empty
    EXPECT_TRUE(dir.exists("none.txt"));

    AlertsHistory one(dir.file("one.txt"));
    one.record(a);
    EXPECT_TRUE(one.saveIfChanged().ok);
    EXPECT_EQ(dir.read("one.txt"), crlf({a}));
}

TEST(AlertsHistory, SaveFailureIsReportedAndTheListKept)
{
    test::TempFolder dir;
    AlertsHistory history(dir.file("no such folder/alerts.txt"));
    history.record("2024-05-01 09:00,ZL1AA,14.097100,-12dBm,VK3ABC,712Km. ");
    const SaveResult saved = history.saveIfChanged();
    EXPECT_FALSE(saved.ok);
    EXPECT_FALSE(saved.error.isEmpty());
    EXPECT_EQ(history.size(), 1);
}

// Lines dated more than a day ahead go too: one such line would otherwise stay the newest
// for good.
TEST(AlertsHistory, TrimKeepsTheLastWeekAndNoFarFuture)
{
    const QDateTime now(QDate(2024, 5, 20), QTime(12, 0), Qt::UTC);
    auto daysAgo = [&](int days, const char* call) -> QString {
        return now.addDays(-days).toString("yyyy-MM-dd HH:mm") + "," + call
            + ",14.097100,-12dBm,VK3ABC,712Km. ";
    };
    test::TempFolder dir;
    const QString hourAhead = now.addSecs(3600).toString("yyyy-MM-dd HH:mm") + ",F1,14.097100,-12dBm,VK3ABC,712Km. ";
    const QStringList lines{daysAgo(10, "A1"), daysAgo(8, "B1"), daysAgo(6, "C1"), daysAgo(1, "D1"),
                            hourAhead, daysAgo(-2, "G1"), "2099-12-31 23:59,H1,14.097100,-12dBm,VK3ABC,712Km. "};
    dir.write("alerts.txt", crlf(lines + QStringList{"hand-written note"}));
    AlertsHistory history(dir.file("alerts.txt"));
    history.load();
    EXPECT_TRUE(history.trim(now).ok);
    const QStringList kept{lines[2], lines[3], hourAhead, "hand-written note"};
    EXPECT_EQ(history.lines(), kept);
    EXPECT_EQ(dir.read("alerts.txt"), crlf(kept));

    // A trimmed line can come back: the index forgot it.
    EXPECT_TRUE(history.record(lines[0]));

    // A list of one old line is trimmed too, and the file rewritten.
    test::TempFolder single;
    single.write("alerts.txt", crlf({daysAgo(30, "E1")}));
    AlertsHistory one(single.file("alerts.txt"));
    one.load();
    EXPECT_TRUE(one.trim(now).ok);
    EXPECT_EQ(one.size(), 0);
    EXPECT_EQ(single.read("alerts.txt"), QByteArray());
}

TEST(MyCallSpots, PrefixRuleAndLineForms)
{
    struct Case { const char* call; bool mine; };
    const Case cases[] = {{"VK2XYZ", true}, {"VK2XYZ/P", true}, {"XVK2XYZ", false},
                          {"vk2xyz", false}, {"VK2XY", false}, {"", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        EXPECT_EQ(MyCallSpots::isMyCall(QString(c.call), u"VK2XYZ"), c.mine);
    }
    EXPECT_FALSE(MyCallSpots::isMyCall(u"VK2XYZ", u""));

    const QString line = "2024-05-01 10:24, VK2XYZ ,14.097100,-12,0,QF56,37,5.012,VK3ABC,QF22,712,442,";
    const QDateTime at(QDate(2024, 5, 1), QTime(10, 24), Qt::UTC);
    EXPECT_EQ(MyCallSpots::perBandLine(splitSpotLine(line, true), at.toMSecsSinceEpoch()),
              "2024-05-01 10:24,VK2XYZ,14.097100,-12,VK3ABC,QF22,712,2024-05-01 10:24:00");
    EXPECT_EQ(MyCallSpots::perBandLine(splitSpotLine(line, true),
                                       QDateTime(QDate(2024, 5, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch()),
              "2024-05-01 10:24,VK2XYZ,14.097100,-12,VK3ABC,QF22,712,2024-05-01");
    EXPECT_EQ(MyCallSpots::allBandsLine(splitSpotLine(line, false)),
              "2024-05-01 10:24, VK2XYZ ,14.097100,-12,VK3ABC,QF22,712,");

    test::TempFolder dir;
    MyCallSpots spots(dir.file("VK2XYZ-spots.txt"));
    EXPECT_TRUE(spots.add("b"));
    EXPECT_TRUE(spots.add("A"));
    EXPECT_FALSE(spots.add("a"));
    EXPECT_TRUE(spots.saveIfAny().ok);
    MyCallSpots again(dir.file("VK2XYZ-spots.txt"));
    again.load();
    EXPECT_EQ(again.lines(), (QStringList{"A", "b"}));
}
