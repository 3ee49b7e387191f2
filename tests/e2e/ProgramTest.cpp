// The real program, started as a process in a temporary working folder against local
// servers: what an operator sees in the files it leaves behind.
#include "HttpFixture.h"
#include "PageMaker.h"
#include "TempFolder.h"

#include <QDateTime>
#include <QProcess>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

using namespace beamtide;

namespace {

// Spots stamped just before now, so the time windows keep them.
std::vector<test::PageSpot> freshSpots(int n, const QString& mhz)
{
    auto spots = test::assortedSpots(n);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < n; ++i) {
        spots[size_t(i)].time = now.addSecs(-120 * (i / 4)).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        spots[size_t(i)].mhz = mhz;
    }
    return spots;
}

class Program
{
public:
    Program(const test::TempFolder& folder, const test::HttpFixture& server,
            const QString& settingsFile, const QString& lockDir)
    {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("BEAMTIDE_SPOTDB_URL"), server.baseUrl());
        env.insert(QStringLiteral("BEAMTIDE_ECHO_URL"), server.baseUrl());
        env.insert(QStringLiteral("BEAMTIDE_SETTINGS"), settingsFile);
        env.insert(QStringLiteral("BEAMTIDE_LOCK_DIR"), lockDir);
        m_process.setProcessEnvironment(env);
        m_process.setWorkingDirectory(folder.path());
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~Program()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    void start(const QStringList& args)
    {
        m_process.start(QStringLiteral(BEAMTIDE_BINARY_DIR "/beamtide"), args);
        ASSERT_TRUE(m_process.waitForStarted());
    }

    // SIGTERM, as a service manager or the user's Ctrl+C would end it.
    int terminate()
    {
        ::kill(pid_t(m_process.processId()), SIGTERM);
        EXPECT_TRUE(m_process.waitForFinished(60000));
        return m_process.exitCode();
    }

    QProcess& process() { return m_process; }

private:
    QProcess m_process;
};

bool waitForText(const test::TempFolder& folder, const QString& file, const QByteArray& text)
{
    return QTest::qWaitFor([&] { return folder.read(file).contains(text); }, 60000);
}

struct World
{
    test::TempFolder folder;
    test::TempFolder locks;
    test::HttpFixture server;
    QString settings = folder.file(QStringLiteral("settings.ini"));

    World()
    {
        server.setBody(QStringLiteral("/drupal/wsprnet/activity"), test::linesPage(250));
        server.setBody(QStringLiteral("/"), "203.0.113.7");
        server.setBody(QStringLiteral("/olddb.php"),
                       test::reportPage(freshSpots(150, QStringLiteral("14.097100"))).toUtf8());
    }
};

} // namespace

TEST(Program, FirstRefreshWritesItsFilesAndLogAndClosesCleanly)
{
    World world;
    Program program(world.folder, world.server, world.settings, world.locks.path());
    program.start({QStringLiteral("/log"), QStringLiteral("/20")});
    ASSERT_TRUE(waitForText(world.folder, QStringLiteral("WSPRLog1.txt"), "Get-HTTP result: "));
    ASSERT_TRUE(QTest::qWaitFor([&] { return world.folder.exists(QStringLiteral("WSPRRep1.csv")); }, 30000));
    EXPECT_EQ(program.terminate(), 0);

    const QByteArray log = world.folder.read(QStringLiteral("WSPRLog1.txt"));
    EXPECT_TRUE(log.contains("1: CMD  /log /20\r\n")) << log.toStdString();
    EXPECT_TRUE(log.contains("1: E_IP: 203.0.113.7\r\n")) << log.toStdString();
    EXPECT_TRUE(log.contains("olddb.php?mode=html&band=20&limit=1000\r\n")) << log.toStdString();
    EXPECT_TRUE(log.endsWith("1: CLOSING\r\n")) << log.toStdString();
    EXPECT_EQ(world.folder.read(QStringLiteral("WSPRRep1.csv")).count("\r\n"), 150);

    QSettings stored(world.settings, QSettings::IniFormat);
    EXPECT_EQ(stored.value(QStringLiteral("Drovix/WSPRBand1")).toString(), QStringLiteral("20"));
}

TEST(Program, TwoCopiesSideBySideKeepTheirOwnFiles)
{
    World world;
    Program first(world.folder, world.server, world.settings, world.locks.path());
    Program second(world.folder, world.server, world.settings, world.locks.path());
    first.start({QStringLiteral("/log")});
    ASSERT_TRUE(waitForText(world.folder, QStringLiteral("WSPRLog1.txt"), "Get-HTTP result: "));
    second.start({QStringLiteral("/log")});
    ASSERT_TRUE(waitForText(world.folder, QStringLiteral("WSPRLog2.txt"), "Get-HTTP result: "));
    EXPECT_TRUE(world.folder.read(QStringLiteral("WSPRLog2.txt")).contains("2: CMD  /log"));
    EXPECT_EQ(second.terminate(), 0);
    EXPECT_EQ(first.terminate(), 0);
    EXPECT_TRUE(world.folder.exists(QStringLiteral("WSPRRep1.csv")));
    EXPECT_TRUE(world.folder.exists(QStringLiteral("WSPRRep2.csv")));
    QSettings stored(world.settings, QSettings::IniFormat);
    EXPECT_TRUE(stored.contains(QStringLiteral("Drovix/WSPRBand1")));
    EXPECT_TRUE(stored.contains(QStringLiteral("Drovix/WSPRBand2")));
}
