#pragma once

#include "history/HistoryServer.h"
#include "history/HistoryStore.h"
#include "history/RemoteHeatMap.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace beamtide {

class BestDistanceChart;
class HeatMapChart;
class History;
class HourlyChart;

// The History panel: when the band opens (the heat map of hour against day), spots per hour
// of every band with the alerts marked, and the best distance of each day. A window of its
// own beside the main one. Every query runs on the history thread; the panel shows that it
// is working meanwhile and draws the newest answer only. The heat map can also come from
// wspr.live, for the days and bands the local file does not hold; each view says whose it is.
class HistoryPanel final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HistoryPanel)

public:
    // What the panel reads from the window when it asks.
    struct Sources
    {
        std::function<QString()> band;             // the band box as it reads now
        std::function<HeatFilter()> filter;        // the call filters and the far distance
        std::function<QList<qint64>()> alerts;     // the alerts history, UTC minutes since 1970
        std::function<qint64()> nowMinute;         // UTC minutes since 1970
        std::function<QString()> wsprLiveUrl;      // "https://db1.wspr.live" or the test's server
        std::function<QString(const QString&)> dataFile; // a file name in the working folder, with its prefix
        std::function<HistoryServer()> server;    // the history server; off when none is set
    };
    enum class View { Local, WsprLive, Server };

    HistoryPanel(History& history, Sources sources, QWidget* parent = nullptr);
    ~HistoryPanel() override;

    // The band on screen preselected, then the charts asked for again.
    void showForBand();
    void reload();
    bool working() const { return m_asked != m_answered; }
    // The grid's colours: background, text, the heat colour and the alerts' colour.
    void setColours(const QColor& background, const QColor& ink, const QColor& strong, const QColor& alert);

    View view() const;
    HeatMapChart& heatMap() { return *m_heat; }
    HourlyChart& hourly() { return *m_hourly; }
    BestDistanceChart& best() { return *m_best; }

Q_SIGNALS:
    void shownChanged(bool shown);
    void updated(); // a query's answer is drawn
    void exported(bool ok); // the CSV export is over; the status line says how
    void serverAsked();     // "Server...": the history server's address and account

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void viewChanged();
    void exportCsv();
    void reloadRemote(int asked, qint64 now, std::optional<int> band, const HeatFilter& filter);

    History& m_history;
    Sources m_sources;
    QComboBox* m_view = nullptr;
    QComboBox* m_band = nullptr;
    QComboBox* m_days = nullptr;
    QComboBox* m_hours = nullptr;
    QCheckBox* m_calls = nullptr;
    QCheckBox* m_far = nullptr;
    QLineEdit* m_grid = nullptr;
    QSpinBox* m_keep = nullptr;
    QPushButton* m_export = nullptr;
    QPushButton* m_serverButton = nullptr;
    QLabel* m_status = nullptr;
    HeatMapChart* m_heat = nullptr;
    HourlyChart* m_hourly = nullptr;
    BestDistanceChart* m_best = nullptr;
    RemoteHeatMaps m_remote;
    int m_asked = 0;
    int m_answered = 0;
    bool m_loadingKeep = false;
    // The days and band the local heat map shows, which the export writes out.
    qint64 m_shownFirstDay = 0;
    int m_shownDays = 0;
    std::optional<int> m_shownBand;
};

} // namespace beamtide
