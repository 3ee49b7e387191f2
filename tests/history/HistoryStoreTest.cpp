#include "history/History.h"
#include "history/HistoryStore.h"

#include "base/Clock.h"
#include "base/Identity.h"
#include "base/RunLog.h"
#include "spots/SpotRules.h"

#ifndef _WIN32
#include "FileSizeLimit.h"
#endif
#include "TempFolder.h"

#include <sqlite3.h>

#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QSignalSpy>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#endif

#include <algorithm>
#include <cmath>
#include <map>

using namespace beamtide;
using beamtide::test::TempFolder;

namespace {

// 2026-12-10 in minutes since 1970.
constexpr qint64 kToday = 29947680;

// The rows of a statement run by a connection of the test's own, as text.
QStringList rowsOf(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    QStringList rows;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
        rows << QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db));
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
        QStringList cells;
        for (int c = 0; c < sqlite3_column_count(stmt); ++c)
            cells << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)));
        rows << cells.join(u'|');
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

QString integrity(const QString& path)
{
    return rowsOf(path, "PRAGMA integrity_check").join(u' ');
}

QList<HistorySpot> spotsOf(const QStringList& lines, SpotSource source = SpotSource::WsprNet)
{
    QList<HistorySpot> spots;
    for (const QString& line : lines)
        if (auto spot = HistorySpot::fromLine(line, source))
            spots << *spot;
    return spots;
}

// A spot line as the page parser gives it.
QString line(const QString& time, const QString& call, const QString& mhz,
             const QString& reporter = QStringLiteral("DL1AB"), int km = 5000, int snr = -20)
{
    return QStringLiteral("%1,%2,%3,%4,0,FN42,+37,5,%5,JO31,%6,%7")
        .arg(time, call, mhz, QString::number(snr), reporter, QString::number(km),
             QString::number(km * 0.621, 'f', 0));
}

} // namespace

TEST(HistoryStore, OneRowPerSpotWhateverTheFetch)
{
    struct Case
    {
        const char* name;
        QStringList second; // stored after the first spot
        qint64 rows;
    };
    const QString first = line(QStringLiteral("2026-12-10 10:02"), QStringLiteral("K1ABC"),
                               QStringLiteral("14.097088"));
    const Case cases[] = {
        {"the same line again", {first}, 1},
        {"twice in one answer", {first, first}, 1},
        {"a late copy with other figures",
         {line(QStringLiteral("2026-12-10 10:02"), QStringLiteral("K1ABC"), QStringLiteral("14.097088"),
               QStringLiteral("DL1AB"), 5001, -3)}, 1},
        {"seconds and blanks around fields",
         {QStringLiteral(" 2026-12-10 10:02:00 , K1ABC ,14.0970880,-20,0,FN42,+37,5, DL1AB ,JO31,5000,3105")}, 1},
        {"the call in small letters",
         {line(QStringLiteral("2026-12-10 10:02"), QStringLiteral("k1abc"), QStringLiteral("14.097088"))}, 1},
        {"another minute",
         {line(QStringLiteral("2026-12-10 10:04"), QStringLiteral("K1ABC"), QStringLiteral("14.097088"))}, 2},
        {"another reporter",
         {line(QStringLiteral("2026-12-10 10:02"), QStringLiteral("K1ABC"), QStringLiteral("14.097088"),
               QStringLiteral("G4XYZ"))}, 2},
        {"one hertz apart",
         {line(QStringLiteral("2026-12-10 10:02"), QStringLiteral("K1ABC"), QStringLiteral("14.097089"))}, 2},
        {"another band",
         {line(QStringLiteral("2026-12-10 10:02"), QStringLiteral("K1ABC"), QStringLiteral("7.040088"))}, 2},
        {"an unreadable time or frequency",
         {line(QStringLiteral("yesterday"), QStringLiteral("K1ABC"), QStringLiteral("14.097088")),
          line(QStringLiteral("2026-12-10 10:02"), QStringLiteral("K1ABC"), QStringLiteral("x"))}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        HistoryStore store;
        ASSERT_EQ(store.open(folder.file(QStringLiteral("h.sqlite"))), HistoryStore::State::Open);
        ASSERT_TRUE(store.store(spotsOf({first}), kToday).ok);
        const HistoryStore::StoreResult again = store.store(spotsOf(c.second), kToday);
        EXPECT_TRUE(again.ok) << again.error.toStdString();
        EXPECT_EQ(store.spotCount(), c.rows);
        EXPECT_EQ(again.added, c.rows - 1);
    }
}

TEST(HistoryStore, TheSpotViewReadsAsTheSpotLine)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("h.sqlite"));
    HistoryStore store;
    ASSERT_EQ(store.open(path), HistoryStore::State::Open);
    ASSERT_TRUE(store.store(spotsOf({QStringLiteral("2026-12-10 10:02,K1ABC,14.097088,-21,-1,FN42ab,+37,5,DL1AB,JO31,5912,3674"),
                                     QStringLiteral("2026-12-10 10:04,VE3XYZ,0.475712,3,0,EN82,30,1,DL1AB,JO31,6400,3977"),
                                     QStringLiteral("2026-12-10 10:06,JA1AAA,144.490500,-5,1,PM95,23,0.2,JH1BBB,PM96,30,19")},
                                    SpotSource::WsprLive),
                            kToday)
                    .ok);
    EXPECT_EQ(rowsOf(path, "SELECT * FROM spot ORDER BY time"),
              (QStringList{QStringLiteral("2026-12-10 10:02|20|K1ABC|FN42ab|DL1AB|JO31|14.097088|-21|-1|37|5912|wspr.live"),
                           QStringLiteral("2026-12-10 10:04|2190|VE3XYZ|EN82|DL1AB|JO31|0.475712|3|0|30|6400|wspr.live"),
                           QStringLiteral("2026-12-10 10:06|2|JA1AAA|PM95|JH1BBB|PM96|144.4905|-5|1|23|30|wspr.live")}));
    EXPECT_EQ(rowsOf(path, "PRAGMA user_version"), QStringList{QStringLiteral("1")});
    EXPECT_EQ(rowsOf(path, "PRAGMA journal_mode"), QStringList{QStringLiteral("wal")});
    EXPECT_EQ(rowsOf(path, "PRAGMA auto_vacuum"), QStringList{QStringLiteral("2")}); // incremental
}

