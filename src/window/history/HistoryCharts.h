#pragma once

#include "history/HistoryStore.h"

#include <QColor>
#include <QList>
#include <QWidget>

namespace beamtide {

// The charts of the History panel, painted with QPainter: three small widgets need a grid of
// cells, a few polylines and marks, which is less code than Qt Charts' scene, and no other
// library to cross-build for Windows. Each shows its figures for the cell or point under the
// pointer as a tooltip; hoverText() is the same text for tests.
class HistoryChart : public QWidget
{
    Q_OBJECT

public:
    explicit HistoryChart(QWidget* parent = nullptr);
    void setColours(const QColor& background, const QColor& ink, const QColor& strong, const QColor& alert);
    // The text for the point at pos (widget coordinates); empty where there is nothing.
    virtual QString hoverText(const QPoint& pos) const = 0;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    QRect plotArea() const; // inside the axis labels
    void paintFrame(QPainter& painter, const QString& title) const;

    QColor m_background{Qt::white}, m_ink{Qt::black}, m_strong{0xc0, 0, 0}, m_alert{Qt::red};
};

// The hour of the day (UTC) across, one row per day down (oldest at the top), each cell
// coloured by its number of spots.
class HeatMapChart final : public HistoryChart
{
    Q_OBJECT

public:
    using HistoryChart::HistoryChart;
    // firstDay: days since 1970 of the top row.
    void setData(const QList<HeatCell>& cells, qint64 firstDay, int days, const QString& label);
    QString hoverText(const QPoint& pos) const override;
    qint64 total() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect cellRect(int day, int hour) const;
    QList<qint64> m_counts; // days x 24
    qint64 m_firstDay = 0;
    int m_days = 1; // never 0: rows are a share of the height
    qint64 m_max = 0;
    QString m_label;
};

// Spots per hour, one line per band, with the alerts as marks on the same time axis.
class HourlyChart final : public HistoryChart
{
    Q_OBJECT

public:
    using HistoryChart::HistoryChart;
    // Hours since 1970, [fromHour, toHour); alerts: minutes since 1970.
    void setData(const QList<BandHours>& bands, qint64 fromHour, qint64 toHour, const QList<qint64>& alerts);
    QString hoverText(const QPoint& pos) const override;
    static QColor bandColour(int band);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double xOf(double hour) const;
    QList<BandHours> m_bands;
    qint64 m_from = 0, m_to = 1, m_max = 1;
    QList<qint64> m_alerts;
};

// The furthest spot of each day, as a bar; the pointer names the spot.
class BestDistanceChart final : public HistoryChart
{
    Q_OBJECT

public:
    using HistoryChart::HistoryChart;
    void setData(const QList<DayBest>& days, qint64 fromDay, qint64 toDay, const QList<qint64>& alerts);
    QString hoverText(const QPoint& pos) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect barRect(int index) const;
    QList<DayBest> m_days;
    qint64 m_from = 0, m_to = 1;
    int m_max = 1;
    QList<qint64> m_alerts;
};

} // namespace beamtide
