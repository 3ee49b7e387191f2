// The start-up and shut-down sequences in this process: the real window and controller,
// the settings in an INI file, the services on a local HTTP server, the clock held still.
#include "Version.h"
#include "base/Clock.h"
#include "base/Config.h"
#include "base/Identity.h"
#include "platform/InstanceLock.h"
#include "settings/SettingsStore.h"
#include "spots/AlertsHistory.h"
#include "window/Controller.h"
#include "window/main/MainWindow.h"
#include "window/main/Prompt.h"
#include "window/map/MapPanel.h"
#include "window/map/SpotMap.h"
#include "window/setup/WorkingValues.h"

#include "EarthImage.h"
#include "HttpFixture.h"
#include "LocalServices.h"
#include "PageMaker.h"
#include "QuietOpeners.h"
#include "TempFolder.h"
#include "WidgetLookup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMutex>
#include <QPushButton>
#include <QSettings>
#include <QScreen>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace beamtide;

namespace {

// Nothing is started from these tests; the files an editor would open are kept.
struct NoOpeners final : Openers
{
    void startProgram(const QString&, const QStringList& arguments, const QString&) override
    {
        opened += arguments;
    }
    void openUrl(const QUrl&) override {}
    QStringList opened;
};

const QDateTime kNow(QDate(2026, 3, 15), QTime(12, 0, 30), Qt::UTC);

QString alertAt(const QDateTime& utc, const char* call)
{
    return utc.toString(QStringLiteral("yyyy-MM-dd HH:mm")) + u',' + QString::fromLatin1(call)
        + QStringLiteral(",50.293000,-12dBm,VK3ABC,712Km. ");
}

QByteArray crlfLines(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toUtf8() + "\r\n";
    return bytes;
}

// One copy of the program in a fresh folder. The services and the settings file are named
// through the environment, which the controller reads when it is made.
class Copy
{
public:
    explicit Copy(int instance = 1) : clock(kNow, 3600)
    {
        server.setBody(QStringLiteral("/drupal/wsprnet/activity"), test::linesPage(250));
        server.setBody(QStringLiteral("/"), "203.0.113.7");
        server.setBody(QStringLiteral("/olddb.php"), test::reportPage(test::assortedSpots(8)).toUtf8());
        identity.instance = instance;
        identity.folder = folder.path();
        settingsFile = folder.file(QStringLiteral("settings.ini"));
    }

    ~Copy()
    {
        if (controller && controller->started()) {
            // A refresh still on the worker thread would come back to a dead window.
            (void)QTest::qWaitFor([this] { return !controller->refreshRunning(); }, 60000);
        }
        controller.reset();
    }

    // Stored values before the start, written as the settings store reads them.
    void store(const QList<QPair<QString, QVariant>>& values)
    {
        QSettings ini(settingsFile, SettingsStore::iniFormat());
        for (const auto& [name, value] : values)
            ini.setValue(QStringLiteral("Drovix/") + name, value);
    }

    void start(const QStringList& arguments)
    {
        identity.commandLine = commandLineText(arguments);
        Services services = test::localServices(server.baseUrl(), settingsFile, openers);
        services.earthImagePath = earthImage;
        controller = std::make_unique<Controller>(window, identity, clock, services);
        controller->prompt().setSink(&prompts);
        controller->runLog().setSink([this](const QString& line) { record(line); });
        refreshed = std::make_unique<QSignalSpy>(controller.get(), &Controller::refreshFinished);
        controller->startUp();
    }

    QString text(const char* name) const { return test::controlText(window, name); }

    // The network thread logs too.
    void record(const QString& line)
    {
        const QMutexLocker lock(&logMutex);
        logLines.append(line);
    }
    QStringList logged(const QString& containing)
    {
        const QMutexLocker lock(&logMutex);
        return logLines.filter(containing);
    }

    test::TempFolder folder;
    test::HttpFixture server;
    QString settingsFile;
    QString earthImage;
    Identity identity;
    ManualClock clock;
    MainWindow window;
    test::QuietOpeners openers;
    PromptRecorder prompts;
    QMutex logMutex;
    QStringList logLines;
    std::unique_ptr<Controller> controller;
    std::unique_ptr<QSignalSpy> refreshed;
};

} // namespace

