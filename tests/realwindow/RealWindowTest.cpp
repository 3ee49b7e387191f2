// The real window on a real display (the X server the test run provides), against a local
// HTTP server: it starts as the program does, shows its spots, and leaves a screenshot
// under the build folder for a person to look at.
#include "base/Clock.h"
#include "base/Identity.h"
#include "platform/gui/Openers.h"
#include "window/Controller.h"
#include "window/MainWindow.h"
#include "window/Prompt.h"
#include "window/SpotGrid.h"
#include "window/SpotGridModel.h"

#include "HttpFixture.h"
#include "PageMaker.h"
#include "TempFolder.h"

#include <QDateTime>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QSet>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

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

struct QuietOpeners final : Openers
{
    void startProgram(const QString&, const QStringList&, const QString&) override {}
    void openUrl(const QUrl&) override {}
};

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

} // namespace

TEST(RealWindowTest, ShowsTheSpotsOnScreenAndSavesAScreenshot)
{
    if (!kOnDisplay || QGuiApplication::platformName() != QStringLiteral("xcb"))
        GTEST_SKIP() << "no X display";

    test::TempFolder folder;
    test::HttpFixture server;
    server.setBody(QStringLiteral("/drupal/wsprnet/activity"), test::linesPage(250));
    server.setBody(QStringLiteral("/"), "203.0.113.7");
    server.setBody(QStringLiteral("/olddb.php"), test::reportPage(freshSpots(60)).toUtf8());
    const QString settings = folder.file(QStringLiteral("settings.ini"));
    qputenv("BEAMTIDE_SETTINGS", settings.toLocal8Bit());
    qputenv("BEAMTIDE_SPOTDB_URL", server.baseUrl().toLocal8Bit());
    qputenv("BEAMTIDE_ECHO_URL", server.baseUrl().toLocal8Bit());

    Identity identity;
    identity.commandLine = commandLineText({QStringLiteral("/20")});
    identity.instance = 1;
    identity.folder = folder.path();
    SystemClock clock;
    QuietOpeners openers;
    PromptRecorder prompts;
    MainWindow window;
    Controller controller(window, identity, clock, &openers);
    controller.prompt().setSink(&prompts);

    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTimer::singleShot(0, &controller, &Controller::startUp);
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller.grid().model().rows() > 1; }, 60000))
        << "no spots reached the grid";
    EXPECT_TRUE(prompts.requests.isEmpty());
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
    controller.timer().stop();
}
