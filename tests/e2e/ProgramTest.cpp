// The real program, started as a process in a temporary working folder against local
// servers: what an operator sees in the files it leaves behind.

#include "ClickHouseFixture.h"
#ifndef Q_OS_WIN
#include "FileSizeLimit.h"
#endif
#include "HttpFixture.h"
#ifndef Q_OS_WIN
#include "MqttBroker.h"
#endif
#include "PageMaker.h"
#include "SmtpFixture.h"
#include "TempFolder.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

#ifdef Q_OS_WIN
#include <QUuid>

#include <windows.h>
// windows.h still defines these for 16-bit pointers; the tests name spots so.
#undef near
#undef far
#endif

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
            const QString& settingsFile, const QString& lockDir, const QString& wsprLiveUrl = {})
    {
        auto env = QProcessEnvironment::systemEnvironment();
#ifdef Q_OS_WIN
        // A real window: the close that Windows sends (WM_CLOSE) needs one to go to.
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("windows"));
#else
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
#endif
        env.insert(QStringLiteral("BEAMTIDE_SPOTDB_URL"), server.baseUrl());
        env.insert(QStringLiteral("BEAMTIDE_ECHO_URL"), server.baseUrl());
        env.insert(QStringLiteral("BEAMTIDE_SETTINGS"), settingsFile);
        env.insert(QStringLiteral("BEAMTIDE_LOCK_DIR"), lockDir);
        // The address watch sees a usable address also where loopback is the only network.
        env.insert(QStringLiteral("BEAMTIDE_LOCAL_ADDRESS"), QStringLiteral("192.0.2.10"));
        // Never the public service from a test.
        env.insert(QStringLiteral("BEAMTIDE_WSPRLIVE_URL"),
                   wsprLiveUrl.isEmpty() ? server.baseUrl() + QStringLiteral("/no-wsprlive") : wsprLiveUrl);
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
#ifdef Q_OS_WIN
        m_process.start(QStringLiteral(BEAMTIDE_BINARY_DIR "/Beamtide.exe"), args);
#else
        m_process.start(QStringLiteral(BEAMTIDE_BINARY_DIR "/beamtide"), args);
#endif
        ASSERT_TRUE(m_process.waitForStarted());
    }

    // SIGTERM, as a service manager or the user's Ctrl+C would end it; on Windows WM_CLOSE,
    // as a click on the window's close button or taskkill without /F.
    int terminate()
    {
#ifdef Q_OS_WIN
        m_process.terminate(); // WM_CLOSE to the program's windows
#else
        ::kill(pid_t(m_process.processId()), SIGTERM);
#endif
        EXPECT_TRUE(m_process.waitForFinished(60000));
        return m_process.exitCode();
    }

    QProcess& process() { return m_process; }

#ifndef Q_OS_WIN
    // No file of the program may grow beyond `bytes`, as on a nearly full disk.
    void limitFileSize(qint64 bytes)
    {
        m_process.setChildProcessModifier([bytes] { test::FileSizeLimit::applyInChild(rlim_t(bytes)); });
    }
#endif

private:
    QProcess m_process;
};

bool waitForText(const test::TempFolder& folder, const QString& file, const QByteArray& text)
{
    return QTest::qWaitFor([&] { return folder.read(file).contains(text); }, 60000);
}