TEST(StartUp, BandOptionsFoundAsSubstringsLastOneWins)
{
    struct Case { QStringList arguments; QString band; };
    const Case cases[] = {
        {{QStringLiteral("/60")}, QStringLiteral("6")},
        {{QStringLiteral("/2190")}, QStringLiteral("2")},
        {{QStringLiteral("/20")}, QStringLiteral("20")},
        {{QStringLiteral("/220"), QStringLiteral("/20")}, QStringLiteral("220")},
        {{QStringLiteral("/432")}, QStringLiteral("432")},
        {{QStringLiteral("/log"), QStringLiteral("/80")}, QStringLiteral("80")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        Copy copy;
        // The stored band is what the options must override.
        copy.store({{QStringLiteral("WSPRRunCount1"), 3}, {QStringLiteral("WSPRBand1"), QStringLiteral("40")}});
        copy.start(c.arguments);
        EXPECT_EQ(copy.text("ComboBox1"), c.band);
        // And the first refresh asks for that band.
        ASSERT_TRUE(QTest::qWaitFor([&] { return copy.refreshed->count() > 0; }, 60000));
        QStringList queries;
        for (const test::RecordedRequest& request : copy.server.requests())
            if (request.path == u"/olddb.php")
                queries.append(request.query);
        EXPECT_EQ(queries, QStringList{u"mode=html&band=" + c.band + u"&limit=1000"});
    }
}

// The distance controls follow the band loaded from the settings; a band option changes the
// layout only.
TEST(StartUp, DistanceControlsFollowTheStoredBandNotTheBandOption)
{
    struct Case
    {
        const char* stored;
        QStringList arguments;
        const char* band;
        bool distanceControls;
    };
    const Case cases[] = {
        {"20", {QStringLiteral("/6")}, "6", false},
        {"6", {QStringLiteral("/20")}, "20", true},
        {"6", {}, "6", true},
        {"20", {}, "20", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.stored) + " " + c.arguments.join(u' ').toStdString());
        Copy copy;
        copy.store({{QStringLiteral("WSPRRunCount1"), 3}, {QStringLiteral("WSPRBand1"), QString::fromLatin1(c.stored)}});
        copy.start(c.arguments);
        EXPECT_EQ(copy.text("ComboBox1"), QString::fromLatin1(c.band));
        for (const char* name : {"ScrollBar2", "Edit8", "ScrollBar6", "Edit13", "CheckBox9"}) {
            auto* w = copy.window.findChild<QWidget*>(QString::fromLatin1(name));
            ASSERT_NE(w, nullptr) << name;
            EXPECT_EQ(!w->isHidden(), c.distanceControls) << name;
        }
        // The layout is the per-band one of the final band.
        EXPECT_FALSE(copy.window.findChild<QWidget*>(QStringLiteral("CheckBox6"))->isHidden());
        ASSERT_TRUE(QTest::qWaitFor([&] { return copy.refreshed->count() > 0; }, 60000));
    }
}

