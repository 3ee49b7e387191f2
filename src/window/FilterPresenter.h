#pragma once

#include "spots/FilterSpots.h"

#include <QSet>
#include <QString>

#include <optional>

namespace beamtide {

class MainWindow;
class Prompt;
class RunLog;
class SpotGrid;

// The filter pass's two ends in the window: the controls read into the values it filters by,
// and its result shown in the grid, the boxes beside it, the run log and one box per kind of
// problem.
class FilterPresenter final
{
public:
    FilterPresenter(MainWindow& window, SpotGrid& grid, Prompt& prompt, RunLog& log);

    // fetchedBand, pageParsed: the refresh's; myCall: the MyCall call sign, empty when none.
    FilterControls controls(const QString& fetchedBand, bool pageParsed, const QString& myCall) const;

    // focusGrid: the grid takes the focus at the end. byTimer: a pass the timer started, which
    // leaves the focus where the user has it. myCallCount: the MyCall spots, when a call is set.
    void show(const FilterResult& r, std::optional<qsizetype> myCallCount, bool focusGrid, bool byTimer);

private:
    MainWindow& m_window;
    SpotGrid& m_grid;
    Prompt& m_prompt;
    RunLog& m_log;
    QSet<QString> m_futureAlertsLogged;
    QSet<QString> m_skippedReported; // damaged lines the box has named: call and reason
};

} // namespace beamtide
