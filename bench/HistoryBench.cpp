// The spot history at a month of a busy band (20 million rows): bytes a spot on disk, storing
// one 5000-spot answer of which half is already stored, and the heat map from the roll-up
// against the one narrowed by the filters (a scan). Compare with the same store empty.
//
// The 20-million-row file is made once and kept in the temporary folder for later runs
// (BEAMTIDE_BENCH_HISTORY names another file, BEAMTIDE_BENCH_HISTORY_ROWS another size).
#include "history/HistoryStore.h"
#include "spots/SpotRules.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>

using namespace beamtide;

namespace {

constexpr qint64 kNow = 29947680 + 12 * 60; // 2026-12-10 12:00 UTC, in minutes since 1970
constexpr int kAnswer = 5000;

// A busy 20 m band: a few thousand transmitters heard by a few thousand reporters.
class SpotMaker
{
public:
    explicit SpotMaker(quint32 seed) : m_random(seed) {}

    QString line(qint64 minute)
    {
        const int tx = int(m_random.bounded(6000));
        const int rx = int(m_random.bounded(4000));
        const int km = int(m_random.bounded(20000));
        return QStringLiteral("%1,%2,14.%3,%4,%5,%6,%7,5,%8,%9,%10,%11")
            .arg(dateTimeTextOf(minute * 60000 + 1000).left(16), call(tx),
                 QString::number(97000 + m_random.bounded(200)).rightJustified(6, u'0'),
                 QString::number(int(m_random.bounded(40)) - 30), QString::number(int(m_random.bounded(3)) - 1),
                 grid(tx), QString::number(23 + m_random.bounded(17)), call(10000 + rx), grid(10000 + rx),
                 QString::number(km), QString::number(km * 621 / 1000));
    }

