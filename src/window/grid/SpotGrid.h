#pragma once

#include "window/grid/SpotGridDelegate.h"
#include "window/grid/SpotGridModel.h"

#include <QObject>

#include <functional>

class QTableView;

namespace beamtide {

// Sets up the window's QTableView as the spot grid: the model, the delegate, row height,
// column widths for each layout, no editing, no header bars (row 0 is the header), and
// scrolling by whole rows so that "top row" means what it says.
class SpotGrid final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SpotGrid)

public:
    explicit SpotGrid(QTableView& view, QObject* parent = nullptr);

    QTableView& view() { return m_view; }
    SpotGridModel& model() { return *m_model; }
    const SpotGridModel& model() const { return *m_model; }
    SpotGridDelegate& delegate() { return *m_delegate; }

    // The band box text, read by the drawing and by the band pick.
    void setBandSource(std::function<QString()> bandText);
    QString bandText() const;
    // The colour working values, read at every paint.
    void setColourSource(std::function<GridColours()> colours);
    GridColours colours() const { return m_delegate->colours(); }

    // The tag column is 100 pixels wide instead of 0 (the "/diagcol" option).
    void setDiagColumns(bool on);
    // "Hide TX/Mi": narrows power and miles columns of the per-band layout to 1 pixel.
    void setHideTxMi(bool hide);
    bool hideTxMi() const { return m_hideTxMi; }

    // Both leave the header row only.
    void setPerBandLayout();
    void setAllBandsLayout();

    int topRow() const;
    void setTopRow(int row);
    // Rows that fit wholly in the visible area.
    int fullyVisibleRows() const;

    void setFindHighlight(const FindHighlight& find);
    const FindHighlight& findHighlight() const { return m_delegate->findHighlight(); }

    // Paints the visible cells before returning.
    void repaintNow();

private:
    void applyWidths();

    QTableView& m_view;
    SpotGridModel* m_model;
    SpotGridDelegate* m_delegate;
    std::function<QString()> m_bandText;
    bool m_diagColumns = false;
    bool m_hideTxMi = false;
};

} // namespace beamtide
