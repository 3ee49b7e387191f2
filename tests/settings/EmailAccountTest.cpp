#include "settings/EmailAccount.h"

#include "base/Config.h"

#include "TempFolder.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace beamtide;
using beamtide::test::TempFolder;

namespace {

AccountFields ownAccount()
{
    AccountFields f;
    f.emailTo = "me@example.org";
    f.server = "mail.example.org";
    f.userName = "me";
    f.password = "se,cr,et";
    f.portText = "587";
    return f;
}

} // namespace

TEST(EmailAccount, SaveRulesByHostAndPortBox)
{
    struct Case
    {
        const char* name;
        const char* server;
        const char* portBox;
        int portBefore;
        AccountFile::Outcome outcome;
        int portAfter;
    };
    using O = AccountFile::Outcome;
    const Case cases[] = {
        // The port mail uses is the one the box shows, 587 too.
        {"own host, box 587 sets the port", "mail.example.org", "587", 465, O::Written, 587},
        {"own host, box 465 sets the port", "mail.example.org", "465", 587, O::Written, 465},
        {"own host, box 25", "mail.example.org", "25", 587, O::Written, 25},
        {"gmail in any case deletes", "smtp.GMail.com", "465", 587, O::Deleted, 465},
        {"reachmail deletes", "smtp.reachmail.net", "25", 465, O::Deleted, 25},
        {"a deleting host keeps the port when the box is no number", "smtp.gmail.com", "x", 465, O::Deleted, 465},
        {"a port box that is no number is refused", "mail.example.org", "58x", 465, O::Refused, 465},
        {"a port out of range is refused", "mail.example.org", "70000", 465, O::Refused, 465},
        {"an empty port box is refused", "mail.example.org", "", 465, O::Refused, 465},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        const QByteArray before = "EmailTo,old@example.org\r\n";
        dir.write("WSPRsmtp.txt", before);
        AccountFields fields = ownAccount();
        fields.server = c.server;
        fields.portText = c.portBox;
        const AccountFile file(dir.file("WSPRsmtp.txt"));
        const AccountFile::Save saved = file.save(fields, c.portBefore);
        EXPECT_EQ(saved.outcome, c.outcome);
        EXPECT_EQ(saved.smtpPort, c.portAfter);
        switch (c.outcome) {
        case O::Written:
            EXPECT_EQ(dir.read("WSPRsmtp.txt"),
                      "EmailTo,me@example.org\r\nSMTPServer," + QByteArray(c.server)
                          + "\r\nSMTPUserName,me\r\nSMTPUserPwd,se,cr,et\r\nSMTPPortNo,"
                          + QByteArray::number(c.portAfter) + "\r\n");
#ifndef Q_OS_WIN
            // Windows keeps a user's files private by the profile's access list; Qt's
            // permission bits there say nothing about it.
            EXPECT_EQ(QFile(dir.file("WSPRsmtp.txt")).permissions()
                          & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
                      QFileDevice::ReadOwner | QFileDevice::WriteOwner);
#endif
            break;
        case O::Deleted:
            EXPECT_FALSE(dir.exists("WSPRsmtp.txt"));
            break;
        case O::Refused:
            EXPECT_FALSE(saved.error.isEmpty());
            EXPECT_EQ(dir.read("WSPRsmtp.txt"), before);
            break;
        case O::Failed:
            break;
        }
    }
}

