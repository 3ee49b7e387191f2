// Beamtide on a real desktop: notifications reach the real notification server (dunst) and
// the tray icon sits in a real XEmbed tray (trayer), both on the test's own X display and
// session bus (DesktopFixture). The window and controller are the real ones, against a
// local HTTP server.
#include "base/Clock.h"
#include "base/Identity.h"
#include "platform/gui/DesktopNotifier.h"
#include "platform/gui/TrayIcon.h"
#include "settings/SettingsStore.h"
#include "shell/DesktopStatus.h"
#include "window/AlertAnnouncer.h"
#include "window/Controller.h"
#include "window/desktop/DesktopPresence.h"
#include "window/main/MainWindow.h"
#include "window/main/Prompt.h"

#include "DesktopFixture.h"
#include "HttpFixture.h"
#include "LocalServices.h"
#include "PageMaker.h"
#include "QuietOpeners.h"
#include "SmtpFixture.h"
#include "TempFolder.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QSettings>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace beamtide::test {
extern DesktopFixture* g_desktop;
}

using namespace beamtide;

namespace {

const QString kSpotsPath = QStringLiteral("/olddb.php");
const QString kNotifications = QStringLiteral("org.freedesktop.Notifications");

QString dunstctl(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("dunstctl"), args);
    EXPECT_TRUE(p.waitForFinished(60000));
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

bool notificationServiceUp()
{
    return QTest::qWaitFor([] {
        return QDBusConnection::sessionBus().interface()->isServiceRegistered(kNotifications).value();
    }, 60000);
}

// A notification server with an empty history for each test.
void freshNotificationServer()
{
    test::g_desktop->startNotifications();
    ASSERT_TRUE(notificationServiceUp());
}

int displayed()
{
    return dunstctl({QStringLiteral("count"), QStringLiteral("displayed")}).toInt();
}

struct Arrived
{
    QString app;
    QString summary;
    QString body;
};

// Closes what is on screen and reads the server's history, oldest first.
QList<Arrived> history()
{
    dunstctl({QStringLiteral("close-all")});
    const QJsonDocument doc = QJsonDocument::fromJson(dunstctl({QStringLiteral("history")}).toUtf8());
    QList<Arrived> all;
    for (const QJsonValue& v : doc.object().value(QStringLiteral("data")).toArray().at(0).toArray()) {
        const QJsonObject o = v.toObject();
        auto field = [&o](const char* name) {
            return o.value(QLatin1String(name)).toObject().value(QStringLiteral("data")).toString();
        };
        all.prepend({field("appname"), field("summary"), field("body")});
    }
    return all;
}

// One spot on 6 m a minute before the clock's now: inside the 0..5000 km window with a
// strong signal, so the distance mode set up below makes it an alert.
test::PageSpot alertingSpot(const QString& call, const QDateTime& utc)
{
    test::PageSpot spot;
    spot.time = utc.addSecs(-60).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    spot.call = call;
    spot.mhz = QStringLiteral("50.293010");
    spot.snr = QStringLiteral("-12");
    spot.km = QStringLiteral("712");
    spot.miles = QStringLiteral("442");
    return spot;
}

// The real window, controller and desktop presence of one copy that alerts on 6 m.
class DesktopCopy
{
public:
    // more: further stored values, by their names with the instance suffix.
    explicit DesktopCopy(bool alerting = true, const QList<QPair<QString, QVariant>>& more = {})
    {
        server.setBody(QStringLiteral("/drupal/wsprnet/activity"), test::linesPage(250));
        server.setBody(QStringLiteral("/"), "203.0.113.7");
        setSpots({});
        const QList<QPair<QString, QVariant>> values{
            {QStringLiteral("WSPRRunCount1"), 5},
            // The spot database alone: an empty page must not send the copy elsewhere.
            {QStringLiteral("BeamtideSource1"), QStringLiteral("WSPRnet")},
            {QStringLiteral("WSPRBand1"), QStringLiteral("6")},
            {QStringLiteral("WSPRDistMode1"), 1},
            {QStringLiteral("WSPRdBmAlert1"), 1},
            {QStringLiteral("WSPRSigAlert1"), alerting ? 1 : 0},
            {QStringLiteral("WSPRDist1"), 0},
            {QStringLiteral("WSPRMaxD1"), 100},
            {QStringLiteral("WSPRdBmVal1"), 0},
            {QStringLiteral("WSPRLastAlert1"), QStringLiteral("2020-01-01 00:00,K9OLD,50.293000,-20dBm,W1AW,100Km. ")},
        };
        QSettings ini(settingsFile, SettingsStore::iniFormat());
        for (const auto& [name, value] : values)
            ini.setValue(QStringLiteral("Drovix/") + name, value);
        ini.sync();
        for (const auto& [name, value] : more)
            ini.setValue(QStringLiteral("Drovix/") + name, value);
        ini.sync();

        identity.commandLine = commandLineText({});
        identity.instance = 1;
        identity.folder = folder.path();
        window = std::make_unique<MainWindow>();
        // A machine with a network address, whatever this one has: the lookup then asks the
        // local echo server and the gate opens.
        controller = std::make_unique<Controller>(*window, identity, clock,
                                                  test::localServices(server.baseUrl(), settingsFile, openers));
        controller->prompt().setSink(&prompts);
        controller->runLog().setSink([this](const QString& line) { log << line; });
        desktop = std::make_unique<DesktopPresence>(*window, *controller, identity, clock);
        // As the program wires them.
        QObject::connect(window.get(), &MainWindow::closing, controller.get(), &Controller::shutDown);
    }

