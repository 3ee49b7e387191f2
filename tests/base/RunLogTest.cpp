#include "base/RunLog.h"

#include "base/Clock.h"
#include "base/Identity.h"

#include "TempFolder.h"

#include <QFile>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace beamtide;

namespace {
QDateTime utc(int h, int m, int s)
{
    return QDateTime(QDate(2024, 5, 1), QTime(h, m, s), Qt::UTC);
}
} // namespace

TEST(RunLog, NoFileWithoutTheOption)
{
    test::TempFolder dir;
    Identity id{QStringLiteral(" /x"), 1, {}, {}, true, dir.path()};
    ManualClock clock(utc(14, 5, 9));
    RunLog log(id, clock);
    log.writeTagged(QStringLiteral("CLOSING"));
    EXPECT_FALSE(dir.exists(QStringLiteral("WSPRLog1.txt")));
}

TEST(RunLog, AppendsStampedLinesAcrossRunsWithMidnightDateOnly)
{
    test::TempFolder dir;
    Identity id{QStringLiteral(" /log"), 1, {}, {}, true, dir.path()};
    ManualClock clock(utc(14, 5, 9));
    {
        RunLog log(id, clock);
        log.writeTagged(QStringLiteral("CMD  /log"));
    }
    clock.setUtc(utc(0, 0, 0));
    RunLog second(id, clock);
    second.write(QStringLiteral("1 Activity result: 250"));
    EXPECT_EQ(dir.read(QStringLiteral("WSPRLog1.txt")),
              QByteArray("2024-05-01 14:05:09 1: CMD  /log\r\n2024-05-01 1 Activity result: 250\r\n"));
}

TEST(RunLog, PrefixAndInstanceTakenAtEachLine)
{
    test::TempFolder dir;
    Identity id{QStringLiteral(" /log /pcname"), 5, QStringLiteral("SHACK#"), {}, true, dir.path()};
    ManualClock clock(utc(10, 0, 1));
    RunLog log(id, clock);
    log.writeTagged(QStringLiteral("a"));
    id.instance = 0;
    log.writeTagged(QStringLiteral("b"));
    EXPECT_EQ(dir.read(QStringLiteral("SHACK#WSPRLog5.txt")), QByteArray("2024-05-01 10:00:01 5: a\r\n"));
    EXPECT_EQ(dir.read(QStringLiteral("SHACK#WSPRLog0.txt")), QByteArray("2024-05-01 10:00:01 0: b\r\n"));
}

TEST(RunLog, UnwritableFileDropsTheLine)
{
    test::TempFolder dir;
    Identity id{QStringLiteral(" /log"), 1, {}, {}, true, dir.file(QStringLiteral("no/such/folder"))};
    ManualClock clock(utc(10, 0, 1));
    RunLog log(id, clock);
    QStringList seen;
    log.setSink([&](const QString& line) { seen << line; });
    log.writeTagged(QStringLiteral("still here"));
    EXPECT_EQ(seen, QStringList{QStringLiteral("1: still here")});
}

// Outside text (an echo answer, a server's error, a page's field) lands in log lines; a line
// break in it must not forge a line such as "1: CLOSING", nor an escape reach a terminal.
TEST(RunLog, ControlCharactersInAMessageStayOnItsLine)
{
    test::TempFolder dir;
    Identity id{QStringLiteral(" /log"), 1, {}, {}, true, dir.path()};
    ManualClock clock(utc(10, 0, 1));
    RunLog log(id, clock);
    log.writeTagged(QStringLiteral("E_IP: 1.2.3.4\r\n2024-05-01 10:00:01 1: CLOSING"));
    log.writeTagged(QStringLiteral("a\x1b[31mred\tb") + QChar(0) + QStringLiteral("c\x7f") + QChar(0x2028)
                    + QStringLiteral("d"));
    EXPECT_EQ(dir.read(QStringLiteral("WSPRLog1.txt")),
              QByteArray("2024-05-01 10:00:01 1: E_IP: 1.2.3.4\\r\\n2024-05-01 10:00:01 1: CLOSING\r\n"
                         "2024-05-01 10:00:01 1: a\\x1b[31mred\\tb\\x00c\\x7f\\x2028d\r\n"));
}
