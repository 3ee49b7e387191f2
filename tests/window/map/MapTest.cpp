// The map panel over the grid, on the offscreen platform: a page from the local server goes
// through the parser and the filter pass into the grid, and the map draws what the grid shows.
#include "base/Clock.h"
#include "base/TextFile.h"
#include "net/HttpClient.h"
#include "retrieval/SpotParser.h"
#include "spots/AlertsHistory.h"
#include "spots/AllBandsTable.h"
#include "spots/FilterSpots.h"
#include "spots/MyCallSpots.h"
#include "window/grid/SpotGrid.h"
#include "window/grid/SpotGridModel.h"
#include "window/map/MapPanel.h"
#include "window/map/SpotMap.h"

#include "EarthImage.h"
#include "HttpFixture.h"
#include "PageMaker.h"
#include "TempFolder.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>

using namespace beamtide;

namespace {

const QDateTime kNow(QDate(2024, 6, 20), QTime(12, 0), Qt::UTC);

struct Row
{
    const char* call;
    const char* grid;
    const char* reporter;
    const char* rgrid;
    const char* km;
    const char* snr;
};

// On band 6 with the distance window at 500 to 10000 km and the signal threshold at -10 dB:
// alerts and between-distances rows, one of them over the date line, one with lower-case
// locators, and three whose reporter locator cannot be read.
const Row kRows[] = {
    {"G4ABC", "JO01", "DL1XYZ", "JO62", "1000", "-5"},    // al
    {"F5AAA", "JN18", "EA4BBB", "IN80", "1050", "-20"},   // bd
    {"VK2XYZ", "QF56", "W7ZZZ", "CN87", "9000", "-5"},    // al, over the date line
    {"K1ABC", "fn42", "G3XYZ", "io91wm", "5200", "-25"},  // ld: past the far alert distance
    {"LA9AAA", "JP50", "OH1AA", "", "800", "-12"},         // no reporter locator
    {"OH2BBB", "KP20", "SM5CC", "JO6", "900", "-12"},      // short
    {"PA3CCC", "JO22", "ON4DD", "ZZ99", "600", "-12"},     // letters out of range
};

// The grid's default looks: alerts white bold, between distances blue bold, far spots
// black bold.
struct Expected
{
    int row;
    quint32 rgb;
    bool bold;
    int pieces;
};
const Expected kPaths[] = {
    {1, 0xFFFFFF, true, 1},
    {2, 0x0000FF, true, 1},
    {3, 0xFFFFFF, true, 2},
    {4, 0x000000, true, 1},
};

QByteArray page()
{
    std::vector<test::PageSpot> spots;
    for (const Row& r : kRows) {
        test::PageSpot s;
        s.time = kNow.addSecs(-120).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        s.mhz = QStringLiteral("50.294500");
        s.call = QString::fromLatin1(r.call);
        s.grid = QString::fromLatin1(r.grid);
        s.reporter = QString::fromLatin1(r.reporter);
        s.rgrid = QString::fromLatin1(r.rgrid);
        s.km = QString::fromLatin1(r.km);
        s.snr = QString::fromLatin1(r.snr);
        spots.push_back(s);
    }
    return test::reportPage(spots).toUtf8();
}

FilterControls bandSix()
{
    FilterControls c;
    c.bandText = QStringLiteral("6");
    c.fetchedBand = c.bandText;
    c.spottedFilter.clear();
    c.spotterFilter.clear();
    c.distanceControlsShown = true;
    c.distanceWindow = true;
    c.distanceScale = 100;
    c.minDistancePosition = 5;   // 500 km
    c.maxDistancePosition = 100; // 10000 km
    c.snrAlert = true;
    c.snrPosition = 20; // -10 dB
    c.maxLines = 100;
    return c;
}

// The colour a pixel near p comes closest to expected by, over a small square.
int nearestColourDistance(const QImage& image, const QPointF& p, quint32 expected)
{
    const QColor want = QColor::fromRgb(expected);
    int best = 1 << 30;
    for (int dy = -2; dy <= 2; ++dy) {
        for (int dx = -2; dx <= 2; ++dx) {
            const QPoint at(int(std::lround(p.x())) + dx, int(std::lround(p.y())) + dy);
            if (!image.rect().contains(at))
                continue;
            const QColor got = image.pixelColor(at);
            best = std::min(best, std::abs(got.red() - want.red()) + std::abs(got.green() - want.green())
                                      + std::abs(got.blue() - want.blue()));
        }
    }
    return best;
}

// A point on the path halfway along its first piece, in widget pixels.
QPointF middleOf(SpotMap& map, const MapPath& path)
{
    const QPolygonF& piece = path.pieces.front();
    const QPointF world = piece[piece.size() / 2];
    return map.toWidget({-world.y(), world.x()});
}

const QColor kEarthColour(40, 110, 50);

class MapTest : public ::testing::Test
{
protected:
    MapTest()
    {
        server.setBody(QStringLiteral("/olddb.php"), page());
        grid.setBandSource([] { return QStringLiteral("6"); });
        grid.setColourSource([this] { return colours; });
        panel.setMaxLinesSource([this] { return maxLines; });
        panel.resize(900, 520);
    }