    ~DesktopCopy()
    {
        controller->timer().stop();
        desktop.reset();
        controller.reset();
        window.reset();
    }

    void setSpots(const std::vector<test::PageSpot>& spots)
    {
        server.setBody(kSpotsPath, test::reportPage(spots).toUtf8());
    }

    // Start-up on screen, up to the end of its first refresh.
    void startUp()
    {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QSignalSpy started(controller.get(), &Controller::startUpFinished);
        controller->startUp();
        controller->timer().stop();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !started.isEmpty() && !controller->refreshRunning(); }, 60000));
        ASSERT_EQ(controller->publicAddress(), QStringLiteral("203.0.113.7"));
    }

    void refresh()
    {
        QSignalSpy finished(controller.get(), &Controller::refreshFinished);
        controller->askRefresh();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !finished.isEmpty() && !controller->refreshRunning(); }, 60000));
    }

    int spotQueries() const
    {
        int n = 0;
        for (const auto& r : server.requests())
            n += r.path == kSpotsPath ? 1 : 0;
        return n;
    }

    QCheckBox* box(const char* name) const { return window->findChild<QCheckBox*>(QLatin1String(name)); }

    test::TempFolder folder;
    test::HttpFixture server;
    QString settingsFile = folder.file(QStringLiteral("settings.ini"));
    // Local time two hours ahead of UTC, so the tooltip's time is told apart from UTC.
    ManualClock clock{QDateTime(QDate(2026, 12, 10), QTime(11, 42, 30), Qt::UTC), 2 * 3600};
    test::QuietOpeners openers;
    PromptRecorder prompts;
    Identity identity;
    QStringList log;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<Controller> controller;
    std::unique_ptr<DesktopPresence> desktop;
};

QAction* trayAction(TrayIcon& tray, const char* name)
{
    return tray.menu().findChild<QAction*>(QLatin1String(name));
}

bool inTray(TrayIcon& tray)
{
    // Embedded by trayer: a small icon in the strip along the top edge of the screen.
    return QTest::qWaitFor([&] {
        const QRect r = tray.icon().geometry();
        return r.isValid() && r.width() <= 64 && r.top() < 40 && r.left() > 512;
    }, 60000);
}

bool trayReady()
{
    return QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 60000);
}

int distinctColours(const QImage& image, const QRect& area)
{
    QSet<QRgb> colours;
    for (int y = area.top(); y <= area.bottom(); y += 2)
        for (int x = area.left(); x <= area.right(); x += 2)
            colours.insert(image.pixel(x, y));
    return int(colours.size());
}

} // namespace

