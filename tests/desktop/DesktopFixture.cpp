#include "DesktopFixture.h"

#include <QDir>
#include <QFile>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace beamtide::test {

namespace {

// Everything a test may look at stays up until it is closed by the test.
const char kDunstConfig[] = R"([global]
    font = DejaVu Sans 10
    width = 420
    origin = top-left
    offset = 20x60
    markup = full
    format = "<b>%s</b>\n%b"
    show_age_threshold = -1
    idle_threshold = 0
[urgency_low]
    timeout = 0
[urgency_normal]
    timeout = 0
[urgency_critical]
    timeout = 0
)";

// A session bus that starts no services on demand, so a stopped notification server stays
// stopped.
const char kBusConfig[] = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

DesktopFixture::DesktopFixture()
{
    QByteArray tmpl = QDir::tempPath().toLocal8Bit() + "/beamtide-desktop-XXXXXX";
    if (!::mkdtemp(tmpl.data())) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    m_dir = QString::fromLocal8Bit(tmpl);

    // The X server tells its display number on a pipe once it accepts clients.
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        m_error = QStringLiteral("no pipe");
        return;
    }
    ::fcntl(pipeFds[0], F_SETFD, FD_CLOEXEC);
    const QByteArray displayFd = QByteArray::number(pipeFds[1]);
    const char* xvfb[] = {"Xvfb", "-displayfd", displayFd.constData(), "-screen", "0", "1024x768x24",
                          "-nolisten", "tcp", "-noreset", nullptr};
    m_xvfb = spawn(xvfb, QStringLiteral("xvfb.log"));
    ::close(pipeFds[1]);
    const QByteArray number = readLine(pipeFds[0]).trimmed();
    ::close(pipeFds[0]);
    if (m_xvfb < 0 || number.isEmpty()) {
        m_error = QStringLiteral("Xvfb did not start (is the xvfb package installed?)");
        return;
    }
    m_display = u':' + QString::fromLatin1(number);
    ::setenv("DISPLAY", m_display.toLocal8Bit().constData(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);

    const QString busConfig = m_dir + QStringLiteral("/bus.conf");
    if (!writeFile(busConfig, QString::fromLatin1(kBusConfig).arg(m_dir).toUtf8())
        || !writeFile(m_dir + QStringLiteral("/dunstrc"), kDunstConfig)) {
        m_error = QStringLiteral("cannot write the configuration files");
        return;
    }
    if (::pipe(pipeFds) != 0) {
        m_error = QStringLiteral("no pipe");
        return;
    }
    ::fcntl(pipeFds[0], F_SETFD, FD_CLOEXEC);
    const QByteArray configArg = "--config-file=" + busConfig.toLocal8Bit();
    const QByteArray addressArg = "--print-address=" + QByteArray::number(pipeFds[1]);
    const char* bus[] = {"dbus-daemon", configArg.constData(), "--nofork", addressArg.constData(), nullptr};
    m_busDaemon = spawn(bus, QStringLiteral("dbus.log"));
    ::close(pipeFds[1]);
    m_bus = QString::fromLatin1(readLine(pipeFds[0]).trimmed());
    ::close(pipeFds[0]);
    if (m_busDaemon < 0 || m_bus.isEmpty()) {
        m_error = QStringLiteral("dbus-daemon did not start (is the dbus package installed?)");
        return;
    }
    ::setenv("DBUS_SESSION_BUS_ADDRESS", m_bus.toLocal8Bit().constData(), 1);

    startNotifications();
    const char* trayer[] = {"trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                            "--height", "32", "--SetDockType", "true", "--transparent", "false",
                            "--tint", "0x404040", nullptr};
    m_trayer = spawn(trayer, QStringLiteral("trayer.log"));
    if (m_dunst < 0 || m_trayer < 0)
        m_error = QStringLiteral("dunst or trayer did not start (are the packages installed?)");
}

DesktopFixture::~DesktopFixture()
{
    stop(m_trayer);
    stop(m_dunst);
    stop(m_busDaemon);
    stop(m_xvfb);
    if (!m_dir.isEmpty())
        QDir(m_dir).removeRecursively();
}

void DesktopFixture::stopNotifications()
{
    stop(m_dunst);
}

void DesktopFixture::startNotifications()
{
    stop(m_dunst);
    const QByteArray config = (m_dir + QStringLiteral("/dunstrc")).toLocal8Bit();
    const char* dunst[] = {"dunst", "-config", config.constData(), nullptr};
    m_dunst = spawn(dunst, QStringLiteral("dunst.log"));
}

pid_t DesktopFixture::spawn(const char* const argv[], const QString& logName)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray log = (m_dir + u'/' + logName).toLocal8Bit();
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    // The pipes' write ends stay open across exec; their read ends are close-on-exec.
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

QByteArray DesktopFixture::readLine(int fd)
{
    QByteArray line;
    char c = 0;
    while (::read(fd, &c, 1) == 1 && c != '\n')
        line += c;
    return line;
}

void DesktopFixture::stop(pid_t& pid)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    pid = -1;
}

} // namespace beamtide::test
