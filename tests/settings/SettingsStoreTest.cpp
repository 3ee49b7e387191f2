#include "settings/Settings.h"
#include "settings/SettingsStore.h"

#include "base/Config.h"

#ifndef Q_OS_WIN
#include "FileSizeLimit.h"
#endif
#include "TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <gtest/gtest.h>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace beamtide;
using beamtide::test::TempFolder;

namespace {

// Every value away from its default, so a value that is not saved or not loaded shows.
StoredSettings everyValueChanged()
{
    StoredSettings s;
    s.windowLeft = -20;
    s.windowTop = 33;
    s.windowWidth = 900;
    s.windowHeight = 700;
    s.launchCount = 41;
    s.distanceScale = 75;
    s.useLast = true;
    s.band = "20";
    s.spotted = "VK,ZL,FK";
    s.spotter = "G4";
    s.logic = "OR";
    s.emailTo = "me@example.org";
    s.smtpUserName = "me";
    s.smtpHost = "mail.example.org";
    s.smtpPassword = "p,a=s s;#\"x";
    s.smtpPort = 465;
    s.exclusionList = "K1ABC,W2XYZ";
    s.updateInterval = 7;
    s.minDistanceBar = 3;
    s.farAlertBar = 200;
    s.snrBar = 60;
    s.maxLines = 1000;
    s.elapsedTime = 2;
    s.maxDistanceBar = 100;
    s.sortByKm = true;
    s.hideTxMi = true;
    s.historical = true;
    s.snrAlert = true;
    s.farAlert = true;
    s.lastAlert = "2024-06-19 22:04,VK2XYZ,14.097,";
    s.alerts = true;
    s.alertTones = true;
    s.toneFrequency = 1700;
    s.timeSet = true;
    s.linesSet = true;
    s.vhfDistMode = true;
    s.desktopNotify = false;
    s.minimiseToTray = true;
    s.history = false;
    s.textLooks = {TextLook{"Lime", true}, TextLook{"Navy", false}, TextLook{"Teal", false},
                   TextLook{"CustomLtRed", true}, TextLook{"Aqua", true}};
    s.backgroundColours = {"White", "MoneyGreen", "CustomLtPurple"};
    s.source = SpotSource::WsprLive;
    return s;
}

QString raw(const QString& path, const QString& name)
{
    QSettings ini(path, SettingsStore::iniFormat());
    return ini.value("Drovix/" + name).toString();
}

} // namespace

TEST(SettingsStore, SaveThenLoadRestoresEveryValue)
{
    TempFolder dir;
    const QString path = dir.file("settings.ini");
    const StoredSettings saved = everyValueChanged();
    {
        SettingsStore store(path, 1);
        saved.save(store, {"/home/op/wspr", QDateTime(QDate(2024, 6, 19), QTime(22, 5, 9))});
        ASSERT_TRUE(store.sync().ok);
    }
    SettingsStore store(path, 1);
    EXPECT_EQ(StoredSettings::load(store), saved);

    // Stored as text under the instance suffix, with the two values the load never reads.
    EXPECT_EQ(raw(path, "WSPRUpdInterval1"), "7");
    EXPECT_EQ(raw(path, "WSPRSortDistance1"), "1");
    EXPECT_EQ(raw(path, "WSPRF5B1"), "1");
    EXPECT_EQ(raw(path, "WSPRF2"), QString());
    EXPECT_EQ(raw(path, "BeamtideLastGet1"), "19-06-24 22:05:09");
    EXPECT_EQ(raw(path, "BeamtideFolder1"), QDir::toNativeSeparators("/home/op/wspr/"));
    EXPECT_EQ(raw(path, "BeamtideSource1"), "wspr.live");
}

