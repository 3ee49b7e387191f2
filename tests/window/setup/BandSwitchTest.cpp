#include "SettingsFixture.h"

#include <QCheckBox>
#include <QDir>
#include <QScrollBar>

using namespace beamtide;
using namespace beamtide::test;

namespace {

QStringList presetFiles(const TempFolder& folder)
{
    return QDir(folder.path()).entryList({"*Band-*"}, QDir::Files, QDir::Name);
}

QByteArray presetOf(const QStringList& lines)
{
    return (lines.join("\r\n") + "\r\n").toLatin1();
}

void setFilters(SettingsUi& ui, const QString& spotted, int interval, bool entries)
{
    ui.window.spottedFilter->setText(spotted);
    ui.window.intervalBar->setValue(interval);
    ui.window.entriesLimit->setChecked(entries);
}

} // namespace

// Without "Use Last" a switch only records the band being left; the first switch of a run
// has no band to record.
TEST(BandSwitch, UseLastOffRecordsTheBandLeftAndChangesNoControl)
{
    TempFolder folder;
    SettingsUi ui(folder.path());
    folder.write("Band-20.txt", presetOf({"Spotted,ZL*", "UI,9"}));

    ui.pickBand("40");
    EXPECT_EQ(presetFiles(folder), QStringList({"Band-20.txt"})) << "the first switch writes nothing";
    EXPECT_EQ(ui.refreshes.count(), 1);

    setFilters(ui, "VK,ZL,FK", 17, true);
    ui.pickBand("20");
    EXPECT_EQ(ui.text("Edit1"), "VK,ZL,FK");
    EXPECT_EQ(ui.window.intervalBar->value(), 17);
    EXPECT_EQ(ui.refreshes.count(), 2);
    EXPECT_EQ(ui.binding.previousBand(), "20");

    const QList<QByteArray> lines = folder.read("Band-40.txt").split('\n');
    ASSERT_EQ(lines.size(), 19) << "18 lines, each ended by CR LF";
    EXPECT_EQ(lines[0], "Spotted,VK,ZL,FK\r");
    EXPECT_EQ(lines[3], "UI,17\r");
    EXPECT_EQ(lines[16], "ECOn,True\r");
}

TEST(BandSwitch, UseLastOnAppliesThePresetOfTheBandEntered)
{
    TempFolder folder;
    SettingsUi ui(folder.path());
    folder.write("Band-20.txt", presetOf({"Spotted,VK,ZL", "Logic,OR", "UI,9", "MinDVal,4", "ETVal,60",
                                          "SKMOn,True", "ECOn,true", "TIMESELOn,True"}));
    ui.window.useLast->setChecked(true);
    ui.window.entriesLimit->setChecked(true);
    ui.pickBand("20");

    EXPECT_EQ(ui.text("Edit1"), "VK,ZL") << "a filter list with commas comes back whole";
    EXPECT_EQ(ui.text("ComboBox3"), "OR");
    EXPECT_EQ(ui.text("Edit7"), "9");
    EXPECT_EQ(ui.text("Edit8"), "200");
    EXPECT_EQ(ui.window.minDistance(), 200);
    EXPECT_EQ(ui.text("Edit12"), "60");
    EXPECT_TRUE(ui.window.sortByKm->isChecked());
    EXPECT_TRUE(ui.window.timeWindow->isChecked()) << "TIMESELOn comes after SKMOn";
    EXPECT_FALSE(ui.window.entriesLimit->isChecked()) << "only exactly \"True\" ticks a box";
    EXPECT_EQ(ui.refreshes.count(), 1);

    // No preset for 15: the controls stay; leaving 15 then records it.
    ui.pickBand("15");
    EXPECT_EQ(ui.text("Edit1"), "VK,ZL");
    ui.pickBand("17");
    ASSERT_TRUE(folder.exists("Band-15.txt"));
    EXPECT_TRUE(folder.read("Band-15.txt").startsWith("Spotted,VK,ZL\r\nSpotter,"));
}

