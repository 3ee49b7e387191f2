#include "SettingsFixture.h"

#include "base/Config.h"
#include "settings/SettingsStore.h"
#include "window/grid/SpotGridDelegate.h"

#include <QCheckBox>
#include <QPalette>
#include <QScrollBar>
#include <QSettings>

using namespace beamtide;
using namespace beamtide::test;

namespace {

QString stored(const TempFolder& folder, const char* name)
{
    QSettings ini(folder.file("settings.ini"), SettingsStore::iniFormat());
    return ini.value(QStringLiteral("Drovix/") + QLatin1String(name)).toString();
}

void typeInto(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

} // namespace

TEST(SetupPanel, OpenBringsBackWhatIsStored)
{
    TempFolder folder;
    folder.write("settings.ini", "[Drovix]\r\nWSPRBand1=40\r\nWSPRSpotted1=VK*\r\nWSPRRunCount1=6\r\n");
    SettingsUi ui(folder.path());
    ui.binding.startUpLoad(ui.store, false);
    ui.window.show();
    EXPECT_TRUE(ui.panel.isHidden());
    EXPECT_EQ(ui.text("Label38"), "7") << "the launch count of this start-up, already raised";

    ui.window.bandBox->setCurrentText("20");
    ui.window.spottedFilter->setText("ZL*");
    ui.click("Button9");
    EXPECT_FALSE(ui.panel.isHidden());
    EXPECT_EQ(ui.text("ComboBox1"), "40");
    EXPECT_EQ(ui.text("Edit1"), "VK*");
    EXPECT_FALSE(ui.find<QWidget>("Button9")->isHidden());
    EXPECT_EQ(ui.panel.parentWidget(), ui.window.centralWidget());
    EXPECT_TRUE(ui.panel.geometry().intersects(ui.window.gridArea->geometry()));
}

// The raised count and the last announced alert are stored by the next save; opening the
// panel before that must not bring the old ones back, or a first launch would be taken for
// one again (and reset every setting) at the next start, and an alert announced twice.
TEST(SetupPanel, OpenKeepsTheLaunchCountAndLastAlertOfThisRun)
{
    TempFolder folder;
    {
        SettingsUi ui(folder.path());
        EXPECT_TRUE(ui.binding.startUpLoad(ui.store, false).firstLaunch);
        ui.working.lastAnnouncedAlert = "2026-12-10 10:02 VK3XYZ";
        ui.click("Button9");
        EXPECT_EQ(ui.text("Label38"), "1");
        EXPECT_EQ(ui.working.lastAnnouncedAlert, "2026-12-10 10:02 VK3XYZ");
        ui.find<QLineEdit>("Edit1")->setText("VK*");
        ui.click("Button7");
        EXPECT_EQ(stored(folder, "WSPRRunCount1"), "1");
        EXPECT_EQ(stored(folder, "WSPRLastAlert1"), "2026-12-10 10:02 VK3XYZ");
    }
    SettingsUi next(folder.path());
    EXPECT_FALSE(next.binding.startUpLoad(next.store, false).firstLaunch);
    EXPECT_EQ(next.text("Label38"), "2");
    EXPECT_EQ(next.text("Edit1"), "VK*");
}

TEST(SetupPanel, DistanceScaleAppliesToTheDistancesShownAfterSaveClose)
{
    TempFolder folder;
    folder.write("settings.ini", "[Drovix]\r\nWSPRRunCount1=2\r\nWSPRDist1=3\r\nWSPRMaxD1=5\r\n");
    SettingsUi ui(folder.path());
    ui.binding.startUpLoad(ui.store, false);
    EXPECT_EQ(ui.text("Edit8"), "150");
    EXPECT_EQ(ui.text("Edit13"), "250");

    ui.click("Button9");
    ui.find<QScrollBar>("ScrollBar8")->setValue(100);
    EXPECT_EQ(ui.text("Edit19"), "100");
    // Not recomputed at that moment: the distances follow at Save/Close.
    EXPECT_EQ(ui.text("Edit8"), "150");
    EXPECT_EQ(ui.text("Edit13"), "250");
    EXPECT_EQ(ui.window.maxDistance(), 250);
    ui.click("Button7");

    EXPECT_TRUE(ui.panel.isHidden());
    EXPECT_EQ(ui.text("Edit8"), "300");
    EXPECT_EQ(ui.text("Edit13"), "500");
    EXPECT_EQ(ui.window.minKmBar->value(), 3);
    EXPECT_EQ(ui.window.maxDistance(), 500);
    EXPECT_EQ(stored(folder, "BeamtideDScale1"), "100");
}

// Save/Close: the account step, then the store, then the load.
TEST(SetupPanel, SaveCloseKeepsTheAccountFileOnlyForOwnHosts)
{
    const struct
    {
        const char* name;
        const char* host;
        const char* portBox;
        int portBefore;
        bool fileKept;
        int portAfter;
    } cases[] = {
        // Mail goes to the port the box shows after Save/Close, whichever it is.
        {"Gmail in any case", "SMTP.GMail.com", "465", 587, false, 465},
        {"reachmail", "mx.reachmail.net", "25", 465, false, 25},
        {"own host, box 465", "mail.example.org", "465", 587, true, 465},
        {"own host, box 587", "mail.example.org", "587", 465, true, 587},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        folder.write("WSPRsmtp.txt", "EmailTo,old@example.org\r\n");
        SettingsUi ui(folder.path());
        ui.click("Button9");
        ui.working.smtpPort = c.portBefore;
        typeInto(ui.find<QLineEdit>("Edit22"), c.host);
        typeInto(ui.find<QLineEdit>("Edit23"), "se,cret");
        ui.find<QComboBox>("ComboBox2")->setCurrentText(c.portBox);
        ui.click("Button7");

        EXPECT_TRUE(ui.panel.isHidden());
        EXPECT_EQ(folder.exists("WSPRsmtp.txt"), c.fileKept);
        EXPECT_EQ(ui.working.smtpPort, c.portAfter);
        EXPECT_EQ(ui.text("ComboBox2"), QString::number(c.portAfter));
        EXPECT_EQ(stored(folder, "WSPRSMTPHost1"), c.host);
        EXPECT_EQ(stored(folder, "WSPRSMTPpwd1"), "se,cret");
        EXPECT_EQ(stored(folder, "WSPRSMTPport1"), QString::number(c.portAfter));
        if (c.fileKept) {
            EXPECT_EQ(folder.read("WSPRsmtp.txt"),
                      QByteArray("EmailTo,Your email\r\nSMTPServer,") + c.host
                          + "\r\nSMTPUserName,SMTP user Name\r\nSMTPUserPwd,se,cret\r\nSMTPPortNo,"
                          + QByteArray::number(c.portAfter) + "\r\n");
        }
    }
}

// A port that is no number is refused before anything is stored, and the panel stays open
// so it can be corrected.
TEST(SetupPanel, SaveCloseRefusesAPortThatIsNoNumber)
{
    TempFolder folder;
    SettingsUi ui(folder.path());
    ui.click("Button9");
    typeInto(ui.find<QLineEdit>("Edit22"), "mail.example.org");
    ui.find<QComboBox>("ComboBox2")->setCurrentText("58x");
    ui.click("Button7");

    EXPECT_FALSE(ui.panel.isHidden());
    ASSERT_EQ(ui.recorder.requests.size(), 1);
    EXPECT_TRUE(ui.recorder.requests[0].text.contains("58x"));
    EXPECT_FALSE(folder.exists("WSPRsmtp.txt"));
    EXPECT_EQ(stored(folder, "WSPRBand1"), "") << "the settings save did not run";
    EXPECT_EQ(ui.working.smtpPort, 587);

    ui.find<QComboBox>("ComboBox2")->setCurrentText("2525");
    ui.click("Button7");
    EXPECT_TRUE(ui.panel.isHidden());
    EXPECT_EQ(stored(folder, "WSPRSMTPport1"), "2525");
}

TEST(SetupPanel, PresetsAndTheMaskRule)
{
    TempFolder folder;
    SettingsUi ui(folder.path());
    auto* password = ui.find<QLineEdit>("Edit23");
    auto* show = ui.find<QCheckBox>("CheckBox10");
    ui.click("Button9");

    ui.click("Button13");
    EXPECT_TRUE(show->isChecked());
    EXPECT_EQ(ui.text("Edit21"), "Your Gmail email");
    EXPECT_EQ(ui.text("Edit26"), "Your Gmail email");
    EXPECT_EQ(ui.text("Edit22"), QString::fromLatin1(config::kGmailHost));
    EXPECT_EQ(ui.working.smtpHost, QString::fromLatin1(config::kGmailHost)) << "the host follows the field";
    EXPECT_EQ(password->echoMode(), QLineEdit::Normal);

    ui.click("Button12");
    EXPECT_FALSE(show->isChecked());
    EXPECT_EQ(ui.text("ComboBox2"), "465");
    EXPECT_EQ(ui.working.smtpPort, 465);
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);

