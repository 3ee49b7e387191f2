// The parser on a 5000-row page of 13 and 14 cells, against the floor of one memchr pass
// counting the same page's lines; compare the per-row figures of one run. A page with a
// 3 MB cell shows the parser stays linear however long a line is.
#include "base/TextFile.h"
#include "retrieval/SpotParser.h"

#include "PageMaker.h"

#include <benchmark/benchmark.h>

#include <cstring>

using namespace beamtide;

namespace {
constexpr int kRows = 5000;

const QByteArray& historicalPage()
{
    static const QByteArray page = [] {
        auto spots = test::assortedSpots(kRows);
        for (size_t i = 0; i < spots.size(); ++i) {
            spots[i].extra = QStringList{QStringLiteral("WSPR-2")};
            if (i % 2)
                spots[i].extra << QString();
        }
        return test::reportPage(spots).toUtf8();
    }();
    return page;
}

void perRow(benchmark::State& state, int rows)
{
    state.counters["ns_per_row"] = benchmark::Counter(
        double(rows), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void MemchrLineCount(benchmark::State& state)
{
    const QByteArray& page = historicalPage();
    for (auto _ : state) {
        qsizetype lines = 0;
        const char* at = page.constData();
        const char* end = at + page.size();
        while (const void* lf = std::memchr(at, '\n', size_t(end - at))) {
            ++lines;
            at = static_cast<const char*>(lf) + 1;
        }
        benchmark::DoNotOptimize(lines);
    }
    perRow(state, kRows);
}
BENCHMARK(MemchrLineCount)->Unit(benchmark::kMillisecond);

void ParseSpotPage5000(benchmark::State& state)
{
    const QByteArray& page = historicalPage();
    for (auto _ : state) {
        QStringList spots;
        benchmark::DoNotOptimize(ParseSpotPage(page, spots));
        if (spots.size() != kRows)
            state.SkipWithError("wrong row count");
    }
    perRow(state, kRows);
    state.counters["page_MB"] = double(page.size()) / 1e6;
}
BENCHMARK(ParseSpotPage5000)->Unit(benchmark::kMillisecond);

// A page of 100 rows, one of them with a 3 MB cell: parsed here, filtered in SpotsBench.
void ParseHugeCellPage(benchmark::State& state)
{
    static const QByteArray page = test::hugeCellPage();
    for (auto _ : state) {
        QStringList spots;
        benchmark::DoNotOptimize(ParseSpotPage(page, spots));
        if (spots.size() != 100)
            state.SkipWithError("wrong row count");
    }
    state.counters["page_MB"] = double(page.size()) / 1e6;
}
BENCHMARK(ParseHugeCellPage)->Unit(benchmark::kMillisecond);

} // namespace
