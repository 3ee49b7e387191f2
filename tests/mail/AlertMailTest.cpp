#include "mail/AlertMail.h"
#include "mail/AlertMailer.h"

#include "base/Clock.h"
#include "base/Config.h"
#include "base/Identity.h"
#include "base/RunLog.h"
#include "net/NetWorker.h"

#include "SmtpFixture.h"
#include "TempFolder.h"

#include <QEventLoop>
#include <QMutex>
#include <QTcpServer>

#include <gtest/gtest.h>

#include <optional>

using namespace beamtide;

namespace {

const QStringList kMemo{"Beamtide Alerts:", "2024-05-01 10:24,K1ABC,14.097100,-12dBm,G4XYZ,5345Km. ",
                        "2024-05-01 10:12,K1ABC,14.097110,-15dBm,G4XYZ,5345Km. "};
const QString kRecipient = "ops@example.org";

// The run log of one test: every line, written from whichever thread.
class LogLines
{
public:
    LogLines() : m_identity{" /log", 1, {}, {}, false, m_folder.path()}, m_log(m_identity, m_clock)
    {
        m_log.setSink([this](const QString& line) {
            const QMutexLocker lock(&m_mutex);
            m_lines.append(line);
        });
    }
    const RunLog& log() const { return m_log; }
    QStringList lines() const
    {
        const QMutexLocker lock(&m_mutex);
        return m_lines;
    }
    bool has(const QString& line) const { return lines().contains(line); }
    int countStarting(const QString& start) const
    {
        int n = 0;
        for (const QString& line : lines())
            n += line.startsWith(start);
        return n;
    }

private:
    test::TempFolder m_folder;
    Identity m_identity;
    ManualClock m_clock{QDateTime(QDate(2024, 5, 1), QTime(10, 25), Qt::UTC)};
    RunLog m_log;
    mutable QMutex m_mutex;
    QStringList m_lines;
};

class AlertMailTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(smtp.running()) << smtp.startError().toStdString();
    }

    MailAccount account(const QString& server, int port) const
    {
        MailAccount a;
        a.alertsEnabled = true;
        a.server = "127.0.0.1";
        a.port = port;
        a.userName = smtp.user();
        a.password = smtp.password();
        a.recipient = kRecipient;
        a.caFile = smtp.caFile();
        a.connectPort = smtp.port(server);
        return a;
    }

    MailResult send(const MailAccount& a, const QString& alert = "2024-05-01 10:24,K1ABC,")
    {
        return sendAlertMail(a, AlertMessage{alert, kMemo}, log.log());
    }

    test::SmtpFixture smtp;
    LogLines log;
};

TEST(AlertMailCheck, AlertsSwitchThenServerThenRecipient)
{
    struct Row
    {
        const char* name;
        bool alerts;
        QString server;
        QString recipient;
        MailCheck expected;
    };
    const Row rows[] = {
        {"alerts unticked", false, "smtp.example.org", "ops@example.org", MailCheck::Disabled},
        {"alerts unticked beats missing values", false, "", "Your email", MailCheck::Disabled},
        {"server without a dot", true, "localhost", "ops@example.org", MailCheck::NotSetUp},
        {"recipient still the form text", true, "smtp.example.org", "Your email", MailCheck::NotSetUp},
        {"complete", true, "smtp.example.org", "ops@example.org", MailCheck::Ready},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MailAccount a;
        a.alertsEnabled = row.alerts;
        a.server = row.server;
        a.recipient = row.recipient;
        EXPECT_EQ(checkAlertMail(a), row.expected);
    }
}

TEST(AlertMailCheck, TlsModeFollowsThePort)
{
    EXPECT_EQ(tlsModeForPort(587), TlsMode::StartTls);
    EXPECT_EQ(tlsModeForPort(465), TlsMode::Implicit);
    EXPECT_EQ(tlsModeForPort(25), TlsMode::None);
    EXPECT_EQ(tlsModeForPort(2525), TlsMode::StartTls);
}

