// "Email test" from the assembled window against a real SMTP server (aiosmtpd): the mail
// logs in with what the setup panel shows at that moment, and greets with the EHLO name the
// settings load derived from the stored host.
#include "base/Clock.h"
#include "base/Identity.h"
#include "settings/SettingsStore.h"
#include "window/Controller.h"
#include "window/main/MainWindow.h"
#include "window/main/Prompt.h"

#include "LocalServices.h"
#include "QuietOpeners.h"
#include "SmtpFixture.h"
#include "TempFolder.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

using namespace beamtide;

namespace {

void retype(QLineEdit* edit, const QString& text)
{
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

} // namespace

TEST(MailFromPanel, EmailTestLogsInWithTheTypedCredentialsBeforeSaveClose)
{
    test::SmtpFixture smtp;
    ASSERT_TRUE(smtp.running()) << smtp.startError().toStdString();
    test::TempFolder folder;
    const QString settingsFile = folder.file(QStringLiteral("settings.ini"));
    {
        // An older account in the store: its login would be refused by the server.
        QSettings ini(settingsFile, SettingsStore::iniFormat());
        ini.beginGroup(QStringLiteral("Drovix"));
        ini.setValue(QStringLiteral("WSPRRunCount1"), 4);
        ini.setValue(QStringLiteral("WSPRSigAlert1"), 1);
        ini.setValue(QStringLiteral("WSPRSMTPHost1"), QStringLiteral("relay.beamtide.test"));
        ini.setValue(QStringLiteral("WSPRSMPTUserName1"), QStringLiteral("old-user"));
        ini.setValue(QStringLiteral("WSPRSMTPpwd1"), QStringLiteral("old-password"));
        ini.setValue(QStringLiteral("WSPRSMTPport1"), smtp.port(QStringLiteral("plain")));
    }

    Identity identity;
    identity.commandLine = QStringLiteral(" /emailtest");
    identity.instance = 1;
    identity.folder = folder.path();
    ManualClock clock(QDateTime(QDate(2024, 5, 1), QTime(10, 25), Qt::UTC));
    test::QuietOpeners openers;
    MainWindow window;
    // No refresh runs here: the web services are a closed port.
    Controller controller(window, identity, clock,
                          test::localServices(QStringLiteral("http://127.0.0.1:9"), settingsFile, openers));
    PromptRecorder prompts;
    controller.prompt().setSink(&prompts);

    // Opening the setup panel loads the store; then the user types a new account and, without
    // Save/Close, presses "Email test".
    window.setupButton->click();
    ASSERT_TRUE(window.alerts->isChecked());
    retype(window.findChild<QLineEdit*>(QStringLiteral("Edit21")), QStringLiteral("ops@example.org"));
    retype(window.findChild<QLineEdit*>(QStringLiteral("Edit22")), QStringLiteral("127.0.0.1"));
    retype(window.findChild<QLineEdit*>(QStringLiteral("Edit26")), smtp.user());
    retype(window.findChild<QLineEdit*>(QStringLiteral("Edit23")), smtp.password());
    window.emailTest->click();

    ASSERT_TRUE(QTest::qWaitFor([&] {
        return !smtp.messages(QStringLiteral("plain")).isEmpty() || !prompts.requests.isEmpty();
    }, 60000));
    ASSERT_TRUE(prompts.requests.isEmpty()) << prompts.requests.first().text.toStdString();
    const QList<test::StoredMail> mails = smtp.messages(QStringLiteral("plain"));
    ASSERT_EQ(mails.size(), 1);
    EXPECT_EQ(mails[0].login, smtp.user());
    EXPECT_EQ(mails[0].recipients, QStringList{QStringLiteral("ops@example.org")});
    // The greeting name comes from the stored host, the part after its first dot.
    EXPECT_EQ(mails[0].helo, QStringLiteral("beamtide.test"));
}
