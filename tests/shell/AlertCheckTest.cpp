#include "shell/AlertCheck.h"

#include "platform/AlertHook.h"

#include "TempFolder.h"

#include <QDeadlineTimer>
#include <QTimeZone>
#include <QThread>

#include <ctime>

#include <gtest/gtest.h>

using namespace beamtide;

namespace {

const QString kOld = "2024-04-30 22:10,G4XYZ,14.097100,-20dBm,K1ABC,5345Km. ";
const QString kNew = "2024-05-01 10:24,K1ABC,14.097100,-12dBm,G4XYZ,5345Km. ";

AlertCheckInput later(const QString& lastAnnounced)
{
    AlertCheckInput in;
    in.lastAnnounced = lastAnnounced;
    in.tick = 120;
    in.emailTo = "Your email";
    return in;
}

TEST(AlertCheck, NewNewestLineIsAnnouncedOnce)
{
    const QStringList history{kOld, kNew};
    const AlertCheckOutcome first = runAlertCheck(history, later(kOld));
    EXPECT_TRUE(first.announce);
    EXPECT_EQ(first.alert, kNew);
    EXPECT_EQ(first.logLine, "Timer Alert - " + kNew);
    EXPECT_EQ(first.lastAnnounced, kNew);

    const AlertCheckOutcome second = runAlertCheck(history, later(first.lastAnnounced));
    EXPECT_FALSE(second.announce);
    EXPECT_TRUE(second.logLine.isEmpty());
    EXPECT_EQ(second.lastAnnounced, kNew);
    EXPECT_EQ(second.memo, (QStringList{kAlertMemoHeader, kNew}));
}

TEST(AlertCheck, StartUpRecordsTheNewestLineSilently)
{
    struct Row
    {
        const char* name;
        QStringList history;
        QString lastAnnounced;
        int tick;
        bool announce;
        QString lastAfter;
    };
    const Row rows[] = {
        {"on file at start-up", {kOld, kNew}, "", 3, false, kNew},
        {"a single line on file at start-up", {kNew}, "", 9, false, kNew},
        {"first check after the start-up ticks", {kOld, kNew}, "", 10, true, kNew},
        {"a single new line later on", {kNew}, kOld, 200, true, kNew},
        {"stored alert is kept on the first ticks", {kOld, kNew}, kOld, 2, true, kNew},
        {"nothing on file", {}, "", 1, false, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AlertCheckInput in = later(row.lastAnnounced);
        in.tick = row.tick;
        const AlertCheckOutcome out = runAlertCheck(row.history, in);
        EXPECT_EQ(out.announce, row.announce);
        EXPECT_EQ(out.lastAnnounced, row.lastAfter);
    }
}

TEST(AlertCheck, MemoHoldsUpToThreeNewestLinesOfTheNewestDate)
{
    const QString y1 = "2024-04-30 21:00,A1AA,14.0971,-20dBm,B1BB,4000Km. ";
    const QString y2 = "2024-04-30 23:58,A1AA,14.0971,-20dBm,B1BB,4000Km. ";
    const QString t1 = "2024-05-01 00:04,C1CC,14.0971,-18dBm,B1BB,4100Km. ";
    const QString t2 = "2024-05-01 06:30,C1CC,14.0971,-17dBm,B1BB,4100Km. ";
    const QString t3 = "2024-05-01 10:24,D1DD,14.0971,-12dBm,B1BB,4200Km. ";
    const QString t4 = "2024-05-01 11:02,D1DD,14.0971,-11dBm,B1BB,4200Km. ";
    struct Row
    {
        const char* name;
        QStringList history;
        QStringList memo;
    };
    const Row rows[] = {
        {"three of today after two of yesterday", {y1, y2, t1, t2, t3}, {kAlertMemoHeader, t3, t2, t1}},
        {"four of today: the three newest", {y1, t1, t2, t3, t4}, {kAlertMemoHeader, t4, t3, t2}},
        {"one of today", {y1, y2, t1}, {kAlertMemoHeader, t1}},
        {"the first line of the list counts", {t1, t2}, {kAlertMemoHeader, t2, t1}},
        {"an empty line ends the walk", {t1, "", t2}, {kAlertMemoHeader, t2}},
        {"empty list", {}, {kAlertMemoHeader}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(runAlertCheck(row.history, later(row.history.value(row.history.size() - 1))).memo,
                  row.memo);
    }
}

TEST(AlertCheck, ChannelFollowsTheAddressAndTheBoxes)
{
    struct Row
    {
        const char* name;
        QString emailTo;
        bool alerts;
        bool tones;
        AlertChannel channel;
        bool tonesOut;
    };
    const Row rows[] = {
        {"address and tones", "ops@example.org", true, true, AlertChannel::Mail, true},
        {"address without tones", "ops@example.org", true, false, AlertChannel::Mail, false},
        {"address with Alerts unticked still mails (the mail checks the switch)", "ops@example.org",
         false, false, AlertChannel::Mail, false},
        {"no address, Alerts ticked", "Your email", true, true, AlertChannel::Hook, false},
        {"no address, Alerts unticked", "", false, false, AlertChannel::Nothing, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AlertCheckInput in = later(kOld);
        in.emailTo = row.emailTo;
        in.alertsTicked = row.alerts;
        in.tonesTickedAndShown = row.tones;
        const AlertCheckOutcome out = runAlertCheck({kOld, kNew}, in);
        // Logged and recorded whatever the channel.
        EXPECT_TRUE(out.announce);
        EXPECT_EQ(out.logLine, "Timer Alert - " + kNew);
        EXPECT_EQ(out.lastAnnounced, kNew);
        EXPECT_EQ(out.channel, row.channel);
        EXPECT_EQ(out.tones, row.tonesOut);
        EXPECT_EQ(out.memo, (QStringList{kAlertMemoHeader, kNew}));
        EXPECT_EQ(out.memoAfter.isEmpty(), row.channel == AlertChannel::Mail);
    }
}

TEST(AlertCheck, LineWithoutDateTimeIsNoCandidate)
{
    const QStringList history{kOld, kNew, "zz not an alert"};
    const AlertCheckOutcome out = runAlertCheck(history, later(kOld));
    EXPECT_EQ(out.alert, kNew);
    EXPECT_TRUE(out.announce);
    EXPECT_FALSE(runAlertCheck({"garbage"}, later("")).announce);
}

// The process's local time zone for one test.
class LocalZone
{
public:
    explicit LocalZone(const char* zone) : m_saved(qgetenv("TZ")), m_had(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~LocalZone()
    {
        if (m_had)
            qputenv("TZ", m_saved);
        else
            qunsetenv("TZ");
        tzset();
    }
    LocalZone(const LocalZone&) = delete;
    LocalZone& operator=(const LocalZone&) = delete;

private:
    QByteArray m_saved;
    bool m_had;
};

#ifndef Q_OS_WIN // the zone comes from TZ on POSIX only
TEST(AlertCheck, StampsAreUtcSoNoneFallsIntoTheSkippedHour)
{
    // In Berlin the clocks went from 02:00 to 03:00 that night: 02:30 exists in UTC only.
    const LocalZone berlin("Europe/Berlin");
    ASSERT_FALSE(QDateTime(QDate(2024, 3, 31), QTime(2, 30)).isValid()) << "no daylight saving here";
    const QString inTheGap = "2024-03-31 02:30,DL1ABC,50.293010,-12dBm,G4XYZ,912Km. ";
    const AlertCheckOutcome out = runAlertCheck({kOld, inTheGap}, later(kOld));
    EXPECT_TRUE(out.announce);
    EXPECT_EQ(out.alert, inTheGap);
}
#endif

// A spot dated in the future once stayed the last line of the sorted history, was taken as
// the newest alert on every check, and so no later alert was ever announced.
TEST(AlertCheck, ALineDatedInTheFutureDoesNotHoldLaterAlertsBack)
{
    const QString future = "2099-12-31 23:59,ZZ9FUT,14.097100,-5dBm,G4XYZ,100Km. ";
    const QDateTime now(QDate(2024, 5, 1), QTime(10, 30), QTimeZone::utc());
    const struct
    {
        const char* name;
        QString newest; // the line dated ahead of now
        bool candidate; // whether it is the candidate
    } cases[] = {
        {"far ahead", future, false},
        {"eleven minutes ahead", "2024-05-01 10:41,K1ABC,14.097100,-12dBm,G4XYZ,5345Km. ", false},
        {"ten minutes ahead: a clock a little fast", "2024-05-01 10:40,K1ABC,14.097100,-12dBm,G4XYZ,5345Km. ", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AlertCheckInput in = later(kOld);
        in.nowUtc = now;
        const AlertCheckOutcome out = runAlertCheck({kOld, kNew, c.newest}, in);
        EXPECT_EQ(out.alert, c.candidate ? c.newest : kNew);
        EXPECT_TRUE(out.announce);
    }

    // Announced once when it was accepted, the future line must not block the next one.
    AlertCheckInput in = later(future);
    in.nowUtc = now;
    const AlertCheckOutcome next = runAlertCheck({kOld, kNew, future}, in);
    EXPECT_TRUE(next.announce);
    EXPECT_EQ(next.alert, kNew);
}

// Waits for a file the detached hook writes; the bound only keeps a broken hook from
// hanging the run.
QByteArray waitForFile(const test::TempFolder& dir, const QString& name)
{
    const QDeadlineTimer guard(120000);
    while (!dir.exists(name) && !guard.hasExpired())
        QThread::msleep(20);
    return dir.read(name);
}

#ifndef Q_OS_WIN
TEST(AlertHook, AlertArrivesAsOneUnchangedArgument)
{
    const QString alerts[] = {
        "2024-05-01 10:24,K1ABC,14.097100,-12dBm,G4XYZ,5345Km. ",
        R"(say "hi" & touch pwned; echo $(touch pwned) `touch pwned` | cat > pwned)",
        "  leading blanks, 'single' quotes and a \\ backslash  ",
    };
    for (const QString& alert : alerts) {
        SCOPED_TRACE(alert.toStdString());
        test::TempFolder dir;
        dir.write("runcode.bat",
                  "printf '%s' \"$#\" > count.txt\nprintf '%s' \"$1\" > arg.tmp\nmv arg.tmp arg.txt\n");
        ASSERT_EQ(AlertHook(dir.path()).run(alert), AlertHook::Start::Started);
        EXPECT_EQ(QString::fromUtf8(waitForFile(dir, "arg.txt")), alert);
        EXPECT_EQ(dir.read("count.txt"), "1");
        EXPECT_FALSE(dir.exists("pwned"));
    }
}
#else
// cmd runs the batch file; whatever the alert holds, %1 is inert text and nothing else runs.
TEST(AlertHook, AlertReachesTheBatchFileAsInertText)
{
    const struct
    {
        QString alert;
        QString arrives;
    } cases[] = {
        {"2024-05-01 10:24,K1ABC,14.097100,-12dBm,G4XYZ,5345Km. ",
         "2024-05-01 10:24,K1ABC,14.097100,-12dBm,G4XYZ,5345Km. "},
        {R"(X"&echo owned>owned.txt&")", "Xecho ownedowned.txt"},
        {"%PATH% ^& !PATH!", "PATH  PATH"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.alert.toStdString());
        test::TempFolder dir;
        // %~1 drops the quotes around the argument.
        dir.write("runcode.bat", "@echo off\r\n>arg.tmp echo %~1\r\nmove arg.tmp arg.txt >nul\r\n");
        ASSERT_EQ(AlertHook(dir.path()).run(c.alert), AlertHook::Start::Started);
        EXPECT_EQ(QString::fromUtf8(waitForFile(dir, "arg.txt")).trimmed(), c.arrives.trimmed());
        EXPECT_FALSE(dir.exists("owned.txt"));
    }
}
#endif

TEST(AlertHook, MissingScriptStartsNothing)
{
    test::TempFolder dir;
    EXPECT_EQ(AlertHook(dir.path()).run(kNew), AlertHook::Start::NoScript);
}

// Runs on every platform: the command line the Windows hook gets, for hostile alerts.
TEST(AlertHook, CommandLineForTheCommandInterpreterIsInert)
{
    const struct
    {
        QString alert;
        QString arguments;
    } cases[] = {
        {kNew, "/c runcode.bat \"" + kNew + "\""},
        {R"(X"&echo owned>owned.txt&")", R"(/c runcode.bat "Xecho ownedowned.txt")"},
        {R"(a "b" & c | d < e > f ^ g %PATH%)", R"(/c runcode.bat "a b  c  d  e  f  g PATH")"},
        {"^&calc", R"(/c runcode.bat "calc")"},
        {"!COMSPEC!", R"(/c runcode.bat "COMSPEC")"},
        {"K1ABC\r\ncalc\tx\x1b\x7f", R"(/c runcode.bat "K1ABCcalcx")"},
        {QString::fromUtf16(u"K1\u0085ABC"), R"(/c runcode.bat "K1ABC")"},
        {"", R"(/c runcode.bat "")"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.alert.toStdString());
        EXPECT_EQ(AlertHook::commandInterpreterArguments(c.alert), c.arguments);
    }
}

} // namespace
