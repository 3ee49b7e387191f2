#include "SettingsFixture.h"

#include "base/Config.h"
#include "settings/SettingsStore.h"

#include <QCheckBox>
#include <QDir>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>

#include <limits>

using namespace beamtide;
using namespace beamtide::test;

namespace {

// Every value away from its default, and consistent with the boxes' cascades (the load
// runs them): VHF Dist Mode off because Sort by KM is on.
StoredSettings unusualSettings()
{
    StoredSettings s;
    s.windowLeft = 37;
    s.windowTop = 58;
    s.windowWidth = 712; // on the offscreen platform's 800 x 600 screen
    s.windowHeight = 503;
    s.launchCount = 41;
    s.distanceScale = 20;
    s.useLast = true;
    s.band = QStringLiteral("40");
    s.spotted = QStringLiteral("VK,ZL,FK");
    s.spotter = QStringLiteral("G4*");
    s.logic = QStringLiteral("OR");
    s.emailTo = QStringLiteral("op@example.org");
    s.smtpUserName = QStringLiteral("op");
    s.smtpHost = QStringLiteral("mail.example.org");
    s.smtpPassword = QStringLiteral("pa,ss");
    s.smtpPort = 465;
    s.exclusionList = QStringLiteral("K1ABC,W2");
    s.updateInterval = 17;
    s.minDistanceBar = 3;
    s.farAlertBar = 44;
    s.snrBar = 52;
    s.maxLines = 321;
    s.elapsedTime = 75;
    s.maxDistanceBar = 9;
    s.sortByKm = true;
    s.hideTxMi = true;
    s.historical = true;
    s.snrAlert = true;
    s.farAlert = true;
    s.lastAlert = QStringLiteral("2026-12-10 10:02 VK3XYZ");
    s.alerts = true;
    s.alertTones = true;
    s.toneFrequency = 1500;
    s.timeSet = true;
    s.linesSet = true;
    s.vhfDistMode = false;
    s.desktopNotify = false;
    s.minimiseToTray = true;
    s.history = false;
    s.textLooks = {TextLook{QStringLiteral("Navy"), true}, TextLook{QStringLiteral("Yellow"), false},
                   TextLook{QStringLiteral("Teal"), false}, TextLook{QStringLiteral("Purple"), true},
                   TextLook{QStringLiteral("CustomLtRed2"), true}};
    s.backgroundColours = {QStringLiteral("CustomLtGreen"), QStringLiteral("White"),
                           QStringLiteral("CustomLtOrange")};
    return s;
}

} // namespace

TEST(SettingsBinding, SaveThenLoadRestoresEveryValueThroughTheWindow)
{
    TempFolder folder;
    const StoredSettings wanted = unusualSettings();
    {
        SettingsUi first(folder.path());
        first.binding.applyLoad(wanted);
        ASSERT_TRUE(first.binding.save(first.store, QDateTime(QDate(2024, 6, 19), QTime(22, 5, 9))).ok);
    }

    SettingsUi second(folder.path());
    second.binding.load(second.store);
    EXPECT_EQ(second.binding.collect(), wanted);

    // The boxes and working values the load derives from the bars and names.
    EXPECT_EQ(second.text("Label38"), "41");
    EXPECT_EQ(second.text("Edit19"), "20");
    EXPECT_EQ(second.text("Edit7"), "17");
    EXPECT_EQ(second.text("Edit8"), "60");
    EXPECT_EQ(second.text("Edit13"), "180");
    EXPECT_EQ(second.text("Edit20"), "4200");
    EXPECT_EQ(second.text("Edit10"), "22");
    EXPECT_EQ(second.text("Edit11"), "321");
    EXPECT_EQ(second.text("Edit12"), "75");
    EXPECT_EQ(second.window.minDistance(), 60);
    EXPECT_EQ(second.window.maxDistance(), 180);
    EXPECT_EQ(second.window.farAlertDistance(), 4200);
    EXPECT_EQ(second.window.toneFrequency(), 1500);
    EXPECT_EQ(second.find<QScrollBar>("ScrollBar7")->value(), 15);
    EXPECT_FALSE(second.find<QWidget>("ScrollBar7")->isHidden());
    EXPECT_EQ(second.text("Edit22"), "mail.example.org");
    EXPECT_EQ(second.text("Edit23"), "pa,ss");
    EXPECT_EQ(second.working.smtpPort, 465);
    EXPECT_EQ(second.working.heloName, "example.org");
    EXPECT_EQ(second.text("ComboBox8"), "CustomLtRed2");
    EXPECT_EQ(second.text("ComboBox11"), "CustomLtOrange");
    EXPECT_EQ(second.working.colours.evenLine, "White");

    QSettings ini(folder.file("settings.ini"), SettingsStore::iniFormat());
    EXPECT_EQ(ini.value("Drovix/BeamtideLastGet1").toString(), "19-06-24 22:05:09");
    EXPECT_EQ(ini.value("Drovix/BeamtideFolder1").toString(), QDir::toNativeSeparators(folder.path()) + QDir::separator());
    EXPECT_EQ(ini.value("Drovix/WSPRF5B1").toString(), "1");
}