    // The page from the local server, parsed and filtered into the grid as the window does.
    void filterPass()
    {
        HttpClient client;
        const HttpResult answer = client.get(server.baseUrl() + QStringLiteral("/olddb.php"));
        ASSERT_TRUE(answer.ok) << qPrintable(answer.error);
        QStringList spots;
        ASSERT_TRUE(ParseSpotPage(answer.body, spots).completed);
        AllBandsTable table;
        AlertsHistory alerts(folder.file("WSPR_Alerts1.txt"));
        MyCallSpots mine(folder.file("mine.txt"));
        const FilterResult result = FilterSpots(spots, bandSix(), clock, table, alerts, mine);
        ASSERT_EQ(result.rows.size(), qsizetype(std::size(kRows)));
        grid.model().setPerBandRows(result.rows);
        grid.model().setRowCount(result.rowCount);
    }

    test::HttpFixture server;
    test::TempFolder folder;
    const QString earthImage = test::writeEarthImage(folder, kEarthColour);
    ManualClock clock{kNow};
    GridColours colours = GridColours::defaults();
    int maxLines = 100;
    QTableView view;
    SpotGrid grid{view};
    MapPanel panel{grid, clock, earthImage};
    SpotMap& map = panel.map();
};

} // namespace

TEST_F(MapTest, OnePathPerRowWithALocatorPairInTheRowsColour)
{
    filterPass();
    panel.show();
    const QVector<MapPath> paths = map.paths();
    ASSERT_EQ(paths.size(), qsizetype(std::size(kPaths)));
    EXPECT_EQ(map.rowsWithoutPath(), 3);
    EXPECT_TRUE(panel.statusText().startsWith(u"4 paths, 3 without a readable locator pair"))
        << qPrintable(panel.statusText());
    EXPECT_FALSE(panel.statusText().contains(u"No Earth image")) << qPrintable(panel.statusText());

    const QImage shot = map.grab().toImage();
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const MapPath& path = paths[i];
        const Expected& expected = kPaths[i];
        SCOPED_TRACE(path.call.toStdString());
        EXPECT_EQ(path.row, expected.row);
        EXPECT_EQ(path.call, QString::fromLatin1(kRows[expected.row - 1].call));
        EXPECT_EQ(path.pieces.size(), expected.pieces);
        // The look is the grid's own for that row.
        ASSERT_TRUE(path.look.text.has_value());
        EXPECT_EQ(*path.look.text, expected.rgb);
        EXPECT_EQ(path.look.bold, expected.bold);
        EXPECT_LE(nearestColourDistance(shot, middleOf(map, path), *path.look.text), 24);
    }
    // Lower case locators are the same squares as upper case ones.
    EXPECT_EQ(paths[3].from, *locatorCentre(u"FN42"));
    EXPECT_EQ(paths[3].to, *locatorCentre(u"IO91WM"));
}

TEST_F(MapTest, AClickOnAPathSelectsItsRowAndHoverNamesIt)
{
    filterPass();
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    const QVector<MapPath> paths = map.paths();
    for (const MapPath& path : paths) {
        SCOPED_TRACE(path.call.toStdString());
        const QPoint at = middleOf(map, path).toPoint();
        QTest::mouseClick(&map, Qt::LeftButton, {}, at);
        EXPECT_EQ(view.currentIndex().row(), path.row);
        const QString tip = map.toolTipAt(at);
        const Row& row = kRows[path.row - 1];
        for (const char* part : {row.call, row.reporter, row.km, row.snr})
            EXPECT_TRUE(tip.contains(QString::fromLatin1(part))) << qPrintable(tip);
    }
    // Away from every path: nothing is selected anew and there is no tooltip.
    view.setCurrentIndex(grid.model().index(0, 0));
    const QPoint nowhere = map.toWidget({-70, -100}).toPoint();
    QTest::mouseClick(&map, Qt::LeftButton, {}, nowhere);
    EXPECT_EQ(view.currentIndex().row(), 0);
    EXPECT_TRUE(map.toolTipAt(nowhere).isEmpty());
}

TEST_F(MapTest, FollowsTheLinesSettingAndTheAllBandsView)
{
    maxLines = 2;
    filterPass();
    EXPECT_EQ(map.paths().size(), 2);
    EXPECT_EQ(map.rowsWithoutPath(), 0);

    // A refresh empties the grid to its header row: no paths are left.
    grid.model().setRowCount(1);
    EXPECT_TRUE(map.paths().isEmpty());

    grid.setAllBandsLayout();
    EXPECT_TRUE(map.paths().isEmpty());
    EXPECT_FALSE(map.notice().isEmpty());
    EXPECT_EQ(panel.statusText(), map.notice());
}