TEST(DesktopNotifications, AnAlertFromTheServerBecomesOneNotification)
{
    freshNotificationServer();
    ASSERT_TRUE(trayReady());
    DesktopCopy copy;
    copy.setSpots({alertingSpot(QStringLiteral("VK2AAA"), copy.clock.nowUtc())});
    ASSERT_NO_FATAL_FAILURE(copy.startUp());
    ASSERT_NO_FATAL_FAILURE(copy.refresh());
    ASSERT_EQ(copy.controller->alertsHistory().size(), 1);
    const QString alert = copy.controller->alertsHistory().lines().constFirst();
    ASSERT_TRUE(alert.contains(QStringLiteral("VK2AAA")));

    QSignalSpy notified(copy.desktop.get(), &DesktopPresence::notified);
    QSignalSpy shown(copy.desktop->notifier(), &DesktopNotifier::shown);
    copy.controller->alertCheck();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shown.isEmpty(); }, 60000)) << copy.log.join(u'\n').toStdString();
    EXPECT_EQ(displayed(), 1);

    // The same alert on the next pass and check is not announced again.
    ASSERT_NO_FATAL_FAILURE(copy.refresh());
    copy.controller->alertCheck();
    EXPECT_EQ(notified.size(), 1);
    EXPECT_EQ(displayed(), 1);

    // Screenshot of the notification and the tray icon, for a person to look at.
    ASSERT_TRUE(copy.desktop->tray());
    ASSERT_TRUE(inTray(*copy.desktop->tray()));
    copy.window->showMinimized();
    QTest::qWait(500);
    const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    const QString dir = QStringLiteral(BEAMTIDE_BINARY_DIR "/artifacts");
    ASSERT_TRUE(QDir().mkpath(dir));
    EXPECT_TRUE(screen.save(dir + QStringLiteral("/desktop.png"), "PNG"));
    const QRect icon = copy.desktop->tray()->icon().geometry();
    EXPECT_GT(distinctColours(screen, icon), 4) << "the tray shows no drawn icon";

    const QList<Arrived> arrived = history();
    ASSERT_EQ(arrived.size(), 1);
    EXPECT_EQ(arrived[0].app, QStringLiteral("Beamtide"));
    EXPECT_EQ(arrived[0].summary, QStringLiteral("Beamtide alert"));
    EXPECT_EQ(arrived[0].body, alert.trimmed());
    EXPECT_TRUE(copy.log.filter(QStringLiteral("Desktop notification")).isEmpty());
}

TEST(DesktopNotifications, NoneWithTheSettingOffOrAlertsUnticked)
{
    freshNotificationServer();
    DesktopCopy copy;
    ASSERT_NO_FATAL_FAILURE(copy.startUp());
    QSignalSpy notified(copy.desktop.get(), &DesktopPresence::notified);
    QSignalSpy announced(copy.controller.get(), &Controller::alertAnnounced);
    ASSERT_TRUE(copy.box("CheckBox18")->isChecked()) << "notifications are on by default";

    struct Case
    {
        const char* call;
        bool notify;
        bool alerts;
    };
    const Case cases[] = {{"VK2AAA", false, true}, {"VK2BBB", true, false}};
    int minute = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        copy.box("CheckBox18")->setChecked(c.notify);
        copy.window->alerts->setChecked(c.alerts);
        copy.clock.setUtc(copy.clock.nowUtc().addSecs(60 * ++minute));
        copy.setSpots({alertingSpot(QString::fromLatin1(c.call), copy.clock.nowUtc())});
        // The alert is recorded with "Alerts" ticked; the check then runs as set.
        copy.window->alerts->setChecked(true);
        ASSERT_NO_FATAL_FAILURE(copy.refresh());
        copy.window->alerts->setChecked(c.alerts);
        copy.controller->alertCheck();
    }
    EXPECT_EQ(announced.size(), 2) << "both alerts were announced";
    EXPECT_EQ(notified.size(), 0);
    EXPECT_TRUE(history().isEmpty());
}