TEST(SettingsBinding, FirstLaunchOnAnEmptyStoreTakesTheDefaultsAndTheRelayAccount)
{
    TempFolder folder;
    SettingsUi ui(folder.path());
    const StartupSettings started = ui.binding.startUpLoad(ui.store, false);

    EXPECT_TRUE(started.firstLaunch);
    EXPECT_EQ(ui.text("Label38"), "1");
    EXPECT_EQ(ui.working.launchCount, 1);
    EXPECT_EQ(ui.text("ComboBox1"), "All");
    EXPECT_EQ(ui.text("Edit1"), "");
    EXPECT_EQ(ui.text("ComboBox3"), "AND");
    EXPECT_EQ(ui.text("Edit7"), "2");
    EXPECT_EQ(ui.text("Edit8"), "50");
    EXPECT_EQ(ui.text("Edit20"), "2500");
    EXPECT_EQ(ui.text("Edit10"), "-29");
    EXPECT_EQ(ui.text("Edit11"), "20");
    EXPECT_EQ(ui.text("Edit12"), "30");
    EXPECT_EQ(ui.text("Edit13"), "0");
    EXPECT_EQ(ui.text("ComboBox4"), "Black");
    EXPECT_EQ(ui.text("ComboBox9"), "CustomLtBlue");
    EXPECT_TRUE(ui.find<QCheckBox>("CheckBox12")->isChecked());
    EXPECT_EQ(ui.window.toneFrequency(), 1200);

    // The built-in relay account, masked.
    EXPECT_EQ(ui.text("Edit21"), "Your email");
    EXPECT_EQ(ui.text("Edit22"), QString::fromLatin1(config::kRelayHost));
    EXPECT_EQ(ui.working.smtpHost, QString::fromLatin1(config::kRelayHost));
    EXPECT_EQ(ui.text("Edit23"), QString::fromLatin1(config::kRelayPassword));
    EXPECT_EQ(ui.find<QLineEdit>("Edit23")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(ui.text("ComboBox2"), "587");
    EXPECT_EQ(ui.working.smtpPort, 587);

    ASSERT_TRUE(ui.binding.save(ui.store, {}).ok);
    QSettings ini(folder.file("settings.ini"), SettingsStore::iniFormat());
    EXPECT_EQ(ini.value("Drovix/WSPRRunCount1").toString(), "1");
    EXPECT_EQ(ini.value("Drovix/WSPRBand1").toString(), "All");
    EXPECT_EQ(ini.value("Drovix/BeamtideLastGet1").toString(), "30-12-99 00:00:00");
    EXPECT_FALSE(ini.contains("Drovix/WSPRBand2"));
}

TEST(SettingsBinding, EachCopyReadsItsOwnSuffixAndCountsItsLaunches)
{
    TempFolder folder;
    folder.write("settings.ini", "[Drovix]\r\nWSPRBand1=40\r\nWSPRRunCount1=4\r\n"
                                 "WSPRBand2=20\r\nWSPRRunCount2=9\r\nWSPRSpotted2=ZL*\r\n");
    SettingsUi second(folder.path(), 2);
    const StartupSettings started = second.binding.startUpLoad(second.store, false);
    EXPECT_FALSE(started.firstLaunch);
    EXPECT_EQ(second.text("ComboBox1"), "20");
    EXPECT_EQ(second.text("Edit1"), "ZL*");
    EXPECT_EQ(second.text("Label38"), "10");
    EXPECT_TRUE(second.binding.previousBand().isEmpty()) << "setting the band from the store is no switch";
}

// The load sets each box as a user would, so Sort by KM unticks Time and VHF Dist Mode
// through its handler before their own stored values are applied.
TEST(SettingsBinding, LoadRunsTheHandlersOfTheBoxesItChanges)
{
    TempFolder folder;
    folder.write("settings.ini", "[Drovix]\r\nWSPRSortDistance1=1\r\nWSPRTimeSet1=1\r\nWSPRDistMode1=0\r\n");
    SettingsUi ui(folder.path());
    ui.window.timeWindow->setChecked(true);
    ui.window.vhfDistMode->setChecked(true);
    QStringList order;
    for (QCheckBox* box : {ui.window.sortByKm, ui.window.timeWindow, ui.window.vhfDistMode}) {
        QObject::connect(box, &QCheckBox::toggled, box,
                         [&order, box](bool on) { order << box->objectName() + (on ? ":on" : ":off"); });
    }

    ui.binding.load(ui.store);

    // Sort by KM's own handler runs first (connected first), so its cascade is logged ahead of it.
    EXPECT_EQ(order, QStringList({"CheckBox6:off", "CheckBox9:off", "CheckBox1:on", "CheckBox6:on"}));
    EXPECT_TRUE(ui.window.timeWindow->isChecked());
    EXPECT_FALSE(ui.window.vhfDistMode->isChecked());
}

TEST(SettingsBinding, GarbageInTheStoreGivesDefaultsAndClampedBars)
{
    TempFolder folder;
    folder.write("settings.ini", "[Drovix]\r\nWSPRUpdInterval1=abc\r\nWSPRDist1=99999\r\nWSPRToneF1=zz\r\n"
                                 "WSPRSigAlert1=yes\r\nWSPRGridNos1=-4\r\nBeamtideDScale1=1000\r\n"
                                 "WSPRSMTPport1=70000\r\nBeamtideWidth1=0\r\n");
    SettingsUi ui(folder.path());
    ui.binding.load(ui.store);
    EXPECT_EQ(ui.text("Edit7"), "2");
    EXPECT_EQ(ui.window.minKmBar->value(), 100);
    EXPECT_EQ(ui.text("Edit19"), "100");
    EXPECT_EQ(ui.text("Edit8"), "10000");
    EXPECT_EQ(ui.window.maxLinesBar->value(), 5);
    EXPECT_EQ(ui.window.toneFrequency(), 1200);
    EXPECT_FALSE(ui.window.alerts->isChecked());
    EXPECT_EQ(ui.working.smtpPort, 587);
    EXPECT_EQ(ui.window.width(), 430);
}

// The frequency is stored in hertz, the bar in hundreds: a frequency the bar already shows
// stays as stored, one that moves the bar takes the bar's rounding through its handler.
TEST(SettingsBinding, ToneFrequencyFollowsTheBarOnlyWhenTheBarMoves)
{
    TempFolder folder;
    folder.write("settings.ini", "[Drovix]\r\nWSPRToneF1=450\r\nWSPRToneF2=1550\r\n");
    SettingsUi first(folder.path(), 1);
    first.binding.load(first.store);
    EXPECT_EQ(first.window.toneBar->value(), 4);
    EXPECT_EQ(first.window.toneFrequency(), 450);

    SettingsUi second(folder.path(), 2);
    second.binding.load(second.store);
    EXPECT_EQ(second.window.toneBar->value(), 15);
    EXPECT_EQ(second.window.toneFrequency(), 1500);
}

// A stored "Use Last" is applied without its click, which would save the preset of a band
// whose filters are not loaded yet.
TEST(SettingsBinding, StoredUseLastWritesNoPreset)
{
    TempFolder folder;
    folder.write("settings.ini", "[Drovix]\r\nWSPRLastSet1=1\r\nWSPRBand1=40\r\n");
    SettingsUi ui(folder.path());
    ui.binding.startUpLoad(ui.store, false);
    EXPECT_TRUE(ui.window.useLast->isChecked());
    EXPECT_EQ(QDir(folder.path()).entryList({"Band-*"}, QDir::Files), QStringList());
    EXPECT_EQ(ui.refreshes.count(), 0);
}

// A damaged or foreign geometry once grew the window past the screen (a width of 2^31 - 1
// crashed every start) or put it out of reach for good. Loaded and saved, it is kept on the
// screen; a geometry that fits stays as it is.
TEST(SettingsBinding, StoredGeometryIsKeptOnTheScreen)
{
    const int big = std::numeric_limits<int>::max();
    const int small = std::numeric_limits<int>::min();
    const struct
    {
        const char* name;
        int left, top, width, height;
    } cases[] = {
        {"largest size", 0, 0, big, big},
        {"largest position", big, big, 500, 400},
        {"smallest position", small, small, 500, 400},
        {"off the bottom right", 5000, 4000, 500, 400},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        SettingsUi ui(folder.path());
        const QRect screen = ui.window.screen()->availableGeometry();
        StoredSettings s = unusualSettings();
        s.windowLeft = c.left;
        s.windowTop = c.top;
        s.windowWidth = c.width;
        s.windowHeight = c.height;
        ui.binding.applyLoad(s);
        const QRect shown(ui.window.pos(), ui.window.size());
        EXPECT_TRUE(screen.contains(shown)) << shown.x() << "," << shown.y() << " " << shown.width() << "x" << shown.height();

        const StoredSettings saved = ui.binding.collect();
        EXPECT_TRUE(screen.contains(QRect(saved.windowLeft, saved.windowTop, saved.windowWidth, saved.windowHeight)));
    }
}

TEST(SettingsBinding, KeepOnScreenMovesAndShrinksAsLittleAsNeeded)
{
    const QRect screen(0, 30, 1280, 994);
    const struct
    {
        const char* name;
        int left, top, width, height;
        QRect kept;
    } cases[] = {
        {"fits", 37, 58, 912, 633, QRect(37, 58, 912, 633)},
        {"past the right edge", 1000, 58, 912, 633, QRect(368, 58, 912, 633)},
        {"above the top", 37, -500, 912, 633, QRect(37, 30, 912, 633)},
        {"wider than the screen", 37, 58, 5000, 633, QRect(0, 58, 1280, 633)},
        {"no size", 37, 58, 0, -4, QRect(37, 58, 1, 1)},
        {"integer limits", std::numeric_limits<int>::min(), std::numeric_limits<int>::max(),
         std::numeric_limits<int>::max(), std::numeric_limits<int>::max(), QRect(0, 30, 1280, 994)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(keepOnScreen(c.left, c.top, c.width, c.height, screen), c.kept);
    }
}