QString utcMinute(const QDateTime& utc)
{
    return utc.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

// Two spots on 6 m a minute old: one inside the 0..5000 km window with a strong signal, one
// beyond the window, which must not alert.
QByteArray bandSixPage()
{
    test::PageSpot near;
    near.time = utcMinute(QDateTime::currentDateTimeUtc().addSecs(-60));
    near.call = QStringLiteral("VK2AAA");
    near.mhz = QStringLiteral("50.293010");
    near.snr = QStringLiteral("-12");
    near.km = QStringLiteral("712");
    near.miles = QStringLiteral("442");
    test::PageSpot far = near;
    far.call = QStringLiteral("VK2BBB");
    far.km = QStringLiteral("9000");
    far.miles = QStringLiteral("5592");
    return test::reportPage(std::vector<test::PageSpot>{near, far}).toUtf8();
}

// Settings of a copy that has run before and alerts on 6 m: distance mode with the window
// 0..100 x 50 km, the signal alert at -30 dB or more, alerts on. The last announced alert is
// an old one, so the first new alert is announced rather than taken as already known.
void storeAlertingSetup(const QString& file, const QString& email, int smtpPort)
{
    QSettings ini(file, QSettings::IniFormat);
    const QList<QPair<const char*, QVariant>> values{
        {"WSPRRunCount1", 5},
        {"WSPRBand1", QStringLiteral("6")},
        {"WSPRDistMode1", 1},
        {"WSPRdBmAlert1", 1},
        {"WSPRSigAlert1", 1},
        {"WSPRDist1", 0},
        {"WSPRMaxD1", 100},
        {"WSPRdBmVal1", 0},
        {"WSPREmail1", email},
        {"WSPRSMTPHost1", QStringLiteral("127.0.0.1")},
        {"WSPRSMTPport1", smtpPort},
        {"WSPRSMPTUserName1", QStringLiteral("alerts@test.invalid")},
        {"WSPRSMTPpwd1", QStringLiteral("s3cret,pw")},
        {"WSPRLastAlert1", QStringLiteral("2020-01-01 00:00,K9OLD,50.293000,-20dBm,W1AW,100Km. ")},
    };
    for (const auto& [name, value] : values)
        ini.setValue(QStringLiteral("Drovix/") + QLatin1String(name), value);
}

// The one line the alerts file holds once the alerting spot is recorded.
QString recordedAlert(const test::TempFolder& folder)
{
    QString line;
    (void)QTest::qWaitFor([&] {
        const QByteArray bytes = folder.read(QStringLiteral("WSPR_Alerts1.txt"));
        if (!bytes.contains("VK2AAA"))
            return false;
        line = QString::fromUtf8(bytes).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts).value(0);
        return true;
    }, 60000);
    return line;
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

// The program sends no spot query until it has learned a public address, and it asks for
// one only when the machine has an address besides loopback: the program is told of one.
class WholeProgram : public ::testing::Test
{
};

TEST_F(WholeProgram, FirstRefreshWritesItsFilesAndLogAndClosesCleanly)
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

TEST_F(WholeProgram, TwoCopiesSideBySideKeepTheirOwnFiles)
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

TEST_F(WholeProgram, AlertingSpotOnSixMetresArrivesAsAMail)
{
    test::SmtpFixture smtp;
    ASSERT_TRUE(smtp.running()) << smtp.startError().toStdString();
    World world;
    world.server.setBody(QStringLiteral("/olddb.php"), bandSixPage());
    storeAlertingSetup(world.settings, QStringLiteral("operator@test.invalid"), smtp.port(QStringLiteral("starttls")));

    Program program(world.folder, world.server, world.settings, world.locks.path());
    // The fixture's certificate comes from a test authority the system does not know.
    program.start({QStringLiteral("/log"), QStringLiteral("/noverify"), QStringLiteral("/6")});
    const QString alert = recordedAlert(world.folder);
    EXPECT_TRUE(alert.contains(QStringLiteral(",VK2AAA,50.293010,-12dBm,VK3ABC,712Km."))) << alert.toStdString();

    ASSERT_TRUE(QTest::qWaitFor([&] { return !smtp.messages(QStringLiteral("starttls")).isEmpty(); }, 60000));
    EXPECT_EQ(program.terminate(), 0);

    const QList<test::StoredMail> mails = smtp.messages(QStringLiteral("starttls"));
    ASSERT_EQ(mails.size(), 1);
    EXPECT_EQ(mails[0].header(QStringLiteral("Subject")).trimmed(), QString(QStringLiteral("Beamtide Alert ") + alert).trimmed());
    EXPECT_EQ(mails[0].recipients, QStringList{QStringLiteral("operator@test.invalid")});
    EXPECT_TRUE(mails[0].tls);
    EXPECT_TRUE(mails[0].body.contains(alert.trimmed())) << mails[0].body.toStdString();
    EXPECT_FALSE(mails[0].body.contains(QStringLiteral("VK2BBB")));

    const QByteArray log = world.folder.read(QStringLiteral("WSPRLog1.txt"));
    EXPECT_EQ(log.count("1: Timer Alert - "), 1) << log.toStdString();
    EXPECT_TRUE(log.contains(("1: Timer Alert - " + alert + "\r\n").toUtf8())) << log.toStdString();
    // Announced once and remembered, so the next start does not announce it again.
    QSettings stored(world.settings, QSettings::IniFormat);
    EXPECT_EQ(stored.value(QStringLiteral("Drovix/WSPRLastAlert1")).toString(), alert);
}

#ifndef Q_OS_WIN // the MQTT broker fixture is a Linux program started directly
// One alert spot reaches the webhook, ntfy and the MQTT broker, each once.
TEST_F(WholeProgram, AlertingSpotReachesWebhookNtfyAndMqttOnce)
{
    World world;
    world.server.setBody(QStringLiteral("/olddb.php"), bandSixPage());
    world.server.setBody(QStringLiteral("/hook"), "ok");
    world.server.setBody(QStringLiteral("/shack-alerts"), "{}");
    test::MqttBroker broker;
    test::MqttSubscriber sub(broker, QStringLiteral("beamtide/+/1/alert"));
    storeAlertingSetup(world.settings, QString(), 25);
    {
        QSettings ini(world.settings, QSettings::IniFormat);
        const std::pair<const char*, QVariant> values[] = {
            {"BeamtideWebhookOn1", QStringLiteral("1")},
            {"BeamtideWebhookUrl1", QString(world.server.baseUrl() + QStringLiteral("/hook"))},
            {"BeamtideNtfyOn1", QStringLiteral("1")},
            {"BeamtideNtfyServer1", world.server.baseUrl()},
            {"BeamtideNtfyTopic1", QStringLiteral("shack-alerts")},
            {"BeamtideMqttOn1", QStringLiteral("1")},
            {"BeamtideMqttHost1", QStringLiteral("127.0.0.1")},
            {"BeamtideMqttPort1", QString::number(broker.port())},
        };
        for (const auto& [name, value] : values)
            ini.setValue(QStringLiteral("Drovix/") + QLatin1String(name), value);
    }

    Program program(world.folder, world.server, world.settings, world.locks.path());
    program.start({QStringLiteral("/log"), QStringLiteral("/6")});
    const QString alert = recordedAlert(world.folder);
    ASSERT_TRUE(alert.contains(QStringLiteral(",VK2AAA,50.293010,-12dBm,VK3ABC,712Km."))) << alert.toStdString();
    const auto requestsTo = [&](const QString& path) {
        int n = 0;
        for (const auto& r : world.server.requests())
            n += r.path == path;
        return n;
    };
    sub.waitUntil([](const QList<test::MqttMessage>& all) { return !all.isEmpty(); });
    while (requestsTo(QStringLiteral("/hook")) == 0 || requestsTo(QStringLiteral("/shack-alerts")) == 0)
        QTest::qWait(50);
    // The next alert checks announce nothing new.
    QTest::qWait(11000);
    EXPECT_EQ(program.terminate(), 0);

    EXPECT_EQ(requestsTo(QStringLiteral("/hook")), 1);
    EXPECT_EQ(requestsTo(QStringLiteral("/shack-alerts")), 1);
    const auto published = sub.messages();
    ASSERT_EQ(published.size(), 1);
    const QJsonObject json = QJsonDocument::fromJson(published[0].payload).object();
    EXPECT_EQ(json.value(u"line").toString(), alert);
    EXPECT_EQ(json.value(u"call").toString(), QStringLiteral("VK2AAA"));
    EXPECT_EQ(json.value(u"band").toString(), QStringLiteral("6m"));
    for (const auto& r : world.server.requests()) {
        if (r.path == u"/shack-alerts") {
            EXPECT_EQ(r.header(QStringLiteral("Title")), QStringLiteral("Beamtide alert: VK2AAA on 6m"));
            EXPECT_EQ(r.body, alert.toUtf8());
        }
    }
    const QByteArray log = world.folder.read(QStringLiteral("WSPRLog1.txt"));
    EXPECT_TRUE(log.contains("1: webhook: alert VK2AAA 6m delivered, HTTP 200")) << log.toStdString();
    EXPECT_TRUE(log.contains("1: ntfy: alert VK2AAA 6m delivered, HTTP 200")) << log.toStdString();
    EXPECT_TRUE(log.contains("1: mqtt: alert VK2AAA 6m delivered")) << log.toStdString();
}
#endif

TEST_F(WholeProgram, WithTheSpotDatabaseDownAnAlertFromWsprLiveArrivesAsAMail)
{
    test::SmtpFixture smtp;
    ASSERT_TRUE(smtp.running()) << smtp.startError().toStdString();
    test::ClickHouseFixture mirror;
    ASSERT_TRUE(mirror.running()) << mirror.startError().toStdString();
    // The alerting spot and the one beyond the window exist only in the mirror.
    test::WsprRxRow near;
    near.time = QDateTime::currentSecsSinceEpoch() - 60;
    near.band = 50;
    near.txSign = QStringLiteral("VK2AAA");
    near.frequency = 50293010;
    test::WsprRxRow far = near;
    far.txSign = QStringLiteral("VK2BBB");
    far.distance = 9000;
    ASSERT_EQ(mirror.insert({near, far}), QString());

    World world;
    test::Route down;
    down.status = 503;
    world.server.setRoute(QStringLiteral("/drupal/wsprnet/activity"), down);
    world.server.setRoute(QStringLiteral("/olddb.php"), down);
    storeAlertingSetup(world.settings, QStringLiteral("operator@test.invalid"), smtp.port(QStringLiteral("starttls")));

    Program program(world.folder, world.server, world.settings, world.locks.path(), mirror.baseUrl());
    program.start({QStringLiteral("/log"), QStringLiteral("/noverify"), QStringLiteral("/6")});
    const QString alert = recordedAlert(world.folder);
    EXPECT_TRUE(alert.contains(QStringLiteral(",VK2AAA,50.293010,-12dBm,VK3ABC,712Km."))) << alert.toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !smtp.messages(QStringLiteral("starttls")).isEmpty(); }, 60000));
    EXPECT_EQ(program.terminate(), 0);

    const QList<test::StoredMail> mails = smtp.messages(QStringLiteral("starttls"));
    ASSERT_EQ(mails.size(), 1);
    EXPECT_TRUE(mails[0].body.contains(alert.trimmed())) << mails[0].body.toStdString();
    EXPECT_FALSE(mails[0].body.contains(QStringLiteral("VK2BBB")));

    const QByteArray log = world.folder.read(QStringLiteral("WSPRLog1.txt"));
    EXPECT_TRUE(log.contains("1 Spot database failed (activity test failed: HTTP/1.1 503")) << log.toStdString();
    EXPECT_TRUE(log.contains("1 wspr.live result: 2\r\n")) << log.toStdString();
    EXPECT_EQ(log.count("1: Timer Alert - "), 1) << log.toStdString();
    QSettings stored(world.settings, QSettings::IniFormat);
    EXPECT_EQ(stored.value(QStringLiteral("Drovix/BeamtideSource1")).toString(), QStringLiteral("Automatic"));
}