TEST(StartUp, DisplayOptionsShowHideAndUntick)
{
    struct Case
    {
        QStringList arguments;
        QStringList shown;
        QStringList hidden;
        bool alerts;
        QString address;
    };
    const QStringList buttons{QStringLiteral("Button5"), QStringLiteral("Button14"), QStringLiteral("Edit25")};
    const Case cases[] = {
        {{}, {}, buttons, true, QStringLiteral("IP: 203.0.113.7")},
        {{QStringLiteral("/emailtest"), QStringLiteral("/custom"), QStringLiteral("/diagcol")}, buttons, {}, true,
         QStringLiteral("IP: 203.0.113.7")},
        // "/noalert" acts after the load, which ticked the box from the stored value.
        {{QStringLiteral("/noalert")}, {}, buttons, false, QStringLiteral("IP: 203.0.113.7")},
        {{QStringLiteral("/x/noip")}, {}, buttons, true, QStringLiteral("IP: vvv.www.xxx.yyy")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        Copy copy;
        copy.store({{QStringLiteral("WSPRRunCount1"), 3}, {QStringLiteral("WSPRSigAlert1"), 1}});
        copy.start(c.arguments);
        for (const QString& name : c.shown) {
            auto* w = copy.window.findChild<QWidget*>(name);
            ASSERT_NE(w, nullptr) << name.toStdString();
            EXPECT_FALSE(w->isHidden()) << name.toStdString();
        }
        for (const QString& name : c.hidden) {
            auto* w = copy.window.findChild<QWidget*>(name);
            ASSERT_NE(w, nullptr) << name.toStdString();
            EXPECT_TRUE(w->isHidden()) << name.toStdString();
        }
        EXPECT_EQ(copy.window.findChild<QCheckBox*>(QStringLiteral("CheckBox5"))->isChecked(), c.alerts);
        ASSERT_TRUE(QTest::qWaitFor([&] { return copy.refreshed->count() > 0; }, 60000));
        EXPECT_EQ(copy.text("Label15"), c.address);
    }
}

TEST(StartUp, MyCallModeLoadsItsSpotsAndSavesThemAtClosing)
{
    const QStringList onFile{QStringLiteral("2026-03-01 10:00,VK2XYZ,14.097100,-12,QF56,VK3ABC,712,"),
                             QStringLiteral("2026-03-02 11:00,VK2XYZ,7.040100,-20,QF56,VK4DEF,1210,")};
    struct Case { QStringList arguments; QString call; bool log; };
    const Case cases[] = {
        {{QStringLiteral("/mycall=vk2xyz"), QStringLiteral("/log")}, QStringLiteral("VK2XYZ"), true},
        {{QStringLiteral("/mycall=vk2xyz/log")}, QStringLiteral("VK2XYZ"), true},
        {{QStringLiteral("/mycall="), QStringLiteral("/log")}, QString(), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        Copy copy;
        copy.store({{QStringLiteral("WSPRRunCount1"), 3}, {QStringLiteral("WSPRBand1"), QStringLiteral("20")}});
        copy.folder.write(QStringLiteral("VK2XYZ-spots.txt"), crlfLines(onFile));
        copy.start(c.arguments);
        EXPECT_EQ(copy.identity.myCall, c.call);
        EXPECT_EQ(copy.folder.exists(QStringLiteral("WSPRLog1.txt")), c.log);
        const bool myCall = !c.call.isEmpty();
        EXPECT_EQ(copy.window.bandBox->itemText(0) == u"MyCall", myCall);
        EXPECT_EQ(copy.text("ComboBox1"), QStringLiteral("20"));
        EXPECT_EQ(!copy.window.findChild<QWidget*>(QStringLiteral("Button15"))->isHidden(), myCall);
        if (myCall) {
            EXPECT_EQ(copy.text("Edit29"), QStringLiteral("2"));
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return copy.refreshed->count() > 0; }, 60000));
        copy.controller->shutDown();
        const QByteArray saved = copy.folder.read(QStringLiteral("VK2XYZ-spots.txt"));
        for (const QString& line : onFile)
            EXPECT_TRUE(saved.contains((line + u"\r\n").toUtf8())) << saved.toStdString();
    }
}

TEST(StartUp, PcNamePrefixesTheDataFiles)
{
    Copy copy;
    const QString prefix = hostName() + u'#';
    copy.store({{QStringLiteral("WSPRRunCount1"), 3}});
    copy.folder.write(prefix + u"WSPR_Alerts1.txt", crlfLines({alertAt(kNow.addDays(-1), "K4NEW")}));
    copy.start({QStringLiteral("/pcname"), QStringLiteral("/log")});
    EXPECT_EQ(copy.identity.filePrefix, prefix);
    EXPECT_EQ(copy.controller->alertsHistory().lines(), QStringList{alertAt(kNow.addDays(-1), "K4NEW")});
    copy.controller->shutDown();
    EXPECT_TRUE(copy.folder.read(prefix + u"WSPRLog1.txt").endsWith("1: CLOSING\r\n"));
    EXPECT_FALSE(copy.folder.exists(QStringLiteral("WSPRLog1.txt")));
}

