#include "window/map/MapPanel.h"

#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "window/grid/SpotGrid.h"
#include "window/map/SpotMap.h"

#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QShowEvent>
#include <QTableView>
#include <QVBoxLayout>

namespace beamtide {

MapPanel::MapPanel(SpotGrid& grid, const Clock& clock, const QString& earthImage, QWidget* parent)
    : QWidget(parent, Qt::Window), m_grid(grid),
      m_map(new SpotMap(grid.model(), clock, earthImage, this)), m_status(new QLabel(this))
{
    setObjectName(QStringLiteral("MapPanel"));
    setWindowTitle(QStringLiteral("Beamtide map"));
    m_status->setObjectName(QStringLiteral("MapStatus"));
    m_status->setTextFormat(Qt::PlainText);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 4);
    layout->setSpacing(4);
    layout->addWidget(m_map, 1);
    layout->addWidget(m_status);
    m_status->setContentsMargins(6, 0, 6, 0);

    m_map->setBandSource([this] { return m_grid.bandText(); });
    m_map->setColourSource([this] { return m_grid.colours(); });
    connect(m_map, &SpotMap::rowClicked, this, &MapPanel::selectRow);
    connect(m_map, &SpotMap::pathsChanged, this, &MapPanel::updateStatus);
    connect(m_map, &SpotMap::earthImageRead, this, &MapPanel::showStatus);
    updateStatus();
}

void MapPanel::setMaxLinesSource(std::function<int()> maxLines)
{
    m_map->setMaxLinesSource(std::move(maxLines));
}

QString MapPanel::statusText() const
{
    return m_status->text();
}

void MapPanel::updateStatus()
{
    QString text;
    if (!m_map->notice().isEmpty()) {
        text = m_map->notice();
    } else {
        const int paths = int(m_map->paths().size());
        text = paths == 1 ? QStringLiteral("1 path") : QStringLiteral("%1 paths").arg(paths);
        if (const int without = m_map->rowsWithoutPath())
            text += QStringLiteral(", %1 without a readable locator pair").arg(without);
        text += QStringLiteral(". Wheel: zoom, drag: move, double click: the whole Earth.");
    }
    m_pathsText = text;
    showStatus();
}

// Without working the paths out again: the image is read when the panel is shown.
void MapPanel::showStatus()
{
    QString text = m_pathsText;
    if (m_map->earthImageMissing())
        text += QStringLiteral(" (No Earth image: %1 cannot be read.)")
                    .arg(QDir::toNativeSeparators(m_map->earthImagePath()));
    m_status->setText(text);
}

void MapPanel::selectRow(int row)
{
    QTableView& view = m_grid.view();
    const QModelIndex index = m_grid.model().index(row, 1);
    if (!index.isValid())
        return;
    view.setCurrentIndex(index);
    view.scrollTo(index);
}

// Kept on the screen as the main window is: a screen unplugged since must not leave the
// panel out of reach, and a damaged size (20000 x 20000) must not make every repaint paint
// gigabytes, nor be saved back.
QRect MapPanel::onScreen(const QRect& r) const
{
    const QScreen* screen = QGuiApplication::screenAt(r.topLeft());
    if (!screen)
        screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    return keepOnScreen(r.x(), r.y(), r.width(), r.height(), screen ? screen->availableGeometry() : QRect());
}

MapPanelState MapPanel::state() const
{
    return {isVisible(), m_placed ? geometry() : m_stored};
}

void MapPanel::applyState(const MapPanelState& state)
{
    // A closed panel is left alone until it is opened: touching a hidden window's geometry
    // makes the window system busy with a window nobody sees.
    m_stored = onScreen(state.geometry);
    m_placed = false;
    if (state.open)
        setVisible(true);
}

void MapPanel::setVisible(bool visible)
{
    if (visible && !m_placed) {
        m_placed = true;
        setGeometry(onScreen(m_stored));
    }
    QWidget::setVisible(visible);
}

void MapPanel::restore(const SettingsStore& store)
{
    applyState(MapPanelState::fromText(store.readText(kMapPanelKey, {})));
}

void MapPanel::store(SettingsStore& store) const
{
    store.writeText(kMapPanelKey, state().toText());
}

// Only shown and hidden by the program or the user: minimising the desktop's windows
// does not close the panel.
void MapPanel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        Q_EMIT shownChanged(true);
}

void MapPanel::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        Q_EMIT shownChanged(false);
}

} // namespace beamtide