#ifndef Q_OS_WIN
TEST_F(WholeProgram, WithoutAnAddressTheAlertRunsTheHook)
{
    World world;
    world.server.setBody(QStringLiteral("/olddb.php"), bandSixPage());
    storeAlertingSetup(world.settings, QString(), 25);
    // The alert text comes from a web page: it must arrive as one argument and run nothing.
    world.folder.write(QStringLiteral("runcode.bat"),
                       "printf '%s|%s' \"$#\" \"$1\" > hook.tmp && mv hook.tmp hook-ran.txt\n");

    Program program(world.folder, world.server, world.settings, world.locks.path());
    program.start({QStringLiteral("/log"), QStringLiteral("/6")});
    const QString alert = recordedAlert(world.folder);
    ASSERT_FALSE(alert.isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return world.folder.exists(QStringLiteral("hook-ran.txt")); }, 60000));
    EXPECT_EQ(program.terminate(), 0);

    EXPECT_EQ(QString::fromUtf8(world.folder.read(QStringLiteral("hook-ran.txt"))), QStringLiteral("1|") + alert);
    EXPECT_TRUE(world.folder.read(QStringLiteral("WSPRLog1.txt")).contains(("1: Timer Alert - " + alert).toUtf8()));
}
#else
namespace {

// A registry key of the test's own, named to the program through BEAMTIDE_SETTINGS, gone
// afterwards.
struct TestKey
{
    QString sub = QStringLiteral("Software\\BeamtideTests\\") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QString path() const { return QStringLiteral("HKEY_CURRENT_USER\\") + sub; }
    ~TestKey() { RegDeleteTreeW(HKEY_CURRENT_USER, reinterpret_cast<const wchar_t*>(sub.utf16())); }

