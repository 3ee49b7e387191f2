#include "settings/SettingsReport.h"
#include "settings/SettingsStore.h"

#include "TempFolder.h"

#include <QSettings>

#include <gtest/gtest.h>

using namespace beamtide;
using beamtide::test::TempFolder;

TEST(SettingsReport, EmptyStoreShowsTheReportDefaults)
{
    TempFolder dir;
    const SettingsStore store(dir.file("settings.ini"), 1);
    const QStringList expected{
        " Main  left : 100",
        " Main  top : 100",
        " Main  width : 430",
        " Main  height : 450",
        " Band selected : All",
        " Spotted Call filter : ",
        " Spotter Call filter : ",
        " Logic mode : AND",
        " Email address : ",
        " Email server : Not Set",
        " Email password : Not available here",
        " SMTP UserName : ",
        " SMTP port : 587",
        " Update interval : 2",
        " Min distance setting : 50",
        " Max distance setting : 0",
        " dB alert threshold setting : -29",
        " Max lines to display : 20",
        " Internal elapsed timer : 30",
        " Use sort by distance : False ",
        " Hide columns : False ",
        " Historical query set : False ",
        " dB alert active : False ",
        " Signal alert active : False ",
        " Time set active : False ",
        " Lines set active : False ",
        " Distance set active : False ",
        " Distance mode active : False ",
        " Tone Alerts active : False ",
        " Alert Tone Freq Hz :1200",
        " Normal Font Colour : Black",
        " Normal Bold Font : False ",
        " Alerts Font Colour : White",
        " Alerts Bold Font : False ",
        " Between Distances Font Colour : Blue",
        " Between Distances Bold Font : False ",
        " Sig Above Threshold Font Colour : Red",
        " Sig Above Threshold Bold Font : False ",
        " Beyond Distance Font Colour : Olive",
        " Beyond Distance Bold Font : False ",
        " Odd Line Background Colour : CustomLtBlue",
        " Even Line Background Colour : CustomLtYellow",
        " Highlight Background Colour : Black",
        " Desktop notifications : True ",
        " Minimise to tray : False ",
        " Spot history : True ",
        " Spot source : Automatic",
        " Map panel : closed, 900x480 at 120,80",
        " WebhookOn : False",
        " WebhookUrl : ",
        " WebhookMethod : POST",
        " WebhookBody : ",
        " NtfyOn : False",
        " NtfyServer : https://ntfy.sh",
        " NtfyTopic : ",
        " NtfyToken : ",
        " NtfyPriority : 4",
        " MqttOn : False",
        " MqttHost : ",
        " MqttPort : 1883",
        " MqttTls : False",
        " MqttUser : ",
        " MqttPassword : ",
        " WebhookThrottle : True",
        " NtfyThrottle : True",
        " MqttThrottle : True",
        " TonesThrottle : False",
        " MailThrottle : False",
        " HookThrottle : False",
        " NotifyThrottle : False",
        " ThrottleCooldown : 30",
        " ThrottleCap : 50",
        " ThrottleQuiet : ",
        " HistoryServer : ",
        " HistoryUser : ",
        " HistoryPassword : ",
    };
    EXPECT_EQ(settingsReport(store, 50), expected);
}

TEST(SettingsReport, StoredValuesUnderTheWorkingScale)
{
    TempFolder dir;
    const QString path = dir.file("settings.ini");
    {
        QSettings ini(path, SettingsStore::iniFormat());
        ini.setValue("Drovix/WSPRDist1", "3");
        ini.setValue("Drovix/WSPRMaxD1", "10");
        ini.setValue("Drovix/BeamtideDScale1", "100"); // the report uses the working scale
        ini.setValue("Drovix/WSPRSMTPpwd1", "secret");
        ini.setValue("Drovix/WSPRDSTSet1", "1");
        ini.setValue("Drovix/WSPRF2B1", "1");
        ini.setValue("Drovix/BeamtideNotify1", "0");
        ini.setValue("Drovix/BeamtideHistory1", "0");
        ini.setValue("Drovix/BeamtideMap1", "1,40,30,700,400");
        ini.setValue("Drovix/WSPRBand2", "40");        // another copy
    }
    const QStringList lines = settingsReport(SettingsStore(path, 1), 50);
    EXPECT_EQ(lines[4], " Band selected : All");
    EXPECT_EQ(lines[14], " Min distance setting : 150");
    EXPECT_EQ(lines[15], " Max distance setting : 500");
    EXPECT_EQ(lines[26], " Distance set active : True ");
    EXPECT_EQ(lines[33], " Alerts Bold Font : True ");
    EXPECT_EQ(lines[43], " Desktop notifications : False ");
    EXPECT_EQ(lines[45], " Spot history : False ");
    EXPECT_TRUE(lines.contains(" Map panel : open, 700x400 at 40,30"));
    EXPECT_FALSE(lines.join('\n').contains("secret"));
}
