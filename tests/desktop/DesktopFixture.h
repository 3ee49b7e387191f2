#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace beamtide::test {

// A desktop of its own for the tests: an X server (Xvfb) on a free display, a private
// session bus, the notification server dunst and the XEmbed tray trayer, all real programs
// from Debian. Started before the application object so that it joins this display and bus
// (DISPLAY, DBUS_SESSION_BUS_ADDRESS and QT_QPA_PLATFORM=xcb are set for the process);
// stopped in reverse order when it goes.
class DesktopFixture
{
public:
    DesktopFixture();
    ~DesktopFixture();
    DesktopFixture(const DesktopFixture&) = delete;
    DesktopFixture& operator=(const DesktopFixture&) = delete;

    // Empty when everything started; otherwise what did not.
    const QString& error() const { return m_error; }
    QString display() const { return m_display; }
    QString busAddress() const { return m_bus; }
    QString folder() const { return m_dir; }

    // The notification server can be stopped and started again while the tests run; a fresh
    // start has an empty history.
    void stopNotifications();
    void startNotifications();

private:
    pid_t spawn(const char* const argv[], const QString& logName);
    static QByteArray readLine(int fd);
    static void stop(pid_t& pid);

    QString m_dir;
    QString m_display;
    QString m_bus;
    QString m_error;
    pid_t m_xvfb = -1;
    pid_t m_busDaemon = -1;
    pid_t m_dunst = -1;
    pid_t m_trayer = -1;
};

} // namespace beamtide::test