    QList<HistorySpot> spots(const QStringList& lines)
    {
        QList<HistorySpot> out;
        out.reserve(lines.size());
        for (const QString& l : lines)
            if (auto s = HistorySpot::fromLine(l, SpotSource::WsprNet))
                out.append(*s);
        return out;
    }

private:
    static QString call(int n)
    {
        return QStringLiteral("%1%2%3").arg(QChar(u'A' + n % 26)).arg(n % 10).arg(n, 4, 36, QLatin1Char('A')).toUpper();
    }
    static QString grid(int n)
    {
        return QStringLiteral("%1%2%3%4").arg(QChar(u'A' + n % 18)).arg(QChar(u'A' + n / 18 % 18)).arg(n / 324 % 10).arg(n / 3240 % 10);
    }
    QRandomGenerator m_random;
};

qint64 wantedRows()
{
    const qint64 rows = qEnvironmentVariableIntValue("BEAMTIDE_BENCH_HISTORY_ROWS");
    return rows > 0 ? rows : 20000000;
}

QString bigFile()
{
    const QString named = qEnvironmentVariable("BEAMTIDE_BENCH_HISTORY");
    return !named.isEmpty() ? named
                            : QDir::temp().filePath(QStringLiteral("beamtide-bench-history-%1.sqlite").arg(wantedRows()));
}

// The month's file, made when missing: spots spread evenly over 30 days up to kNow.
HistoryStore& bigStore()
{
    static HistoryStore* store = [] {
        auto* s = new HistoryStore;
        const QString path = bigFile();
        if (s->open(path) != HistoryStore::State::Open) {
            std::fprintf(stderr, "%s\n", qPrintable(s->why()));
            std::abort();
        }
        const qint64 rows = wantedRows();
        if (s->spotCount() < rows) {
            (void)s->setRetentionDays(90); // nothing of the month is pruned while it is made
            QElapsedTimer timer;
            timer.start();
            SpotMaker maker(1);
            const qint64 minutes = 30 * 1440;
            const qint64 perMinute = rows / minutes + 1;
            const qint64 first = kNow - minutes;
            for (qint64 m = 0; m < minutes && s->spotCount() < rows; m += 10) {
                QStringList lines;
                for (qint64 k = 0; k < 10; ++k)
                    for (qint64 i = 0; i < perMinute; ++i)
                        lines << maker.line(first + m + k);
                if (!s->store(maker.spots(lines), first + m).ok)
                    std::abort();
            }
            std::fprintf(stderr, "Made %s: %lld rows in %.0f s\n", qPrintable(path), s->spotCount(),
                         timer.elapsed() / 1000.0);
        }
        return s;
    }();
    return *store;
}

// Answers of 5000 spots in the last minutes, each repeating half of the one before.
void storeAnswer(benchmark::State& state, HistoryStore& store)
{
    // A new seed each run: a file kept from an earlier run holds that run's answers already,
    // which would make every spot a repeat.
    SpotMaker maker(QRandomGenerator::global()->generate());
    qint64 minute = kNow;
    QStringList previous;
    for (int i = 0; i < kAnswer / 2; ++i)
        previous << maker.line(minute);
    (void)store.store(maker.spots(previous), minute);
    for (auto _ : state) {
        state.PauseTiming();
        ++minute;
        QStringList answer = previous.mid(0, kAnswer / 2);
        for (int i = 0; i < kAnswer / 2; ++i)
            answer << maker.line(minute);
        previous = answer.mid(kAnswer / 2);
        state.ResumeTiming();
        // On the history thread: the lines read into spots, then one transaction.
        const HistoryStore::StoreResult r = store.store(maker.spots(answer), minute);
        if (!r.ok)
            state.SkipWithError("store failed");
    }
}

void BM_HistoryStoreAnswerEmpty(benchmark::State& state)
{
    QTemporaryDir dir;
    HistoryStore store;
    if (store.open(dir.filePath(QStringLiteral("h.sqlite"))) != HistoryStore::State::Open)
        return state.SkipWithError("open failed");
    storeAnswer(state, store);
}
BENCHMARK(BM_HistoryStoreAnswerEmpty)->Unit(benchmark::kMillisecond);

void BM_HistoryStoreAnswer20M(benchmark::State& state)
{
    storeAnswer(state, bigStore());
    state.counters["rows"] = double(bigStore().spotCount());
}
BENCHMARK(BM_HistoryStoreAnswer20M)->Unit(benchmark::kMillisecond);

void BM_HistoryBytesPerSpot(benchmark::State& state)
{
    HistoryStore& store = bigStore();
    const QString path = bigFile();
    for (auto _ : state) {
        // The write-ahead log holds pages not yet in the file; both are on the disk.
        const qint64 bytes = QFileInfo(path).size() + QFileInfo(path + QStringLiteral("-wal")).size();
        state.counters["bytes_per_spot"] = double(bytes) / double(store.spotCount());
    }
}
BENCHMARK(BM_HistoryBytesPerSpot)->Iterations(1);

void BM_HistoryHeatMap30Days(benchmark::State& state)
{
    HistoryStore& store = bigStore();
    const int band = *historyBandOfName(u"20");
    for (auto _ : state)
        benchmark::DoNotOptimize(store.heatMap(band, kNow / 60 - 30 * 24, kNow / 60 + 1));
}
BENCHMARK(BM_HistoryHeatMap30Days)->Unit(benchmark::kMillisecond);

void BM_HistoryHeatMap30DaysFiltered(benchmark::State& state)
{
    HistoryStore& store = bigStore();
    const int band = *historyBandOfName(u"20");
    HeatFilter filter;
    filter.calls = true;
    filter.spotted = QStringLiteral("K");
    filter.logic = QStringLiteral("OR");
    filter.minKm = 5000;
    for (auto _ : state)
        benchmark::DoNotOptimize(store.heatMap(band, kNow / 60 - 30 * 24, kNow / 60 + 1, filter));
}
BENCHMARK(BM_HistoryHeatMap30DaysFiltered)->Unit(benchmark::kMillisecond);

} // namespace