TEST(HistoryStore, ChartsFromAKnownSetOfSpots)
{
    TempFolder folder;
    HistoryStore store;
    ASSERT_EQ(store.open(folder.file(QStringLiteral("h.sqlite"))), HistoryStore::State::Open);
    const QStringList lines{
        line(QStringLiteral("2026-12-09 07:10"), QStringLiteral("K1ABC"), QStringLiteral("14.097001"), QStringLiteral("DL1AB"), 6000),
        line(QStringLiteral("2026-12-09 07:50"), QStringLiteral("K1ABC"), QStringLiteral("14.097002"), QStringLiteral("G4XYZ"), 5500),
        line(QStringLiteral("2026-12-09 08:00"), QStringLiteral("VK2AAA"), QStringLiteral("14.097003"), QStringLiteral("DL1AB"), 16000),
        line(QStringLiteral("2026-12-10 07:20"), QStringLiteral("K1ABC"), QStringLiteral("14.097004"), QStringLiteral("DL1AB"), 300),
        line(QStringLiteral("2026-12-10 07:22"), QStringLiteral("W1AW"), QStringLiteral("7.040100"), QStringLiteral("DL1AB"), 7000),
    };
    // Stored in two answers, the second repeating one spot of the first.
    ASSERT_TRUE(store.store(spotsOf(lines.mid(0, 3)), kToday).ok);
    ASSERT_TRUE(store.store(spotsOf(lines.mid(2)), kToday).ok);

    const qint64 h = kToday / 60; // 2026-12-10 00:00
    const int band20 = *historyBandOfName(u"20");
    const int band40 = *historyBandOfName(u"40");
    using Cells = QList<std::pair<qint64, qint64>>;
    const auto cells = [](const QList<HeatCell>& list) {
        Cells out;
        for (const HeatCell& c : list)
            out.append({c.hour, c.spots});
        return out;
    };
    EXPECT_EQ(cells(store.heatMap(band20, h - 24, h + 24)), (Cells{{h - 17, 2}, {h - 16, 1}, {h + 7, 1}}));
    EXPECT_EQ(cells(store.heatMap(std::nullopt, h - 24, h + 24)), (Cells{{h - 17, 2}, {h - 16, 1}, {h + 7, 2}}));
    EXPECT_EQ(cells(store.heatMap(band20, h, h + 24)), (Cells{{h + 7, 1}}));

    // The scan agrees with the roll-up when nothing narrows it.
    EXPECT_EQ(cells(store.heatMap(band20, h - 24, h + 24, HeatFilter{})), cells(store.heatMap(band20, h - 24, h + 24)));
    HeatFilter far;
    far.minKm = 5500; // beyond, not at
    EXPECT_EQ(cells(store.heatMap(band20, h - 24, h + 24, far)), (Cells{{h - 17, 1}, {h - 16, 1}}));
    HeatFilter calls;
    calls.calls = true;
    calls.spotted = QStringLiteral("K1");
    calls.logic = QStringLiteral("AND");
    EXPECT_EQ(cells(store.heatMap(band20, h - 24, h + 24, calls)), (Cells{{h - 17, 2}, {h + 7, 1}}));
    calls.spotter = QStringLiteral("DL");
    EXPECT_EQ(cells(store.heatMap(band20, h - 24, h + 24, calls)), (Cells{{h - 17, 1}, {h + 7, 1}}));

    const QList<BandHours> perHour = store.spotsPerHour(h - 24, h + 24);
    ASSERT_EQ(perHour.size(), 2);
    EXPECT_EQ(perHour[0].band, band40);
    EXPECT_EQ(cells(perHour[0].hours), (Cells{{h + 7, 1}}));
    EXPECT_EQ(perHour[1].band, band20);
    EXPECT_EQ(cells(perHour[1].hours), (Cells{{h - 17, 2}, {h - 16, 1}, {h + 7, 1}}));

    const QList<DayBest> best = store.bestPerDay(band20, kToday / 1440 - 1, kToday / 1440 + 1);
    ASSERT_EQ(best.size(), 2);
    EXPECT_EQ(best[0].km, 16000);
    EXPECT_EQ(best[0].call, QStringLiteral("VK2AAA"));
    EXPECT_EQ(best[0].reporter, QStringLiteral("DL1AB"));
    EXPECT_EQ(best[0].minute, kToday - 16 * 60);
    EXPECT_EQ(best[1].km, 300);
    const QList<DayBest> anyBand = store.bestPerDay(std::nullopt, kToday / 1440, kToday / 1440 + 1);
    ASSERT_EQ(anyBand.size(), 1);
    EXPECT_EQ(anyBand[0].call, QStringLiteral("W1AW"));
    EXPECT_EQ(store.firstHour(), h - 17);
}