TEST(StartUp, ResetActsBeforeTheLoadAndCountsAsAFirstLaunch)
{
    struct Case { const char* name; QStringList arguments; QString launches; QString spotted; QString email; QString host; };
    const Case cases[] = {
        {"plain start keeps the stored values", {}, QStringLiteral("6"), QStringLiteral("K1ABC"),
         QStringLiteral("me@example.org"), QStringLiteral("mail.example.org")},
        {"/reset", {QStringLiteral("/reset")}, QStringLiteral("1"), QString(), QStringLiteral("Your email"),
         QString::fromLatin1(config::kRelayHost)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Copy copy;
        copy.store({{QStringLiteral("WSPRRunCount1"), 5},
                    {QStringLiteral("WSPRSpotted1"), QStringLiteral("K1ABC")},
                    {QStringLiteral("WSPREmail1"), QStringLiteral("me@example.org")},
                    {QStringLiteral("WSPRSMTPHost1"), QStringLiteral("mail.example.org")},
                    {QStringLiteral("WSPRSpotted2"), QStringLiteral("K2XYZ")}});
        copy.start(c.arguments);
        EXPECT_EQ(copy.text("Label38"), c.launches);
        EXPECT_EQ(copy.text("Edit1"), c.spotted);
        EXPECT_EQ(copy.text("Edit21"), c.email);
        EXPECT_EQ(copy.text("Edit22"), c.host);
        copy.controller->shutDown();

        QSettings stored(copy.settingsFile, SettingsStore::iniFormat());
        EXPECT_EQ(stored.value(QStringLiteral("Drovix/WSPRRunCount1")).toString(), c.launches);
        // The second copy's values are not this copy's to reset.
        EXPECT_EQ(stored.value(QStringLiteral("Drovix/WSPRSpotted2")).toString(), QStringLiteral("K2XYZ"));
    }
}

TEST(StartUp, TrimAlertsDropsLinesOlderThanAWeek)
{
    const QStringList aged{alertAt(kNow.addDays(-10), "K1OLD"), alertAt(kNow.addDays(-8), "K2OLD"),
                           alertAt(kNow.addDays(-6), "K3NEW"), alertAt(kNow.addDays(-1), "K4NEW")};
    const QStringList recent{alertAt(kNow.addDays(-1), "K4NEW")};
    struct Case { const char* name; QStringList arguments; QStringList onFile; QStringList kept; };
    const Case cases[] = {
        {"no option", {}, aged, aged},
        {"lines of 10, 8, 6 and 1 days", {QStringLiteral("/trimalerts")}, aged, aged.mid(2)},
        {"one line", {QStringLiteral("/trimalerts")}, recent, recent},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Copy copy;
        copy.store({{QStringLiteral("WSPRRunCount1"), 3}});
        copy.folder.write(QStringLiteral("WSPR_Alerts1.txt"), crlfLines(c.onFile));
        copy.start(c.arguments);
        EXPECT_EQ(copy.controller->alertsHistory().lines(), c.kept);
        EXPECT_EQ(copy.folder.read(QStringLiteral("WSPR_Alerts1.txt")), crlfLines(c.kept));
    }
}

TEST(StartUp, TextEditorTakesTheRestOfTheCommandLine)
{
    struct Case { QStringList arguments; QString editor; bool log; };
    const Case cases[] = {
        {{QStringLiteral("/texteditor=notepad2.exe")}, QStringLiteral("notepad2.exe"), false},
        {{QStringLiteral("/texteditor=notepad2.exe"), QStringLiteral("/log")}, QStringLiteral("notepad2.exe /log"), true},
        {{QStringLiteral("/texteditor=\"/opt/my editor/ed\"")}, QStringLiteral("/opt/my editor/ed"), false},
        {{QStringLiteral("/log"), QStringLiteral("/texteditor=")}, defaultTextEditor(), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        Copy copy;
        copy.store({{QStringLiteral("WSPRRunCount1"), 3}});
        copy.start(c.arguments);
        EXPECT_EQ(copy.controller->working().textEditor, c.editor);
        EXPECT_EQ(copy.folder.exists(QStringLiteral("WSPRLog1.txt")), c.log);
    }
}

TEST(StartUp, InstanceNumberShowsAndNamesTheLogAndTheSettings)
{
    for (const int instance : {1, 2}) {
        SCOPED_TRACE(instance);
        Copy copy(instance);
        copy.start({QStringLiteral("/log")});
        const QString n = QString::number(instance);
        EXPECT_EQ(copy.text("Edit17"), u'#' + n);
        EXPECT_TRUE(copy.folder.read(u"WSPRLog" + n + u".txt").contains((n + u": CMD  /log\r\n").toUtf8()));
        copy.controller->shutDown();
        QSettings stored(copy.settingsFile, SettingsStore::iniFormat());
        EXPECT_EQ(stored.value(u"Drovix/WSPRRunCount" + n).toString(), QStringLiteral("1"));
        EXPECT_EQ(stored.allKeys().filter(QStringLiteral("RunCount")).size(), 1);
    }
}

TEST(StartUp, WithoutArgumentsTheCommandLineIsEmptyAndNothingIsLogged)
{
    Copy copy;
    copy.start({});
    // A later activation, after a message box say, does not start up again.
    copy.controller->startUp();
    EXPECT_EQ(copy.identity.commandLine, QString());
    // Messages reach the sink without their time stamp, logged to file or not.
    EXPECT_EQ(copy.logged(QStringLiteral("CMD")), QStringList{QStringLiteral("1: CMD ")});
    EXPECT_EQ(copy.text("Label38"), QStringLiteral("1"));
    EXPECT_TRUE(copy.window.windowTitle().startsWith(
        u"Beamtide Drovix - Version " + QString::fromLatin1(kVersionText) + u"  Build: "))
        << copy.window.windowTitle().toStdString();
    copy.controller->shutDown();
    EXPECT_FALSE(copy.folder.exists(QStringLiteral("WSPRLog1.txt")));
}

TEST(ShutDown, ClosingIsLoggedAfterTheSettingsAreSaved)
{
    QByteArray settingsAtClosing; // outlives the copy, whose log sink writes it
    Copy copy;
    copy.start({QStringLiteral("/log")});
    copy.controller->runLog().setSink([&](const QString& line) {
        copy.record(line);
        if (line.endsWith(QStringLiteral("CLOSING"))) {
            QFile file(copy.settingsFile);
            if (file.open(QIODevice::ReadOnly))
                settingsAtClosing = file.readAll();
        }
    });
    copy.controller->shutDown();
    EXPECT_TRUE(settingsAtClosing.contains("WSPRRunCount1=1")) << settingsAtClosing.toStdString();
    EXPECT_TRUE(copy.folder.read(QStringLiteral("WSPRLog1.txt")).endsWith("1: CLOSING\r\n"));
}

TEST(ShutDown, SettingsThatCannotBeSavedAreLoggedBeforeClosing)
{
    Copy copy;
    // A file where the settings folder should be: the store cannot be written.
    copy.folder.write(QStringLiteral("blocked"), "not a folder");
    copy.settingsFile = copy.folder.file(QStringLiteral("blocked/settings.ini"));
    copy.start({QStringLiteral("/log")});
    copy.controller->shutDown();
    const QByteArray log = copy.folder.read(QStringLiteral("WSPRLog1.txt"));
    const qsizetype failed = log.indexOf("1: Settings not saved: ");
    EXPECT_GE(failed, 0) << log.toStdString();
    EXPECT_GT(log.indexOf("1: CLOSING\r\n"), failed) << log.toStdString();
}

// The files a copy keeps can vanish under it; each failed save is logged before CLOSING.
TEST(ShutDown, DataFilesThatCannotBeSavedAreLoggedBeforeClosing)
{
    Copy copy;
    copy.store({{QStringLiteral("WSPRRunCount1"), 3}});
    copy.folder.write(QStringLiteral("VK2XYZ-spots.txt"),
                      crlfLines({QStringLiteral("2026-03-01 10:00,VK2XYZ,14.097100,-12,QF56,VK3ABC,712,")}));
    copy.start({QStringLiteral("/mycall=vk2xyz"), QStringLiteral("/log")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return copy.refreshed->count() > 0; }, 60000));
    // A folder where the spots file was: it cannot be replaced.
    ASSERT_TRUE(QFile::remove(copy.folder.file(QStringLiteral("VK2XYZ-spots.txt"))));
    ASSERT_TRUE(QDir(copy.folder.path()).mkdir(QStringLiteral("VK2XYZ-spots.txt")));
    copy.controller->shutDown();
    const QByteArray log = copy.folder.read(QStringLiteral("WSPRLog1.txt"));
    const qsizetype failed = log.indexOf("VK2XYZ-spots.txt");
    EXPECT_GE(failed, 0) << log.toStdString();
    EXPECT_GT(log.indexOf("1: CLOSING\r\n"), failed) << log.toStdString();
}

// A copy numbered above 3 runs as 0 after its first fetch. What it reads back at its next
// start keeps the starting number; what each fetch writes afresh carries 0.
TEST(StartUp, ACopyAboveThreeKeepsItsNumberForWhatItReadsBack)
{
    Copy copy(4);
    copy.store({{QStringLiteral("WSPRRunCount4"), 3}});
    copy.folder.write(QStringLiteral("WSPR_Alerts4.txt"), crlfLines({alertAt(kNow.addDays(-1), "K4NEW")}));
    copy.start({QStringLiteral("/log")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return copy.refreshed->count() > 0; }, 60000));
    EXPECT_EQ(copy.identity.instance, 0);
    EXPECT_TRUE(copy.folder.exists(QStringLiteral("WSPRRep4.htm")));

    QTest::mouseClick(copy.window.updateNow, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return copy.refreshed->count() > 1; }, 60000));
    EXPECT_TRUE(copy.folder.exists(QStringLiteral("WSPRRep0.htm")));
    EXPECT_TRUE(copy.folder.exists(QStringLiteral("Activity0.htm")));

    // The button opens the file the filter pass keeps, with the alert loaded at start-up.
    QTest::mouseClick(copy.window.alertsHistory, Qt::LeftButton);
    EXPECT_EQ(copy.openers.opened, QStringList{copy.folder.file(QStringLiteral("WSPR_Alerts4.txt"))});
    EXPECT_EQ(copy.folder.read(QStringLiteral("WSPR_Alerts4.txt")), crlfLines({alertAt(kNow.addDays(-1), "K4NEW")}));
    EXPECT_FALSE(copy.folder.exists(QStringLiteral("WSPR_Alerts0.txt")));

    copy.controller->shutDown();
    EXPECT_TRUE(copy.folder.read(QStringLiteral("WSPRLog0.txt")).endsWith("0: CLOSING\r\n"))
        << copy.folder.read(QStringLiteral("WSPRLog0.txt")).toStdString();
    QSettings stored(copy.settingsFile, SettingsStore::iniFormat());
    EXPECT_EQ(stored.value(QStringLiteral("Drovix/WSPRRunCount4")).toString(), QStringLiteral("4"));
    EXPECT_FALSE(stored.contains(QStringLiteral("Drovix/WSPRRunCount0")));
}