TEST(DesktopNotifications, MarkupAndLongLinesArriveAsText)
{
    freshNotificationServer();
    QStringList log;
    DesktopNotifier notifier([&](const QString& line) { log << line; });
    QSignalSpy shown(&notifier, &DesktopNotifier::shown);
    const QString markup = QStringLiteral("2026-12-10 13:40,<b>VK2AAA</b> &amp; <i>x</i>,50.293,");
    const QString longLine = QStringLiteral("2026-12-10 13:41,") + QString(5000, u'w');
    notifier.notify(markup);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.size() == 1; }, 60000));
    notifier.notify(longLine);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.size() == 2; }, 60000));

    // dunst reads markup, so the text arrives escaped and is drawn as typed.
    const QList<Arrived> arrived = history();
    ASSERT_EQ(arrived.size(), 2);
    EXPECT_EQ(arrived[0].body,
              QStringLiteral("2026-12-10 13:40,&lt;b&gt;VK2AAA&lt;/b&gt; &amp;amp; &lt;i&gt;x&lt;/i&gt;,50.293,"));
    EXPECT_EQ(arrived[1].body.size(), kNotificationBodyLength);
    EXPECT_TRUE(arrived[1].body.startsWith(QStringLiteral("2026-12-10 13:41,www")));
    EXPECT_TRUE(arrived[1].body.endsWith(u'\u2026'));
    EXPECT_TRUE(log.isEmpty());
}

TEST(DesktopNotifications, NoSessionBusWritesOneLogLine)
{
    const QDBusConnection none = QDBusConnection::connectToBus(
        QStringLiteral("unix:path=") + test::g_desktop->folder() + QStringLiteral("/no-such-bus"),
        QStringLiteral("beamtide-no-bus"));
    ASSERT_FALSE(none.isConnected());
    QStringList log;
    DesktopNotifier notifier(none, [&](const QString& line) { log << line; });
    QSignalSpy failed(&notifier, &DesktopNotifier::failed);
    notifier.notify(QStringLiteral("2026-12-10 13:40,VK2AAA,"));
    notifier.notify(QStringLiteral("2026-12-10 13:42,VK2BBB,"));
    EXPECT_EQ(failed.size(), 2);
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith(QStringLiteral("Desktop notification not shown: no D-Bus session")))
        << log[0].toStdString();
    QDBusConnection::disconnectFromBus(QStringLiteral("beamtide-no-bus"));
}

TEST(DesktopNotifications, AServiceThatGoesAwayWritesOneLogLinePerOutage)
{
    freshNotificationServer();
    QStringList log;
    DesktopNotifier notifier([&](const QString& line) { log << line; });
    QSignalSpy shown(&notifier, &DesktopNotifier::shown);
    QSignalSpy failed(&notifier, &DesktopNotifier::failed);
    notifier.notify(QStringLiteral("2026-12-10 13:40,VK2AAA,"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.size() == 1; }, 60000));

    test::g_desktop->stopNotifications();
    notifier.notify(QStringLiteral("2026-12-10 13:41,VK2BBB,"));
    notifier.notify(QStringLiteral("2026-12-10 13:42,VK2CCC,"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return failed.size() == 2; }, 60000));
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith(QStringLiteral("Desktop notification not shown: "))) << log[0].toStdString();

    // Back again: notifications arrive, and the next outage is logged once more.
    freshNotificationServer();
    notifier.notify(QStringLiteral("2026-12-10 13:43,VK2DDD,"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.size() == 2; }, 60000));
    test::g_desktop->stopNotifications();
    notifier.notify(QStringLiteral("2026-12-10 13:44,VK2EEE,"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return failed.size() == 3; }, 60000));
    EXPECT_EQ(log.size(), 2);
    freshNotificationServer();
}