TEST(HistoryStore, TheNarrowedHeatMapCountsWhatTheFiltersPass)
{
    // Calls that begin alike and unlike, on two bands over three days, against the filters
    // applied to each spot one by one.
    const QStringList calls{QStringLiteral("K1ABC"), QStringLiteral("K1XYZ"), QStringLiteral("K2AA"),
                            QStringLiteral("KA1B"), QStringLiteral("W1AW"), QStringLiteral("VK2AAA"),
                            QStringLiteral("VK3B"), QStringLiteral("DL1AB"), QStringLiteral("G4XYZ"),
                            QStringLiteral("K")};
    struct Spot
    {
        qint64 minute;
        QString call, reporter, mhz;
        int km;
    };
    QList<Spot> known;
    for (int i = 0; i < 600; ++i)
        known.append(Spot{kToday - 2 * 1440 + i * 7 % (3 * 1440), calls[i % calls.size()],
                          calls[i * 7 % calls.size()],
                          i % 3 ? QStringLiteral("14.097%1").arg(i % 200, 3, 10, QLatin1Char('0'))
                                : QStringLiteral("7.040%1").arg(i % 200, 3, 10, QLatin1Char('0')),
                          i * 37 % 12000});
    QStringList lines;
    for (const Spot& k : known)
        lines << line(dateTimeTextOf(k.minute * 60000).left(16), k.call, k.mhz, k.reporter, k.km);
    TempFolder folder;
    HistoryStore store;
    ASSERT_EQ(store.open(folder.file(QStringLiteral("h.sqlite"))), HistoryStore::State::Open);
    ASSERT_TRUE(store.store(spotsOf(lines), kToday).ok);
    ASSERT_EQ(store.spotCount(), known.size());

    struct Case
    {
        const char *spotted, *spotter, *logic;
        int minKm;
    };
    const Case cases[] = {
        {"K1", "", "AND", 0},          {"K", "DL", "AND", 0},        {"K", "DL", "OR", 0},
        {"", "VK", "OR", 3000},        {"", "", "AND", 0},           {"K1,VK, W", "", "OR", 0},
        {"", "G4, K2", "AND", 0},      {"K1,VK", "DL", "OR", 0},     {"K1,VK", "DL", "AND", 0},
        {"A,B,C,D,E,W,K", "", "AND", 0}, {"K1ABC", "K", "AND", 9000}, {"X", "Y", "XOR", 0},
        {nullptr, nullptr, nullptr, 4000}, // the far distance alone
    };
    const qint64 from = kToday / 60 - 48, to = kToday / 60 + 10;
    for (const std::optional<int> band : {std::optional<int>(), historyBandOfName(u"20")}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.spotted ? std::string(c.spotted) + " " + c.logic + " " + c.spotter : std::string());
            SCOPED_TRACE(c.minKm);
            HeatFilter filter;
            filter.calls = c.spotted != nullptr;
            filter.spotted = QString::fromLatin1(c.spotted);
            filter.spotter = QString::fromLatin1(c.spotter);
            filter.logic = QString::fromLatin1(c.logic);
            filter.minKm = c.minKm;
            std::map<qint64, qint64> expected;
            for (const Spot& k : known)
                if (k.minute / 60 >= from && k.minute / 60 < to && (c.minKm == 0 || k.km > c.minKm)
                    && (!band || historyBandOf(std::llround(k.mhz.toDouble() * 1e6)) == *band)
                    && (!filter.calls || callFilterMatch(filter.spotted, filter.spotter, filter.logic, k.call, k.reporter)))
                    ++expected[k.minute / 60];
            // On the store's thread alone, and in two halves at once.
            for (const qint64 parallelFrom : {qint64(1) << 40, qint64(1)}) {
                store.setParallelScanRows(parallelFrom);
                using Cells = std::vector<std::pair<qint64, qint64>>;
                Cells counted;
                for (const HeatCell& cell : store.heatMap(band, from, to, filter))
                    counted.emplace_back(cell.hour, cell.spots);
                EXPECT_EQ(counted, Cells(expected.begin(), expected.end()));
            }
        }
    }
}

