#pragma once

#include "base/Identity.h"
#include "settings/Settings.h"
#include "settings/StartupSettings.h"

#include <QDateTime>
#include <QObject>
#include <QRect>

#include <functional>
#include <memory>

namespace beamtide {

class AccountPanel;
class BandSwitch;
class ColourPanel;
class RunLog;

class MainWindow;
class Prompt;
class SetupPanel;
class SpotGrid;
struct WorkingValues;

// The settings load and save between the store and the window's controls, and the setup
// panel's open, Save/Close and report. The band switch, the mail account and the colours of
// the panel are parts of their own, made here.
//
// Values go in through the controls, so that setting a check box or a bar runs its own
// handler when the value changes, as a user action would; setting a combo box's text runs
// none. The store is reached through a function because the panel reads and writes it long
// after construction; it must return the same open store for the whole run.
class SettingsBinding final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SettingsBinding)

public:
    SettingsBinding(MainWindow& window, SetupPanel& panel, SpotGrid& grid, WorkingValues& working,
                    Prompt& prompt, const Identity& identity, std::function<SettingsStore&()> store,
                    std::function<QDateTime()> lastRetrieval, QObject* parent = nullptr);
    ~SettingsBinding() override;

    // Where the problems shown in boxes are also noted; none by default. It must outlive this.
    void setLog(const RunLog* log) { m_log = log; }

    // The start-up part of the settings: the "/reset" option, the load, the raised launch count
    // with the first-launch reset and relay preset, then the account file. An account file port
    // that is no number is left out and comes back in accountError (for the run log).
    StartupSettings startUpLoad(SettingsStore& store, bool resetOption);

    // The settings load: reads the store and applies every value in load order. After
    // startUpLoad the launch count and last announced alert of this run stay.
    void load(const SettingsStore& store);
    void applyLoad(const StoredSettings& settings);
    // What the settings save writes: the controls and working values as they stand now.
    StoredSettings collect() const;
    // Writes collect(), the working folder and the last retrieval time, and flushes the store.
    SaveResult save(SettingsStore& store, const QDateTime& lastRetrieval);

    // The setup panel: Button9, Button7 (false when refused: the panel stays open) and Button11.
    void openPanel();
    bool saveAndClose();
    void showReport();

    BandSwitch& bands() { return *m_bands; }
    AccountPanel& account() { return *m_account; }
    const QString& previousBand() const;

Q_SIGNALS:
    // The band switch ends with a refresh of the new band.
    void refreshRequested();

private:
    // The window's geometry kept on the screen it is on (or would be on).
    QRect onScreen(int left, int top, int width, int height) const;
    void showProblem(const QString& text);

    MainWindow& m_window;
    SetupPanel& m_panel;
    WorkingValues& m_working;
    Prompt& m_prompt;
    const Identity& m_identity;
    std::function<SettingsStore&()> m_store;
    std::function<QDateTime()> m_lastRetrieval;
    std::unique_ptr<BandSwitch> m_bands;
    std::unique_ptr<AccountPanel> m_account;
    std::unique_ptr<ColourPanel> m_colours;
    bool m_started = false; // startUpLoad has run
    const RunLog* m_log = nullptr;
};

} // namespace beamtide