    // Ticking Show: in clear unless the host or the password is protected.
    const struct
    {
        const char* name;
        const char* host;
        const char* password;
        bool inClear;
    } cases[] = {
        {"own host", "mail.example.org", "abc", true},
        {"reachmail host", "mx.reachmail.net", "abc", false},
        {"protected password", "mail.example.org", config::kProtectedPassword, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        show->setChecked(false);
        typeInto(ui.find<QLineEdit>("Edit22"), c.host);
        password->setText(c.password);
        ui.click("CheckBox10");
        EXPECT_EQ(password->echoMode() == QLineEdit::Normal, c.inClear);
    }
    // A key typed into the field follows the Show box alone.
    typeInto(password, "x");
    EXPECT_EQ(password->echoMode(), QLineEdit::Normal);
}

TEST(SetupPanel, CustomLoadsTheAccountFileWithItsPassword)
{
    TempFolder folder;
    folder.write("WSPRsmtp.txt", "EmailTo,me@example.org\r\nSMTPServer,mail.example.org\r\n"
                                 "SMTPUserName,me\r\nSMTPUserPwd,pa,ss\r\nSMTPPortNo,465\r\n");
    {
        SettingsUi plain(folder.path());
        EXPECT_TRUE(plain.find<QWidget>("Button14")->isHidden());
        // At start-up Show is unticked: every field but the password comes from the file.
        plain.binding.startUpLoad(plain.store, false);
        EXPECT_EQ(plain.text("Edit21"), "me@example.org");
        EXPECT_EQ(plain.text("Edit23"), QString::fromLatin1(config::kRelayPassword));
        EXPECT_EQ(plain.working.smtpPort, 465);
    }
    SettingsUi ui(folder.path(), 1, " /custom");
    ui.click("Button9");
    EXPECT_FALSE(ui.find<QWidget>("Button14")->isHidden());
    ui.click("Button14");
    EXPECT_TRUE(ui.find<QCheckBox>("CheckBox10")->isChecked());
    EXPECT_EQ(ui.text("Edit23"), "pa,ss");
    EXPECT_EQ(ui.text("ComboBox2"), "465");
    EXPECT_EQ(ui.working.smtpPort, 465);

    folder.write("WSPRsmtp.txt", "SMTPPortNo,http\r\n");
    ui.click("Button14");
    EXPECT_EQ(ui.working.smtpPort, 465);
    ASSERT_EQ(ui.recorder.requests.size(), 1);
    EXPECT_TRUE(ui.recorder.requests[0].text.contains("http"));
}

TEST(SetupPanel, ColourEditorsSetTheWorkingValuesAndThePreview)
{
    TempFolder folder;
    SettingsUi ui(folder.path());
    ui.click("Button9");
    auto* preview = ui.find<QLineEdit>("Edit24");

    // Alerts are bold by default: choosing their colour makes the preview bold.
    ui.find<QComboBox>("ComboBox5")->setCurrentText("Teal");
    EXPECT_EQ(preview->palette().color(QPalette::Text), QColor(0, 128, 128));
    EXPECT_TRUE(preview->font().bold());
    EXPECT_EQ(ui.working.colours.classes[1].colour, "Teal");
    // Normal is not bold: its colour leaves the weight as it was.
    ui.find<QComboBox>("ComboBox4")->setCurrentText("Olive");
    EXPECT_EQ(preview->palette().color(QPalette::Text), QColor(128, 128, 0));
    EXPECT_TRUE(preview->font().bold());
    ui.click("CheckBox12");
    EXPECT_FALSE(preview->font().bold());
    EXPECT_FALSE(ui.working.colours.classes[1].bold);
    ui.find<QComboBox>("ComboBox11")->setCurrentText("CustomLtRedish");
    EXPECT_EQ(preview->palette().color(QPalette::Base), QColor(250, 201, 201));
    EXPECT_EQ(ui.working.colours.highlight, "CustomLtRedish");

    ui.click("Button7");
    EXPECT_EQ(stored(folder, "WSPRF2"), "");
    EXPECT_EQ(stored(folder, "WSPRF21"), "Teal");
    EXPECT_EQ(stored(folder, "WSPRF2B1"), "0");
    EXPECT_EQ(stored(folder, "WSPRF11"), "Olive");
    EXPECT_EQ(stored(folder, "WSPRHighlightLine1"), "CustomLtRedish");
}

// A background name that matches no colour looks the same in the preview as in the grid.
TEST(SetupPanel, UnknownBackgroundNamesDrawAlikeInThePreviewAndTheGrid)
{
    TempFolder folder;
    SettingsUi ui(folder.path());
    ui.click("Button9");
    auto* preview = ui.find<QLineEdit>("Edit24");
    const struct
    {
        const char* box;
        CellContext cell;
    } rows[] = {
        {"ComboBox9", {1, 0, "", "20", true, {}}},   // odd line
        {"ComboBox10", {2, 0, "", "20", true, {}}},  // even line
        {"ComboBox11", {1, 0, "al", "6", true, {}}}, // highlight of an alert row
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.box);
        ui.find<QComboBox>(row.box)->setCurrentText("Nonesuch");
        const QColor grid = QColor::fromRgb(cellLook(row.cell, ui.working.colours).background);
        EXPECT_EQ(preview->palette().color(QPalette::Base), grid);
        // Known names are untouched by the rule.
        ui.find<QComboBox>(row.box)->setCurrentText("Teal");
        EXPECT_EQ(preview->palette().color(QPalette::Base), QColor(0, 128, 128));
        EXPECT_EQ(QColor::fromRgb(cellLook(row.cell, ui.working.colours).background), QColor(0, 128, 128));
    }
}