TEST_F(MapTest, GeometryIsWorkedOutOncePerPassNotPerPaint)
{
    QSignalSpy rebuilt(&map, &SpotMap::pathsChanged);
    panel.show();
    filterPass();
    for (int i = 0; i < 3; ++i)
        map.grab();
    EXPECT_EQ(rebuilt.size(), 1);
    filterPass();
    map.grab();
    map.grab();
    EXPECT_EQ(rebuilt.size(), 2);

    // A colour changed in the setup panel shows at the next paint, without a pass.
    colours.classes[size_t(TextClass::Alerts)].colour = QStringLiteral("Yellow");
    map.grab();
    EXPECT_EQ(*map.paths()[0].look.text, 0xFFFF00u);
    EXPECT_EQ(rebuilt.size(), 2);
}

TEST_F(MapTest, WheelZoomsAboutThePointerDragPansDoubleClickResets)
{
    filterPass();
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    const GeoPoint berlin = *locatorCentre(u"JO62");
    const QPointF under = map.toWidget(berlin);

    QWheelEvent wheel(under, map.mapToGlobal(under), {}, QPoint(0, 240), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&map, &wheel);
    EXPECT_NEAR(map.zoom(), 1.5625, 1e-9);
    const QPointF after = map.toWidget(berlin);
    EXPECT_NEAR(after.x(), under.x(), 0.5);
    EXPECT_NEAR(after.y(), under.y(), 0.5);

    const QPointF centre = map.viewCentre();
    QTest::mousePress(&map, Qt::LeftButton, {}, QPoint(400, 200));
    QTest::mouseMove(&map, QPoint(440, 220));
    QTest::mouseRelease(&map, Qt::LeftButton, {}, QPoint(440, 220));
    EXPECT_NE(map.viewCentre(), centre);

    QTest::mouseDClick(&map, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(map.zoom(), 1.0);
    EXPECT_EQ(map.viewCentre(), QPointF());

    // Zoomed out past the whole Earth is not possible.
    QWheelEvent out(under, map.mapToGlobal(under), {}, QPoint(0, -600), Qt::NoButton, {},
                    Qt::NoScrollPhase, false);
    QApplication::sendEvent(&map, &out);
    EXPECT_EQ(map.zoom(), 1.0);
}

TEST_F(MapTest, TheEarthImageIsHeldOnlyWhileTheMapIsShown)
{
    filterPass();
    EXPECT_FALSE(map.hasEarthImage()) << "read before the map was ever shown";
    panel.show();
    ASSERT_TRUE(map.hasEarthImage());
    EXPECT_FALSE(map.earthImageMissing());
    // The image is what is drawn where the sun is up.
    const QImage shot = map.grab().toImage();
    const QColor day = shot.pixelColor(map.toWidget({15, 15}).toPoint());
    EXPECT_LE(std::abs(day.green() - kEarthColour.green()) + std::abs(day.red() - kEarthColour.red()), 12)
        << qPrintable(day.name());

    panel.hide();
    EXPECT_FALSE(map.hasEarthImage()) << "kept after the map was closed";
    EXPECT_EQ(map.paths().size(), 4) << "the paths stay with the rows";
    panel.show();
    EXPECT_TRUE(map.hasEarthImage());
}

TEST_F(MapTest, NightSideOfTheMinuteAndAPlainEarthWithoutTheImage)
{
    const QString missing = folder.file(QStringLiteral("no-such-earth.jpg"));
    map.setEarthImage(missing);
    panel.show();
    EXPECT_FALSE(map.hasEarthImage());
    EXPECT_TRUE(map.earthImageMissing());
    EXPECT_TRUE(panel.statusText().endsWith(
        QStringLiteral(" (No Earth image: %1 cannot be read.)").arg(QDir::toNativeSeparators(missing))))
        << qPrintable(panel.statusText());

    // Noon UTC at the June solstice: day over Africa, night over the Pacific.
    const auto brightness = [&](const QImage& image, GeoPoint p) {
        return qGray(image.pixel(map.toWidget(p).toPoint()));
    };
    QImage shot = map.grab().toImage();
    EXPECT_EQ(map.nightMinute(), kNow);
    const int day = brightness(shot, {15, 15});
    const int night = brightness(shot, {15, -165});
    EXPECT_GT(day, 0);
    EXPECT_LT(night, day * 2 / 3);
    // The plain Earth is the flat colour where the sun is up.
    EXPECT_EQ(shot.pixelColor(map.toWidget({15, 15}).toPoint()), QColor(38, 62, 92));

    // Twelve hours on, the other way round.
    clock.setUtc(kNow.addSecs(12 * 3600));
    shot = map.grab().toImage();
    EXPECT_EQ(map.nightMinute(), kNow.addSecs(12 * 3600));
    EXPECT_LT(brightness(shot, {15, 15}), brightness(shot, {15, -165}) * 2 / 3);
}