TEST_F(AlertMailTest, EachPortUsesItsTlsMode)
{
    struct Row
    {
        const char* name;
        const char* server;
        int port;
        bool tls;
        bool tlsNotAvailableLogged;
    };
    const Row rows[] = {
        {"587 upgrades with STARTTLS", "starttls", 587, true, false},
        {"any other port upgrades with STARTTLS", "starttls", 2525, true, false},
        {"465 speaks TLS from the first byte", "implicit", 465, true, false},
        {"25 stays in clear text although STARTTLS is offered", "starttls", 25, false, false},
        {"587 without STARTTLS carries on in clear text", "plain", 587, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LogLines lines;
        const qsizetype before = smtp.messages(row.server).size();
        const MailResult result = sendAlertMail(account(row.server, row.port),
                                                AlertMessage{"x", kMemo}, lines.log());
        EXPECT_TRUE(result.sent) << result.error.toStdString();
        const QList<test::StoredMail> mails = smtp.messages(row.server);
        ASSERT_EQ(mails.size(), before + 1);
        EXPECT_EQ(mails.last().tls, row.tls);
        if (row.tls) {
            EXPECT_TRUE(mails.last().tlsVersion == "TLSv1.2" || mails.last().tlsVersion == "TLSv1.3");
        }
        EXPECT_EQ(mails.last().login, smtp.user()) << "AUTH LOGIN with the account";
        EXPECT_EQ(lines.has("1: SMTP status TLS not available"), row.tlsNotAvailableLogged);
    }
}

TEST_F(AlertMailTest, TestMailCarriesSubjectRecipientBodyAndPriority)
{
    NetWorker worker;
    AlertMailer mailer(worker, log.log());
    QObject receiver;
    QEventLoop loop;
    std::optional<MailResult> result;
    const MailCheck check = mailer.emailTest(account("starttls", 587), kMemo, &receiver,
                                             [&](MailResult r) {
                                                 result = r;
                                                 loop.quit();
                                             });
    ASSERT_EQ(check, MailCheck::Ready);
    loop.exec();
    ASSERT_TRUE(result && result->sent) << result->error.toStdString();

    const QList<test::StoredMail> mails = smtp.messages("starttls");
    ASSERT_EQ(mails.size(), 1);
    const test::StoredMail& mail = mails.first();
    EXPECT_EQ(mail.header("Subject"), "Beamtide Alert Test alert email");
    EXPECT_EQ(mail.rawHeader("To"), "\"ops@example.org\" <ops@example.org>");
    EXPECT_EQ(mail.recipients, QStringList{kRecipient});
    EXPECT_EQ(mail.header("From"), QString::fromLatin1(config::kSenderAddress));
    EXPECT_EQ(mail.mailFrom, QString::fromLatin1(config::kSenderAddress));
    EXPECT_EQ(mail.header("X-Priority"), "2 (High)");
    EXPECT_EQ(mail.header("Importance"), "High");
    EXPECT_EQ(QString(mail.body).replace("\r\n", "\n").split('\n'), kMemo + QStringList{""});
}

TEST_F(AlertMailTest, AlertTextStaysInsideTheSubject)
{
    struct Row
    {
        const char* name;
        QString alert;
        QString subject;
    };
    const Row rows[] = {
        {"alert line with its final blank", "2024-05-01 10:24,K1ABC,14.097100,-12dBm,G4XYZ,5345Km. ",
         "Beamtide Alert 2024-05-01 10:24,K1ABC,14.097100,-12dBm,G4XYZ,5345Km."},
        {"line ends cannot add headers", "K1ABC\r\nBcc: victim@example.org\r\n",
         "Beamtide Alert K1ABC  Bcc: victim@example.org"},
        {"text beyond ASCII", "Zürich 14.0971 µW", "Beamtide Alert Zürich 14.0971 µW"},
    };
    int stored = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const MailResult result = send(account("starttls", 587), row.alert);
        ASSERT_TRUE(result.sent) << result.error.toStdString();
        const test::StoredMail mail = smtp.messages("starttls").value(stored++);
        EXPECT_EQ(mail.header("Subject").trimmed(), row.subject);
        EXPECT_EQ(mail.headerCount("Bcc"), 0);
        EXPECT_EQ(mail.recipients, QStringList{kRecipient});
    }
}

TEST_F(AlertMailTest, GreetsWithTheHeloNameWhenItIsADomain)
{
    struct Row
    {
        const char* name;
        QString heloName;
        QString expected; // empty: the mail client's own name, whatever it is
    };
    const Row rows[] = {
        {"the name derived from the host", "mail-relay.example.org", "mail-relay.example.org"},
        {"no name", "", ""},
        {"the form text, which is no domain", "Your SMTP Host address", ""},
        {"a line end cannot add a command", "example.org\r\nRSET", ""},
    };
    int stored = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MailAccount a = account("plain", 587);
        a.heloName = row.heloName;
        const MailResult result = send(a);
        ASSERT_TRUE(result.sent) << result.error.toStdString();
        const QString helo = smtp.messages("plain").value(stored++).helo;
        if (!row.expected.isEmpty()) {
            EXPECT_EQ(helo, row.expected);
        } else {
            EXPECT_FALSE(helo.isEmpty());
            EXPECT_FALSE(helo.contains(' ')) << helo.toStdString();
        }
    }
}

