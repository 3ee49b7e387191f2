#include "window/history/HistoryCharts.h"

#include "spots/SpotRules.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace beamtide {

namespace {

QString dayText(qint64 day)
{
    return dateTimeTextOf(day * 86400000).left(10);
}

QString minuteText(qint64 minute)
{
    return dateTimeTextOf(minute * 60000 + 1000).left(16);
}

QColor mix(const QColor& a, const QColor& b, double t)
{
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t), float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t));
}

} // namespace

HistoryChart::HistoryChart(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setMinimumSize(320, 140);
}

void HistoryChart::setColours(const QColor& background, const QColor& ink, const QColor& strong, const QColor& alert)
{
    m_background = background;
    m_ink = ink;
    m_strong = strong;
    m_alert = alert;
    update();
}

void HistoryChart::mouseMoveEvent(QMouseEvent* event)
{
    const QString text = hoverText(event->position().toPoint());
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPosition().toPoint(), text, this);
}

QRect HistoryChart::plotArea() const
{
    const QFontMetrics fm(font());
    return rect().adjusted(fm.horizontalAdvance(QStringLiteral("2026-12-10 ")), fm.height() + 4, -8,
                           -(fm.height() + 6));
}

void HistoryChart::paintFrame(QPainter& p, const QString& title) const
{
    p.fillRect(rect(), m_background);
    p.setPen(m_ink);
    p.drawText(rect().adjusted(4, 2, -4, 0), Qt::AlignTop | Qt::AlignLeft, title);
    p.drawRect(plotArea().adjusted(0, 0, -1, -1));
}

// --- heat map ---------------------------------------------------------------------------

void HeatMapChart::setData(const QList<HeatCell>& cells, qint64 firstDay, int days, const QString& label)
{
    m_firstDay = firstDay;
    m_days = std::max(days, 1);
    m_label = label;
    m_counts.fill(0, qsizetype(m_days) * 24);
    m_max = 0;
    for (const HeatCell& c : cells) {
        const qint64 index = c.hour - firstDay * 24;
        if (index < 0 || index >= m_counts.size())
            continue;
        m_counts[index] += c.spots;
        m_max = std::max(m_max, m_counts[index]);
    }
    update();
}

qint64 HeatMapChart::total() const
{
    qint64 sum = 0;
    for (qint64 c : m_counts)
        sum += c;
    return sum;
}

QRect HeatMapChart::cellRect(int day, int hour) const
{
    const QRect area = plotArea();
    const int x0 = area.left() + area.width() * hour / 24;
    const int x1 = area.left() + area.width() * (hour + 1) / 24;
    const int y0 = area.top() + area.height() * day / m_days;
    const int y1 = area.top() + area.height() * (day + 1) / m_days;
    return QRect(QPoint(x0, y0), QPoint(x1 - 1, y1 - 1));
}

void HeatMapChart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    paintFrame(p, m_label);
    for (int day = 0; day < m_days; ++day) {
        for (int hour = 0; hour < 24; ++hour) {
            const qint64 n = m_counts.value(qsizetype(day) * 24 + hour);
            if (n == 0)
                continue;
            // A square root scale: a quiet hour still shows beside the busiest one.
            const double t = 0.15 + 0.85 * std::sqrt(double(n) / double(m_max));
            p.fillRect(cellRect(day, hour), mix(m_background, m_strong, t));
        }
    }
    const QRect area = plotArea();
    p.setPen(m_ink);
    const QFontMetrics fm(font());
    for (int hour = 0; hour < 24; hour += 3) {
        const QRect cell = cellRect(0, hour);
        p.drawText(QRect(cell.left(), area.bottom() + 2, 40, fm.height()), Qt::AlignLeft,
                   QStringLiteral("%1").arg(hour, 2, 10, QLatin1Char('0')));
    }
    const int step = std::max(1, m_days * fm.height() / std::max(1, area.height()) + 1);
    for (int day = 0; day < m_days; day += step) {
        const QRect cell = cellRect(day, 0);
        p.drawText(QRect(0, cell.top(), area.left() - 4, fm.height()), Qt::AlignRight,
                   dayText(m_firstDay + day));
    }
}

