// The real window on a real display (the X server the test run provides), against a local
// HTTP server: it starts as the program does, shows its spots, and leaves a screenshot
// under the build folder for a person to look at.
#include "base/Clock.h"
#include "base/Identity.h"
#include "map/Geo.h"
#include "settings/SettingsStore.h"
#include "window/Controller.h"
#include "window/grid/SpotGrid.h"
#include "window/grid/SpotGridModel.h"
#include "window/main/MainWindow.h"
#include "window/main/Prompt.h"
#include "window/map/MapPanel.h"
#include "window/map/SpotMap.h"

#include "HttpFixture.h"
#include "LocalServices.h"
#include "PageMaker.h"
#include "QuietOpeners.h"
#include "TempFolder.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QApplication>
#include <QGuiApplication>
#include <QHostAddress>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <memory>

using namespace beamtide;

namespace {

// Runs before main builds the application: the run's offscreen default would hide exactly
// what this test is for, so on a display the display's own platform is used.
const bool kOnDisplay = [] {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}();

// Spots stamped in the last minutes, so every time rule keeps them.
std::vector<test::PageSpot> freshSpots(int n)
{
    auto spots = test::assortedSpots(n);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < n; ++i) {
        spots[size_t(i)].time = now.addSecs(-120 * (i / 4)).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        spots[size_t(i)].mhz = QStringLiteral("14.097100");
    }
    return spots;
}

// A band 6 opening over Europe with a few paths across the Atlantic, spotted in the last
// minutes; the distances are those between the locators. The last reporter sent no locator.
std::vector<test::PageSpot> sixMetreOpening()
{
    struct Station
    {
        const char* call;
        const char* grid;
    };
    const Station senders[] = {{"G4ABC", "IO91wm"}, {"EA4BBB", "IN80do"}, {"I2CCC", "JN45on"},
                               {"SV1DDD", "KM18ux"}, {"OH2EEE", "KP20le"}, {"W1FFF", "FN42hn"},
                               {"CT1GGG", "IM58kr"}, {"DL1HHH", "JO62qm"}};
    const Station reporters[] = {{"F5AAA", "JN18du"}, {"LA9BBB", "JO59jx"}, {"YO3CCC", "KN34bk"},
                                 {"EI7DDD", "IO51ut"}, {"9H1EEE", "JM75fv"}, {"VE1FFF", "FN74"},
                                 {"SP9GGG", "KO00"}, {"OZ1HHH", "JO65"}, {"4X1III", "KM72"}};
    const QDateTime now = QDateTime::currentDateTimeUtc();
    std::vector<test::PageSpot> spots;
    for (int i = 0; i < 40; ++i) {
        const Station& tx = senders[i % 8];
        const Station& rx = reporters[(i * 5 + i / 8) % 9];
        test::PageSpot s;
        s.time = now.addSecs(-60 * (i / 3)).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        s.mhz = QStringLiteral("50.294500");
        s.call = QString::fromLatin1(tx.call);
        s.grid = QString::fromLatin1(tx.grid);
        s.reporter = QString::fromLatin1(rx.call);
        s.rgrid = QString::fromLatin1(rx.grid);
        s.snr = QString::number(-27 + (i * 7) % 30);
        const int km = int(haversineKm(*locatorCentre(s.grid), *locatorCentre(s.rgrid)));
        s.km = QString::number(km);
        s.miles = QString::number(km * 621 / 1000);
        spots.push_back(s);
    }
    spots.back().rgrid.clear();
    return spots;
}

// Distinct colours over a grid of sample points: a blank or single-colour capture has one
// or two, a drawn window dozens.
int sampledColours(const QImage& image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            colours.insert(image.pixel(x, y));
    return int(colours.size());
}

// One copy on the display, started as the program starts, against a local server that
// serves the given spots.
struct OnScreen
{
    explicit OnScreen(const std::vector<test::PageSpot>& spots)
    {
        server.setBody(QStringLiteral("/drupal/wsprnet/activity"), test::linesPage(250));
        server.setBody(QStringLiteral("/"), "203.0.113.7");
        server.setBody(kSpotsPath, test::reportPage(spots).toUtf8());
        identity.commandLine = commandLineText({QStringLiteral("/20")});
        identity.instance = 1;
        identity.folder = folder.path();
        controller = std::make_unique<Controller>(
            window, identity, clock,
            test::localServices(server.baseUrl(), folder.file(QStringLiteral("settings.ini")), openers));
        controller->prompt().setSink(&prompts);
        window.show();
    }

