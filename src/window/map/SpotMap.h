#pragma once

#include "map/Geo.h"
#include "map/MapView.h"
#include "window/grid/SpotGridDelegate.h"

#include <QImage>
#include <QPixmap>
#include <QPolygonF>
#include <QTransform>
#include <QWidget>

#include <functional>

namespace beamtide {

class Clock;
class SpotGridModel;

// One grid row drawn as a path from the transmitter's locator to the reporter's.
struct MapPath
{
    int row = 0;                // grid row; 1 is the first spot
    GeoPoint from;              // transmitter
    GeoPoint to;                // reporter
    QVector<QPolygonF> pieces;  // x = longitude, y = -latitude, cut at the date line
    QString call;
    QString reporter;
    QString km;
    QString snr;
    QString tag;
    CellLook look;              // the look the grid gives the row
};

// The spots of the grid on the Earth in an equirectangular projection, with the night side
// of the current minute darkened. It follows the grid's model: the path geometry is worked
// out once after the rows change (once a filter pass), never while painting. The wheel
// zooms about the pointer, dragging pans, a double click shows the whole Earth again.
// The Earth image (8 MB decoded) is read when the map is shown and given back when it is
// hidden: a map nobody opens costs nothing.
class SpotMap final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SpotMap)

public:
    // earthImage: an equirectangular picture of the Earth; a missing or unreadable file gives
    // a graticule on a flat colour.
    SpotMap(const SpotGridModel& model, const Clock& clock, const QString& earthImage,
            QWidget* parent = nullptr);
    ~SpotMap() override;

    // Read when the rows change and at every paint, as the grid reads them.
    void setBandSource(std::function<QString()> bandText);
    void setColourSource(std::function<GridColours()> colours);
    // At most this many rows are drawn (the "Lines" setting); all of them without a source.
    void setMaxLinesSource(std::function<int()> maxLines);

    // Takes another image: read now if the map is shown, else when it next is.
    void setEarthImage(const QString& path);
    // The image is decoded and held.
    bool hasEarthImage() const { return !m_earth.isNull(); }
    // The last reading of the image failed.
    bool earthImageMissing() const { return m_earthMissing; }
    QString earthImagePath() const { return m_earthPath; }

    // The drawn paths, worked out again if the grid changed since the last time.
    const QVector<MapPath>& paths();
    // Rows within the "Lines" setting that have no readable locator pair, so no path.
    int rowsWithoutPath();
    // The line shown instead of paths (the all-bands view), or empty.
    QString notice();

    // Hit tests in widget coordinates: the row of the top-most path or end dot near pos
    // (0: none) and its tooltip text.
    int rowAt(const QPointF& pos);
    QString toolTipAt(const QPointF& pos);
    // Where a position shows in the widget with the current zoom and pan.
    QPointF toWidget(const GeoPoint& p) const;

    double zoom() const { return m_view.zoom(); }
    QPointF viewCentre() const { return m_view.centre(); } // longitude, -latitude
    void resetView();

    // The minute the night side was last drawn for.
    QDateTime nightMinute() const { return m_nightMinute; }

Q_SIGNALS:
    void rowClicked(int row);
    void pathsChanged(); // after the geometry was worked out again
    void earthImageRead(); // after the image was read, well or not

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void markDirty();
    void ensureBuilt();
    void refreshLooks();
    // The view with the widget's size as it is now: a hidden widget takes a new size before
    // its resize event arrives.
    const MapView& view() const;
    MapView& view();
    QTransform worldToWidget() const;
    void zoomAbout(const QPointF& pos, double factor);
    void readEarth();
    void ensureBackground();
    void ensureNight();
    void drawPlainEarth(QPainter& painter) const;
    int hitIndex(const QPointF& pos);

    const SpotGridModel& m_model;
    const Clock& m_clock;
    std::function<QString()> m_bandText;
    std::function<GridColours()> m_colours;
    std::function<int()> m_maxLines;

    bool m_dirty = true;
    QVector<MapPath> m_paths;
    QVector<int> m_order; // indexes into m_paths, bottom to top
    int m_withoutPath = 0;
    QString m_notice;
    GridColours m_lookColours;
    QString m_lookBand;

    QString m_earthPath;
    QImage m_earth;
    bool m_earthMissing = false;
    QImage m_night;           // 1 degree a pixel, alpha = how dark
    QDateTime m_nightMinute;
    QPixmap m_background;     // earth and night for the current view
    QString m_backgroundKey;

    mutable MapView m_view;
    QPointF m_pressPos;
    QPointF m_lastPos;
    bool m_pressed = false;
    bool m_dragging = false;
    class QTimer* m_minuteTimer = nullptr;
};

} // namespace beamtide
