#include "Version.h"
#include "base/Clock.h"
#include "base/Config.h"
#include "base/Identity.h"
#include "base/StartOptions.h"
#include "platform/InstanceLock.h"
#include "platform/gui/ProgramIcon.h"
#include "settings/SettingsStore.h"
#include "window/Controller.h"
#include "window/desktop/DesktopPresence.h"
#include "window/main/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[0], &byte, 1);
}

// SIGTERM and SIGINT close the window as the user would, so the shut-down sequence runs
// and the settings are saved. The handler only writes a byte; the event loop does the rest.
void closeOnSignals(QWidget& window)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char byte = 0;
        [[maybe_unused]] const auto got = ::read(g_signalPipe[1], &byte, 1);
        window.close();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}
} // namespace
#endif

namespace {

// The only place the environment names services. The variables are for tests and demos:
// local servers in place of the public ones, a settings file of their own, and a local
// address for the address watch on a machine whose only network is loopback.
beamtide::Services servicesFromEnvironment()
{
    using namespace beamtide;
    Services services;
    services.spotDatabaseUrl =
        config::baseUrl(qEnvironmentVariable("BEAMTIDE_SPOTDB_URL"), config::spotDatabaseBaseUrl());
    services.echoUrl = config::baseUrl(qEnvironmentVariable("BEAMTIDE_ECHO_URL"), config::echoBaseUrl());
    services.wsprLiveUrl =
        config::baseUrl(qEnvironmentVariable("BEAMTIDE_WSPRLIVE_URL"), config::wsprLiveBaseUrl());
    services.settingsPath = qEnvironmentVariable("BEAMTIDE_SETTINGS");
    if (services.settingsPath.isEmpty())
        services.settingsPath = defaultSettingsFile();
#ifdef Q_OS_WIN
    services.earthImagePath = QCoreApplication::applicationDirPath() + QStringLiteral("/earth.jpg");
#else
    // Where Debian's xplanet-images puts NASA's Blue Marble (2048 x 1024, equirectangular).
    services.earthImagePath = QStringLiteral("/usr/share/xplanet/images/earth.jpg");
#endif
    const QHostAddress local(qEnvironmentVariable("BEAMTIDE_LOCAL_ADDRESS"));
    if (!local.isNull())
        services.addressSource = [local] { return QList<QHostAddress>{local}; };
    return services;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Beamtide"));
    QApplication::setApplicationDisplayName(QStringLiteral("Beamtide"));
    QApplication::setWindowIcon(beamtide::programIcon());
    QApplication::setDesktopFileName(QString::fromLatin1(beamtide::kDesktopId));
    // The menu entry's start: the data files go to the user's data folder, before anything
    // touches the working folder.
    if (beamtide::dataFolderOption(beamtide::commandLineText(QApplication::arguments().mid(1)))) {
        const QString problem = beamtide::enterWorkingFolder(beamtide::dataFolder(
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)));
        if (!problem.isEmpty()) {
            QMessageBox::critical(nullptr, QStringLiteral("Beamtide"), problem);
            return 1;
        }
    }

    // BEAMTIDE_LOCK_DIR: the lock files of a test's copies, apart from the user's own.
    QString lockFolder = qEnvironmentVariable("BEAMTIDE_LOCK_DIR");
    if (lockFolder.isEmpty())
        lockFolder = beamtide::InstanceLock::defaultFolder();
    beamtide::InstanceLock lock(lockFolder);
    beamtide::Identity identity;
    identity.commandLine = beamtide::commandLineText(QApplication::arguments().mid(1));
    identity.instance = lock.number();
    identity.folder = QDir::currentPath();

    beamtide::SystemClock clock;
    beamtide::MainWindow window;
    beamtide::Controller controller(window, identity, clock, servicesFromEnvironment());
    QObject::connect(&window, &beamtide::MainWindow::closing, &controller,
                     &beamtide::Controller::shutDown);
    beamtide::DesktopPresence desktop(window, controller, identity, clock);
    // A window hidden in the tray closes without being the last visible one, so the closing
    // itself ends the program, once the shut-down sequence has run.
    QObject::connect(&window, &beamtide::MainWindow::closing, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
#ifdef Q_OS_UNIX
    closeOnSignals(window);
#endif
    window.show();
    // The start-up sequence runs once the window is up, before the first tick.
    QTimer::singleShot(0, &controller, &beamtide::Controller::startUp);
    return QApplication::exec();
}