// A settings file that is there but cannot be read gave none of its values: saving would put
// the defaults, and no password, in its place. (Root reads any file, so a folder in its place
// stands for the unreadable file.)
TEST(StartUp, AnUnreadableSettingsFileIsReportedOnceAndNeverWrittenOver)
{
    Copy copy;
    ASSERT_TRUE(QDir().mkpath(copy.settingsFile));
    copy.start({QStringLiteral("/log")});
    const QString message = QStringLiteral("The settings file ") + copy.settingsFile
        + QStringLiteral(" cannot be read; changes to the settings will not be saved.");
    ASSERT_EQ(copy.prompts.requests.size(), 1);
    EXPECT_EQ(copy.prompts.requests[0].text, message);
    copy.controller->shutDown();
    EXPECT_EQ(copy.logged(QStringLiteral("settings")), QStringList{QStringLiteral("1: ") + message});
    EXPECT_TRUE(QFileInfo(copy.settingsFile).isDir());
}

// Saves cut short by a kill leave temporaries that no later save removes.
TEST(StartUp, StaleTemporariesOfSavesAreRemoved)
{
    Copy copy;
    const QDateTime old = QDateTime::currentDateTimeUtc().addSecs(-3600);
    for (const QString& name : {QStringLiteral("WSPRRep1.csv.txOEaq"), QStringLiteral("settings.ini.Ab12Cd"),
                                QStringLiteral("holiday.jpg.Ab12Cd")}) {
        copy.folder.write(name, "partial");
        QFile file(copy.folder.file(name));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(old, QFileDevice::FileModificationTime));
    }
    copy.start({QStringLiteral("/log")});
    EXPECT_FALSE(copy.folder.exists(QStringLiteral("WSPRRep1.csv.txOEaq")));
    EXPECT_FALSE(copy.folder.exists(QStringLiteral("settings.ini.Ab12Cd")));
    EXPECT_TRUE(copy.folder.exists(QStringLiteral("holiday.jpg.Ab12Cd")));
    EXPECT_EQ(copy.logged(QStringLiteral("unfinished save")).size(), 2);
}

