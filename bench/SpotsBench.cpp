// The filter pass over a full page against parsing that same page, and the alerts history at
// 100 000 lines; compare the figures of one run.
#include "base/Clock.h"
#include "base/TextFile.h"
#include "retrieval/SpotParser.h"
#include "spots/AlertsHistory.h"
#include "spots/AllBandsTable.h"
#include "spots/FilterSpots.h"
#include "spots/MyCallSpots.h"

#include "PageMaker.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <vector>

using namespace beamtide;

namespace {
constexpr int kSpots = 5000;
constexpr int kHistory = 100000;

const QByteArray& page()
{
    static const QByteArray bytes = test::reportPage(test::assortedSpots(kSpots)).toUtf8();
    return bytes;
}

const QStringList& spotList()
{
    static const QStringList spots = [] {
        QStringList s;
        ParseSpotPage(page(), s);
        return s;
    }();
    return spots;
}

const ManualClock& clock()
{
    static const ManualClock c(QDateTime(QDate(2024, 5, 3), QTime(0, 5), Qt::UTC));
    return c;
}

void ParseSamePage(benchmark::State& state)
{
    for (auto _ : state) {
        QStringList spots;
        spots.reserve(kSpots);
        benchmark::DoNotOptimize(ParseSpotPage(page(), spots));
    }
}
BENCHMARK(ParseSamePage)->Unit(benchmark::kMillisecond);

// The lists one pass writes to, in a folder of their own.
struct PassLists
{
    QTemporaryDir dir;
    AllBandsTable table;
    AlertsHistory alerts{dir.filePath(QStringLiteral("WSPR_Alerts1.txt"))};
    MyCallSpots mine{dir.filePath(QStringLiteral("K1JT-spots.txt"))};
};

// Runs the per-band pass with these controls and reports the rows it showed.
void perBandPasses(benchmark::State& state, const FilterControls& c)
{
    PassLists lists;
    qsizetype rows = 0;
    for (auto _ : state) {
        const FilterResult r = FilterSpots(spotList(), c, clock(), lists.table, lists.alerts, lists.mine);
        rows = r.rows.size();
        benchmark::DoNotOptimize(r);
    }
    state.counters["rows"] = double(rows);
}

// The default call filters (VK* heard by VK*) on a 20 m page: a few rows shown.
void FilterPerBandDefault(benchmark::State& state)
{
    FilterControls c;
    c.bandText = QStringLiteral("20");
    perBandPasses(state, c);
}
BENCHMARK(FilterPerBandDefault)->Unit(benchmark::kMillisecond);

// Every spot shown and classified, alerts and MyCall on: the most work a per-band pass does.
void FilterPerBand(benchmark::State& state)
{
    FilterControls c;
    c.bandText = QStringLiteral("2");
    c.spottedFilter.clear();
    c.spotterFilter.clear();
    c.distanceControlsShown = true;
    c.distanceWindow = true;
    c.minDistancePosition = 1;
    c.maxDistancePosition = 100;
    c.snrAlert = true;
    c.far = true;
    c.maxLines = 1000;
    c.myCall = QStringLiteral("K1JT");
    perBandPasses(state, c);
}
BENCHMARK(FilterPerBand)->Unit(benchmark::kMillisecond);

void FilterAllBands(benchmark::State& state)
{
    PassLists lists;
    FilterControls c;
    c.bandText = QStringLiteral("All");
    c.spottedFilter.clear();
    c.spotterFilter.clear();
    for (auto _ : state) {
        lists.table.reset(); // as after a refresh: every call is new again
        benchmark::DoNotOptimize(FilterSpots(spotList(), c, clock(), lists.table, lists.alerts, lists.mine));
    }
}
BENCHMARK(FilterAllBands)->Unit(benchmark::kMillisecond);

// A page whose one call is 3 MB long, parsed and passed through the filter with every
// spot shown: the whole work such a page makes before the grid.
void ParseAndFilterHugeCellPage(benchmark::State& state)
{
    static const QByteArray huge = test::hugeCellPage();
    PassLists lists;
    FilterControls c;
    c.bandText = QStringLiteral("MyCall");
    c.fetchedBand = c.bandText;
    c.myCall = QStringLiteral("K1JT");
    c.spottedFilter.clear();
    c.spotterFilter.clear();
    for (auto _ : state) {
        QStringList spots;
        ParseSpotPage(huge, spots);
        benchmark::DoNotOptimize(FilterSpots(spots, c, clock(), lists.table, lists.alerts, lists.mine));
    }
}
BENCHMARK(ParseAndFilterHugeCellPage)->Unit(benchmark::kMillisecond);

QString historyLine(int i)
{
    const QDateTime at = QDateTime(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC).addSecs(qint64(i) * 120);
    return at.toString(QStringLiteral("yyyy-MM-dd HH:mm")) + QStringLiteral(",VK%1XYZ,144.490500,%2dBm,ZL%3AB,%4Km. ")
        .arg(i % 10).arg(-(i % 30)).arg(i % 7).arg(200 + i % 3000);
}

struct HistoryFile
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("WSPR_Alerts1.txt"));
    HistoryFile()
    {
        QStringList lines;
        for (int i = 0; i < kHistory; ++i)
            lines << historyLine(i);
        if (!saveLines(path, lines).ok)
            qFatal("cannot write the benchmark's history file");
    }
};

HistoryFile& historyFile()
{
    static HistoryFile file;
    return file;
}

void HistoryLoad(benchmark::State& state)
{
    const QString path = historyFile().path;
    for (auto _ : state) {
        AlertsHistory history(path);
        history.load();
        benchmark::DoNotOptimize(history.size());
    }
}
BENCHMARK(HistoryLoad)->Unit(benchmark::kMillisecond);

QStringList rowFor(const QString& alertLine)
{
    // Cells 0, 1, 2, 3, 8 and 10 make the alert line back.
    QStringList f = alertLine.split(u',');
    return {f[0], f[1], f[2], f[3].chopped(3), {}, {}, {}, {}, f[4], {}, f[5].chopped(4), {}, QStringLiteral("al")};
}

void HistoryRecordNew(benchmark::State& state)
{
    AlertsHistory history(historyFile().path);
    history.load();
    std::vector<QStringList> rows;
    for (int i = kHistory; i < kHistory + 20000; ++i)
        rows.push_back(rowFor(historyLine(i)));
    size_t next = 0;
    for (auto _ : state) {
        if (next == rows.size()) {
            state.PauseTiming();
            history.load();
            next = 0;
            state.ResumeTiming();
        }
        if (!history.RecordAlertRow(1, rows[next++], 5))
            state.SkipWithError("not recorded");
    }
}
BENCHMARK(HistoryRecordNew)->Unit(benchmark::kMicrosecond);

void HistoryRecordPresent(benchmark::State& state)
{
    AlertsHistory history(historyFile().path);
    history.load();
    std::vector<QStringList> rows;
    for (int i = 0; i < 1000; ++i)
        rows.push_back(rowFor(historyLine((i * 7919) % kHistory)));
    size_t next = 0;
    for (auto _ : state) {
        if (history.RecordAlertRow(1, rows[next++ % rows.size()], 5))
            state.SkipWithError("recorded twice");
    }
}
BENCHMARK(HistoryRecordPresent)->Unit(benchmark::kMicrosecond);

void HistorySave(benchmark::State& state)
{
    AlertsHistory history(historyFile().path);
    history.load();
    for (auto _ : state)
        benchmark::DoNotOptimize(history.save());
}
BENCHMARK(HistorySave)->Unit(benchmark::kMillisecond);

} // namespace
