#include "settings/SettingsStore.h"
#include "settings/StartupSettings.h"

#include "base/Config.h"

#include "TempFolder.h"

#include <QSettings>

#include <gtest/gtest.h>

using namespace beamtide;
using beamtide::test::TempFolder;

namespace {

void storeAccount(const QString& path, const char* suffix)
{
    QSettings ini(path, SettingsStore::iniFormat());
    const QString s = suffix;
    ini.setValue("Drovix/WSPRRunCount" + s, "9");
    ini.setValue("Drovix/WSPREmail" + s, "me@example.org");
    ini.setValue("Drovix/WSPRSMTPHost" + s, "mail.example.org");
    ini.setValue("Drovix/WSPRSMPTUserName" + s, "me");
    ini.setValue("Drovix/WSPRSMTPpwd" + s, "stored");
    ini.setValue("Drovix/WSPRSMTPport" + s, "465");
    ini.setValue("Drovix/WSPRBand" + s, "40");
    ini.setValue("Drovix/WSPRF1" + s, "Navy");
}

} // namespace

TEST(StartupSettings, Launches)
{
    struct Case
    {
        const char* name;
        bool storedBefore;
        bool resetOption;
        QByteArray accountFile;
        bool firstLaunch;
        int launchCount;
        const char* emailTo;
        const char* server;
        const char* password;
        int port;
    };
    const Case cases[] = {
        {"first launch on an empty store gets the relay", false, false, {}, true, 1, "Your email",
         config::kRelayHost, config::kRelayPassword, 587},
        {"a later launch keeps the stored account", true, false, {}, false, 10, "me@example.org",
         "mail.example.org", "stored", 465},
        {"/reset counts as a first launch", true, true, {}, true, 1, "Your email", config::kRelayHost,
         config::kRelayPassword, 587},
        {"the account file, but not its password",  true, false,
         "EmailTo,file@example.org\r\nSMTPServer,file.example.org\r\nSMTPUserPwd,filepw\r\nSMTPPortNo,25\r\n",
         false, 10, "file@example.org", "file.example.org", "stored", 25},
        {"an account file still reading Your email gets the relay", true, false, "EmailTo,Your email\r\n",
         false, 10, "Your email", config::kRelayHost, config::kRelayPassword, 587},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        const QString path = dir.file("settings.ini");
        if (c.storedBefore)
            storeAccount(path, "1");
        storeAccount(path, "2");
        if (!c.accountFile.isEmpty())
            dir.write("WSPRsmtp.txt", c.accountFile);

        SettingsStore store(path, 1);
        const StartupSettings result = loadAtStartup(store, AccountFile(dir.file("WSPRsmtp.txt")), c.resetOption);
        ASSERT_TRUE(store.sync().ok);
        EXPECT_EQ(result.firstLaunch, c.firstLaunch);
        EXPECT_EQ(result.settings.launchCount, c.launchCount);
        EXPECT_EQ(result.account.emailTo, c.emailTo);
        EXPECT_EQ(result.account.server, c.server);
        EXPECT_EQ(result.account.password, c.password);
        EXPECT_EQ(result.smtpPort, c.port);
        EXPECT_EQ(result.account.portText, QString::number(c.port)); // what ComboBox2 shows
        EXPECT_FALSE(result.account.show);

        QSettings ini(path, SettingsStore::iniFormat());
        EXPECT_EQ(ini.contains("Drovix/WSPRBand1"), c.storedBefore && !c.firstLaunch);
        EXPECT_EQ(ini.contains("Drovix/WSPRF11"), c.storedBefore) << "colours survive a reset";
        EXPECT_EQ(ini.value("Drovix/WSPRBand2").toString(), "40") << "the other copy's values stay";
    }
}