TEST_F(AlertMailTest, FailuresComeBackAsTheErrorAndTheLogLine)
{
    QTcpServer closed; // a port nobody listens on once the server is gone
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const int closedPort = closed.serverPort();
    closed.close();

    struct Row
    {
        const char* name;
        MailAccount account;
        const char* errorPart;
    };
    MailAccount rejected = account("reject", 587);
    MailAccount dropped = account("drop", 587);
    MailAccount refused = account("plain", 587);
    refused.connectPort = closedPort;
    MailAccount untrusted = account("starttls", 587);
    untrusted.caFile.clear();
    MailAccount untrustedImplicit = account("implicit", 465);
    untrustedImplicit.caFile.clear();
    MailAccount badPort = account("plain", 0);
    const Row rows[] = {
        {"credentials rejected", rejected, "535"},
        {"connection dropped during DATA", dropped, ""},
        {"nobody listening", refused, ""},
        {"certificate from an unknown authority after STARTTLS", untrusted, "certificate"},
        {"certificate from an unknown authority at connect", untrustedImplicit, "certificate"},
        {"port that is no port", badPort, "port"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LogLines lines;
        const MailResult result = sendAlertMail(row.account, AlertMessage{"x", kMemo}, lines.log());
        EXPECT_FALSE(result.sent);
        EXPECT_FALSE(result.error.isEmpty());
        EXPECT_TRUE(result.error.contains(QString::fromLatin1(row.errorPart))) << result.error.toStdString();
        EXPECT_TRUE(lines.has("1: SMTP Secure Send error " + result.error)) << lines.lines().join('\n').toStdString();
    }
    EXPECT_TRUE(smtp.messages("reject").isEmpty());
    EXPECT_TRUE(smtp.messages("drop").isEmpty());
    EXPECT_TRUE(smtp.messages("starttls").isEmpty());
    EXPECT_TRUE(smtp.messages("implicit").isEmpty());
}

TEST_F(AlertMailTest, NoVerifyAcceptsAnUnknownAuthority)
{
    MailAccount a = account("implicit", 465);
    a.caFile.clear();
    a.verifyPeer = false;
    const MailResult result = send(a);
    EXPECT_TRUE(result.sent) << result.error.toStdString();
    EXPECT_EQ(smtp.messages("implicit").size(), 1);
}

TEST_F(AlertMailTest, LogFollowsTheExchangeWithoutTheCredentials)
{
    ASSERT_TRUE(send(account("starttls", 587)).sent);
    EXPECT_GT(log.countStarting("1: SMTP status "), 0);
    EXPECT_GT(log.countStarting("1: TLS status "), 0);
    EXPECT_GT(log.countStarting("1: SSLIO status "), 0);
    EXPECT_TRUE(log.has("1: SSLIO status Verify Peer"));
    EXPECT_GT(log.countStarting("1: SMTP status 220 "), 0) << "the greeting";
    EXPECT_GT(log.countStarting("1: SMTP status 235 "), 0) << "the login accepted";
    EXPECT_FALSE(log.has("1: SMTP status TLS not available"));
    const QString all = log.lines().join('\n');
    EXPECT_FALSE(all.contains(smtp.password()));
    EXPECT_FALSE(all.contains(QString::fromLatin1(smtp.password().toUtf8().toBase64())));
}

TEST_F(AlertMailTest, NothingIsSentUnlessTheValuesAreSetUp)
{
    NetWorker worker;
    AlertMailer mailer(worker, log.log());
    QObject receiver;
    bool called = false;
    MailAccount off = account("plain", 587);
    off.alertsEnabled = false;
    MailAccount formText = account("plain", 587);
    formText.recipient = "Your email";
    EXPECT_EQ(mailer.send(off, AlertMessage{"x", kMemo}, &receiver, [&](MailResult) { called = true; }),
              MailCheck::Disabled);
    EXPECT_EQ(mailer.emailTest(formText, kMemo, &receiver, [&](MailResult) { called = true; }),
              MailCheck::NotSetUp);
    EXPECT_EQ(worker.pending(), 0);
    EXPECT_FALSE(called);
    EXPECT_TRUE(log.lines().isEmpty());
}

} // namespace
