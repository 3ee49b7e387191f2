// The shared history on a real ClickHouse server (the tests' own): every stored spot goes
// there in batches from the history thread; while the server is away the spots wait in the
// file, and once it is back they all arrive, each counted once however often it was sent.
#include "history/History.h"
#include "history/HistoryServer.h"
#include "history/RemoteHeatMap.h"

#include "base/Clock.h"
#include "base/Identity.h"
#include "base/RunLog.h"
#include "spots/SpotRules.h"

#include "ClickHouseFixture.h"
#include "RemoteAsk.h"
#include "TempFolder.h"

#include <sqlite3.h>

#include <QDateTime>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace beamtide;
using namespace beamtide::test;

namespace {

// n spots a minute apart ending `endAge` minutes ago, on 20 m and 40 m by turns.
QStringList answer(qint64 nowMinute, int n, int endAge, const QString& tag)
{
    QStringList lines;
    for (int i = 0; i < n; ++i) {
        const qint64 minute = nowMinute - endAge - (n - 1 - i);
        lines << QStringLiteral("%1,%2%3,%4,-20,0,FN42,+37,5,DL1AB,JO31,5000,3105")
                     .arg(dateTimeTextOf(minute * 60000 + 1000).left(16), tag)
                     .arg(i)
                     .arg(i % 2 ? QStringLiteral("7.0401%1").arg(i % 100, 2, 10, QLatin1Char('0'))
                                : QStringLiteral("14.0971%1").arg(i % 100, 2, 10, QLatin1Char('0')));
    }
    return lines;
}

struct Rig
{
    Rig()
    {
        log.setSink([this](const QString& line) { logged << line; });
        server.url = clickhouse.baseUrl() + u'/';
        server.user = QStringLiteral("club");
        server.password = QStringLiteral("pa ss:word");
        history.setServer(server);
    }

    // Stores an answer and waits for its batch.
    std::pair<bool, int> store(const QStringList& lines)
    {
        QSignalSpy batch(&history, &History::serverBatch);
        history.store(lines, SpotSource::WsprNet, now);
        EXPECT_TRUE(batch.wait(120000));
        if (batch.isEmpty())
            return {false, 0};
        return {batch[0][0].toBool(), batch[0][1].toInt()};
    }

    // The heat map of every band and of 20 m, from the server and from the file.
    Cells fromServer(std::optional<int> band)
    {
        const RemoteSource source = serverSource(server);
        const RemoteCells answer = ask(source, heatMapQuery(source, band, now / 60 - 48, now / 60 + 1, {}, {}));
        EXPECT_TRUE(answer.error.isEmpty()) << answer.error.toStdString();
        return pairs(answer.cells);
    }
    Cells fromFile(std::optional<int> band)
    {
        HistoryStore file;
        EXPECT_EQ(file.open(path), HistoryStore::State::Open);
        return pairs(file.heatMap(band, now / 60 - 48, now / 60 + 1));
    }
    qint64 serverSpots() { return clickhouse.select(QStringLiteral("SELECT count() FROM beamtide.rx FINAL")).trimmed().toLongLong(); }
    qint64 fileSpots()
    {
        HistoryStore file;
        EXPECT_EQ(file.open(path), HistoryStore::State::Open);
        return file.spotCount();
    }
    void expectTheSame()
    {
        EXPECT_EQ(serverSpots(), fileSpots());
        EXPECT_EQ(fromServer(std::nullopt), fromFile(std::nullopt));
        EXPECT_EQ(fromServer(historyBandOfName(u"20")), fromFile(historyBandOfName(u"20")));
    }

    ClickHouseFixture clickhouse;
    TempFolder folder;
    QString path = folder.file(QStringLiteral("BeamtideHistory.sqlite"));
    SystemClock clock;
    Identity identity;
    RunLog log{identity, clock};
    QStringList logged;
    History history{path, log};
    HistoryServer server;
    qint64 now = QDateTime::currentSecsSinceEpoch() / 60;
};

} // namespace