// A damaged stored size once froze the program at every repaint and was saved back; the
// panel's place is kept on the screen, open or closed.
TEST(StartUp, MapPanelOfADamagedSizeIsKeptOnTheScreen)
{
    for (const char* open : {"1", "0"}) {
        SCOPED_TRACE(open);
        Copy copy;
        copy.store({{QStringLiteral("WSPRRunCount1"), 3},
                    {QStringLiteral("BeamtideMap1"), QString(QString::fromLatin1(open) + QStringLiteral(",-5000,0,20000,20000"))}});
        copy.start({});
        MapPanel& panel = copy.controller->mapPanel();
        // On the screen, give or take the frame the window system adds.
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry().adjusted(-50, -50, 50, 50);
        EXPECT_TRUE(screen.contains(panel.state().geometry)) << panel.state().toText().toStdString();
        copy.controller->shutDown();
        QSettings ini(copy.settingsFile, SettingsStore::iniFormat());
        const MapPanelState stored = MapPanelState::fromText(ini.value(QStringLiteral("Drovix/BeamtideMap1")).toString());
        EXPECT_TRUE(screen.contains(stored.geometry)) << stored.toText().toStdString();
    }
}

TEST(StartUp, MapPanelFollowsItsButtonAndIsStoredAtClosing)
{
    const auto stored = [](const Copy& copy) {
        QSettings ini(copy.settingsFile, SettingsStore::iniFormat());
        return ini.value(QStringLiteral("Drovix/BeamtideMap1")).toString();
    };
    Copy copy;
    copy.store({{QStringLiteral("WSPRRunCount1"), 3}, {QStringLiteral("BeamtideMap1"), QStringLiteral("1,50,60,700,400")}});
    copy.start({});
    MapPanel& panel = copy.controller->mapPanel();
    auto* button = copy.window.findChild<QPushButton*>(QStringLiteral("ButtonMap"));
    ASSERT_TRUE(button);
    EXPECT_EQ(button->text(), u"Map");
    // Stored open: it comes back open, where it was.
    EXPECT_TRUE(panel.isVisible());
    EXPECT_TRUE(button->isChecked());
    EXPECT_EQ(panel.geometry().size(), QSize(700, 400));

    button->click();
    EXPECT_FALSE(panel.isVisible());
    button->click();
    EXPECT_TRUE(panel.isVisible());
    // Closed from its own window, the button follows.
    panel.close();
    EXPECT_FALSE(button->isChecked());

    copy.controller->shutDown();
    EXPECT_TRUE(stored(copy).startsWith(u"0,")) << qPrintable(stored(copy));
}