TEST(HistoryStore, RetentionIsKeptInTheFileAndPrunesOnceADay)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("h.sqlite"));
    QStringList lines;
    for (int day = 0; day < 40; ++day)
        for (int i = 0; i < 200; ++i)
            lines << line(dateTimeTextOf((kToday - day * 1440 + i) * 60000).left(16),
                          QStringLiteral("K%1").arg(i), QStringLiteral("14.097%1").arg(i, 3, 10, QLatin1Char('0')));
    {
        HistoryStore store;
        ASSERT_EQ(store.open(path), HistoryStore::State::Open);
        EXPECT_EQ(store.retentionDays(), 30);
        // The first store of a day prunes: the 30 days up to today stay.
        ASSERT_TRUE(store.store(spotsOf(lines), kToday + 600).ok);
        EXPECT_EQ(store.spotCount(), 30 * 200);
        EXPECT_EQ(store.firstHour(), (kToday - 29 * 1440) / 60);
        // Not again the same day: older spots stored now stay until tomorrow's pruning.
        ASSERT_TRUE(store.store(spotsOf(lines), kToday + 700).ok);
        EXPECT_EQ(store.spotCount(), 40 * 200);
        // Tomorrow the oldest of the 30 days goes (tomorrow is one of them).
        ASSERT_TRUE(store.store({}, kToday + 1440).ok);
        EXPECT_EQ(store.spotCount(), 29 * 200);
        const qint64 pagesBefore = rowsOf(path, "PRAGMA page_count").value(0).toLongLong();
        // Another copy shortens the time kept: the next store prunes at once.
        HistoryStore other;
        ASSERT_EQ(other.open(path), HistoryStore::State::Open);
        ASSERT_TRUE(other.setRetentionDays(7));
        ASSERT_TRUE(store.store({}, kToday + 1441).ok);
        EXPECT_EQ(store.spotCount(), 6 * 200);
        EXPECT_EQ(store.retentionDays(), 7);
        // The freed pages go back to the disk in steps, one per store.
        for (int i = 0; i < 20; ++i)
            ASSERT_TRUE(store.store({}, kToday + 1442 + i).ok);
        EXPECT_EQ(rowsOf(path, "PRAGMA freelist_count"), QStringList{QStringLiteral("0")});
        EXPECT_LT(rowsOf(path, "PRAGMA page_count").value(0).toLongLong(), pagesBefore);
    }
    HistoryStore reopened;
    ASSERT_EQ(reopened.open(path), HistoryStore::State::Open);
    EXPECT_EQ(reopened.retentionDays(), 7);
    EXPECT_EQ(reopened.spotCount(), 6 * 200);
    EXPECT_EQ(integrity(path), QStringLiteral("ok"));
}