// A preset file applies its own lines, in file order, each running its box's handler; a key
// the file lacks leaves its control as it was.
TEST(BandSwitch, PresetLinesApplyInFileOrderAndMissingKeysChangeNothing)
{
    const struct
    {
        const char* name;
        QStringList lines;
        bool vhfDistMode;
        bool sortByKm;
    } cases[] = {
        {"no SKMOn: the old Sort by KM tick is not applied again", {"VDMOn,True", "Spotted,G4*"}, true, false},
        {"Sort by KM last unticks VHF Dist Mode", {"Spotted,G4*", "VDMOn,True", "SKMOn,True"}, false, true},
        {"VHF Dist Mode last unticks Sort by KM", {"Spotted,G4*", "SKMOn,True", "VDMOn,True"}, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        SettingsUi ui(folder.path());
        folder.write("Band-6.txt", presetOf(c.lines));
        ui.window.useLast->setChecked(true);
        ui.window.sortByKm->setChecked(true);
        ui.window.spotterFilter->setText("K1*");
        ui.window.intervalBar->setValue(17);
        ui.pickBand("6");
        EXPECT_EQ(ui.window.vhfDistMode->isChecked(), c.vhfDistMode);
        EXPECT_EQ(ui.window.sortByKm->isChecked(), c.sortByKm);
        EXPECT_EQ(ui.text("Edit1"), "G4*");
        EXPECT_EQ(ui.text("Edit2"), "K1*");
        EXPECT_EQ(ui.text("Edit7"), "17");
    }
}

TEST(BandSwitch, DistanceControlsShowOnTheVhfBandsIncluding8)
{
    TempFolder folder;
    SettingsUi ui(folder.path());
    const struct
    {
        const char* band;
        bool shown;
    } cases[] = {{"8", true}, {"6", true}, {"432", true}, {"u", true}, {"10", false}, {"All", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.band);
        ui.pickBand(c.band);
        for (const char* name : {"ScrollBar2", "Edit8", "Label11", "ScrollBar6", "Edit13", "Label12", "CheckBox9"})
            EXPECT_EQ(!ui.find<QWidget>(name)->isHidden(), c.shown) << name;
    }
}

TEST(BandSwitch, UseLastClickRecordsTheBandShownEvenWhenUntickedAgain)
{
    TempFolder folder;
    SettingsUi ui(folder.path());
    ui.window.bandBox->setCurrentText("30");
    setFilters(ui, "JA*", 11, false);

    ui.click("CheckBox16");
    ASSERT_TRUE(ui.window.useLast->isChecked());
    ASSERT_TRUE(folder.exists("Band-30.txt"));
    folder.write("Band-30.txt", "");
    ui.click("CheckBox16");
    EXPECT_FALSE(ui.window.useLast->isChecked());
    EXPECT_TRUE(folder.read("Band-30.txt").startsWith("Spotted,JA*\r\n"));
    EXPECT_EQ(ui.refreshes.count(), 0);
}

// With "/pcname" two computers share one folder, each with its own presets and account file.
// The prefix is learned at start-up, after the binding was made.
TEST(BandSwitch, PresetAndAccountFilesCarryTheFilePrefix)
{
    TempFolder folder;
    SettingsUi ui(folder.path(), 1, " /pcname");
    ui.identity.filePrefix = "SHACK#";
    ui.pickBand("40");
    ui.pickBand("20");
    EXPECT_EQ(presetFiles(folder), QStringList({"SHACK#Band-40.txt"}));

    ui.click("Button9");
    ui.find<QLineEdit>("Edit22")->setText("mail.example.org");
    ui.click("Button7");
    EXPECT_TRUE(folder.exists("SHACK#WSPRsmtp.txt"));
    EXPECT_FALSE(folder.exists("WSPRsmtp.txt"));
}

// Damaged preset lines never stop the switch: what can be used is used, the rest is named in
// one message, and the switch ends with its layout and refresh.
TEST(BandSwitch, DamagedPresetLinesAreSkippedWithAMessage)
{
    TempFolder folder;
    SettingsUi ui(folder.path());
    ui.window.useLast->setChecked(true);
    ui.window.intervalBar->setValue(7);
    ui.window.elapsedBar->setValue(40);
    folder.write("Band-20.txt", presetOf({"Spotted,VK2UI", "UI,abc", "ETVal,", "ECVal,5000",
                                          "garbage without a comma", "SNRVal,12"}));
    ui.pickBand("20");

    EXPECT_EQ(ui.text("Edit1"), "VK2UI");
    EXPECT_EQ(ui.window.intervalBar->value(), 7) << "a filter holding UI does not set the bar";
    EXPECT_EQ(ui.window.elapsedBar->value(), 40);
    EXPECT_EQ(ui.window.maxLinesBar->value(), 1000) << "clamped to the bar";
    EXPECT_EQ(ui.text("Edit10"), "-18");
    ASSERT_EQ(ui.recorder.requests.size(), 1);
    EXPECT_TRUE(ui.recorder.requests[0].text.contains("UI")) << ui.recorder.requests[0].text.toStdString();
    EXPECT_TRUE(ui.recorder.requests[0].text.contains("ETVal"));
    EXPECT_EQ(ui.refreshes.count(), 1);
    EXPECT_EQ(ui.binding.previousBand(), "20");
}

// A band typed into the box runs the switch at every key; a text that could name a file
// outside the folder is never used as one.
TEST(BandSwitch, TypedBandsSwitchPerKeyAndNeverLeaveTheFolder)
{
    TempFolder folder;
    SettingsUi ui(folder.path());
    ui.window.useLast->setChecked(true);
    QLineEdit* typed = ui.window.bandBox->lineEdit();
    typed->selectAll();
    QTest::keyClicks(typed, "../x");
    EXPECT_EQ(ui.refreshes.count(), 4);
    ui.pickBand("40");
    EXPECT_EQ(ui.refreshes.count(), 5);
    EXPECT_EQ(presetFiles(folder), QStringList());
    EXPECT_FALSE(QFileInfo::exists(folder.path() + "/../Band-x.txt"));
    EXPECT_TRUE(ui.recorder.requests.isEmpty());
}

// A preset or account file that is there but cannot be read leaves the controls as they are
// and says so, since the user asked for it.
TEST(BandSwitch, UnreadablePresetAndAccountFilesChangeNothingAndSaySo)
{
    TempFolder folder;
    SettingsUi ui(folder.path(), 1, " /custom");
    ASSERT_TRUE(QDir(folder.path()).mkdir("Band-20.txt"));
    ASSERT_TRUE(QDir(folder.path()).mkdir("WSPRsmtp.txt"));
    ui.window.useLast->setChecked(true);
    ui.window.spottedFilter->setText("JA*");

    ui.pickBand("20");
    EXPECT_EQ(ui.text("Edit1"), "JA*");
    EXPECT_EQ(ui.refreshes.count(), 1);
    ASSERT_EQ(ui.recorder.requests.size(), 1);
    EXPECT_TRUE(ui.recorder.requests[0].text.contains("Band-20.txt"));
    ui.prompt.dismiss("settings");

    ui.click("Button9");
    const QString emailTo = ui.text("Edit21");
    ui.click("Button14");
    EXPECT_EQ(ui.text("Edit21"), emailTo);
    ASSERT_EQ(ui.recorder.requests.size(), 2);
    EXPECT_TRUE(ui.recorder.requests[1].text.contains("WSPRsmtp.txt"));
}
