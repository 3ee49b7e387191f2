// The spot grid with the largest page the database sends (5000 rows): a refill and a
// repaint should cost about the same as with 100 rows, because only the visible cells are
// painted. cells_painted counts the delegate's paint calls per repaint.
#include "window/SpotGrid.h"

#include <QApplication>
#include <QStyledItemDelegate>
#include <QTableView>

#include <benchmark/benchmark.h>

using namespace beamtide;

namespace {

QApplication& app()
{
    static int argc = 1;
    static char name[] = "beamtide_bench";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication instance(argc, argv);
    return instance;
}

// Forwards to the real delegate and counts.
class CountingDelegate final : public QStyledItemDelegate
{
public:
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        ++painted;
        inner.paint(painter, option, index);
    }
    SpotGridDelegate inner;
    mutable qint64 painted = 0;
};

QVector<QStringList> spotRows(int count)
{
    QVector<QStringList> rows;
    rows.reserve(count);
    const QString tags[] = {"", "sh", "md", "bd", "al", "ld: 2500 2000"};
    for (int i = 0; i < count; ++i) {
        rows.append({"2024-03-06 09:04", QString("G%1ABC").arg(i), "50.294500", "-12", "0",
                     "JO01", "37", "5.012", "DL1XYZ", "JO62", "1200", "745", tags[i % 6]});
    }
    return rows;
}

struct GridOnScreen
{
    QTableView view;
    SpotGrid grid{view};
    CountingDelegate counter;

    GridOnScreen()
    {
        grid.setBandSource([] { return QStringLiteral("6"); });
        grid.setPerBandLayout();
        counter.inner.setBandSource([] { return QStringLiteral("6"); });
        view.setItemDelegate(&counter);
        view.resize(865 - 140, 574 - 100); // the grid in a window of the first size
        view.show();
        QApplication::processEvents();
    }
};

void BM_GridRefillAndRepaint(benchmark::State& state)
{
    app();
    GridOnScreen screen;
    const QVector<QStringList> rows = spotRows(int(state.range(0)));
    qint64 repaints = 0;
    screen.counter.painted = 0;
    for (auto _ : state) {
        screen.grid.model().setRowCount(1);
        screen.grid.model().setPerBandRows(rows);
        screen.grid.repaintNow();
        ++repaints;
    }
    state.counters["cells_painted"] = double(screen.counter.painted) / double(repaints);
}
BENCHMARK(BM_GridRefillAndRepaint)->Arg(100)->Arg(5000)->Unit(benchmark::kMicrosecond);

void BM_GridScrollAndRepaint(benchmark::State& state)
{
    app();
    GridOnScreen screen;
    screen.grid.model().setPerBandRows(spotRows(int(state.range(0))));
    const int last = int(state.range(0)) - 30;
    int top = 1;
    qint64 repaints = 0;
    screen.counter.painted = 0;
    for (auto _ : state) {
        top = (top + 997) % last + 1;
        screen.grid.setTopRow(top);
        screen.grid.repaintNow();
        ++repaints;
    }
    state.counters["cells_painted"] = double(screen.counter.painted) / double(repaints);
}
BENCHMARK(BM_GridScrollAndRepaint)->Arg(100)->Arg(5000)->Unit(benchmark::kMicrosecond);

} // namespace