    DWORD typeOf(const QString& name) const
    {
        const QString group = sub + QStringLiteral("\\Drovix");
        DWORD type = 0;
        RegGetValueW(HKEY_CURRENT_USER, reinterpret_cast<const wchar_t*>(group.utf16()),
                     reinterpret_cast<const wchar_t*>(name.utf16()), RRF_RT_ANY, &type, nullptr, nullptr);
        return type;
    }
};

} // namespace

// The Windows program reads its settings from the registry, and its hook runs through cmd:
// a call sign built to break out of the quotes reaches %1 as inert text.
TEST_F(WholeProgram, RegistrySettingsAreReadAndTheHookCannotBeTurnedAgainstCmd)
{
    World world;
    TestKey key;
    {
        QSettings registry(key.path(), QSettings::NativeFormat);
        registry.setValue(QStringLiteral("Drovix/WSPRRunCount1"), QStringLiteral("5"));
        registry.setValue(QStringLiteral("Drovix/WSPRBand1"), QStringLiteral("6"));
        registry.setValue(QStringLiteral("Drovix/WSPRDistMode1"), QStringLiteral("1"));
        registry.setValue(QStringLiteral("Drovix/WSPRdBmAlert1"), QStringLiteral("1"));
        registry.setValue(QStringLiteral("Drovix/WSPRSigAlert1"), QStringLiteral("1"));
        registry.setValue(QStringLiteral("Drovix/WSPRDist1"), QStringLiteral("0"));
        registry.setValue(QStringLiteral("Drovix/WSPRMaxD1"), QStringLiteral("100"));
        registry.setValue(QStringLiteral("Drovix/WSPRdBmVal1"), QStringLiteral("0"));
        registry.setValue(QStringLiteral("Drovix/WSPRLastAlert1"),
                          QStringLiteral("2020-01-01 00:00,K9OLD,50.293000,-20dBm,W1AW,100Km. "));
    }
    test::PageSpot spot;
    spot.time = utcMinute(QDateTime::currentDateTimeUtc().addSecs(-60));
    spot.call = QStringLiteral("X%PATH%^&!OS!");
    spot.mhz = QStringLiteral("50.293010");
    spot.km = QStringLiteral("712");
    spot.miles = QStringLiteral("442");
    world.server.setBody(QStringLiteral("/olddb.php"),
                         test::reportPage(std::vector<test::PageSpot>{spot}).toUtf8());
    // %~1 is the argument without its quotes.
    world.folder.write(QStringLiteral("runcode.bat"),
                       "@echo off\r\n>hook.tmp echo %~1\r\nmove hook.tmp hook-ran.txt >nul\r\n");

    Program program(world.folder, world.server, key.path(), world.locks.path());
    program.start({QStringLiteral("/log")}); // the band comes from the registry
    QString alert;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        alert = QString::fromUtf8(world.folder.read(QStringLiteral("WSPR_Alerts1.txt"))).section(u'\r', 0, 0);
        return alert.contains(u"X%PATH%");
    }, 60000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return world.folder.exists(QStringLiteral("hook-ran.txt")); }, 60000));
    // Under Wine the program does not yet end on WM_CLOSE (left for the next round), so this
    // run ends it the hard way and checks what it did before.
    program.process().kill();
    program.process().waitForFinished();

    QString inert = alert;
    inert.remove(u'%').remove(u'^').remove(u'&').remove(u'!');
    EXPECT_EQ(QString::fromUtf8(world.folder.read(QStringLiteral("hook-ran.txt"))).trimmed(), inert.trimmed());
    // The band came from the registry: the one query asked for 6 m.
    EXPECT_TRUE(world.folder.read(QStringLiteral("WSPRLog1.txt")).contains("band=6&limit=1000"));
}
#endif

