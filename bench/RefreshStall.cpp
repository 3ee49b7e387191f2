// How long the window's event loop stalls at worst while the whole program refreshes a
// 5000-row page from a local server: a 10 ms timer probes the loop throughout the fetch, the
// filter pass, the model reset and the first paint. Also the time of one filter pass with
// its repaint. Run without arguments on a display (or the offscreen platform).
#include "base/Clock.h"
#include "base/Identity.h"
#include "window/Controller.h"
#include "window/grid/SpotGrid.h"
#include "window/main/MainWindow.h"

#include "HttpFixture.h"
#include "LocalServices.h"
#include "PageMaker.h"
#include "QuietOpeners.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>

using namespace beamtide;

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    test::HttpFixture server;
    auto spots = test::assortedSpots(5000);
    for (auto& s : spots)
        s.mhz = QStringLiteral("50.294500");
    server.setBody(QStringLiteral("/drupal/wsprnet/activity"), test::linesPage(250));
    server.setBody(QStringLiteral("/"), "203.0.113.7");
    server.setBody(QStringLiteral("/olddb.php"), test::reportPage(spots).toUtf8());

    QTemporaryDir folder;
    const QString settingsFile = folder.filePath(QStringLiteral("settings.ini"));
    {
        QSettings ini(settingsFile, QSettings::IniFormat);
        for (const auto& [name, value] : {std::pair{"WSPRBand1", "6"}, {"WSPRLinesSet1", "0"},
                                         {"WSPRRunCount1", "7"}, {"BeamtideSource1", "WSPRnet"}})
            ini.setValue(QStringLiteral("Drovix/") + QLatin1String(name), QLatin1String(value));
    }
    Identity identity;
    identity.instance = 1;
    identity.folder = folder.path();
    ManualClock clock(QDateTime(QDate(2024, 5, 3), QTime(0, 5), Qt::UTC));
    test::QuietOpeners openers;
    MainWindow window;
    Controller controller(window, identity, clock, test::localServices(server.baseUrl(), settingsFile, openers));
    QSignalSpy finished(&controller, &Controller::refreshFinished);
    const auto waitForRefresh = [&] {
        return QTest::qWaitFor([&] { return !finished.isEmpty() && !controller.refreshRunning(); }, 60000);
    };
    controller.startUp();
    controller.timer().stop();
    window.resize(1200, 800);
    window.show();
    if (!waitForRefresh() || !QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "the first refresh did not end\n");
        return 1;
    }
    finished.clear();

    QElapsedTimer since;
    qint64 worst = 0;
    int probes = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(10);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        worst = std::max(worst, since.restart() - 10);
        ++probes;
    });
    since.start();
    probe.start();
    QTest::mouseClick(window.updateNow, Qt::LeftButton);
    if (!waitForRefresh()) {
        std::fprintf(stderr, "the refresh did not end\n");
        return 1;
    }
    QTest::qWait(200); // the first paint of the new rows
    probe.stop();

    QElapsedTimer pass;
    pass.start();
    controller.filterPass(true);
    const qint64 passMs = pass.elapsed();
    std::printf("rows shown:                               %d\n", int(controller.grid().model().rows() - 1));
    std::printf("worst event-loop stall during the refresh: %lld ms (%d probes)\n",
                static_cast<long long>(worst), probes);
    std::printf("one filter pass with its repaint:          %lld ms\n", static_cast<long long>(passMs));
    return 0;
}
