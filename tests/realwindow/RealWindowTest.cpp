// The real window on a real display (the X server the test run provides), against a local
// HTTP server: it starts as the program does, shows its spots, and leaves a screenshot
// under the build folder for a person to look at.
#include "base/Clock.h"
#include "base/Identity.h"
#include "window/Controller.h"
#include "window/MainWindow.h"
#include "window/Prompt.h"
#include "window/SpotGrid.h"
#include "window/SpotGridModel.h"

#include "HttpFixture.h"
#include "LocalServices.h"
#include "PageMaker.h"
#include "QuietOpeners.h"
#include "TempFolder.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QGuiApplication>
#include <QHostAddress>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTimer>

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