TEST(HistoryServer, AwayThenBackTheSpotsArriveOnceEach)
{
    Rig rig;
    ASSERT_TRUE(rig.clickhouse.running()) << rig.clickhouse.startError().toStdString();

    // The table is made on the first batch, and every spot of the answer goes.
    EXPECT_EQ(rig.store(answer(rig.now, 400, 60, QStringLiteral("K1A"))), std::make_pair(true, 400));
    rig.expectTheSame();
    EXPECT_EQ(rig.fileSpots(), 400);
    // Nothing new: nothing sent but the minute the batch ended in, which may still fill.
    const auto again = rig.store(answer(rig.now, 400, 60, QStringLiteral("K1A")));
    EXPECT_TRUE(again.first);
    EXPECT_LE(again.second, 2);

    rig.clickhouse.stop();
    // Away: two answers, one of them holding a late spot older than all that was sent.
    EXPECT_EQ(rig.store(answer(rig.now, 300, 20, QStringLiteral("K2B"))), std::make_pair(false, 0));
    EXPECT_EQ(rig.store(answer(rig.now, 1, 500, QStringLiteral("K3LATE"))
                        + answer(rig.now, 50, 10, QStringLiteral("K\\4C"))),
              std::make_pair(false, 0));
    EXPECT_EQ(rig.fileSpots(), 751);
    const QStringList away = rig.logged.filter(QStringLiteral("cannot take the spots"));
    ASSERT_EQ(away.size(), 1) << rig.logged.join(u'\n').toStdString();
    EXPECT_TRUE(away[0].contains(rig.clickhouse.baseUrl())) << away[0].toStdString();
    EXPECT_FALSE(rig.logged.join(u'\n').contains(QStringLiteral("pa ss:word")));

    // Back: what waited goes with the next batch, the late spot too, nothing twice.
    ASSERT_TRUE(rig.clickhouse.restart()) << rig.clickhouse.startError().toStdString();
    const auto back = rig.store(answer(rig.now, 20, 5, QStringLiteral("K5D")));
    EXPECT_TRUE(back.first);
    EXPECT_GE(back.second, 371);
    EXPECT_EQ(rig.logged.filter(QStringLiteral("takes the spots again")).size(), 1);
    rig.expectTheSame();
    EXPECT_EQ(rig.fileSpots(), 771);
    EXPECT_EQ(rig.clickhouse.select(QStringLiteral("SELECT tx_sign FROM beamtide.rx FINAL WHERE tx_sign LIKE 'K%4C0'")),
              QByteArray("K\\\\4C0\n"));

    // A batch the server took while its answer was lost is sent again: still counted once.
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(rig.path).constData(), &db), SQLITE_OK);
        sqlite3_busy_timeout(db, 30000);
        ASSERT_EQ(sqlite3_exec(db, "UPDATE meta SET value = 0 WHERE key LIKE 'server_sent %'", nullptr, nullptr, nullptr),
                  SQLITE_OK);
        EXPECT_EQ(sqlite3_changes(db), 1); // one position for the one server
        sqlite3_close(db);
    }
    EXPECT_EQ(rig.store({}), std::make_pair(true, 771));
    rig.expectTheSame();
}

TEST(HistoryServer, AWrongPasswordIsSaidAndTheSpotsWait)
{
    Rig rig;
    ASSERT_TRUE(rig.clickhouse.running()) << rig.clickhouse.startError().toStdString();
    HistoryServer wrong = rig.server;
    wrong.password = QStringLiteral("guess");
    rig.history.setServer(wrong);
    EXPECT_EQ(rig.store(answer(rig.now, 30, 30, QStringLiteral("K1A"))), std::make_pair(false, 0));
    EXPECT_EQ(rig.logged.filter(QStringLiteral("cannot take the spots")).size(), 1);
    EXPECT_FALSE(rig.logged.join(u'\n').contains(QStringLiteral("guess")));
    rig.history.setServer(rig.server);
    EXPECT_EQ(rig.store({}), std::make_pair(true, 30));
    rig.expectTheSame();
}
