// What keeping a history server's position costs the store: a 5000-spot answer (half of it
// already stored) into a store without a server position, and into one that has one, where
// the connection's trigger watches every new row. Read the two as a ratio.
#include "history/HistoryServer.h"
#include "history/HistoryStore.h"
#include "history/SqlQuery.h"

#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace beamtide;

namespace {

constexpr qint64 kStart = 29947680; // 2026-12-10 00:00 UTC, in minutes since 1970
constexpr int kAnswer = 5000;

HistorySpot randomSpot(QRandomGenerator& random, qint64 minute)
{
    HistorySpot s;
    s.minute = minute;
    s.call = QStringLiteral("K%1").arg(random.bounded(6000));
    s.reporter = QStringLiteral("DL%1").arg(random.bounded(4000));
    s.grid = QStringLiteral("FN%1").arg(random.bounded(100));
    s.reporterGrid = QStringLiteral("JO%1").arg(random.bounded(100));
    s.hz = 14097000 + random.bounded(200);
    s.km = int(random.bounded(20000));
    return s;
}

void storeAnswers(benchmark::State& state, bool watched)
{
    QTemporaryDir dir;
    HistoryStore store;
    if (store.open(dir.filePath(QStringLiteral("h.sqlite"))) != HistoryStore::State::Open)
        return state.SkipWithError("open failed");
    if (watched) {
        // A server that has had everything up to a day ahead: every older new spot moves it.
        SqlQuery position(store.connection(), "INSERT INTO meta VALUES('server_sent http://club:8123', ?1)");
        if (!position.bind(1, kStart - kHistoryEpochMinute + 1440).done() || !watchUnsentSpots(store))
            return state.SkipWithError("no position");
    }
    QRandomGenerator random(7);
    qint64 minute = kStart;
    QList<HistorySpot> previous;
    for (int i = 0; i < kAnswer / 2; ++i)
        previous << randomSpot(random, minute);
    (void)store.store(previous, minute);
    for (auto _ : state) {
        state.PauseTiming();
        ++minute;
        QList<HistorySpot> answer = previous;
        for (int i = 0; i < kAnswer / 2; ++i)
            answer << randomSpot(random, minute);
        previous = answer.mid(kAnswer / 2);
        state.ResumeTiming();
        if (!store.store(answer, minute).ok)
            state.SkipWithError("store failed");
    }
}

void BM_HistoryStoreAnswerNoServer(benchmark::State& state)
{
    storeAnswers(state, false);
}
BENCHMARK(BM_HistoryStoreAnswerNoServer)->Unit(benchmark::kMillisecond)->Iterations(200);

void BM_HistoryStoreAnswerServerWatched(benchmark::State& state)
{
    storeAnswers(state, true);
}
BENCHMARK(BM_HistoryStoreAnswerServerWatched)->Unit(benchmark::kMillisecond)->Iterations(200);

} // namespace