TEST(SettingsStore, FirstLaunchOnAnEmptyStore)
{
    TempFolder dir;
    const QString path = dir.file("sub/settings.ini");
    SettingsStore store(path, 1);
    const StoredSettings loaded = StoredSettings::load(store);
    EXPECT_EQ(loaded, StoredSettings());
    EXPECT_EQ(loaded.smtpPassword, QString::fromLatin1(config::kRelayPassword));
    EXPECT_EQ(loaded.textLooks[1].colour, "White");
    EXPECT_TRUE(loaded.textLooks[1].bold);
    EXPECT_EQ(loaded.backgroundColours[0], "CustomLtBlue");
    EXPECT_TRUE(isFirstLaunch(raisedLaunchCount(loaded.launchCount)));

    StoredSettings next = loaded;
    next.launchCount = raisedLaunchCount(loaded.launchCount);
    next.save(store, {dir.path(), {}});
    ASSERT_TRUE(store.sync().ok);
    EXPECT_EQ(raw(path, "WSPRRunCount1"), "1");
    EXPECT_EQ(raw(path, "BeamtideLastGet1"), "30-12-99 00:00:00");
    EXPECT_EQ(raw(path, "WSPRSMTPpwd1"), QString::fromLatin1(config::kRelayPassword));
    EXPECT_EQ(loaded.source, SpotSource::Automatic);
    EXPECT_EQ(raw(path, "BeamtideSource1"), "Automatic");
}

