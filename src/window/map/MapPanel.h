#pragma once

#include "settings/MapPanelState.h"

#include <QWidget>

#include <functional>

class QLabel;

namespace beamtide {

class Clock;
class SettingsStore;
class SpotGrid;
class SpotMap;

// The map's own window: the map of the grid's spots and a line saying what it shows.
// A click on a path makes that row the grid's current cell.
class MapPanel final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MapPanel)

public:
    // parent: the main window, which the panel stays above and closes with. earthImage: the
    // map's picture of the Earth, read only while the panel is shown.
    MapPanel(SpotGrid& grid, const Clock& clock, const QString& earthImage, QWidget* parent = nullptr);

    SpotMap& map() { return *m_map; }
    QString statusText() const;

    // The "Lines" setting: at most this many rows are drawn.
    void setMaxLinesSource(std::function<int()> maxLines);

    MapPanelState state() const;
    // Opens the panel if it was stored open; the stored place, kept on a screen, is taken
    // when it is first shown.
    void applyState(const MapPanelState& state);
    void setVisible(bool visible) override;
    void restore(const SettingsStore& store);
    void store(SettingsStore& store) const;

Q_SIGNALS:
    void shownChanged(bool shown);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QRect onScreen(const QRect& stored) const;
    void selectRow(int row);
    void updateStatus();
    void showStatus();

    SpotGrid& m_grid;
    SpotMap* m_map;
    QLabel* m_status;
    QString m_pathsText;
    QRect m_stored = MapPanelState().geometry;
    bool m_placed = false; // m_stored has been applied
};

} // namespace beamtide
