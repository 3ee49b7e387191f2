#include "window/grid/ViewerButtons.h"

#include "base/Identity.h"
#include "retrieval/FetchRules.h"
#include "spots/AlertsHistory.h"
#include "window/grid/ExportAndViewers.h"
#include "window/grid/SpotGrid.h"
#include "window/main/MainWindow.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>

namespace beamtide {

ViewerButtons::ViewerButtons(MainWindow& window, ExportAndViewers& files, SpotGrid& grid,
                             AlertsHistory& alerts, const Identity& identity,
                             std::function<QStringList()> myCallSpots, QObject* parent)
    : QObject(parent), m_window(window), m_files(files)
{
    window.updateLink->installEventFilter(this);
    window.siteLink->installEventFilter(this);
    connect(window.exportCsv, &QPushButton::clicked, this, [&files, &grid] { files.exportCsv(grid.model()); });
    // The editor shows the list as it stands, so it is written first.
    connect(window.alertsHistory, &QPushButton::clicked, this, [&files, &alerts] { files.openAlertsHistory(alerts); });
    connect(window.allSpots, &QPushButton::clicked, this, [&files] { files.openAllSpots(); });
    connect(window.mySpots, &QPushButton::clicked, this, [&files, &identity, myCallSpots] {
        if (!identity.myCall.isEmpty())
            files.openMySpots(myCallSpots());
    });
    connect(window.summary, &QPushButton::clicked, this, [&files, &identity, myCallSpots] {
        if (!identity.myCall.isEmpty())
            files.startSummary(myCallSpots());
    });
}

bool ViewerButtons::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == m_window.updateLink) {
            m_files.openUpdateLink();
            return true;
        }
        if (watched == m_window.siteLink) {
            // The label names the source of the spots on screen; its link follows it.
            const bool live = m_window.siteLink->text() == SourceLabelText(SpotSource::WsprLive);
            m_files.openSourcePage(live ? SpotSource::WsprLive : SpotSource::WsprNet);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace beamtide