#ifndef Q_OS_WIN // POSIX file modes, inodes and size limits
TEST(SettingsStore, FileIsOwnerOnly)
{
    TempFolder dir;
    const QString path = dir.file("settings.ini");
    SettingsStore store(path, 1);
    StoredSettings().save(store, {dir.path(), {}});
    ASSERT_TRUE(store.sync().ok);
    EXPECT_EQ(QFile(path).permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    // A file made readable by others is closed again at the next save.
    QFile(path).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    StoredSettings changed;
    changed.band = "40";
    changed.save(store, {dir.path(), {}});
    ASSERT_TRUE(store.sync().ok);
    EXPECT_FALSE(QFile(path).permissions() & QFileDevice::ReadOther);
}
#endif

#ifndef Q_OS_WIN // POSIX file modes, inodes and size limits
TEST(SettingsStore, SavingTheSameValuesDoesNotRewriteTheFile)
{
    TempFolder dir;
    const QString path = dir.file("settings.ini");
    const SaveContext context{dir.path(), {}};
    auto inode = [&] {
        struct stat info {};
        ::stat(QFile::encodeName(path).constData(), &info);
        return info.st_ino;
    };
    SettingsStore store(path, 1);
    everyValueChanged().save(store, context);
    ASSERT_TRUE(store.sync().ok);
    const auto first = inode();

    SettingsStore again(path, 1);
    StoredSettings::load(again).save(again, context);
    ASSERT_TRUE(again.sync().ok);
    EXPECT_EQ(inode(), first);
}
#endif

TEST(SettingsStore, GarbageGivesDefaultsAndClampsBars)
{
    TempFolder dir;
    const QByteArray huge(1024 * 1024, 'x');
    dir.write("settings.ini",
              "[Drovix]\n"
              "WSPRUpdInterval1=often\n"       // words where numbers belong
              "WSPRGridNos1=99999\n"           // above the bar
              "WSPRet1=-4\n"                   // below the bar
              "BeamtideDScale1=1\n"
              "WSPRSMTPport1=70000\n"          // no port
              "BeamtideWidth1=-5\n"
              "WSPRToneF1=99999999\n"
              "WSPRSortDistance1=yes\n"
              "WSPRHideCols1=2\n"               // nonzero is true
              "WSPRDist1= 4 \n"
              "WSPRBand1=" + huge + "\n"
              "WSPRSpotted1=VK,ZL\n"           // hand-written without quotes
              "WSPRRunCount1=99999999999999\n"
              "BeamtideSource1=wsprlive\n"    // the option's word is not a stored name
              "[garbage\n"
              "=\n");
    SettingsStore store(dir.file("settings.ini"), 1);
    const StoredSettings s = StoredSettings::load(store);
    EXPECT_EQ(s.updateInterval, 2);
    EXPECT_EQ(s.maxLines, 1000);
    EXPECT_EQ(s.elapsedTime, 2);
    EXPECT_EQ(s.distanceScale, 5);
    EXPECT_EQ(s.smtpPort, 587);
    EXPECT_EQ(s.windowWidth, 430);
    EXPECT_EQ(s.toneFrequency, 2000);
    EXPECT_FALSE(s.sortByKm);
    EXPECT_TRUE(s.hideTxMi);
    EXPECT_EQ(s.minDistanceBar, 4);
    EXPECT_EQ(s.band, "All");
    EXPECT_EQ(s.spotted, "VK,ZL");
    EXPECT_EQ(s.launchCount, 0);
    EXPECT_EQ(s.source, SpotSource::Automatic);
}

TEST(SettingsStore, EachCopyReadsItsOwnSuffix)
{
    TempFolder dir;
    const QString path = dir.file("settings.ini");
    {
        SettingsStore first(path, 1);
        StoredSettings s;
        s.band = "40";
        s.launchCount = 12;
        s.save(first, {dir.path(), {}});
        ASSERT_TRUE(first.sync().ok);
    }
    SettingsStore second(path, 2);
    StoredSettings s = StoredSettings::load(second);
    EXPECT_EQ(s.band, "All");
    EXPECT_EQ(s.launchCount, 0);
    s.band = "6";
    s.save(second, {dir.path(), {}});
    ASSERT_TRUE(second.sync().ok);

    EXPECT_EQ(StoredSettings::load(SettingsStore(path, 1)).band, "40");
    EXPECT_EQ(StoredSettings::load(SettingsStore(path, 2)).band, "6");
}

TEST(SettingsStore, ResetDeletesOwnAndLegacyValuesOnly)
{
    TempFolder dir;
    const QString path = dir.file("settings.ini");
    {
        QSettings ini(path, SettingsStore::iniFormat());
        for (const char* suffix : {"", "1", "2"}) {
            for (const char* base : {"WSPRBand", "WSPRRunCount", "WSPRToneAlert", "WSPRSMPTUserName",
                                     "BeamtideLastGet", "WSPRDSTSet", "WSPRF1", "WSPRNoSpot",
                                     "BeamtideDScale", "WSPRLDThresh", "WSPRLastSet", "WSPRDistAlert",
                                     "WSPRToneF", "WSPRLastAlert", "BeamtideFolder", "BeamtideMap",
                                     "BeamtideSource", "WSPROddLine", "BeamtideHistory"})
                ini.setValue(QString("Drovix/") + base + suffix, "7");
        }
    }
    {
        SettingsStore store(path, 1);
        resetSettings(store);
        ASSERT_TRUE(store.sync().ok);
    }
    QSettings ini(path, SettingsStore::iniFormat());
    struct Case
    {
        const char* name;
        bool kept;
    };
    const Case cases[] = {
        {"WSPRBand1", false}, {"WSPRRunCount1", false}, {"WSPRToneAlert1", false},
        {"WSPRSMPTUserName1", false}, {"BeamtideLastGet1", false}, {"WSPRDSTSet1", false},
        {"BeamtideMap1", false}, {"BeamtideSource1", false}, {"BeamtideHistory1", false},
        {"BeamtideHistory2", true},
        // never reset
        {"WSPRF11", true}, {"WSPRNoSpot1", true}, {"BeamtideDScale1", true}, {"WSPRLDThresh1", true},
        {"WSPRLastSet1", true}, {"WSPRDistAlert1", true}, {"WSPRToneF1", true},
        {"WSPRLastAlert1", true}, {"BeamtideFolder1", true}, {"WSPROddLine1", true},
        // legacy names, three of them kept
        {"WSPRBand", false}, {"BeamtideLastGet", false}, {"WSPRDSTSet", false},
        {"WSPRRunCount", true}, {"WSPRToneAlert", true}, {"WSPRSMPTUserName", true},
        // another running copy
        {"WSPRBand2", true}, {"WSPRRunCount2", true}, {"BeamtideLastGet2", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ini.contains(QString("Drovix/") + c.name), c.kept);
    }
}

TEST(SettingsStore, LaunchCount)
{
    EXPECT_EQ(raisedLaunchCount(0), 1);
    EXPECT_EQ(raisedLaunchCount(41), 42);
    EXPECT_EQ(raisedLaunchCount(std::numeric_limits<int>::max()), std::numeric_limits<int>::max());
    EXPECT_FALSE(isFirstLaunch(raisedLaunchCount(std::numeric_limits<int>::max())));
}

TEST(SettingsStore, HeloNameAndTexts)
{
    struct Case
    {
        const char* host;
        const char* helo;
    };
    const Case cases[] = {
        {"smtp.example.org", "example.org"},
        {"localhost", "localhost"},
        {"smtp. example.org ", "example.org"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        EXPECT_EQ(heloName(c.host), c.helo);
    }
    EXPECT_EQ(heloName("a." + QString(300, 'b')).size(), 255);
    EXPECT_EQ(lastGetText(QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5))), "02-01-24 03:04:05");
}