    ~OnScreen() { controller->timer().stop(); }

    QStringList spotQueries() const
    {
        QStringList queries;
        for (const test::RecordedRequest& r : server.requests())
            if (r.path == kSpotsPath)
                queries << r.query;
        return queries;
    }

    static inline const QString kSpotsPath = QStringLiteral("/olddb.php");
    test::TempFolder folder;
    test::HttpFixture server;
    Identity identity;
    SystemClock clock;
    test::QuietOpeners openers;
    PromptRecorder prompts;
    MainWindow window;
    std::unique_ptr<Controller> controller;
};

} // namespace

TEST(RealWindowTest, ShowsTheSpotsOnScreenAndSavesAScreenshot)
{
    if (!kOnDisplay || QGuiApplication::platformName() != QStringLiteral("xcb"))
        GTEST_SKIP() << "no X display";

    OnScreen copy(freshSpots(60));
    MainWindow& window = copy.window;
    Controller& controller = *copy.controller;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTimer::singleShot(0, &controller, &Controller::startUp);
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller.grid().model().rows() > 1; }, 60000))
        << "no spots reached the grid";
    EXPECT_TRUE(copy.prompts.requests.isEmpty());
    // The first tick fills the clock fields and the slot bar.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.localTime->text().isEmpty(); }, 10000));
    QTest::qWait(100);

    const QImage shot = window.grab().toImage();
    const QString dir = QStringLiteral(BEAMTIDE_BINARY_DIR "/artifacts");
    ASSERT_TRUE(QDir().mkpath(dir));
    const QString path = dir + QStringLiteral("/window.png");
    ASSERT_TRUE(shot.save(path, "PNG")) << path.toStdString();

    const QImage saved(path);
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), window.size() * window.devicePixelRatio());
    EXPECT_GT(sampledColours(saved), 20);
}

// A user types a band into the band box while a slow spot query runs: once that query has
// ended, the band typed is fetched.
TEST(RealWindowTest, BandTypedDuringASlowQueryIsFetchedAfterIt)
{
    if (!kOnDisplay || QGuiApplication::platformName() != QStringLiteral("xcb"))
        GTEST_SKIP() << "no X display";

    OnScreen copy(freshSpots(8));
    MainWindow& window = copy.window;
    Controller& controller = *copy.controller;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    controller.startUp();
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller.refresher().lastRetrieval().isValid(); }, 60000));
    ASSERT_EQ(copy.spotQueries(), QStringList{QStringLiteral("mode=html&band=20&limit=1000")});

    // The database takes its time; "Update NOW" sends the query and the user starts typing.
    test::Route slow;
    slow.body = test::reportPage(freshSpots(8)).toUtf8();
    slow.delayMs = 3000;
    copy.server.setRoute(OnScreen::kSpotsPath, slow);
    QTest::mouseClick(window.updateNow, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return copy.spotQueries().size() == 2; }, 60000));
    ASSERT_TRUE(controller.refreshRunning());

    QLineEdit* typed = window.bandBox->lineEdit();
    QTest::mouseClick(typed, Qt::LeftButton);
    typed->selectAll();
    QTest::keyClicks(typed, QStringLiteral("432"));
    EXPECT_EQ(window.bandBox->currentText(), QStringLiteral("432"));

    ASSERT_TRUE(QTest::qWaitFor([&] {
        return !controller.refreshRunning() && !controller.refresher().pending()
            && copy.spotQueries().size() >= 3;
    }, 60000));
    const QStringList queries = copy.spotQueries();
    EXPECT_EQ(queries.mid(0, 2), QStringList(2, QStringLiteral("mode=html&band=20&limit=1000")));
    EXPECT_EQ(queries.last(), QStringLiteral("mode=html&band=432&limit=1000"));
    EXPECT_EQ(controller.refresher().fetchedBand(), QStringLiteral("432"));
    EXPECT_TRUE(copy.prompts.requests.isEmpty());
}