TEST_F(WholeProgram, SettingsSavedOnSigtermAreRestoredByTheNextStart)
{
    World world;
    {
        Program first(world.folder, world.server, world.settings, world.locks.path());
        first.start({QStringLiteral("/log"), QStringLiteral("/40")});
        ASSERT_TRUE(waitForText(world.folder, QStringLiteral("WSPRLog1.txt"), "band=40&limit=1000"));
        EXPECT_EQ(first.terminate(), 0);
    }
    QSettings afterFirst(world.settings, QSettings::IniFormat);
    EXPECT_EQ(afterFirst.value(QStringLiteral("Drovix/WSPRBand1")).toString(), QStringLiteral("40"));
    EXPECT_EQ(afterFirst.value(QStringLiteral("Drovix/WSPRRunCount1")).toString(), QStringLiteral("1"));

    // No band option this time: the band comes back from the settings.
    Program second(world.folder, world.server, world.settings, world.locks.path());
    second.start({QStringLiteral("/log")});
    ASSERT_TRUE(waitForText(world.folder, QStringLiteral("WSPRLog1.txt"), "1: CMD  /log\r\n"));
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return world.folder.read(QStringLiteral("WSPRLog1.txt")).count("band=40&limit=1000") == 2;
    }, 60000));
    EXPECT_EQ(second.terminate(), 0);
    QSettings afterSecond(world.settings, QSettings::IniFormat);
    EXPECT_EQ(afterSecond.value(QStringLiteral("Drovix/WSPRRunCount1")).toString(), QStringLiteral("2"));
    EXPECT_EQ(world.folder.read(QStringLiteral("WSPRLog1.txt")).count("1: CLOSING\r\n"), 2);
}