TEST(Tray, IconSitsInTheTrayFollowsARefreshAndItsMenuWorks)
{
    ASSERT_TRUE(trayReady());
    DesktopCopy copy(false);
    TrayIcon* tray = copy.desktop->tray();
    ASSERT_TRUE(tray) << "no tray icon although the desktop has a tray";
    ASSERT_TRUE(inTray(*tray));
    EXPECT_FALSE(copy.window->windowIcon().isNull());
    // Before start-up: the window's own band, nothing fetched.
    EXPECT_EQ(tray->toolTip(), QStringLiteral("Beamtide #1 \u00B7 band All \u00B7 no update yet \u00B7 0 alerts today"));

    copy.setSpots({alertingSpot(QStringLiteral("VK2AAA"), copy.clock.nowUtc())});
    ASSERT_NO_FATAL_FAILURE(copy.startUp());
    QSignalSpy fetching(copy.controller.get(), &Controller::fetchingChanged);
    ASSERT_NO_FATAL_FAILURE(copy.refresh());
    ASSERT_EQ(fetching.size(), 2);
    EXPECT_TRUE(fetching[0][0].toBool());
    EXPECT_FALSE(fetching[1][0].toBool());
    EXPECT_FALSE(copy.desktop->status().fetching);
    // The last retrieval in local time (UTC + 2 h) and the alert the pass recorded today.
    EXPECT_EQ(tray->toolTip(), QStringLiteral("Beamtide #1 \u00B7 band 6 \u00B7 last update 13:42 \u00B7 1 alert today"));

    // "Update NOW" from the menu runs the button's refresh.
    const int before = copy.spotQueries();
    QSignalSpy finished(copy.controller.get(), &Controller::refreshFinished);
    trayAction(*tray, "TrayUpdateNow")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !finished.isEmpty(); }, 60000));
    EXPECT_EQ(copy.spotQueries(), before + 1);

    // "Alerts" is ticked like CheckBox5, both ways.
    QAction* alerts = trayAction(*tray, "TrayAlerts");
    EXPECT_FALSE(alerts->isChecked());
    alerts->trigger();
    EXPECT_TRUE(copy.window->alerts->isChecked());
    EXPECT_TRUE(copy.window->alertTones->isVisibleTo(copy.window.get())) << "the box's own handler ran";
    copy.window->alerts->setChecked(false);
    EXPECT_FALSE(alerts->isChecked());

    // "Quit" runs the shut-down sequence.
    copy.controller->runLog().setSink([&copy](const QString& line) { copy.log << line; });
    trayAction(*tray, "TrayQuit")->trigger();
    EXPECT_FALSE(copy.window->isVisible());
    EXPECT_TRUE(copy.log.contains(QStringLiteral("1: CLOSING"))) << copy.log.join(u'\n').toStdString();
}

TEST(Tray, MinimiseToTrayHidesTheWindowAndAClickBringsItBack)
{
    ASSERT_TRUE(trayReady());
    DesktopCopy copy;
    TrayIcon* tray = copy.desktop->tray();
    ASSERT_TRUE(tray);
    ASSERT_TRUE(inTray(*tray));
    ASSERT_NO_FATAL_FAILURE(copy.startUp());
    ASSERT_FALSE(copy.box("CheckBox19")->isChecked()) << "off by default";

    // Off: minimising leaves the window minimised, not hidden.
    copy.window->showMinimized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return copy.window->isMinimized(); }, 60000));
    QTest::qWait(200);
    EXPECT_FALSE(copy.window->isHidden());
    copy.window->showNormal();

    copy.box("CheckBox19")->setChecked(true);
    copy.window->showMinimized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return copy.window->isHidden(); }, 60000));

    // An alert while hidden marks the icon until the window is seen again.
    copy.setSpots({alertingSpot(QStringLiteral("VK2AAA"), copy.clock.nowUtc())});
    ASSERT_NO_FATAL_FAILURE(copy.refresh());
    copy.controller->alertCheck();
    EXPECT_TRUE(copy.desktop->status().unseenAlert);

    // A click on the icon in the tray. Its window is the one Qt names for the tray, and the
    // icon's geometry is that window mapped to the screen. A window's own geometry() is not:
    // once the tray has taken it in, it is relative to the tray and only matches by chance.
    QWidget* iconWidget = nullptr;
    const auto findIcon = [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && w->objectName() == QLatin1String("QSystemTrayIconSys")
                && QRect(w->mapToGlobal(QPoint(0, 0)), w->size()) == tray->icon().geometry())
                iconWidget = w;
        }
        return iconWidget != nullptr;
    };
    ASSERT_TRUE(QTest::qWaitFor(findIcon, 60000)) << "the tray icon's own window";
    QTest::mouseClick(iconWidget, Qt::LeftButton, {}, iconWidget->rect().center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return copy.window->isVisible() && !copy.window->isMinimized(); }, 60000));
    EXPECT_FALSE(copy.desktop->status().unseenAlert);
}