TEST(SetupPanel, ShowRegistryListsWhatIsStored)
{
    TempFolder folder;
    folder.write("settings.ini", "[Drovix]\r\nWSPRRunCount1=2\r\nWSPRSpotted1=VK*\r\nWSPRDist1=3\r\n");
    SettingsUi ui(folder.path());
    ui.binding.startUpLoad(ui.store, false);
    ui.click("Button9");
    ui.window.spottedFilter->setText("ZL*"); // changed, not saved
    ui.click("Button11");
    ui.click("Button11");

    const QStringList lines = ui.text("Memo1").split('\n');
    EXPECT_EQ(lines.count(" Spotted Call filter : VK*"), 1);
    EXPECT_EQ(lines.count(" Min distance setting : 150"), 1);
    EXPECT_FALSE(ui.text("Memo1").contains(QString::fromLatin1(config::kRelayPassword)));
}

TEST(SetupPanel, SpotSourceChoiceIsStoredAndReported)
{
    TempFolder folder;
    folder.write("settings.ini", "[Drovix]\r\nWSPRRunCount1=2\r\nBeamtideSource1=wspr.live\r\n");
    SettingsUi ui(folder.path());
    ui.binding.startUpLoad(ui.store, false);
    auto* source = ui.find<QComboBox>("ComboBoxSource");
    EXPECT_EQ(source->currentText(), "wspr.live");
    EXPECT_EQ(source->count(), 3);
    EXPECT_FALSE(source->isEditable());

    ui.click("Button9");
    source->setCurrentText("WSPRnet");
    ui.click("Button7");
    EXPECT_EQ(stored(folder, "BeamtideSource1"), "WSPRnet");
    ui.click("Button9");
    EXPECT_EQ(source->currentText(), "WSPRnet");
    ui.click("Button11");
    EXPECT_TRUE(ui.text("Memo1").contains("\n Spot source : WSPRnet\n")) << ui.text("Memo1").toStdString();
}