TEST(EmailAccount, LoadRules)
{
    AccountFields current = ownAccount();
    current.password = "from the store";
    struct Case
    {
        const char* name;
        QByteArray file;
        bool show;
        std::function<void(AccountFields&)> expect;
        std::optional<int> port = std::nullopt;
        bool error = false;
    };
    const Case cases[] = {
        {"show unticked keeps the stored password",
         "EmailTo,a@b\r\nSMTPServer,h.example\r\nSMTPUserName,u\r\nSMTPUserPwd,pw\r\nSMTPPortNo,465\r\n", false,
         [](AccountFields& f) { f.emailTo = "a@b"; f.server = "h.example"; f.userName = "u"; f.portText = "465"; },
         465},
        {"show ticked loads a password with commas", "SMTPUserPwd,p,w,SMTPServer,x\r\n", true,
         [](AccountFields& f) { f.password = "p,w,SMTPServer,x"; f.show = true; }},
        {"last line wins, absent keys stay", "EmailTo,a\r\nEmailTo,b\r\n", false,
         [](AccountFields& f) { f.emailTo = "b"; }},
        {"a key anywhere before the comma", " ;EmailTo,c\r\n", false, [](AccountFields& f) { f.emailTo = "c"; }},
        {"a port line that is no number changes nothing", "SMTPPortNo,lots\r\n", false, [](AccountFields&) {},
         std::nullopt, true},
        {"lines without a key are ignored", "hello\r\n\r\nSMTPPortNo\r\n", false, [](AccountFields&) {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        dir.write("WSPRsmtp.txt", c.file);
        AccountFields start = current;
        start.show = c.show;
        AccountFields expected = start;
        c.expect(expected);
        const AccountFile::Load load = AccountFile(dir.file("WSPRsmtp.txt")).load(start);
        EXPECT_TRUE(load.found);
        EXPECT_EQ(load.fields, expected);
        EXPECT_EQ(load.smtpPort, c.port);
        EXPECT_EQ(!load.error.isEmpty(), c.error);
    }

    TempFolder empty;
    const AccountFile::Load missing = AccountFile(empty.file("WSPRsmtp.txt")).load(current);
    EXPECT_FALSE(missing.found);
    EXPECT_EQ(missing.fields, current);
}

TEST(EmailAccount, SavedAccountComesBackWhole)
{
    TempFolder dir;
    const AccountFile file(dir.file("PC#WSPRsmtp.txt"));
    AccountFields fields = ownAccount();
    fields.portText = "465";
    ASSERT_EQ(file.save(fields, 587).outcome, AccountFile::Outcome::Written);
    AccountFields blank;
    blank.show = true;
    const AccountFile::Load load = file.load(blank);
    EXPECT_EQ(load.fields, AccountFields({fields.emailTo, fields.server, fields.userName, fields.password, "465", true}));
    EXPECT_EQ(load.smtpPort, 465);
}

TEST(EmailAccount, Presets)
{
    AccountFields current = ownAccount();
    current.show = true;
    const PresetResult tls = applyAccountPreset(AccountPreset::DefaultTls, current);
    EXPECT_EQ(tls.fields, AccountFields({"Your email", config::kRelayHost, config::kRelayAccount,
                                         config::kRelayPassword, "587", false}));
    EXPECT_EQ(tls.smtpPort, 587);
    EXPECT_TRUE(tls.showChanged);
    EXPECT_FALSE(tls.inClear);

    const PresetResult ssl = applyAccountPreset(AccountPreset::DefaultSsl, tls.fields);
    EXPECT_EQ(ssl.smtpPort, 465);
    EXPECT_EQ(ssl.fields.portText, "465");
    EXPECT_FALSE(ssl.showChanged);

    const PresetResult gmail = applyAccountPreset(AccountPreset::Gmail, ssl.fields);
    EXPECT_EQ(gmail.fields, AccountFields({"Your Gmail email", config::kGmailHost, "Your Gmail email",
                                           "GMail Password", "587", true}));
    EXPECT_TRUE(gmail.inClear);
    EXPECT_EQ(gmail.smtpPort, 587);
    EXPECT_EQ(QString::fromLatin1(config::kRelayPassword).size(), 8);
}

TEST(EmailAccount, MaskRule)
{
    const QString protectedPassword = QString::fromLatin1(config::kProtectedPassword);
    struct Case
    {
        const char* name;
        bool show;
        QString password;
        const char* server;
        bool inClear;
    };
    const Case cases[] = {
        {"shown", true, "pw", "mail.example.org", true},
        {"show unticked", false, "pw", "mail.example.org", false},
        {"protected password", true, protectedPassword, "mail.example.org", false},
        {"reachmail host", true, "pw", "smtp.reachmail.net", false},
        {"drovix host", true, "pw", "mx.drovix.example", false},
        {"host tests are case-sensitive", true, "pw", "smtp.ReachMail.net", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(passwordInClear(c.show, c.password, c.server), c.inClear);
    }
}