// The older channels follow the throttle when their box is ticked, and only then: the same
// call on the same band within the cooldown is held back on that channel alone, with a log
// line naming the channel, while the other channels and the alerts history keep every alert.
// A copy that mails its alerts (with tones) runs no hook, so the rows take one or the other.
TEST(ThrottledChannels, EachOlderChannelFollowsTheThrottleWhenTicked)
{
    freshNotificationServer();
    test::SmtpFixture smtp;
    ASSERT_TRUE(smtp.running()) << smtp.startError().toStdString();
    const QString plain = QStringLiteral("plain");
    struct Row
    {
        const char* ticked; // Beamtide<ticked>Throttle
        const char* logName;
        bool mails;
    };
    const Row rows[] = {{"Tones", "tones", true},
                        {"Mail", "mail", true},
                        {"Hook", "hook", false},
                        {"Notify", "desktop notification", false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.ticked);
        QList<QPair<QString, QVariant>> values{
            {QStringLiteral("Beamtide%1Throttle1").arg(QLatin1String(row.ticked)), QStringLiteral("1")}};
        if (row.mails) {
            values += {{QStringLiteral("WSPREmail1"), QStringLiteral("ops@example.org")},
                       {QStringLiteral("WSPRSMTPHost1"), QStringLiteral("127.0.0.1")},
                       {QStringLiteral("WSPRSMPTUserName1"), smtp.user()},
                       {QStringLiteral("WSPRSMTPpwd1"), smtp.password()},
                       {QStringLiteral("WSPRSMTPport1"), smtp.port(plain)},
                       {QStringLiteral("WSPRToneAlert1"), 1}};
        }
        DesktopCopy copy(true, values);
        copy.folder.write(QStringLiteral("runcode.bat"), "printf '%s\\n' \"$1\" >> hook.txt\n");
        ASSERT_NO_FATAL_FAILURE(copy.startUp());
        auto* announcer = copy.controller->findChild<AlertAnnouncer*>();
        ASSERT_TRUE(announcer);
        QSignalSpy tones(announcer, &AlertAnnouncer::tonesPlayed);
        QSignalSpy notified(copy.desktop.get(), &DesktopPresence::notified);
        const qsizetype mailsBefore = smtp.messages(plain).size();
        if (row.mails) {
            ASSERT_FALSE(copy.window->alertTones->isHidden());
        }

        // VK2AAA twice within the cooldown, then VK2CCC: each a new alert, announced.
        const QStringList calls{QStringLiteral("VK2AAA"), QStringLiteral("VK2AAA"), QStringLiteral("VK2CCC")};
        for (const QString& call : calls) {
            copy.clock.setUtc(copy.clock.nowUtc().addSecs(60));
            copy.setSpots({alertingSpot(call, copy.clock.nowUtc())});
            ASSERT_NO_FATAL_FAILURE(copy.refresh());
            copy.controller->alertCheck();
        }
        const QStringList alerts = copy.controller->alertsHistory().lines();
        ASSERT_EQ(alerts.size(), 3) << "held back or not, every alert is recorded";

        const auto expected = [&](const char* channel) { return qstrcmp(row.ticked, channel) == 0 ? 2 : 3; };
        EXPECT_EQ(notified.size(), expected("Notify"));
        if (row.mails) {
            EXPECT_EQ(tones.size(), expected("Tones"));
            // Mails go one after another: once VK2CCC's is in, every earlier one is too.
            const auto lastIn = [&] {
                const QList<test::StoredMail> mails = smtp.messages(plain);
                return mails.size() > mailsBefore && mails.last().body.contains(QStringLiteral("VK2CCC"));
            };
            while (!lastIn())
                QTest::qWait(10);
            EXPECT_EQ(smtp.messages(plain).size() - mailsBefore, expected("Mail"));
        } else {
            // The hook's runs are processes of their own: wait for as many as there should be.
            QStringList ran;
            const auto lastIn = [&] {
                ran = QString::fromUtf8(copy.folder.read(QStringLiteral("hook.txt"))).split(u'\n', Qt::SkipEmptyParts);
                return ran.size() >= expected("Hook") && ran.filter(QStringLiteral("VK2CCC")).size() == 1;
            };
            while (!lastIn())
                QTest::qWait(10);
            EXPECT_EQ(ran.size(), expected("Hook"));
        }
        const QStringList held = copy.log.filter(QStringLiteral(" held back "));
        ASSERT_EQ(held.size(), 1) << copy.log.join(u'\n').toStdString();
        EXPECT_TRUE(held[0].contains(QLatin1String(row.logName) + QStringLiteral(" held back ") + alerts[1].trimmed()
                                     + QStringLiteral(": VK2AAA on 6m already delivered within 30 min")))
            << held[0].toStdString();
    }
}
