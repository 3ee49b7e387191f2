#include "window/FilterPresenter.h"

#include "base/RunLog.h"
#include "window/grid/SpotGrid.h"
#include "window/main/MainWindow.h"
#include "window/main/Prompt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>

namespace beamtide {

FilterPresenter::FilterPresenter(MainWindow& window, SpotGrid& grid, Prompt& prompt, RunLog& log)
    : m_window(window), m_grid(grid), m_prompt(prompt), m_log(log)
{
}

FilterControls FilterPresenter::controls(const QString& fetchedBand, bool pageParsed, const QString& myCall) const
{
    const MainWindow& w = m_window;
    FilterControls c;
    c.bandText = w.bandBox->currentText();
    c.perBandLayout = m_grid.model().perBandHeaderInPlace();
    c.spottedFilter = w.spottedFilter->text();
    c.spotterFilter = w.spotterFilter->text();
    c.logic = w.logicBox->currentText();
    c.exclusionList = w.exclusions->text();
    c.timeWindow = w.timeWindow->isChecked();
    c.elapsedMinutes = w.elapsedBar->value();
    c.rowLimit = w.entriesLimit->isChecked();
    c.maxLines = w.maxLinesBar->value();
    // "Shown" is the control's own flag, so the rules hold before the window is on screen.
    c.distanceControlsShown = !w.minKmBox->isHidden();
    c.distanceWindow = w.vhfDistMode->isChecked() && !w.vhfDistMode->isHidden();
    c.minDistancePosition = w.minKmBar->value();
    c.maxDistancePosition = w.maxKmBar->value();
    c.distanceScale = w.distanceScale();
    c.snrAlert = w.snrAlert->isChecked();
    c.snrPosition = w.snrBar->value();
    c.far = w.farAlerts->isChecked();
    c.farAlertDistance = w.farAlertDistance();
    c.updateIntervalMinutes = w.intervalBar->value();
    c.fetchedBand = fetchedBand;
    c.myCall = myCall;
    c.pageParsed = pageParsed;
    return c;
}

void FilterPresenter::show(const FilterResult& r, std::optional<qsizetype> myCallCount, bool focusGrid, bool byTimer)
{
    SpotGridModel& model = m_grid.model();
    if (r.changesGrid()) {
        if (r.allBands) {
            model.setAllBandsColumns(r.bandColumns);
            model.setRowCount(r.rowCount);
            m_window.firstSpotTime->setText(r.oldestTime);
            m_window.lastSpotTime->setText(r.newestTime);
            m_window.linesBox->setText(r.lineCount);
        } else {
            model.setPerBandRows(r.rows);
            model.setRowCount(r.rowCount);
            // Shown only with /diagcol. A line edit lays its text out even when hidden, and a
            // pass over 5000 spots writes tens of thousands of characters here.
            m_window.diagBox->setText(m_window.diagBox->isHidden() ? QString() : r.diagnostics);
            m_window.alertMemo->setPlainText(r.memo.join(u'\n'));
        }
    }
    if (myCallCount)
        m_window.myCallLines->setText(QString::number(*myCallCount));

    if (!r.skipped.isEmpty()) {
        m_log.writeTagged(skippedSpotsLogLine(r.skipped));
        // The minute's pass meets the same lines again and again: the box names each damaged
        // line once, and only a line not reported before brings it back after it was closed.
        QVector<SkippedSpot> fresh;
        for (const SkippedSpot& spot : r.skipped) {
            if (!m_skippedReported.contains(spot.call + u'\n' + spot.reason))
                fresh.append(spot);
        }
        if (!fresh.isEmpty()
            && m_prompt.showOnce(QStringLiteral("conversion"),
                                 {QStringLiteral("Beamtide"), skippedSpotsMessage(fresh), QMessageBox::Ok,
                                  QMessageBox::Critical})) {
            // Days of damaged pages must not grow the set without end.
            if (m_skippedReported.size() > 10000)
                m_skippedReported.clear();
            for (const SkippedSpot& spot : fresh)
                m_skippedReported.insert(spot.call + u'\n' + spot.reason);
        }
    }
    if (!r.saveError.isEmpty()) {
        m_log.writeTagged(r.saveError);
        m_prompt.showOnce(QStringLiteral("alertsfile"),
                           {QStringLiteral("Beamtide"), r.saveError, QMessageBox::Ok,
                            QMessageBox::Critical});
    }
    for (const QString& spot : r.futureAlerts) {
        // Once per spot: the minute's pass meets it again while it is on the page.
        if (!m_futureAlertsLogged.contains(spot)) {
            m_futureAlertsLogged.insert(spot);
            m_log.writeTagged(QStringLiteral("Alert not recorded, dated ahead of now: ") + spot);
        }
    }
    if (r.finalStep()) {
        m_window.grid->setCurrentIndex(model.index(0, 0));
        if (!byTimer)
            m_window.updateNow->setFocus();
    }
    // One immediate repaint per pass, whichever way it ended.
    m_grid.repaintNow();
    if (focusGrid && !byTimer)
        m_window.grid->setFocus();
}

} // namespace beamtide
