#include "retrieval/FetchRules.h"

#include "base/Identity.h"

#include <gtest/gtest.h>

using namespace beamtide;

namespace {
QDateTime local(int day, int h, int m, int s, int ms = 0)
{
    return QDateTime(QDate(2024, 5, day), QTime(h, m, s, ms));
}
} // namespace

TEST(FetchRules, SpotQueryAddresses)
{
    struct Case
    {
        const char* name;
        const char* band;
        bool sortByKm;
        bool historical;
        const char* call;
        const char* expected;
    };
    const Case cases[] = {
        {"All ignores Sort by KM and Historical", "All", true, true, "", "/olddb.php?mode=html&limit=1000"},
        {"band sorted by distance", "20", true, false, "", "/olddb.php?mode=html&band=20&sort=distance&limit=1000"},
        {"band historical", "40", false, true, "", "/olddb.php?mode=html&band=40&limit=5000"},
        {"band plain", "2200", false, false, "", "/olddb.php?mode=html&band=2200&limit=1000"},
        {"MyCall historical, no sort", "MyCall", true, true, "G4ABC",
         "/olddb?mode=html&band=all&limit=5000&findcall=G4ABC&findreporter=&sort=date"},
        {"MyCall", "MyCall", false, false, "G4ABC",
         "/olddb?mode=html&band=all&limit=1000&findcall=G4ABC&findreporter=&sort=date"},
        {"MyCall portable call", "MyCall", false, false, "VK2/G4ABC",
         "/olddb?mode=html&band=all&limit=1000&findcall=VK2%2FG4ABC&findreporter=&sort=date"},
        {"MyCall cannot add parameters", "MyCall", false, false, "A B&limit=9#",
         "/olddb?mode=html&band=all&limit=1000&findcall=A%20B%26limit%3D9%23&findreporter=&sort=date"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SpotQueryPath(QString::fromLatin1(c.band), c.sortByKm, c.historical,
                                QString::fromLatin1(c.call)),
                  QString::fromLatin1(c.expected));
    }
}

TEST(FetchRules, ActivityResultAndThreshold)
{
    const std::pair<int, int> cases[] = {{0, -1}, {1, 0}, {2, 1}, {3, 2}, {201, 200}, {202, 201}};
    for (const auto& [lines, result] : cases) {
        SCOPED_TRACE(lines);
        EXPECT_EQ(ActivityResult(lines), result);
    }
    EXPECT_FALSE(ActivityResult(201) > kActivityThreshold);
    EXPECT_TRUE(ActivityResult(202) > kActivityThreshold);
}

TEST(FetchRules, AddressGateAndLabel)
{
    EXPECT_FALSE(AddressGateOpen(QString()));
    EXPECT_FALSE(AddressGateOpen(QStringLiteral("127.0.0.1")));
    EXPECT_TRUE(AddressGateOpen(QStringLiteral("203.0.113.9")));
    EXPECT_EQ(AddressLabel(QStringLiteral("203.0.113.9"), true), QStringLiteral("IP: 203.0.113.9"));
    EXPECT_EQ(AddressLabel(QString(), true), QStringLiteral("IP: "));
    EXPECT_EQ(AddressLabel(QStringLiteral("203.0.113.9"), false),
              QStringLiteral("IP: vvv.www.xxx.yyy"));
    EXPECT_EQ(indicatorRgb(Indicator::Lime), 0x00FF00u);
    EXPECT_EQ(indicatorRgb(Indicator::DarkGreen), 0x008000u);
    EXPECT_EQ(indicatorRgb(Indicator::Red), 0xFF0000u);
}

TEST(FetchRules, FileNamesCarryPrefixAndNumberWhereTheyShould)
{
    Identity id;
    id.instance = 2;
    id.filePrefix = QStringLiteral("SHACK#");
    id.myCall = QStringLiteral("G4ABC");
    id.folder = QStringLiteral("/data");
    EXPECT_EQ(ActivityFile(id), QStringLiteral("/data/Activity2.htm"));
    EXPECT_EQ(SpotPageFile(id), QStringLiteral("/data/SHACK#WSPRRep2.txt"));
    EXPECT_EQ(SpotPageCopyFile(id), QStringLiteral("/data/WSPRRep2.htm"));
    EXPECT_EQ(SpotListFile(id), QStringLiteral("/data/SHACK#WSPRRep2.csv"));
    EXPECT_EQ(MyCallSpotsFile(id), QStringLiteral("/data/SHACK#G4ABC-spots.txt"));
}

TEST(FetchRules, ScheduleByInstance)
{
    struct Case
    {
        const char* name;
        QDateTime now;
        int interval;
        int instance;
        QDateTime next;
        int instanceAfter;
    };
    const Case cases[] = {
        {"0 is unaligned", local(1, 10, 3, 17, 250), 5, 0, local(1, 10, 8, 17, 250), 0},
        {"1 rounds down", local(1, 10, 3, 17), 5, 1, local(1, 10, 8, 0), 1},
        {"1 rounds up", local(1, 10, 3, 30, 1), 5, 1, local(1, 10, 9, 0), 1},
        {"1 half to even, stays", local(1, 10, 3, 30), 5, 1, local(1, 10, 8, 0), 1},
        {"1 half to even, goes up", local(1, 10, 4, 30), 5, 1, local(1, 10, 10, 0), 1},
        {"2 staggers 20.4 s", local(1, 10, 3, 17), 5, 2, local(1, 10, 8, 20, 400), 2},
        {"3 staggers 40.2 s", local(1, 10, 3, 40), 10, 3, local(1, 10, 14, 40, 200), 3},
        {"4 waits six hours as 0", local(1, 10, 3, 17), 5, 4, local(1, 16, 3, 17), 0},
        {"9 waits six hours as 0", local(1, 20, 0, 0), 120, 9, local(2, 2, 0, 0), 0},
        {"over midnight", local(1, 23, 57, 40), 5, 1, local(2, 0, 3, 0), 1},
        {"two hours", local(1, 10, 0, 29), 120, 2, local(1, 12, 0, 20, 400), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Schedule s = ScheduleNextUpdate(c.now, c.interval, c.instance);
        EXPECT_EQ(s.lastRetrieval, c.now);
        EXPECT_EQ(s.nextUpdate, c.next) << s.nextUpdate.toString(Qt::ISODateWithMs).toStdString();
        EXPECT_EQ(s.instance, c.instanceAfter);
    }
}