TEST(HistoryStore, AFileThatIsNotOursIsNeverWritten)
{
    TempFolder folder;
    // A real history file, damaged where its tables are described.
    const QString good = folder.file(QStringLiteral("good.sqlite"));
    {
        HistoryStore store;
        ASSERT_EQ(store.open(good), HistoryStore::State::Open);
        ASSERT_TRUE(store.store(spotsOf({line(QStringLiteral("2026-12-10 10:02"), QStringLiteral("K1ABC"),
                                              QStringLiteral("14.097088"))}),
                                kToday)
                        .ok);
    }
    QByteArray damaged = folder.read(QStringLiteral("good.sqlite"));
    ASSERT_GT(damaged.size(), 4096);
    for (int i = 100; i < 4096; ++i)
        damaged[i] = char(0x5a);
    QByteArray newer = folder.read(QStringLiteral("good.sqlite"));
    newer[60 + 3] = 2; // user_version, big-endian at offset 60

    struct Case
    {
        const char* name;
        QByteArray bytes;
        const char* says;
    };
    const Case cases[] = {
        {"text", QByteArray("2026-12-10 10:02,K1ABC,14.097088\r\n").repeated(200), "is not a database"},
        {"damaged", damaged, "is damaged"},
        {"newer", newer, "comes from a newer version of Beamtide (schema 2)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = QString::fromLatin1(c.name) + QStringLiteral(".sqlite");
        folder.write(name, c.bytes);
        HistoryStore store;
        EXPECT_EQ(store.open(folder.file(name)), HistoryStore::State::Refused);
        EXPECT_TRUE(store.why().contains(QString::fromLatin1(c.says))) << store.why().toStdString();
        EXPECT_TRUE(store.why().contains(name));
        EXPECT_FALSE(store.store(spotsOf({line(QStringLiteral("2026-12-10 10:02"), QStringLiteral("K1ABC"),
                                              QStringLiteral("14.097088"))}),
                                 kToday)
                         .ok);
        EXPECT_FALSE(store.setRetentionDays(3));
        EXPECT_EQ(folder.read(name), c.bytes);
    }

    // Another program's database, for all it is a sound one.
    const QString foreign = folder.file(QStringLiteral("foreign.sqlite"));
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(foreign).constData(), &db);
    sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES(1)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const QByteArray before = folder.read(QStringLiteral("foreign.sqlite"));
    HistoryStore store;
    EXPECT_EQ(store.open(foreign), HistoryStore::State::Refused);
    EXPECT_EQ(folder.read(QStringLiteral("foreign.sqlite")), before);
}

#ifndef _WIN32 // the full disk is a file-size limit, which only POSIX has
TEST(HistoryStore, AFullDiskLeavesTheFileIntactAndTheSpotsGoLater)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("h.sqlite"));
    SystemClock clock;
    Identity identity;
    identity.folder = folder.path();
    RunLog log(identity, clock);
    QStringList logged;
    log.setSink([&](const QString& text) { logged << text; });

    const auto answer = [](int n, int from) {
        QStringList lines;
        for (int i = from; i < from + n; ++i)
            lines << line(QStringLiteral("2026-12-10 10:02"), QStringLiteral("CALL%1").arg(i),
                          QStringLiteral("14.097088"), QStringLiteral("RX%1").arg(i));
        return lines;
    };
    History history(path, log);
    QSignalSpy stored(&history, &History::stored);
    history.store(answer(100, 0), SpotSource::WsprNet, kToday);
    ASSERT_TRUE(stored.wait());
    {
        // No file may grow now: neither the log of the file nor the file itself.
        beamtide::test::FileSizeLimit limit(
            std::max(QFileInfo(path).size(), QFileInfo(path + QStringLiteral("-wal")).size()));
        history.store(answer(5000, 100), SpotSource::WsprNet, kToday);
        history.store(answer(5000, 5100), SpotSource::WsprNet, kToday);
        history.finish(); // and its reports are in
    }
    EXPECT_EQ(stored.size(), 1);
    ASSERT_EQ(logged.size(), 1) << logged.join(u'\n').toStdString();
    EXPECT_TRUE(logged[0].contains(QStringLiteral("tried again at the next update")));
    EXPECT_EQ(integrity(path), QStringLiteral("ok"));

    // Room again: the waiting spots go with the next answer.
    history.store(answer(10, 20000), SpotSource::WsprNet, kToday);
    ASSERT_TRUE(stored.wait());
    EXPECT_EQ(stored.last().at(0).toInt(), 10010);
    EXPECT_EQ(rowsOf(path, "SELECT count(*) FROM spot"), QStringList{QStringLiteral("10110")});
    EXPECT_EQ(integrity(path), QStringLiteral("ok"));
}
#endif

