#pragma once

#include "map/Geo.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>

namespace beamtide {

// The part of the world a map shows and where it shows it. The world is the Earth in an
// equirectangular projection, in degrees: x is the longitude, y the negative latitude, so
// north is up. At zoom 1 the whole Earth fits the viewport (a widget's size in pixels);
// zooming in never goes past kMaxZoom, and the centre stays where no edge of the Earth
// comes inside the viewport, unless the Earth is narrower than the viewport on that axis,
// where it sits in the middle.
class MapView
{
public:
    static constexpr double kMaxZoom = 32.0;
    static constexpr QRectF kWorld{-180.0, -90.0, 360.0, 180.0};

    // Only stores the size; clampCentre() applies it to the centre when the owner resizes.
    void setViewport(QSizeF size) { m_viewport = size; }
    QSizeF viewport() const { return m_viewport; }

    double zoom() const { return m_zoom; }
    QPointF centre() const { return m_centre; }

    // Pixels per degree; never 0, so a view not laid out yet still maps both ways.
    double scale() const;
    // Where the world's origin (0°, 0°) shows: widget = world * scale() + origin().
    QPointF origin() const;

    QPointF toWidget(QPointF world) const { return world * scale() + origin(); }
    QPointF toWidget(const GeoPoint& p) const { return toWidget(QPointF(p.lon, -p.lat)); }
    QPointF toWorld(QPointF widget) const { return (widget - origin()) / scale(); }

    // The world point under pos stays under it, unless that would show beyond an edge.
    void zoomAbout(QPointF pos, double factor);
    // The map follows a drag of delta pixels.
    void panBy(QPointF delta);
    void clampCentre();
    // The whole Earth again.
    void reset();

private:
    QSizeF m_viewport;
    double m_zoom = 1.0;
    QPointF m_centre; // the viewport's middle in world units
};

} // namespace beamtide
