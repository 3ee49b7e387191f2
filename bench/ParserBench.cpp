// The parser against the floor of only splitting the same page into lines; compare the
// two per-row figures of one run.
#include "base/TextFile.h"
#include "retrieval/SpotParser.h"

#include "PageMaker.h"

#include <benchmark/benchmark.h>

using namespace beamtide;

namespace {
constexpr int kRows = 5000;

const QString& historicalPage()
{
    static const QString page = [] {
        auto spots = test::assortedSpots(kRows);
        for (auto& s : spots)
            s.extra = QStringList{QStringLiteral("WSPR-2"), QString()};
        return test::reportPage(spots);
    }();
    return page;
}

void SplitLinesOnly(benchmark::State& state)
{
    const QString& page = historicalPage();
    for (auto _ : state) {
        QStringList lines = splitLines(page);
        benchmark::DoNotOptimize(lines);
    }
    state.counters["ns_per_row"] = benchmark::Counter(
        double(kRows), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(SplitLinesOnly)->Unit(benchmark::kMillisecond);

void ParseSpotPage5000(benchmark::State& state)
{
    const QStringList lines = splitLines(historicalPage());
    for (auto _ : state) {
        QStringList spots;
        spots.reserve(kRows);
        benchmark::DoNotOptimize(ParseSpotPage(lines, spots));
        if (spots.size() != kRows)
            state.SkipWithError("wrong row count");
    }
    state.counters["ns_per_row"] = benchmark::Counter(
        double(kRows), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["page_MB"] = double(historicalPage().size()) / 1e6;
}
BENCHMARK(ParseSpotPage5000)->Unit(benchmark::kMillisecond);
} // namespace
