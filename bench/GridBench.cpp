// The spot grid with the largest page the database sends (5000 rows): a refill and a
// repaint should cost about the same as with 100 rows, because only the visible cells are
// painted. cells_painted counts the delegate's paint calls per repaint.
#include "base/Clock.h"
#include "retrieval/SpotParser.h"
#include "spots/AlertsHistory.h"
#include "spots/AllBandsTable.h"
#include "spots/FilterSpots.h"
#include "spots/MyCallSpots.h"
#include "window/grid/SpotGrid.h"

#include "PageMaker.h"

#include <QTemporaryDir>

#include <QAbstractTableModel>
#include <QApplication>

#include "BenchApp.h"
#include <QStyledItemDelegate>
#include <QTableView>

#include <benchmark/benchmark.h>

using namespace beamtide;

namespace {

using bench::app;

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

// The grid's model as it was, 13 strings a row, kept to measure the shared lines against it
// in the same run.
class CellsModel final : public QAbstractTableModel
{
public:
    void setRows(const QVector<QStringList>& rows)
    {
        beginResetModel();
        m_rows.resize(1);
        m_rows.reserve(rows.size() + 1);
        for (const QStringList& row : rows)
            m_rows.append(row);
        endResetModel();
    }
    int rowCount(const QModelIndex& = {}) const override { return int(m_rows.size()); }
    int columnCount(const QModelIndex& = {}) const override { return kPerBandColumns; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        return m_rows[index.row()].value(index.column());
    }

private:
    QList<QStringList> m_rows{perBandHeaders()};
};

// A 5000-row refresh once the transfer is done, every spot shown (MyCall mode): what the
// window's thread does with the outcome (spot list, filter pass, model reset, repaint),
// and the same with the parse in front, which runs on the network thread.
struct Refresh
{
    static constexpr int kRows = 5000;
    QByteArray page;
    QTemporaryDir dir;
    AllBandsTable table;
    AlertsHistory alerts{dir.filePath(QStringLiteral("WSPR_Alerts1.txt"))};
    MyCallSpots mine{dir.filePath(QStringLiteral("K1JT-spots.txt"))};
    ManualClock clock{QDateTime(QDate(2024, 5, 3), QTime(0, 5), Qt::UTC)};
    FilterControls controls;
    GridOnScreen screen;

    explicit Refresh(QByteArray served = test::reportPage(test::assortedSpots(kRows)).toUtf8())
        : page(std::move(served))
    {
        controls.bandText = QStringLiteral("MyCall");
        controls.fetchedBand = controls.bandText;
        controls.myCall = QStringLiteral("K1JT");
        controls.spottedFilter.clear();
        controls.spotterFilter.clear();
    }

    // Returns the rows shown.
    qsizetype onWindowThread(const QStringList& outcome)
    {
        QStringList spots;
        spots += outcome;
        table.reset();
        const FilterResult r = FilterSpots(spots, controls, clock, table, alerts, mine);
        SpotGridModel& model = screen.grid.model();
        model.setPerBandRows(r.rows);
        model.setRowCount(r.rowCount);
        screen.grid.repaintNow();
        return r.rows.size();
    }

    // The same with the rows cut into 13 strings each for the model as it was.
    qsizetype onWindowThreadAsCells(const QStringList& outcome, CellsModel& cells)
    {
        QStringList spots;
        spots += outcome;
        table.reset();
        const FilterResult r = FilterSpots(spots, controls, clock, table, alerts, mine);
        QVector<QStringList> rows;
        rows.reserve(r.rows.size());
        for (const SpotRow& row : r.rows)
            rows.append(row.cells());
        cells.setRows(rows);
        screen.grid.repaintNow();
        return r.rows.size();
    }
};

// Before and after, back to back: the same refresh into the model of 13 strings a row.
void RefreshWindowThread5000AsCells(benchmark::State& state)
{
    app();
    Refresh refresh;
    CellsModel cells;
    QTableView& view = refresh.screen.view;
    view.setModel(&cells);
    const QVector<int> widths = perBandColumnWidths(false, false);
    for (int c = 0; c < widths.size(); ++c)
        view.setColumnWidth(c, widths[c]);
    QStringList outcome;
    ParseSpotPage(refresh.page, outcome);
    for (auto _ : state) {
        if (refresh.onWindowThreadAsCells(outcome, cells) != Refresh::kRows)
            state.SkipWithError("not every row shown");
    }
}
BENCHMARK(RefreshWindowThread5000AsCells)->Unit(benchmark::kMillisecond);

void RefreshWindowThread5000(benchmark::State& state)
{
    app();
    Refresh refresh;
    QStringList outcome;
    ParseSpotPage(refresh.page, outcome);
    for (auto _ : state) {
        if (refresh.onWindowThread(outcome) != Refresh::kRows)
            state.SkipWithError("not every row shown");
    }
    state.counters["ns_per_row"] = benchmark::Counter(
        double(Refresh::kRows), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(RefreshWindowThread5000)->Unit(benchmark::kMillisecond);

// A damaged page with a 3 MB call sign in its first row, which the grid shows at the top.
void RefreshWindowThreadHugeCell(benchmark::State& state)
{
    app();
    std::vector<test::PageSpot> spots = test::assortedSpots(100);
    spots[0].call = QString(3 * 1024 * 1024, u'K');
    Refresh refresh(test::reportPage(spots).toUtf8());
    for (auto _ : state) {
        QStringList outcome;
        ParseSpotPage(refresh.page, outcome);
        if (refresh.onWindowThread(outcome) != 100)
            state.SkipWithError("not every row shown");
    }
}
BENCHMARK(RefreshWindowThreadHugeCell)->Unit(benchmark::kMillisecond);

void RefreshWithParse5000(benchmark::State& state)
{
    app();
    Refresh refresh;
    for (auto _ : state) {
        QStringList outcome;
        ParseSpotPage(refresh.page, outcome);
        if (refresh.onWindowThread(outcome) != Refresh::kRows)
            state.SkipWithError("not every row shown");
    }
    state.counters["ns_per_row"] = benchmark::Counter(
        double(Refresh::kRows), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(RefreshWithParse5000)->Unit(benchmark::kMillisecond);

} // namespace