QString HeatMapChart::hoverText(const QPoint& pos) const
{
    const QRect area = plotArea();
    if (!area.contains(pos) || m_counts.isEmpty())
        return {};
    const int hour = std::clamp((pos.x() - area.left()) * 24 / std::max(1, area.width()), 0, 23);
    const int day = std::clamp((pos.y() - area.top()) * m_days / std::max(1, area.height()), 0, m_days - 1);
    return QStringLiteral("%1 %2:00-%3:00 UTC: %4 spots")
        .arg(dayText(m_firstDay + day))
        .arg(hour, 2, 10, QLatin1Char('0'))
        .arg(hour + 1, 2, 10, QLatin1Char('0'))
        .arg(m_counts.value(qsizetype(day) * 24 + hour));
}

// --- spots per hour ---------------------------------------------------------------------

QColor HourlyChart::bandColour(int band)
{
    // Far apart on the colour wheel, and dark enough to read on the grid's light backgrounds.
    return QColor::fromHsv((band * 137) % 360, 220, 170);
}

void HourlyChart::setData(const QList<BandHours>& bands, qint64 fromHour, qint64 toHour, const QList<qint64>& alerts)
{
    m_bands = bands;
    m_from = fromHour;
    m_to = std::max(toHour, fromHour + 1);
    m_alerts = alerts;
    m_max = 1;
    for (const BandHours& b : bands)
        for (const HeatCell& c : b.hours)
            m_max = std::max(m_max, c.spots);
    update();
}

double HourlyChart::xOf(double hour) const
{
    const QRect area = plotArea();
    return area.left() + (hour - double(m_from)) * area.width() / double(m_to - m_from);
}

void HourlyChart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    paintFrame(p, QStringLiteral("Spots per hour (UTC), most %1").arg(m_max));
    const QRect area = plotArea();
    p.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics fm(font());
    int legendX = area.right() - 4;
    for (auto band = m_bands.crbegin(); band != m_bands.crend(); ++band) {
        QPainterPath path;
        // Every hour of the range, the empty ones at zero.
        qsizetype next = 0;
        for (qint64 h = m_from; h < m_to; ++h) {
            qint64 n = 0;
            while (next < band->hours.size() && band->hours[next].hour < h)
                ++next;
            if (next < band->hours.size() && band->hours[next].hour == h)
                n = band->hours[next].spots;
            const QPointF point(xOf(double(h) + 0.5), area.bottom() - double(n) * (area.height() - 2) / double(m_max));
            if (h == m_from)
                path.moveTo(point);
            else
                path.lineTo(point);
        }
        p.setPen(QPen(bandColour(band->band), 1.5));
        p.drawPath(path);
        const QString name = historyBandName(band->band) + QStringLiteral(" m");
        legendX -= fm.horizontalAdvance(name) + 8;
        p.drawText(legendX, area.top() - 4, name);
    }
    // The alerts as marks along the bottom edge.
    p.setPen(Qt::NoPen);
    p.setBrush(m_alert);
    for (qint64 minute : m_alerts) {
        const double x = xOf(double(minute) / 60.0);
        if (x < area.left() || x > area.right())
            continue;
        const QPointF tip(x, area.bottom() - 7);
        p.drawPolygon(QPolygonF{tip, QPointF(x - 4, area.bottom()), QPointF(x + 4, area.bottom())});
    }
    p.setPen(m_ink);
    const qint64 hours = m_to - m_from;
    const qint64 step = hours <= 24 ? 3 : 24;
    for (qint64 h = (m_from + step - 1) / step * step; h < m_to; h += step) {
        const QString text = step == 24 ? dayText(h / 24).mid(5) : QStringLiteral("%1").arg(h % 24, 2, 10, QLatin1Char('0'));
        p.drawText(QPointF(xOf(double(h)), area.bottom() + fm.ascent() + 2), text);
    }
}

QString HourlyChart::hoverText(const QPoint& pos) const
{
    const QRect area = plotArea();
    if (!area.contains(pos))
        return {};
    const qint64 hour = m_from + qint64((pos.x() - area.left()) * double(m_to - m_from) / std::max(1, area.width()));
    QStringList parts;
    for (qint64 minute : m_alerts)
        if (minute / 60 == hour)
            parts << QStringLiteral("alert at %1").arg(minuteText(minute).mid(11));
    QStringList counts;
    for (const BandHours& b : m_bands)
        for (const HeatCell& c : b.hours)
            if (c.hour == hour)
                counts << QStringLiteral("%1 m: %2").arg(historyBandName(b.band)).arg(c.spots);
    return QStringLiteral("%1:00 UTC  %2").arg(minuteText(hour * 60).left(13), (counts + parts).join(QStringLiteral(", ")))
        .trimmed();
}

// --- best distance per day ---------------------------------------------------------------

void BestDistanceChart::setData(const QList<DayBest>& days, qint64 fromDay, qint64 toDay, const QList<qint64>& alerts)
{
    m_days = days;
    m_from = fromDay;
    m_to = std::max(toDay, fromDay + 1);
    m_alerts = alerts;
    m_max = 1;
    for (const DayBest& d : days)
        m_max = std::max(m_max, d.km);
    update();
}

QRect BestDistanceChart::barRect(int index) const
{
    const QRect area = plotArea();
    const DayBest& d = m_days[index];
    const qint64 span = m_to - m_from;
    const int x0 = area.left() + int((d.day - m_from) * area.width() / span);
    const int x1 = area.left() + int((d.day - m_from + 1) * area.width() / span);
    const int height = int(double(d.km) * (area.height() - 2) / m_max);
    return QRect(x0 + 1, area.bottom() - height, std::max(1, x1 - x0 - 2), height);
}

void BestDistanceChart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    paintFrame(p, QStringLiteral("Best distance per day, up to %1 km").arg(m_max));
    for (int i = 0; i < m_days.size(); ++i)
        p.fillRect(barRect(i), m_strong);
    const QRect area = plotArea();
    p.setPen(Qt::NoPen);
    p.setBrush(m_alert);
    const qint64 span = m_to - m_from;
    for (qint64 minute : m_alerts) {
        const double x = area.left() + (double(minute) / 1440.0 - double(m_from)) * area.width() / double(span);
        if (x < area.left() || x > area.right())
            continue;
        p.drawPolygon(QPolygonF{QPointF(x, area.bottom() - 7), QPointF(x - 4, area.bottom()), QPointF(x + 4, area.bottom())});
    }
    p.setPen(m_ink);
    const QFontMetrics fm(font());
    const qint64 step = std::max<qint64>(1, span * fm.horizontalAdvance(QStringLiteral("12-10  ")) / std::max(1, area.width()) + 1);
    for (qint64 day = m_from; day < m_to; day += step)
        p.drawText(QPointF(area.left() + double(day - m_from) * area.width() / double(span), area.bottom() + fm.ascent() + 2),
                   dayText(day).mid(5));
}

QString BestDistanceChart::hoverText(const QPoint& pos) const
{
    for (int i = 0; i < m_days.size(); ++i) {
        const QRect bar = barRect(i);
        if (pos.x() >= bar.left() && pos.x() <= bar.right() && pos.y() >= plotArea().top() && pos.y() <= bar.bottom()) {
            const DayBest& d = m_days[i];
            return QStringLiteral("%1 km: %2 (%3) heard by %4 (%5) at %6 UTC")
                .arg(d.km)
                .arg(d.call, d.grid, d.reporter, d.reporterGrid, minuteText(d.minute));
        }
    }
    return {};
}

} // namespace beamtide
