// The history's CSV export from real SQLite files: the range and the band it covers, the
// formula guard on hostile call signs, and a write that fails leaving the old file whole.
#include "history/HistoryExport.h"
#include "history/HistoryStore.h"

#include "spots/SpotRules.h"

#ifndef _WIN32
#include "FileSizeLimit.h"
#endif
#include "TempFolder.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace beamtide;
using beamtide::test::TempFolder;

namespace {

constexpr qint64 kToday = 29947680; // 2026-12-10 00:00 UTC in minutes since 1970

HistorySpot spot(qint64 minute, const char* call, qint64 hz, const char* grid = "FN42",
                 const char* reporter = "DL1AB", SpotSource source = SpotSource::WsprNet)
{
    HistorySpot s;
    s.minute = minute;
    s.call = QString::fromLatin1(call);
    s.grid = QString::fromLatin1(grid);
    s.reporter = QString::fromLatin1(reporter);
    s.reporterGrid = QStringLiteral("JO31");
    s.hz = hz;
    s.snr = -21;
    s.dbm = 37;
    s.km = 5912;
    s.source = source;
    return s;
}

QStringList linesOf(const QByteArray& bytes)
{
    EXPECT_TRUE(bytes.isEmpty() || bytes.endsWith("\r\n"));
    QStringList lines = QString::fromUtf8(bytes).split(QStringLiteral("\r\n"));
    lines.removeLast();
    return lines;
}

} // namespace

TEST(HistoryExport, TheRangeItsBandAndNoFormulaFromACallSign)
{
    TempFolder folder;
    HistoryStore store;
    ASSERT_EQ(store.open(folder.file(QStringLiteral("h.sqlite"))), HistoryStore::State::Open);
    const qint64 from = kToday + 600, to = kToday + 720; // 10:00 to 12:00
    ASSERT_TRUE(store.store({spot(from - 1, "K1BEFORE", 14097001), spot(from, "K1FIRST", 14097002),
                             spot(from + 5, "=1+2", 14097003, "=X", "-DL1AB"),
                             spot(from + 6, "@SUM(A1)", 14097004, "FN42", "+CMD", SpotSource::WsprLive),
                             spot(from + 7, "-2+3", 7040005), spot(to - 1, "K1LAST", 14097006),
                             spot(to, "K1AFTER", 14097007)},
                            kToday + 1000)
                    .ok);
    const QString path = folder.file(QStringLiteral("out.csv"));
    const HistoryExport all = exportHistoryCsv(store, path, from, to, std::nullopt);
    ASSERT_TRUE(all.saved.ok) << all.saved.error.toStdString();
    EXPECT_EQ(all.rows, 5);
    EXPECT_EQ(linesOf(folder.read(QStringLiteral("out.csv"))),
              (QStringList{
                  QStringLiteral("time,band,call,grid,reporter,rgrid,mhz,snr,drift,dbm,km,source"),
                  QStringLiteral("\"2026-12-10 10:00\",20,K1FIRST,FN42,DL1AB,JO31,14.097002,-21,0,37,5912,wsprnet"),
                  QStringLiteral("\"2026-12-10 10:05\",20,'=1+2,'=X,'-DL1AB,JO31,14.097003,-21,0,37,5912,wsprnet"),
                  QStringLiteral("\"2026-12-10 10:06\",20,'@SUM(A1),FN42,'+CMD,JO31,14.097004,-21,0,37,5912,wspr.live"),
                  QStringLiteral("\"2026-12-10 10:07\",40,'-2+3,FN42,DL1AB,JO31,7.040005,-21,0,37,5912,wsprnet"),
                  QStringLiteral("\"2026-12-10 11:59\",20,K1LAST,FN42,DL1AB,JO31,14.097006,-21,0,37,5912,wsprnet"),
              }));

    const HistoryExport forty = exportHistoryCsv(store, path, from, to, historyBandOfName(u"40"));
    ASSERT_TRUE(forty.saved.ok);
    EXPECT_EQ(forty.rows, 1);
    EXPECT_EQ(linesOf(folder.read(QStringLiteral("out.csv"))).size(), 2);
    // A range with nothing in it is a file with its header line alone.
    const HistoryExport none = exportHistoryCsv(store, path, to + 1, to + 60, std::nullopt);
    ASSERT_TRUE(none.saved.ok);
    EXPECT_EQ(none.rows, 0);
    EXPECT_EQ(linesOf(folder.read(QStringLiteral("out.csv"))).size(), 1);

    EXPECT_EQ(historyExportFileName(QStringLiteral("PC1#"), from, to, std::nullopt),
              QStringLiteral("PC1#BeamtideHistory 20261210-20261210.csv"));
    EXPECT_EQ(historyExportFileName({}, kToday - 6 * 1440, kToday + 1440, historyBandOfName(u"20")),
              QStringLiteral("BeamtideHistory 20261204-20261210 20m.csv"));
}

#ifndef _WIN32 // the full disk is a file-size limit, which only POSIX has
TEST(HistoryExport, AFailedWriteLeavesTheOldFileWholeAndNothingHalfWritten)
{
    TempFolder folder;
    HistoryStore store;
    ASSERT_EQ(store.open(folder.file(QStringLiteral("h.sqlite"))), HistoryStore::State::Open);
    QList<HistorySpot> spots;
    for (int i = 0; i < 30000; ++i)
        spots << spot(kToday + i / 20, "K1ABC", 14097000 + i);
    ASSERT_TRUE(store.store(spots, kToday + 1500).ok);
    const QByteArray old = "time,band\r\nthe export of last week\r\n";
    folder.write(QStringLiteral("out.csv"), old);
    const QStringList before = QDir(folder.path()).entryList(QDir::Files);

    HistoryExport failed;
    {
        // More than a megabyte of rows, so the file is cut off in the middle of its writes.
        beamtide::test::FileSizeLimit limit(512 * 1024);
        failed = exportHistoryCsv(store, folder.file(QStringLiteral("out.csv")), kToday, kToday + 1440, std::nullopt);
    }
    EXPECT_FALSE(failed.saved.ok);
    EXPECT_FALSE(failed.saved.error.isEmpty());
    EXPECT_EQ(failed.rows, 0);
    EXPECT_EQ(folder.read(QStringLiteral("out.csv")), old);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), before);

    // A store that is not open says so and writes nothing.
    HistoryStore closed;
    const HistoryExport refused = exportHistoryCsv(closed, folder.file(QStringLiteral("other.csv")), kToday, kToday + 1440, std::nullopt);
    EXPECT_FALSE(refused.saved.ok);
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("other.csv"))));
}
#endif
