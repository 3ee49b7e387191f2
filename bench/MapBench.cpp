// The map with 1000 paths, the most the "Lines" setting shows. A frame must take at most
// 16 ms on the window thread: frame_share is the window thread's processor time for one
// paint over those 16 ms, so below 1 means it fits. Processor time, because on a busy
// machine the wall clock also counts the time other programs had the processor. The pass
// variant adds the geometry worked out once a filter pass.
#include "base/Clock.h"
#include "window/grid/SpotGridModel.h"
#include "window/map/SpotMap.h"

#include <QApplication>

#include "BenchApp.h"
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <ctime>

using namespace beamtide;

namespace {

using bench::app;

// Locators spread over the world, from a fixed sequence so every run draws the same map.
QString locator(quint32& seed)
{
    const auto next = [&seed](int range) {
        seed = seed * 1664525u + 1013904223u;
        return int((seed >> 8) % quint32(range));
    };
    QString text;
    text += QChar(u'A' + next(18));
    text += QChar(u'A' + next(18));
    text += QChar(u'0' + next(10));
    text += QChar(u'0' + next(10));
    if (next(2)) {
        text += QChar(u'a' + next(24));
        text += QChar(u'a' + next(24));
    }
    return text;
}

QVector<QStringList> spotRows(int count)
{
    QVector<QStringList> rows;
    rows.reserve(count);
    const QString tags[] = {"", "sh", "md", "bd", "al", "ld: 2500 2000"};
    quint32 seed = 7;
    for (int i = 0; i < count; ++i) {
        rows.append({"2024-03-06 09:04", QString("G%1ABC").arg(i), "50.294500", "-12", "0",
                     locator(seed), "37", "5.012", "DL1XYZ", locator(seed), "1200", "745",
                     tags[i % 6]});
    }
    return rows;
}

struct MapOnScreen
{
    ManualClock clock{QDateTime(QDate(2024, 6, 20), QTime(12, 0), Qt::UTC)};
    SpotGridModel model;
    SpotMap map{model, clock, QStringLiteral("/usr/share/xplanet/images/earth.jpg")};
    // The format of a window's back buffer on a 24-bit X display.
    QImage frame{1000, 500, QImage::Format_RGB32};

    explicit MapOnScreen(int paths)
    {
        map.setBandSource([] { return QStringLiteral("6"); });
        map.resize(frame.size());
        map.show(); // the Earth image is read when the map is shown
        model.setPerBandRows(spotRows(paths));
        paint(); // the Earth and the night are drawn once a minute and view, not per frame
    }

    void paint()
    {
        map.render(&frame);
    }
};

double threadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

void reportFrameShare(benchmark::State& state, double startSeconds)
{
    state.counters["frame_share"] = benchmark::Counter((threadSeconds() - startSeconds) / 0.016,
                                                       benchmark::Counter::kAvgIterations);
}

void BM_MapPaint(benchmark::State& state)
{
    app();
    MapOnScreen screen(int(state.range(0)));
    if (screen.map.paths().size() != state.range(0))
        state.SkipWithError("not every row became a path");
    const double start = threadSeconds();
    for (auto _ : state)
        screen.paint();
    reportFrameShare(state, start);
}
BENCHMARK(BM_MapPaint)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_MapPassAndPaint(benchmark::State& state)
{
    app();
    MapOnScreen screen(int(state.range(0)));
    const QVector<QStringList> rows = spotRows(int(state.range(0)));
    const double start = threadSeconds();
    for (auto _ : state) {
        screen.model.setPerBandRows(rows);
        screen.paint();
    }
    reportFrameShare(state, start);
}
BENCHMARK(BM_MapPassAndPaint)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace
