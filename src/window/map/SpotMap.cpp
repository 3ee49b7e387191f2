#include "window/map/SpotMap.h"

#include "base/Clock.h"
#include "window/grid/SpotGridModel.h"

#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QShowEvent>
#include <QTimer>
#include <QToolTip>
#include <QWheelEvent>

#include <QHash>

#include <algorithm>
#include <cmath>
#include <span>

namespace beamtide {

namespace {

// Columns of the per-band grid the map reads.
constexpr int kSnrColumn = field::Snr;
constexpr int kCallColumn = field::Call;
constexpr int kLocatorColumn = field::Grid;
constexpr int kReporterColumn = field::Reporter;
constexpr int kReporterLocatorColumn = field::ReporterGrid;
constexpr int kKmColumn = field::Km;

constexpr QRectF kWorld = MapView::kWorld;

// Paths of the stronger classes are drawn over the others.
int rankOf(const QString& tag)
{
    const char16_t* const codes[] = {tags::kBeyondMinimum, tags::kSignalHigh, tags::kBetween,
                                     tags::kMyCall, tags::kFar, tags::kAlert};
    int rank = 0;
    for (int i = 0; i < 6; ++i) {
        if (tag.contains(QStringView(codes[i])))
            rank = i + 1;
    }
    return rank;
}

double penWidth(const CellLook& look) { return look.bold ? 2.0 : 1.0; }
double dotRadius(const CellLook& look) { return look.bold ? 4.0 : 3.0; }

// A rim in the opposite lightness keeps a dark path readable on the dark oceans and a
// light one on the ice.
QColor rimOf(const QColor& colour)
{
    return qGray(colour.rgb()) < 128 ? QColor(215, 215, 215) : QColor(20, 20, 20);
}

// Paths are drawn with one-pixel pens without smoothing, shifted across the line for the
// rim and the bold weight: the painter draws those directly, while a wider or smoothed pen
// costs several times as much, too slow for 1000 paths in a frame.
struct Stroke
{
    int across; // pixels across the line
    bool rim;
};
// Rims first: a path's own colour lies over the rims of its neighbours.
constexpr Stroke kPlainStrokes[] = {{1, true}, {0, false}};
constexpr Stroke kBoldStrokes[] = {{2, true}, {0, false}, {1, false}};

// Points closer than this on screen add nothing to the curve, only work.
constexpr double kMinStepPixels = 6.0;

void screenPolyline(const QPolygonF& world, const QTransform& t, QPolygonF& out)
{
    out.clear();
    if (world.isEmpty())
        return;
    QPointF last = t.map(world.front());
    out.append(last);
    for (qsizetype i = 1; i + 1 < world.size(); ++i) {
        const QPointF p = t.map(world[i]);
        if (std::abs(p.x() - last.x()) + std::abs(p.y() - last.y()) >= kMinStepPixels) {
            out.append(p);
            last = p;
        }
    }
    if (world.size() > 1)
        out.append(t.map(world.back()));
}

// A round dot with a rim, drawn once per colour and size.
const QPixmap& dotPixmap(QColor colour, double radius, qreal ratio)
{
    static QHash<QString, QPixmap> cache;
    const QString key = QStringLiteral("%1 %2 %3").arg(colour.rgb()).arg(radius).arg(ratio);
    auto it = cache.find(key);
    if (it == cache.end()) {
        const int side = int(std::ceil(2 * radius + 2));
        QPixmap dot(QSize(side, side) * ratio);
        dot.setDevicePixelRatio(ratio);
        dot.fill(Qt::transparent);
        QPainter painter(&dot);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(rimOf(colour), 1.0));
        painter.setBrush(colour);
        painter.drawEllipse(QPointF(side / 2.0, side / 2.0), radius, radius);
        it = cache.insert(key, dot);
    }
    return *it;
}

double distanceToSegment(const QPointF& p, const QPointF& a, const QPointF& b)
{
    const QPointF ab = b - a;
    const double length2 = QPointF::dotProduct(ab, ab);
    double t = length2 > 0 ? QPointF::dotProduct(p - a, ab) / length2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const QPointF d = p - (a + t * ab);
    return std::hypot(d.x(), d.y());
}

QPolygonF worldPolygon(const GeoPiece& piece)
{
    QPolygonF polygon;
    polygon.reserve(piece.size());
    for (const GeoPoint& p : piece)
        polygon.append(QPointF(p.lon, -p.lat));
    return polygon;
}

QDateTime minuteOf(const QDateTime& utc)
{
    const qint64 ms = utc.toMSecsSinceEpoch();
    return QDateTime::fromMSecsSinceEpoch(ms - ms % 60000, Qt::UTC);
}

} // namespace

SpotMap::SpotMap(const SpotGridModel& model, const Clock& clock, const QString& earthImage,
                 QWidget* parent)
    : QWidget(parent), m_model(model), m_clock(clock), m_earthPath(earthImage)
{
    setObjectName(QStringLiteral("SpotMap"));
    setMinimumSize(360, 180);
    setMouseTracking(false);
    connect(&model, &QAbstractItemModel::modelReset, this, &SpotMap::markDirty);
    connect(&model, &QAbstractItemModel::layoutChanged, this, &SpotMap::markDirty);
    connect(&model, &QAbstractItemModel::rowsInserted, this, &SpotMap::markDirty);
    connect(&model, &QAbstractItemModel::rowsRemoved, this, &SpotMap::markDirty);
    connect(&model, &QAbstractItemModel::dataChanged, this, &SpotMap::markDirty);

    // The greyline moves on with the minute even when no filter pass repaints the map.
    m_minuteTimer = new QTimer(this);
    m_minuteTimer->setInterval(15000);
    connect(m_minuteTimer, &QTimer::timeout, this, [this] {
        if (isVisible() && minuteOf(m_clock.nowUtc()) != m_nightMinute)
            update();
    });
    m_minuteTimer->start();
}

SpotMap::~SpotMap() = default;

void SpotMap::setBandSource(std::function<QString()> bandText)
{
    m_bandText = std::move(bandText);
    markDirty();
}

void SpotMap::setColourSource(std::function<GridColours()> colours)
{
    m_colours = std::move(colours);
    markDirty();
}

void SpotMap::setMaxLinesSource(std::function<int()> maxLines)
{
    m_maxLines = std::move(maxLines);
    markDirty();
}

void SpotMap::setEarthImage(const QString& path)
{
    m_earthPath = path;
    m_earth = QImage();
    m_backgroundKey.clear();
    if (isVisible())
        readEarth();
}

void SpotMap::readEarth()
{
    QImage image(m_earthPath);
    m_earthMissing = image.isNull();
    m_earth = m_earthMissing ? QImage() : image.convertToFormat(QImage::Format_RGB32);
    m_backgroundKey.clear();
    update();
    Q_EMIT earthImageRead();
}

void SpotMap::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_earth.isNull())
        readEarth();
}

// Everything drawn only for the eye is given back; the paths stay, they are small.
void SpotMap::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return;
    m_earth = QImage();
    m_night = QImage();
    m_background = QPixmap();
    m_backgroundKey.clear();
}

void SpotMap::markDirty()
{
    m_dirty = true;
    update();
}

const QVector<MapPath>& SpotMap::paths()
{
    ensureBuilt();
    return m_paths;
}

int SpotMap::rowsWithoutPath()
{
    ensureBuilt();
    return m_withoutPath;
}

QString SpotMap::notice()
{
    ensureBuilt();
    return m_notice;
}

void SpotMap::ensureBuilt()
{
    if (!m_dirty)
        return;
    m_dirty = false;
    m_paths.clear();
    m_withoutPath = 0;
    m_notice.clear();
    if (m_model.layout() == GridLayout::AllBands) {
        m_notice = QStringLiteral("All bands: the map draws the spots of one band. "
                                  "Pick a band to see their paths.");
    } else {
        const int spots = m_model.rows() - 1;
        const int drawn = m_maxLines ? std::clamp(m_maxLines(), 0, spots) : spots;
        m_paths.reserve(drawn);
        for (int row = 1; row <= drawn; ++row) {
            const QString call = m_model.cell(row, kCallColumn);
            const QString txLocator = m_model.cell(row, kLocatorColumn);
            const QString rxLocator = m_model.cell(row, kReporterLocatorColumn);
            if (call.isEmpty() && txLocator.isEmpty() && rxLocator.isEmpty())
                continue; // an empty row of the grid, not a spot
            const std::optional<GeoPoint> from = locatorCentre(txLocator);
            const std::optional<GeoPoint> to = locatorCentre(rxLocator);
            if (!from || !to) {
                ++m_withoutPath;
                continue;
            }
            MapPath path;
            path.row = row;
            path.from = *from;
            path.to = *to;
            for (const GeoPiece& piece : greatCirclePath(*from, *to))
                path.pieces.append(worldPolygon(piece));
            path.call = call;
            path.reporter = m_model.cell(row, kReporterColumn);
            path.km = m_model.cell(row, kKmColumn);
            path.snr = m_model.cell(row, kSnrColumn);
            path.tag = m_model.cell(row, kTagColumn);
            m_paths.append(std::move(path));
        }
    }
    m_lookBand = m_bandText ? m_bandText() : QString();
    m_lookColours = m_colours ? m_colours() : GridColours::defaults();
    refreshLooks();
    Q_EMIT pathsChanged();
}

void SpotMap::refreshLooks()
{
    const bool perBandHeader = m_model.perBandHeaderInPlace();
    const GridPalette palette(m_lookColours);
    for (MapPath& path : m_paths) {
        CellContext cell;
        cell.row = path.row;
        cell.column = kCallColumn;
        cell.tag = path.tag;
        cell.bandText = m_lookBand;
        cell.perBandHeader = perBandHeader;
        path.look = cellLook(cell, palette);
    }
    m_order.resize(m_paths.size());
    for (int i = 0; i < int(m_paths.size()); ++i)
        m_order[i] = i;
    // Stronger classes on top; within a class the newest spot (the top row) on top.
    std::stable_sort(m_order.begin(), m_order.end(), [this](int a, int b) {
        const int ra = m_paths[a].look.text ? rankOf(m_paths[a].tag) : 0;
        const int rb = m_paths[b].look.text ? rankOf(m_paths[b].tag) : 0;
        if (ra != rb)
            return ra < rb;
        return m_paths[a].row > m_paths[b].row;
    });
}

const MapView& SpotMap::view() const
{
    m_view.setViewport(size());
    return m_view;
}

MapView& SpotMap::view()
{
    m_view.setViewport(size());
    return m_view;
}

QTransform SpotMap::worldToWidget() const
{
    const double s = view().scale();
    const QPointF origin = m_view.origin();
    return QTransform(s, 0, 0, s, origin.x(), origin.y());
}

QPointF SpotMap::toWidget(const GeoPoint& p) const
{
    return view().toWidget(p);
}

void SpotMap::zoomAbout(const QPointF& pos, double factor)
{
    view().zoomAbout(pos, factor);
    update();
}

void SpotMap::resetView()
{
    m_view.reset();
    update();
}

void SpotMap::ensureNight()
{
    const QDateTime minute = minuteOf(m_clock.nowUtc());
    if (minute == m_nightMinute && !m_night.isNull())
        return;
    m_nightMinute = minute;
    const GeoPoint sun = subSolarPoint(minute);
    m_night = QImage(360, 180, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 180; ++y) {
        auto* line = reinterpret_cast<QRgb*>(m_night.scanLine(y));
        for (int x = 0; x < 360; ++x) {
            const double elevation = sunElevation({89.5 - y, -179.5 + x}, sun);
            // Clear in daylight; a step at sunset, then darker through twilight to night.
            const double t = std::clamp((0.5 - elevation) / 12.5, 0.0, 1.0);
            const int alpha = t <= 0 ? 0 : int(std::lround(100 + 115 * t));
            line[x] = qRgba(0, 0, 0, alpha);
        }
    }
}

void SpotMap::drawPlainEarth(QPainter& painter) const
{
    const QTransform t = worldToWidget();
    painter.fillRect(t.mapRect(kWorld), QColor(38, 62, 92));
    painter.setRenderHint(QPainter::Antialiasing);
    for (int lon = -180; lon <= 180; lon += 30) {
        painter.setPen(QPen(lon == 0 ? QColor(150, 175, 205) : QColor(90, 115, 145), 1));
        painter.drawLine(t.map(QPointF(lon, -90)), t.map(QPointF(lon, 90)));
    }
    for (int lat = -60; lat <= 60; lat += 30) {
        painter.setPen(QPen(lat == 0 ? QColor(150, 175, 205) : QColor(90, 115, 145), 1));
        painter.drawLine(t.map(QPointF(-180, -lat)), t.map(QPointF(180, -lat)));
    }
}

void SpotMap::ensureBackground()
{
    ensureNight();
    const QString key = QStringLiteral("%1x%2 %3 %4,%5 %6 %7")
                            .arg(width())
                            .arg(height())
                            .arg(m_view.zoom())
                            .arg(m_view.centre().x())
                            .arg(m_view.centre().y())
                            .arg(m_nightMinute.toMSecsSinceEpoch())
                            .arg(hasEarthImage());
    if (key == m_backgroundKey && !m_background.isNull())
        return;
    m_backgroundKey = key;
    const qreal ratio = devicePixelRatioF();
    m_background = QPixmap(size() * ratio);
    m_background.setDevicePixelRatio(ratio);
    m_background.fill(QColor(12, 14, 20));
    QPainter painter(&m_background);
    const QRectF target = worldToWidget().mapRect(kWorld);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (hasEarthImage())
        painter.drawImage(target, m_earth);
    else
        drawPlainEarth(painter);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, m_night);
}

void SpotMap::paintEvent(QPaintEvent*)
{
    ensureBuilt();
    const QString band = m_bandText ? m_bandText() : QString();
    const GridColours colours = m_colours ? m_colours() : GridColours::defaults();
    if (band != m_lookBand || !(colours == m_lookColours)) {
        // A colour changed in the setup panel shows at the next paint, as in the grid.
        m_lookBand = band;
        m_lookColours = colours;
        refreshLooks();
    }
    ensureBackground();

    QPainter painter(this);
    painter.drawPixmap(0, 0, m_background);
    if (!m_notice.isEmpty()) {
        QRectF box = rect().adjusted(40, 0, -40, 0);
        box = painter.boundingRect(box, Qt::AlignCenter | Qt::TextWordWrap, m_notice).adjusted(-12, -8, 12, 8);
        painter.fillRect(box, QColor(0, 0, 0, 170));
        painter.setPen(Qt::white);
        painter.drawText(box, Qt::AlignCenter | Qt::TextWordWrap, m_notice);
        return;
    }

    const QTransform t = worldToWidget();
    const QColor plain = palette().color(QPalette::Active, QPalette::WindowText);
    const qreal ratio = devicePixelRatioF();
    const auto colourOf = [&plain](const MapPath& path) {
        return path.look.text ? QColor::fromRgb(*path.look.text) : plain;
    };
    // Paths of one look are drawn together, a few calls for all of them: per call the
    // painter has work of its own that 1000 paths would pay 1000 times.
    QPolygonF screen;
    QVector<QLineF> lines[3];
    for (qsizetype first = 0; first < m_order.size();) {
        const MapPath& leader = m_paths[m_order[first]];
        qsizetype end = first + 1;
        while (end < m_order.size() && m_paths[m_order[end]].look == leader.look)
            ++end;
        const QColor colour = colourOf(leader);
        const auto strokes = leader.look.bold ? std::span<const Stroke>(kBoldStrokes)
                                              : std::span<const Stroke>(kPlainStrokes);
        for (QVector<QLineF>& set : lines)
            set.clear();
        for (qsizetype k = first; k < end; ++k) {
            for (const QPolygonF& piece : m_paths[m_order[k]].pieces) {
                screenPolyline(piece, t, screen);
                // Across a mostly level line is down, across a mostly upright one is right.
                const QPointF span = screen.back() - screen.front();
                const bool level = std::abs(span.x()) >= std::abs(span.y());
                for (size_t s = 0; s < strokes.size(); ++s) {
                    const QPointF shift(level ? 0 : strokes[s].across, level ? strokes[s].across : 0);
                    for (qsizetype i = 1; i < screen.size(); ++i)
                        lines[s].append(QLineF(screen[i - 1] + shift, screen[i] + shift));
                }
            }
        }
        for (size_t s = 0; s < strokes.size(); ++s) {
            painter.setPen(QPen(strokes[s].rim ? rimOf(colour) : colour, 0));
            painter.drawLines(lines[s]);
        }
        const QPixmap& dot = dotPixmap(colour, dotRadius(leader.look), ratio);
        const QPointF half(dot.width() / ratio / 2.0, dot.height() / ratio / 2.0);
        for (qsizetype k = first; k < end; ++k) {
            const MapPath& path = m_paths[m_order[k]];
            painter.drawPixmap(toWidget(path.from) - half, dot);
            painter.drawPixmap(toWidget(path.to) - half, dot);
        }
        first = end;
    }
}

int SpotMap::hitIndex(const QPointF& pos)
{
    ensureBuilt();
    const QTransform t = worldToWidget();
    // Top-most first, as drawn; the end dots before the lines.
    for (auto it = m_order.crbegin(); it != m_order.crend(); ++it) {
        const MapPath& path = m_paths[*it];
        const double reach = dotRadius(path.look) + 2.0;
        for (const GeoPoint& end : {path.from, path.to}) {
            const QPointF d = toWidget(end) - pos;
            if (std::hypot(d.x(), d.y()) <= reach)
                return *it;
        }
    }
    for (auto it = m_order.crbegin(); it != m_order.crend(); ++it) {
        const MapPath& path = m_paths[*it];
        const double reach = penWidth(path.look) / 2.0 + 3.0;
        for (const QPolygonF& piece : path.pieces) {
            const QPolygonF screen = t.map(piece);
            for (qsizetype i = 1; i < screen.size(); ++i) {
                if (distanceToSegment(pos, screen[i - 1], screen[i]) <= reach)
                    return *it;
            }
        }
    }
    return -1;
}

int SpotMap::rowAt(const QPointF& pos)
{
    const int index = hitIndex(pos);
    return index < 0 ? 0 : m_paths[index].row;
}

QString SpotMap::toolTipAt(const QPointF& pos)
{
    const int index = hitIndex(pos);
    if (index < 0)
        return {};
    const MapPath& path = m_paths[index];
    // Page text is shown as text, never as markup.
    return QStringLiteral("<b>%1</b> heard by <b>%2</b><br>%3 km, SNR %4 dB")
        .arg(path.call.toHtmlEscaped(), path.reporter.toHtmlEscaped(), path.km.toHtmlEscaped(),
             path.snr.toHtmlEscaped());
}

bool SpotMap::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString text = toolTipAt(help->pos());
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), text, this);
        }
        return true;
    }
    return QWidget::event(event);
}

void SpotMap::resizeEvent(QResizeEvent* event)
{
    view().clampCentre();
    QWidget::resizeEvent(event);
}

void SpotMap::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_pressed = true;
    m_dragging = false;
    m_pressPos = m_lastPos = event->position();
}

void SpotMap::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressed)
        return QWidget::mouseMoveEvent(event);
    const QPointF pos = event->position();
    if (!m_dragging && (pos - m_pressPos).manhattanLength() >= QApplication::startDragDistance())
        m_dragging = true;
    if (m_dragging) {
        view().panBy(pos - m_lastPos);
        update();
    }
    m_lastPos = pos;
}

void SpotMap::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_pressed)
        return QWidget::mouseReleaseEvent(event);
    m_pressed = false;
    if (m_dragging) {
        m_dragging = false;
        return;
    }
    if (const int row = rowAt(event->position()))
        Q_EMIT rowClicked(row);
}

void SpotMap::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseDoubleClickEvent(event);
    resetView();
}

void SpotMap::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (delta == 0)
        return QWidget::wheelEvent(event);
    zoomAbout(event->position(), std::pow(1.25, delta / 120.0));
    event->accept();
}

} // namespace beamtide
