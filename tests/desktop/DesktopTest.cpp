#include "platform/gui/DesktopNotifier.h"
#include "platform/gui/TrayIcon.h"
#include "shell/DesktopStatus.h"

#include "DesktopFixture.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace beamtide::test {
extern DesktopFixture* g_desktop;
}

using namespace beamtide;

namespace {
QString dunstctl(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("dunstctl"), args);
    p.waitForFinished();
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
}
}

TEST(Explore, Tray)
{
    ASSERT_TRUE(QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 30000));
    ASSERT_TRUE(QTest::qWaitFor([] { return QDBusConnection::sessionBus().interface()->isServiceRegistered(QStringLiteral("org.freedesktop.Notifications")).value(); }, 30000));
    TrayIcon tray;
    tray.setVisible(true);
    TrayStatus st; st.band = "20"; st.unseenAlert = true; st.fetching = true;
    tray.show(st);
    QTest::qWait(1000);
    qDebug() << tray.icon().geometry();
    for (QWidget* w : QApplication::topLevelWidgets())
        qDebug() << w->metaObject()->className() << w->geometry() << w->isVisible() << w->winId();
    QStringList log;
    DesktopNotifier n([&](const QString& l) { log << l; });
    QSignalSpy shown(&n, &DesktopNotifier::shown);
    n.notify(QStringLiteral("2026-12-10 14:02,VK2AAA,<b>bold</b> &amp; x,") + QString(50, 'y'));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shown.isEmpty(); }, 30000)) << log.join("|").toStdString();
    QTest::qWait(500);
    QScreen* screen = QGuiApplication::primaryScreen();
    screen->grabWindow(0).save("/tmp/desk15.png");
    qDebug().noquote() << dunstctl({"count", "displayed"});
    dunstctl({"close-all"});
    qDebug().noquote() << dunstctl({"history"});
}