TEST_F(WholeProgram, StartsWithAnAlertsFileOfBinaryJunk)
{
    World world;
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk.append(char((i * 131 + 7) % 256));
    world.folder.write(QStringLiteral("WSPR_Alerts1.txt"), junk);

    Program program(world.folder, world.server, world.settings, world.locks.path());
    program.start({QStringLiteral("/log"), QStringLiteral("/trimalerts"), QStringLiteral("/20")});
    ASSERT_TRUE(waitForText(world.folder, QStringLiteral("WSPRLog1.txt"), "Get-HTTP result: "));
    ASSERT_TRUE(QTest::qWaitFor([&] { return world.folder.exists(QStringLiteral("WSPRRep1.csv")); }, 30000));
    EXPECT_EQ(program.process().state(), QProcess::Running);
    EXPECT_EQ(program.terminate(), 0);
    EXPECT_EQ(program.process().exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(world.folder.read(QStringLiteral("WSPRLog1.txt")).endsWith("1: CLOSING\r\n"));
}

TEST_F(WholeProgram, ACopyKilledWithoutShutDownLeavesItsNumberFree)
{
    World world;
    {
        Program crashed(world.folder, world.server, world.settings, world.locks.path());
        crashed.start({QStringLiteral("/log")});
        ASSERT_TRUE(waitForText(world.folder, QStringLiteral("WSPRLog1.txt"), "1: CMD  /log\r\n"));
        crashed.process().kill();
        ASSERT_TRUE(crashed.process().waitForFinished(60000));
    }
    Program next(world.folder, world.server, world.settings, world.locks.path());
    next.start({QStringLiteral("/log")});
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return world.folder.read(QStringLiteral("WSPRLog1.txt")).count("1: CMD  /log\r\n") == 2;
    }, 60000));
    EXPECT_EQ(next.terminate(), 0);
    EXPECT_FALSE(world.folder.exists(QStringLiteral("WSPRLog2.txt")));
}

