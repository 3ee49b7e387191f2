#pragma once

#include "base/Identity.h"
#include "base/RunLog.h"
#include "net/NetWorker.h"
#include "shell/AlertChannels.h"
#include "shell/RefreshJobs.h"
#include "shell/Refresher.h"
#include "shell/UpdateCycle.h"
#include "spots/AlertsHistory.h"
#include "spots/FilterSpots.h"
#include "spots/MyCallSpots.h"
#include "window/Services.h"
#include "window/setup/WorkingValues.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <memory>

namespace beamtide {

class Clock;
class History;
class HistoryPanel;
struct HistoryServerSettings;
class HttpClient;
class MainWindow;
class Prompt;
class SpotGrid;
class SettingsBinding;
class SettingsStore;
class SetupPanel;
class FindPanel;
class MapPanel;
class Openers;
class ExportAndViewers;

// Ties the window to the core: the update cycle, the refresh, the filter pass and the alert
// check. The window's controls are read into value structs here and results written back;
// the rules and the refresh's life live in the core.
class Controller final : public QObject, public UpdateHost
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Controller)

public:
    Controller(MainWindow& window, Identity& identity, const Clock& clock, const Services& services,
               QObject* parent = nullptr);
    ~Controller() override;

    // The start-up sequence, once, after the window is first shown.
    void startUp();
    // The shut-down sequence, when the window closes.
    void shutDown();

    // UpdateHost
    void showLocalTime(const QString& text) override;
    bool utcFieldEmpty() const override;
    void showUtc(const QString& text) override;
    bool bandIsMyCall() const override;
    void runFilterPass() override { filterPass(false, true); }
    void showSlotProgress(int percent) override;
    void checkAddress() override { m_refresher->checkAddress(); }
    QDateTime nextUpdateTime() const override { return m_refresher->nextUpdate(); }
    void refresh() override;
    void alertCheck() override;

    // A refresh the user asked for; it follows the running one when there is one.
    void askRefresh() { m_refresher->ask(); }
    // focusGrid: the grid takes the focus at the end. byTimer: the minute's pass, the pending
    // re-filter or the pass of a refresh the tick started, which leave the focus where the
    // user has it (typing a call, say).
    void filterPass(bool focusGrid, bool byTimer = false);
    bool refreshRunning() const { return m_refresher->running(); }

    // For tests and the start-up sequence.
    UpdateCycle& cycle() { return m_cycle; }
    QTimer& timer() { return m_timer; }
    SpotGrid& grid() { return *m_grid; }
    Prompt& prompt() { return *m_prompt; }
    const SetupPanel& setupPanel() const { return *m_panel; }
    RunLog& runLog() { return m_log; }
    AlertsHistory& alertsHistory() { return m_alerts; }
    Refresher& refresher() { return *m_refresher; }
    QString publicAddress() const { return m_refresher->publicAddress(); }
    WorkingValues& working() { return m_working; }
    bool started() const { return m_started; }
    // The time of the data on screen.
    QDateTime lastRetrieval() const { return m_refresher->lastGoodRetrieval(); }

    FindPanel& findPanel() { return *m_find; }
    MapPanel& mapPanel() { return *m_map; }
    // After start-up.
    HistoryPanel* historyPanel() { return m_historyPanel; }
    History* history() { return m_history.get(); }

Q_SIGNALS:
    void fetchingChanged(bool fetching); // a fetch is out: the busy pointer and the lime indicator
    void refreshFinished();
    void alertAnnounced(const QString& alert);
    void addressLookupFinished();
    void startUpFinished();

public:
    AlertChannels* channels() { return m_channels.get(); } // null before start-up
    // Whether an announced alert may go out on the channel now: always, unless the channel's
    // throttle box is ticked and its throttle holds the alert back (said in the run log).
    bool admitAlert(AlertChannels::Channel channel, const QString& alert);

private:
    void bandPicked(const QString& band);
    void applyBandLayout();
    void startHistory();
    void applyHistoryServer(const HistoryServerSettings& settings);
    void openHistoryServer();
    void syncStore();
    void applyLayouts(); // the band layout, then the distance controls rule
    FetchRequest fetchControls() const;
    AlertFields alertFields(const QString& alert) const; // with the spot behind it on screen
    SpotSource currentSource() const; // /source= for this run, else the setup panel's
    void openChannels(); // the Channels dialog; OK stores its values and applies them

    MainWindow& m_window;
    Identity& m_identity;
    const Clock& m_clock;
    RunLog m_log;
    NetWorker m_worker;
    std::unique_ptr<History> m_history; // outlives the refresher that hands it the spots
    std::shared_ptr<HttpClient> m_http;
    std::unique_ptr<WorkerJobs> m_jobs;
    std::unique_ptr<class RefreshPresenter> m_presenter;
    std::unique_ptr<Refresher> m_refresher;
    std::unique_ptr<SpotGrid> m_grid;
    std::unique_ptr<Prompt> m_prompt;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<AlertChannels> m_channels; // from start-up on
    std::unique_ptr<SetupPanel> m_panel;
    std::unique_ptr<SettingsBinding> m_binding;
    std::unique_ptr<Openers> m_ownOpeners;
    std::unique_ptr<ExportAndViewers> m_export;
    FindPanel* m_find = nullptr; // a child of the grid area
    MapPanel* m_map = nullptr;   // a window of its own, owned by the main window
    HistoryPanel* m_historyPanel = nullptr; // likewise

    AlertsHistory m_alerts;
    std::unique_ptr<MyCallSpots> m_myCallSpots;
    std::optional<SpotSource> m_sourceOption; // /source= for this run
    WorkingValues m_working;
    bool m_started = false;
    bool m_closed = false;

    UpdateCycle m_cycle;
    std::unique_ptr<class AlertAnnouncer> m_announcer;
    std::unique_ptr<class FilterPresenter> m_filter;
    std::unique_ptr<class WindowKeys> m_keys;
    std::unique_ptr<class ViewerButtons> m_viewers;
    QTimer m_timer;
};

} // namespace beamtide
