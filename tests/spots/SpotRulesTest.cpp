#include "spots/AlertBand.h"
#include "base/DateFormats.h"
#include "spots/SpotRules.h"

#include <gtest/gtest.h>

using namespace beamtide;

namespace {

bool match(const char* spotted, const char* spotter, const char* logic, const char* call,
           const char* reporter)
{
    return callFilterMatch(callFilterText(QString(spotted)), callFilterText(QString(spotter)),
                           QString(logic), QString(call), QString(reporter));
}

} // namespace

TEST(CallFilter, RulesUnderEachLogic)
{
    struct Case { const char* name; const char* s; const char* r; const char* logic;
                  const char* call; const char* reporter; bool expected; };
    const Case cases[] = {
        {"AND needs both", "VK*", "VK*", "AND", "VK2XYZ", "VK3ABC", true},
        {"AND fails on reporter", "VK*", "VK*", "AND", "VK2XYZ", "ZL1AA", false},
        {"OR takes either", "VK*", "VK*", "OR", "ZL1AA", "VK3ABC", true},
        {"OR takes neither", "VK*", "VK*", "OR", "ZL1AA", "K1JT", false},
        {"no star is the same filter", "VK", "VK", "AND", "VK2XYZ", "VK3ABC", true},
        {"lone star is empty", "*", "*", "AND", "G4ABC", "K1JT", true},
        {"both empty", "", "", "other", "G4ABC", "K1JT", true},
        {"spotted empty, spotter list ZL", "", "ZL,VK", "AND", "G4ABC", "ZL1AA", true},
        {"spotted empty, spotter list VK", "", "ZL,VK", "OR", "G4ABC", "VK3ABC", true},
        {"spotted empty, spotter list miss", "", "ZL,VK", "AND", "VK2XYZ", "K1JT", false},
        {"spotted list, spotter empty", "ZL,VK", "", "OR", "VK2XYZ", "K1JT", true},
        {"list with the other filter set, AND", "VK,ZL", "K", "AND", "VK2XYZ", "K1JT", false},
        {"list with the other filter set, OR", "VK,ZL", "K", "OR", "G4ABC", "K1JT", true},
        {"list with the other filter set, OR, call only", "VK,ZL", "K", "OR", "VK2XYZ", "G4X", false},
        {"other logic, both set", "VK", "VK", "XOR", "VK2XYZ", "VK3ABC", false},
        {"other logic, spotted empty", "", "VK", "XOR", "G4ABC", "VK3ABC", true},
        {"sixth term counts", "A,B,C,D,E,F,G", "", "AND", "F1AA", "K1JT", true},
        {"seventh term ignored", "A,B,C,D,E,F,G", "", "AND", "G4ABC", "K1JT", false},
        {"terms are trimmed", " ZL , VK ", "", "AND", "VK2XYZ", "K1JT", true},
        {"empty term selects nothing", "ZL,,", "", "AND", "VK2XYZ", "K1JT", false},
        {"star ends the list", "VK*,ZL", "", "AND", "ZL1AA", "K1JT", false},
        {"star ends the list, VK kept", "VK*,ZL", "", "AND", "VK2XYZ", "K1JT", true},
        {"case-sensitive", "vk", "", "AND", "VK2XYZ", "K1JT", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(match(c.s, c.r, c.logic, c.call, c.reporter), c.expected);
    }
}

TEST(CallFilter, ExclusionListStopsAtFirstEmptyTerm)
{
    struct Case { const char* list; const char* call; bool excluded; };
    const Case cases[] = {
        {"VK4,ZL", "VK4TQ", true}, {"VK4,ZL", "ZL1AA", true},   {"VK4,ZL", "VK2XYZ", false},
        {"VK4,,ZL", "VK4TQ", true}, {"VK4,,ZL", "ZL1AA", false}, {"", "VK4TQ", false},
        {",VK4", "VK4TQ", false},  {" VK4 ", "VK4TQ", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString("%1 / %2").arg(c.list, c.call).toStdString());
        EXPECT_EQ(excludedCall(QString(c.list), QString(c.call)), c.excluded);
    }
}

TEST(BandColumnOf, BoundsAreExclusive)
{
    struct Case { double mhz; int column; };
    const Case cases[] = {
        {14.0971, 6}, {0.4756, 0}, {3.0, 0},   {29.5, 0},  {28.1261, 10}, {1.8366, 1},
        {3.5701, 2},  {5.2872, 3}, {7.0401, 4}, {10.1402, 5}, {18.1061, 7}, {21.0961, 8},
        {24.9261, 9}, {40.6631, 11}, {50.2945, 12}, {70.0912, 13}, {144.4905, 14},
        {222.0, 15},  {432.3005, 16}, {450.0, 0}, {14.5, 0}, {-1.0, 0}, {1296.5, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mhz);
        EXPECT_EQ(BandColumnOf(c.mhz), c.column);
    }
    EXPECT_EQ(allBandsHeaders().size(), 17);
    EXPECT_EQ(allBandsHeaders()[6], "20");
}

TEST(SpotRules, WattsReformat)
{
    struct Case { const char* in; const char* out; };
    const Case cases[] = {
        {"5.012", "5"}, {"1.5", "2"}, {"1.0", "1"}, {"1", "1"}, {"0.2", "0.2"},
        {"0.005", "0"}, {"0.29", "0.29"}, {"0.567", "0.56"}, {"0", "0"}, {"200", "200"},
        {"2.5", "3"}, {"-0.257", "-0.25"}, {"0.01", "0.01"}, {"1e3", "1000"}, {".5", "0.5"},
        {"5.", "5"}, {"0.10", "0.1"}, {"1234567.89", "1234568"}, {"+0.75", "0.75"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        ASSERT_TRUE(reformatWatts(QString(c.in)).has_value());
        EXPECT_EQ(*reformatWatts(QString(c.in)), c.out);
    }
    for (const char* bad : {"", "abc", "5,0", "nan", "inf"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(reformatWatts(QString(bad)).has_value());
    }
}

TEST(SpotRules, QuickDecimalReadingAgreesWithTheGeneralOne)
{
    for (const char* text : {"14.097100", "0.475700", "144.490500", "7.0401", "-12", "+3",
                             "0.1", "0.3", "123456789012345", "1234567890123456", "1.5e2", "0x10",
                             "1.2.3", "-", ".", "", " 5", "5 "}) {
        SCOPED_TRACE(text);
        bool ok = false;
        const double general = QString(text).toDouble(&ok);
        const std::optional<double> quick = readDecimal(QString(text));
        ASSERT_EQ(quick.has_value(), ok);
        if (quick) {
            EXPECT_EQ(*quick, general);
        }
    }
}

TEST(SpotRules, QuickDateTextAgreesWithTheGeneralOne)
{
    const QDateTime times[] = {
        QDateTime(QDate(2024, 5, 1), QTime(10, 24), Qt::UTC),
        QDateTime(QDate(2024, 5, 1), QTime(0, 0), Qt::UTC),
        QDateTime(QDate(2024, 5, 1), QTime(0, 0, 1), Qt::UTC),
        QDateTime(QDate(1969, 12, 31), QTime(23, 59, 59), Qt::UTC),
        QDateTime(QDate(1899, 12, 30), QTime(6, 0), Qt::UTC),
        QDateTime(QDate(999, 1, 1), QTime(6, 0), Qt::UTC),
    };
    for (const QDateTime& t : times) {
        SCOPED_TRACE(t.toString(Qt::ISODate).toStdString());
        EXPECT_EQ(dateTimeTextOf(t.toMSecsSinceEpoch()), dateTimeText(t));
    }
}

TEST(SpotRules, SpotTimePlacesOfDashAndColon)
{
    const QDateTime longAgo(QDate(2000, 1, 1), QTime(0, 1), Qt::UTC);
    struct Case { const char* name; const char* text; QDateTime expected; bool readable; };
    const Case cases[] = {
        {"usual", "2024-05-01 10:24", QDateTime(QDate(2024, 5, 1), QTime(10, 24), Qt::UTC), true},
        {"with seconds", "2024-05-01 10:24:30",
         QDateTime(QDate(2024, 5, 1), QTime(10, 24, 30), Qt::UTC), true},
        {"no dash", "20240501 10:24", longAgo, true},
        {"dash second", "2-05-01 10:24", longAgo, true},
        {"no colon", "2024-05-01 1024", longAgo, true},
        {"colon too early", "2024-5:01 10:24", longAgo, true},
        {"short year read as written", "24-05-01 10:24",
         QDateTime(QDate(24, 5, 1), QTime(10, 24), Qt::UTC), true},
        {"empty", "", longAgo, true},
        {"well placed, unreadable", "2024-13-01 10:24", {}, false},
        {"well placed, letters", "2024-05-xx 10:24", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto at = spotTime(QString(c.text));
        ASSERT_EQ(at.has_value(), c.readable);
        if (c.readable) {
            EXPECT_EQ(*at, c.expected.toMSecsSinceEpoch());
        }
    }
}

TEST(SpotRules, QuickDateReadingAgreesWithTheGeneralOne)
{
    for (const char* text : {"2024-05-01 10:24", "2024-05-01 10:24:59", " 2024-05-01 10:24 ",
                             "2024-02-29 00:00", "2023-02-29 10:00", "2024-05-01 24:00",
                             "2024-05-01 10:60", "2024-05-01 10:24:60", "2024-05-01 9:05",
                             "2024-5-1 10:24", "2024-05-01", "2024-05-01 10", "1969-12-31 23:59",
                             "2024-05-01T10:24", "", "yyyy-mm-dd hh:mm"}) {
        SCOPED_TRACE(text);
        const QDateTime general = readDateTime(QString(text));
        const std::optional<qint64> quick = readUtcMSecs(QString(text));
        ASSERT_EQ(quick.has_value(), general.isValid());
        if (quick) {
            EXPECT_EQ(*quick, general.toMSecsSinceEpoch());
        }
    }
}

TEST(SpotRules, TagPrecedence)
{
    constexpr int sh = int(SpotFlag::SignalHigh), md = int(SpotFlag::BeyondMinimum),
                  bd = int(SpotFlag::BetweenDistances), al = int(SpotFlag::Alert);
    struct Case { const char* name; int flags; const char* myCall; const char* call; int km;
                  const char* tag; };
    const Case cases[] = {
        {"none", 0, "", "VK2XYZ", 712, ""},
        {"sh", sh, "", "VK2XYZ", 712, "sh"},
        {"md over sh", sh | md, "", "VK2XYZ", 712, "md"},
        {"bd over sh", sh | bd, "", "VK2XYZ", 712, "bd"},
        {"al", sh | bd | al, "", "VK2XYZ", 712, "al"},
        {"mc over bd", bd, "VK2XYZ", "vk2xyz", 712, "mc :VK2XYZ vk2xyz"},
        {"mc needs the whole call", 0, "VK2XY", "VK2XYZ", 712, ""},
        {"al over mc", sh | bd | al, "VK2XYZ", "VK2XYZ", 712, "al"},
        {"ld over mc", 0, "VK2XYZ", "VK2XYZ", 2500, "ld: 2500 2000"},
        {"ld at the distance", sh, "", "VK2XYZ", 2000, "ld: 2000 2000"},
        {"al over ld", sh | bd | al, "", "VK2XYZ", 9000, "al"},
        {"no MyCall, empty call", 0, "", "", 10, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(classificationTag(c.flags, QString(c.myCall), QString(c.call),
                                    QString::number(c.km), c.km, 2000),
                  c.tag);
    }
}

TEST(AlertBand, BandTextInTheVhfList)
{
    struct Case { const char* band; bool perBand; bool expected; };
    const Case cases[] = {
        {"6", true, true},     {"4", true, true},    {"2", true, true},  {"432", true, true},
        {"43", true, true},    {"20", true, false},  {"220", true, false}, {"u", true, false},
        {"", true, false},     {"All", true, false}, {"MyCall", true, false},
        {"6", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.band);
        EXPECT_EQ(alertBandTest(QString(c.band), c.perBand), c.expected);
    }
}

TEST(SpotRules, FieldsAndAlertTextLine)
{
    const QString line = " 2024-05-01 10:24 , VK2XYZ,14.097100,-12,0,QF56,37,5.012,VK3ABC,QF22,712,442,WSPR-2,,";
    const SpotFields trimmed = splitSpotLine(line, true);
    EXPECT_EQ(trimmed[0], u"2024-05-01 10:24");
    EXPECT_EQ(trimmed[11], u"442");
    EXPECT_EQ(alertTextLine(trimmed), "2024-05-01 10:24,VK2XYZ,14.097100,-12,VK3ABC,QF22,712,");
    EXPECT_EQ(splitSpotLine(line, false)[1], u" VK2XYZ");

    const SpotFields shortLine = splitSpotLine(u"a,b", true);
    EXPECT_EQ(shortLine[1], u"b");
    EXPECT_TRUE(shortLine[2].isEmpty());
    EXPECT_TRUE(shortLine[11].isEmpty());
}