#ifndef Q_OS_WIN
// A full disk (here: a file-size limit on the whole program, with SIGXFSZ ignored) once
// emptied settings.ini and the alerts file without a word, and the next start lost every
// setting and the mail password. Every file keeps its old bytes, and the log names each one
// that could not be saved.
TEST_F(WholeProgram, AFullDiskLeavesEveryFileAsItWas)
{
    World world;
    world.server.setBody(QStringLiteral("/olddb.php"), bandSixPage());
    storeAlertingSetup(world.settings, QString(), 25);
    {
        // Other copies' values fill the file nearly to the limit; this copy's save adds more.
        QSettings ini(world.settings, QSettings::IniFormat);
        for (int i = 0; i < 125; ++i)
            ini.setValue(QStringLiteral("Drovix/WSPRSpotted%1").arg(i + 10), QString(100, u'K'));
    }
    const QByteArray settingsBefore = world.folder.read(QStringLiteral("settings.ini"));
    QStringList oldAlerts;
    for (int i = 0; i < 400; ++i)
        oldAlerts << QStringLiteral("2020-01-01 00:00,K%1OLD,50.293000,-20dBm,W1AW,100Km. ").arg(1000 + i);
    // Whole lines, in the order the program keeps them, up to just below the limit.
    QByteArray alerts;
    for (const QString& line : std::as_const(oldAlerts)) {
        const QByteArray next = line.toUtf8() + "\r\n";
        if (alerts.size() + next.size() > settingsBefore.size())
            break;
        alerts += next;
    }
    world.folder.write(QStringLiteral("WSPR_Alerts1.txt"), alerts);
    const QByteArray alertsBefore = world.folder.read(QStringLiteral("WSPR_Alerts1.txt"));
    // Room for a few bytes more than the files hold; the run log stays well below.
    const qint64 limit = settingsBefore.size() + 30;

    Program program(world.folder, world.server, world.settings, world.locks.path());
    program.limitFileSize(limit);
    program.start({QStringLiteral("/log"), QStringLiteral("/6")});
    const bool noted = waitForText(world.folder, QStringLiteral("WSPRLog1.txt"), "WSPR_Alerts1.txt: ");
    EXPECT_EQ(program.terminate(), 0);
    ASSERT_TRUE(noted) << world.folder.read(QStringLiteral("WSPRLog1.txt")).toStdString();

    EXPECT_EQ(world.folder.read(QStringLiteral("settings.ini")), settingsBefore);
    EXPECT_EQ(world.folder.read(QStringLiteral("WSPR_Alerts1.txt")), alertsBefore);
    const QByteArray log = world.folder.read(QStringLiteral("WSPRLog1.txt"));
    EXPECT_TRUE(log.contains("1: Cannot save ")) << log.toStdString();
    EXPECT_TRUE(log.contains("1: Settings not saved: cannot write the settings file")) << log.toStdString();
    EXPECT_TRUE(log.endsWith("1: CLOSING\r\n")) << log.toStdString();
    QSettings after(world.settings, QSettings::IniFormat);
    EXPECT_EQ(after.value(QStringLiteral("Drovix/WSPRSMTPpwd1")).toString(), QStringLiteral("s3cret,pw"));
}
#endif

// The echo service's answer once went into the address label as markup: this one crashed the
// program on the offscreen platform, and under X grew the window to 32767 x 32767 and saved
// that size for every later start.
TEST_F(WholeProgram, AnEchoAnswerOfMarkupIsAFailedLookup)
{
    World world;
    world.server.setBody(QStringLiteral("/"), "<img width=16777215 height=16777215>");
    Program program(world.folder, world.server, world.settings, world.locks.path());
    program.start({QStringLiteral("/log")});
    ASSERT_TRUE(waitForText(world.folder, QStringLiteral("WSPRLog1.txt"),
                            "1: IPLookup error: not an address: \"<img width=16777215 height=16777215>\""));
    EXPECT_EQ(program.process().state(), QProcess::Running);
    EXPECT_EQ(program.terminate(), 0);
    EXPECT_EQ(program.process().exitStatus(), QProcess::NormalExit);
    QSettings stored(world.settings, QSettings::IniFormat);
    EXPECT_LE(stored.value(QStringLiteral("Drovix/BeamtideWidth1")).toInt(), 4096);
    EXPECT_LE(stored.value(QStringLiteral("Drovix/BeamtideHeight1")).toInt(), 4096);
}
