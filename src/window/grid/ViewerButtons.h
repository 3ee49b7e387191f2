#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

namespace beamtide {

class AlertsHistory;
class MainWindow;
class ExportAndViewers;
class SpotGrid;
struct Identity;

// The buttons and links that export the grid or open a file or page elsewhere: "-> CSV",
// the alerts history, all spots, the MyCall spots and summary, and the two link labels.
class ViewerButtons final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ViewerButtons)

public:
    // myCallSpots: the MyCall spot lines as they stand when a button is pressed.
    ViewerButtons(MainWindow& window, ExportAndViewers& files, SpotGrid& grid, AlertsHistory& alerts,
                  const Identity& identity, std::function<QStringList()> myCallSpots,
                  QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MainWindow& m_window;
    ExportAndViewers& m_files;
};

} // namespace beamtide