TEST(HistoryStore, AnUnusableFileIsSaidOnceAndHistoryStaysOff)
{
    TempFolder folder;
    folder.write(QStringLiteral("h.sqlite"), "not a database at all, but long enough to look like one.....");
    SystemClock clock;
    Identity identity;
    RunLog log(identity, clock);
    QStringList logged;
    log.setSink([&](const QString& text) { logged << text; });
    History history(folder.file(QStringLiteral("h.sqlite")), log);
    QSignalSpy refused(&history, &History::refused);
    history.store({line(QStringLiteral("2026-12-10 10:02"), QStringLiteral("K1ABC"), QStringLiteral("14.097088"))},
                  SpotSource::WsprNet, kToday);
    ASSERT_TRUE(refused.wait());
    history.store({}, SpotSource::WsprNet, kToday);
    history.finish(); // and its reports are in
    EXPECT_EQ(refused.size(), 1);
    EXPECT_EQ(logged.size(), 1);
    EXPECT_TRUE(refused[0][0].toString().contains(QStringLiteral("h.sqlite")));
}

namespace {
QString probe()
{
    return QStringLiteral(BEAMTIDE_BINARY_DIR "/tests/history_probe");
}
} // namespace

TEST(HistoryStore, TwoCopiesWritingAtOnceLoseNoSpot)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("h.sqlite"));
    QProcess a, b;
    a.start(probe(), {path, QStringLiteral("A"), QStringLiteral("40"), QStringLiteral("300")});
    b.start(probe(), {path, QStringLiteral("B"), QStringLiteral("40"), QStringLiteral("300")});
    ASSERT_TRUE(a.waitForFinished(-1));
    ASSERT_TRUE(b.waitForFinished(-1));
    EXPECT_EQ(a.exitCode(), 0) << a.readAllStandardError().toStdString();
    EXPECT_EQ(b.exitCode(), 0) << b.readAllStandardError().toStdString();
    // Each copy's own spots, and the shared ones once.
    EXPECT_EQ(rowsOf(path, "SELECT count(*) FROM spot"), QStringList{QString::number(3 * 40 * 300)});
    EXPECT_EQ(rowsOf(path, "SELECT sum(spots) FROM hourly"), QStringList{QString::number(3 * 40 * 300)});
    EXPECT_EQ(integrity(path), QStringLiteral("ok"));
}

TEST(HistoryStore, KilledInTheMiddleOfAWriteTheFileIsIntact)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("h.sqlite"));
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        QProcess writer;
        writer.start(probe(), {path, QStringLiteral("K%1-").arg(round), QStringLiteral("0"), QStringLiteral("2000")});
        ASSERT_TRUE(writer.waitForReadyRead(-1));
        ASSERT_EQ(writer.readAllStandardOutput().trimmed(), QByteArray("ready")); // CR LF on Windows
        QThread::msleep(50 * round);
#ifdef _WIN32
        writer.kill(); // TerminateProcess: no chance to finish anything, like SIGKILL
#else
        ::kill(pid_t(writer.processId()), SIGKILL);
#endif
        writer.waitForFinished(-1);
        EXPECT_EQ(integrity(path), QStringLiteral("ok"));
        // Whole answers only: every stored batch holds its 2000 own spots.
        const qint64 rows = rowsOf(path, "SELECT count(*) FROM spots").value(0).toLongLong();
        const qint64 rolled = rowsOf(path, "SELECT sum(spots) FROM hourly").value(0).toLongLong();
        EXPECT_EQ(rows, rolled);
        HistoryStore store;
        EXPECT_EQ(store.open(path), HistoryStore::State::Open);
    }
}