TEST(RealWindowTest, TheMapOfABandOpeningWithItsAlerts)
{
    if (!kOnDisplay || QGuiApplication::platformName() != QStringLiteral("xcb"))
        GTEST_SKIP() << "no X display";

    test::TempFolder folder;
    test::HttpFixture server;
    server.setBody(QStringLiteral("/drupal/wsprnet/activity"), test::linesPage(250));
    server.setBody(QStringLiteral("/"), "203.0.113.7");
    const std::vector<test::PageSpot> spots = sixMetreOpening();
    server.setBody(QStringLiteral("/olddb.php"), test::reportPage(spots).toUtf8());
    const QString settings = folder.file(QStringLiteral("settings.ini"));
    {
        // The distance window at 500 to 10000 km and the signal threshold at -8 dB: the
        // spots inside the window above the threshold are alerts.
        QSettings ini(settings, SettingsStore::iniFormat());
        const QList<QPair<const char*, int>> values = {
            {"WSPRRunCount1", 3}, {"BeamtideDScale1", 100}, {"WSPRDist1", 5}, {"WSPRMaxD1", 100},
            {"WSPRDistMode1", 1}, {"WSPRdBmAlert1", 1}, {"WSPRdBmVal1", 22}, {"WSPRGridNos1", 100},
            {"WSPRLDThresh1", 200}, {"BeamtideWidth1", 900}, {"BeamtideHeight1", 600}};
        for (const auto& [name, value] : values)
            ini.setValue(QStringLiteral("Drovix/") + QString::fromLatin1(name), value);
        ini.setValue(QStringLiteral("Drovix/WSPRBand1"), QStringLiteral("6"));
        ini.setValue(QStringLiteral("Drovix/WSPRSpotted1"), QString());
        ini.setValue(QStringLiteral("Drovix/WSPRSpotter1"), QString());
    }

    Identity identity;
    identity.commandLine = commandLineText({QStringLiteral("/6")});
    identity.instance = 1;
    identity.folder = folder.path();
    SystemClock clock;
    test::QuietOpeners openers;
    PromptRecorder prompts;
    MainWindow window;
    Controller controller(window, identity, clock, test::localServices(server.baseUrl(), settings, openers));
    controller.prompt().setSink(&prompts);

    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTimer::singleShot(0, &controller, &Controller::startUp);
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller.grid().model().rows() > 1; }, 60000))
        << "no spots reached the grid";
    EXPECT_TRUE(prompts.requests.isEmpty());

    window.findChild<QPushButton*>(QStringLiteral("ButtonMap"))->click();
    MapPanel& panel = controller.mapPanel();
    panel.setGeometry(QRect(window.geometry().topLeft() + QPoint(40, 40), QSize(1000, 560)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    QTest::qWait(200);

    SpotMap& map = panel.map();
    const int rows = controller.grid().model().rows() - 1;
    EXPECT_EQ(map.paths().size() + map.rowsWithoutPath(), rows);
    EXPECT_EQ(map.rowsWithoutPath(), 1);
    int alerts = 0;
    for (const MapPath& path : map.paths())
        alerts += path.tag == u"al" ? 1 : 0;
    EXPECT_GT(alerts, 0);

    // Three notches of the wheel over the North Atlantic.
    const QPointF atlantic = map.toWidget({48, -25});
    QWheelEvent wheel(atlantic, map.mapToGlobal(atlantic), {}, QPoint(0, 360), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&map, &wheel);
    QTest::qWait(100);

    const QImage shot = panel.grab().toImage();
    const QString dir = QStringLiteral(BEAMTIDE_BINARY_DIR "/artifacts");
    ASSERT_TRUE(QDir().mkpath(dir));
    const QString path = dir + QStringLiteral("/map.png");
    ASSERT_TRUE(shot.save(path, "PNG")) << path.toStdString();
    EXPECT_GT(sampledColours(QImage(path)), 20);
    controller.timer().stop();
}