TEST(StartUp, TheEarthImageIsReadWhenTheMapIsFirstShownAndGivenBackWhenItCloses)
{
    for (const bool present : {true, false}) {
        SCOPED_TRACE(present ? "image present" : "image missing");
        Copy copy;
        copy.earthImage = present ? test::writeEarthImage(copy.folder, Qt::darkGreen)
                                  : copy.folder.file(QStringLiteral("no-earth.jpg"));
        ASSERT_FALSE(copy.earthImage.isEmpty());
        copy.store({{QStringLiteral("WSPRRunCount1"), 3}});
        copy.start({});
        ASSERT_TRUE(QTest::qWaitFor([&] { return copy.refreshed->size() == 1; }, 60000));
        MapPanel& panel = copy.controller->mapPanel();
        const SpotMap& map = panel.map();
        EXPECT_FALSE(map.hasEarthImage()) << "read for a map never shown";
        EXPECT_FALSE(map.earthImageMissing()) << "looked for before the map was shown";

        auto* button = copy.window.findChild<QPushButton*>(QStringLiteral("ButtonMap"));
        ASSERT_TRUE(button);
        button->click();
        EXPECT_EQ(map.hasEarthImage(), present);
        EXPECT_EQ(map.earthImageMissing(), !present);
        EXPECT_EQ(panel.statusText().contains(u"No Earth image"), !present) << qPrintable(panel.statusText());
        button->click();
        EXPECT_FALSE(map.hasEarthImage()) << "kept after the map was closed";
    }
}
