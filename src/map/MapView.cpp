#include "map/MapView.h"

#include <algorithm>

namespace beamtide {

double MapView::scale() const
{
    const double fit = std::min(m_viewport.width() / kWorld.width(), m_viewport.height() / kWorld.height());
    return std::max(fit, 1e-6) * m_zoom;
}

QPointF MapView::origin() const
{
    const double s = scale();
    return {m_viewport.width() / 2.0 - m_centre.x() * s, m_viewport.height() / 2.0 - m_centre.y() * s};
}

void MapView::clampCentre()
{
    const double s = scale();
    const double halfWidth = m_viewport.width() / 2.0 / s;
    const double halfHeight = m_viewport.height() / 2.0 / s;
    const auto clampAxis = [](double value, double half, double limit) {
        return half >= limit ? 0.0 : std::clamp(value, -limit + half, limit - half);
    };
    m_centre = {clampAxis(m_centre.x(), halfWidth, 180.0), clampAxis(m_centre.y(), halfHeight, 90.0)};
}

void MapView::zoomAbout(QPointF pos, double factor)
{
    const QPointF world = toWorld(pos);
    m_zoom = std::clamp(m_zoom * factor, 1.0, kMaxZoom);
    m_centre = world - (pos - QPointF(m_viewport.width() / 2.0, m_viewport.height() / 2.0)) / scale();
    clampCentre();
}

void MapView::panBy(QPointF delta)
{
    m_centre -= delta / scale();
    clampCentre();
}

void MapView::reset()
{
    m_zoom = 1.0;
    m_centre = {};
}

} // namespace beamtide