#ifndef Q_OS_WIN // POSIX file modes, inodes and size limits
TEST(SettingsStore, DefaultFileIsInTheUserConfigFolderAndMadeOnFirstWrite)
{
    TempFolder dir;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    const QString path = defaultSettingsFile();
    EXPECT_EQ(path, dir.file("Beamtide/settings.ini"));
    {
        SettingsStore store(path, 3);
        EXPECT_EQ(store.fileName(), path);
        store.writeText(u"WSPRBand", "15");
    }
    EXPECT_EQ(raw(path, "WSPRBand3"), "15");
    if (saved.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", saved);
}
#endif

#ifndef Q_OS_WIN // POSIX file modes, inodes and size limits
// A save that runs into a full disk (here: the file-size limit) keeps the old file whole,
// password included, and says so. QSettings once put a cut-off file in its place.
TEST(SettingsStore, AFailedSaveKeepsTheOldFile)
{
    TempFolder dir;
    const QString path = dir.file("settings.ini");
    {
        SettingsStore store(path, 1);
        store.writeText(u"WSPRSMTPpwd", "s3cret");
        ASSERT_TRUE(store.sync().ok);
    }
    const QByteArray old = dir.read("settings.ini");

    SettingsStore store(path, 1);
    everyValueChanged().save(store, {dir.path(), {}});
    SaveResult saved;
    {
        const test::FileSizeLimit limit(rlim_t(old.size()) + 40);
        saved = store.sync();
    }
    EXPECT_FALSE(saved.ok);
    EXPECT_TRUE(saved.error.contains(path)) << saved.error.toStdString();
    EXPECT_EQ(dir.read("settings.ini"), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"settings.ini"});

    // The next save, with room again, goes through.
    everyValueChanged().save(store, {dir.path(), {}});
    const SaveResult again = store.sync();
    ASSERT_TRUE(again.ok) << again.error.toStdString();
    EXPECT_EQ(raw(path, "WSPRSMTPpwd1"), everyValueChanged().smtpPassword);
    EXPECT_EQ(raw(path, "WSPRBand1"), "20");
}
#endif

#ifndef Q_OS_WIN // POSIX file modes, inodes and size limits
// A settings file that is there but cannot be read gave none of its values; writing would put
// defaults over the user's settings and password. (Root reads a file of mode 000, so a folder
// in its place stands for the unreadable file here.)
TEST(SettingsStore, AnUnreadableFileIsNeverWrittenOver)
{
    TempFolder dir;
    const QString path = dir.file("settings.ini");
    ASSERT_TRUE(QDir().mkpath(path));
    {
        SettingsStore store(path, 1);
        EXPECT_TRUE(store.unreadable());
        EXPECT_TRUE(store.unreadableMessage().contains(u"will not be saved")) << store.unreadableMessage().toStdString();
        StoredSettings().save(store, {dir.path(), {}});
        const SaveResult saved = store.sync();
        EXPECT_FALSE(saved.ok);
    }
    EXPECT_TRUE(QFileInfo(path).isDir());

    if (::geteuid() == 0)
        return; // root reads any file, so mode 000 is only unreadable to others
    QDir(path).removeRecursively();
    {
        QSettings ini(path, SettingsStore::iniFormat());
        ini.setValue("Drovix/WSPRSMTPpwd1", "s3cret");
    }
    const QByteArray old = dir.read("settings.ini");
    QFile(path).setPermissions({});
    {
        SettingsStore store(path, 1);
        EXPECT_TRUE(store.unreadable());
        StoredSettings().save(store, {dir.path(), {}});
        EXPECT_FALSE(store.sync().ok);
        EXPECT_FALSE(store.sync().ok);
    }
    QFile(path).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(dir.read("settings.ini"), old);
}
#endif
