#include "map/Geo.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace beamtide;

namespace {

double pathKm(const QVector<GeoPiece>& pieces)
{
    double km = 0;
    for (const GeoPiece& piece : pieces) {
        for (qsizetype i = 1; i < piece.size(); ++i)
            km += haversineKm(piece[i - 1], piece[i]);
    }
    return km;
}

QDateTime utc(const char* text)
{
    return QDateTime::fromString(QString::fromLatin1(text) + u'Z', Qt::ISODate);
}

} // namespace

TEST(Locator, CentresOfKnownSquares)
{
    struct Case
    {
        const char* name;
        const char* locator;
        double lat;
        double lon;
    };
    const Case cases[] = {
        {"New York area", "FN20", 40.5, -75.0},
        {"Berlin area", "JO62", 52.5, 13.0},
        {"Sydney area, southern and eastern", "QF56", -33.5, 151.0},
        {"field only", "JO", 55.0, 10.0},
        {"south-west corner of the world", "AA00aa", -90 + 1.25 / 60, -180 + 2.5 / 60},
        {"north-east corner of the world", "RR99XX", 90 - 1.25 / 60, 180 - 2.5 / 60},
        {"six characters", "JO31MB", 51.0625, 7.0 + 2.5 / 60},
        {"lower case is the same square", "jo31mb", 51.0625, 7.0 + 2.5 / 60},
        {"mixed case", "Fn20Xr", 40.0 + 42.5 / 60 + 1.25 / 60, -76.0 + 115.0 / 60 + 2.5 / 60},
        {"blanks around", " FN20 ", 40.5, -75.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<GeoPoint> p = locatorCentre(QString::fromLatin1(c.locator));
        ASSERT_TRUE(p.has_value());
        EXPECT_NEAR(p->lat, c.lat, 1e-9);
        EXPECT_NEAR(p->lon, c.lon, 1e-9);
    }
}

TEST(Locator, InvalidTextsHaveNoPosition)
{
    struct Case
    {
        const char* name;
        QString locator;
    };
    const Case cases[] = {
        {"empty (a reporter without a grid)", ""},
        {"blanks only", "   "},
        {"one character", "F"},
        {"three characters", "FN2"},
        {"five characters", "FN20x"},
        {"seven characters", "FN20xr1"},
        {"eight characters", "FN20xr12"},
        {"field letter past R", "SN20"},
        {"second field letter past R", "FZ20"},
        {"letter where a digit belongs", "FN2O"},
        {"digits where the field belongs", "12AB"},
        {"subsquare letter past X", "FN20yA"},
        {"digit in the subsquare", "FN2012"},
        {"blank inside", "FN 20"},
        {"not ASCII", QStringLiteral("FN2\u0660")},
        {"markup", "<b>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(locatorCentre(c.locator).has_value()) << qPrintable(c.locator);
    }
}

TEST(GreatCircle, PathLengthAgreesWithHaversineAndEndsAtBothPoints)
{
    struct Case
    {
        const char* name;
        GeoPoint a;
        GeoPoint b;
        int pieces;
    };
    const Case cases[] = {
        {"across the Atlantic", *locatorCentre(u"FN20"), *locatorCentre(u"JO62"), 1},
        {"Sydney to Seattle, over the date line", *locatorCentre(u"QF56"), *locatorCentre(u"CN87"), 2},
        {"Seattle to Sydney, the other way", *locatorCentre(u"CN87"), *locatorCentre(u"QF56"), 2},
        {"Tokyo to Hawaii", *locatorCentre(u"PM95"), *locatorCentre(u"BL11"), 2},
        {"a short path", *locatorCentre(u"JO31mb"), *locatorCentre(u"JO31mc"), 1},
        {"over the north pole", {60, 0}, {60, 180}, 1},
        {"along the equator", {0, -170}, {0, 170}, 2},
        {"antipodes", {10, 20}, {-10, -160}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QVector<GeoPiece> pieces = greatCirclePath(c.a, c.b);
        ASSERT_EQ(pieces.size(), c.pieces);
        const double expected = haversineKm(c.a, c.b);
        EXPECT_NEAR(pathKm(pieces), expected, expected * 0.005);
        EXPECT_NEAR(pieces.front().front().lat, c.a.lat, 1e-9);
        EXPECT_NEAR(pieces.front().front().lon, c.a.lon, 1e-9);
        EXPECT_NEAR(pieces.back().back().lat, c.b.lat, 1e-9);
        EXPECT_NEAR(pieces.back().back().lon, c.b.lon, 1e-9);
        for (qsizetype i = 0; i < pieces.size(); ++i) {
            const GeoPiece& piece = pieces[i];
            ASSERT_GE(piece.size(), 2);
            for (qsizetype k = 1; k < piece.size(); ++k) {
                // No step of a piece runs across the map; near a pole the longitude
                // swings fast, up to half the map's width at the pole itself.
                EXPECT_LE(std::abs(piece[k].lon - piece[k - 1].lon), 180.0);
                EXPECT_LE(haversineKm(piece[k - 1], piece[k]), 112.0);
            }
            if (i > 0) {
                // A cut: the same latitude on the two edges.
                const GeoPoint end = pieces[i - 1].back();
                const GeoPoint start = piece.front();
                EXPECT_EQ(std::abs(end.lon), 180.0);
                EXPECT_EQ(start.lon, -end.lon);
                EXPECT_NEAR(start.lat, end.lat, 1e-12);
            }
        }
    }
}

TEST(GreatCircle, SamePointIsOnePointTwice)
{
    const GeoPoint p = *locatorCentre(u"JO62");
    const QVector<GeoPiece> pieces = greatCirclePath(p, p);
    ASSERT_EQ(pieces.size(), 1);
    EXPECT_EQ(pieces[0], (GeoPiece{p, p}));
}

TEST(GreatCircle, HaversineKnownDistance)
{
    // FN20 to JO62 centres: about 6430 km.
    EXPECT_NEAR(haversineKm(*locatorCentre(u"FN20"), *locatorCentre(u"JO62")), 6430, 30);
    EXPECT_NEAR(haversineKm({0, 0}, {0, 180}), M_PI * kEarthRadiusKm, 1e-6);
}

TEST(Sun, SubSolarPointThroughTheYear)
{
    struct Case
    {
        const char* name;
        const char* time;
        double lat;
        double latTolerance;
        double lon;
        double lonTolerance;
    };
    const Case cases[] = {
        // At noon UTC the sun stands near Greenwich, off by the equation of time (< 4.5°).
        {"June solstice", "2024-06-20T20:51:00", 23.44, 0.05, -133.0, 4.5},
        {"June solstice noon", "2024-06-20T12:00:00", 23.44, 0.05, 0.0, 4.5},
        {"March equinox", "2024-03-20T03:06:00", 0.0, 0.05, 133.5, 4.5},
        {"September equinox", "2025-09-22T18:19:00", 0.0, 0.05, -95.0, 4.5},
        {"December solstice", "2025-12-21T15:03:00", -23.44, 0.05, -45.0, 4.5},
        {"midnight UTC, early November", "2024-11-03T00:00:00", -15.0, 0.5, 180.0, 5.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const GeoPoint sun = subSolarPoint(utc(c.time));
        EXPECT_NEAR(sun.lat, c.lat, c.latTolerance);
        double dLon = std::fmod(std::abs(sun.lon - c.lon), 360.0);
        dLon = std::min(dLon, 360.0 - dLon);
        EXPECT_LT(dLon, c.lonTolerance) << sun.lon;
        EXPECT_GE(sun.lon, -180.0);
        EXPECT_LT(sun.lon, 180.0);
    }
}

TEST(Sun, ElevationFromTheSubSolarPoint)
{
    const GeoPoint sun{23.44, -30};
    EXPECT_NEAR(sunElevation(sun, sun), 90.0, 1e-9);
    EXPECT_NEAR(sunElevation({-23.44, 150}, sun), -90.0, 1e-9);
    // A quarter of the way round: on the terminator.
    EXPECT_NEAR(sunElevation({0, 60}, {0, -30}), 0.0, 1e-9);
    EXPECT_NEAR(sunElevation({90, 0}, sun), 23.44, 1e-9); // the midnight sun
    EXPECT_LT(sunElevation({-90, 0}, sun), 0.0);          // the polar night
}
