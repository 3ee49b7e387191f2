#include "window/Controller.h"

#include "window/setup/ChannelsDialog.h"

#include "base/Clock.h"
#include "base/StartOptions.h"
#include "history/History.h"
#include "settings/ColourNames.h"
#include "settings/HistoryServerSettings.h"
#include "spots/SpotRules.h"
#include "net/HttpClient.h"
#include "platform/InstanceLock.h"
#include "platform/gui/Openers.h"
#include "window/AlertAnnouncer.h"
#include "window/FilterPresenter.h"
#include "window/RefreshPresenter.h"
#include "window/WindowKeys.h"
#include "window/grid/ExportAndViewers.h"
#include "window/grid/FindPanel.h"
#include "window/grid/SpotGrid.h"
#include "window/grid/ViewerButtons.h"
#include "window/main/MainWindow.h"
#include "window/main/Prompt.h"
#include "window/history/HistoryPanel.h"
#include "window/history/HistoryServerDialog.h"
#include "window/map/MapPanel.h"
#include "window/setup/SettingsBinding.h"
#include "window/setup/SetupPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>

#include <utility>

namespace beamtide {


Controller::Controller(MainWindow& window, Identity& identity, const Clock& clock,
                       const Services& services, QObject* parent)
    : QObject(parent),
      m_window(window),
      m_identity(identity),
      m_clock(clock),
      m_log(identity, clock),
      m_http(std::make_shared<HttpClient>()),
      m_alerts(AlertsHistory::filePath(identity)),
      m_myCallSpots(std::make_unique<MyCallSpots>(QString())),
      m_cycle(*this, clock)
{
    m_store = std::make_unique<SettingsStore>(services.settingsPath, identity.instance);
    m_jobs = std::make_unique<WorkerJobs>(m_worker, m_http, m_log, m_clock,
                                          services.spotDatabaseUrl, services.echoUrl,
                                          services.wsprLiveUrl);
    m_grid = std::make_unique<SpotGrid>(*window.grid);
    m_prompt = std::make_unique<Prompt>(&window);
    m_presenter = std::make_unique<RefreshPresenter>(
        window, *m_grid, *m_prompt,
        RefreshPresenter::Hooks{[this] { return fetchControls(); }, [this] { return m_refresher->spots().size(); },
                                [this] {
                                    // A refresh the tick started is a timer's pass too: someone
                                    // typing keeps the focus. The refresher knows who asked.
                                    filterPass(true, !m_refresher->askedByUser());
                                }});
    connect(m_presenter.get(), &RefreshPresenter::fetchingChanged, this, &Controller::fetchingChanged);
    m_refresher = std::make_unique<Refresher>(*m_presenter, *m_jobs, m_identity, services.addressSource);
    connect(m_refresher.get(), &Refresher::refreshFinished, this, &Controller::refreshFinished);
    connect(m_refresher.get(), &Refresher::addressLookupFinished, this, &Controller::addressLookupFinished);
    connect(m_refresher.get(), &Refresher::startUpFinished, this, &Controller::startUpFinished);
    m_grid->setBandSource([this] { return m_window.bandBox->currentText(); });
    m_grid->setColourSource([this] { return m_working.colours; });
    m_panel = std::make_unique<SetupPanel>(window);
    m_filter = std::make_unique<FilterPresenter>(window, *m_grid, *m_prompt, m_log);
    m_announcer = std::make_unique<AlertAnnouncer>(
        AlertAnnouncer::Parts{window, *m_panel, m_working, m_identity, m_clock, m_alerts, m_log, *m_prompt, m_worker,
                              [this](AlertChannels::Channel channel, const QString& alert) {
                                  return admitAlert(channel, alert);
                              }},
        [this] { return m_cycle.tickCounter(); }, this);
    connect(m_announcer.get(), &AlertAnnouncer::alertAnnounced, this, &Controller::alertAnnounced);
    connect(m_announcer.get(), &AlertAnnouncer::alertAnnounced, this, [this](const QString& alert) {
        if (m_channels)
            m_channels->handOff(alertFields(alert), m_clock.nowLocal());
    });
    m_binding = std::make_unique<SettingsBinding>(
        window, *m_panel, *m_grid, m_working, *m_prompt, m_identity,
        [this]() -> SettingsStore& { return *m_store; }, [this] { return m_refresher->lastRetrieval(); });
    m_binding->setLog(&m_log);
    connect(m_panel->channels, &QPushButton::clicked, this, &Controller::openChannels);
    connect(m_binding.get(), &SettingsBinding::refreshRequested, this, &Controller::askRefresh);
    Openers* openers = services.openers;
    if (!openers) {
        m_ownOpeners = std::make_unique<DesktopOpeners>();
        openers = m_ownOpeners.get();
    }
    m_export = std::make_unique<ExportAndViewers>(m_identity, m_clock, *m_prompt, *openers,
                                            services.spotDatabaseUrl);
    m_export->setLog(&m_log);
    m_find = new FindPanel(*m_grid, *m_prompt, window.gridArea);
    connect(m_find, &FindPanel::bandPicked, this, &Controller::bandPicked);
    m_map = new MapPanel(*m_grid, m_clock, services.earthImagePath, &window);
    m_map->setMaxLinesSource([this] { return m_window.maxLinesBar->value(); });
    connect(window.mapButton, &QPushButton::toggled, m_map, &QWidget::setVisible);
    connect(m_map, &MapPanel::shownChanged, window.mapButton, &QPushButton::setChecked);
    m_keys = std::make_unique<WindowKeys>(window, *m_find, *m_prompt, [this] { askRefresh(); },
                                          [this] { filterPass(true); }, this);
    m_viewers = std::make_unique<ViewerButtons>(window, *m_export, *m_grid, m_alerts, m_identity,
                                                [this] { return m_myCallSpots->lines(); }, this);

    connect(&window, &MainWindow::filterPassRequested, this, [this] { filterPass(true); });
    connect(&window, &MainWindow::filterPassKeepFocusRequested, this, [this] { filterPass(false); });
    connect(&window, &MainWindow::refreshRequested, this, &Controller::askRefresh);
    connect(&window, &MainWindow::pendingRefilterRequested, this, [this] { m_cycle.markPendingRefilter(); });
    connect(&window, &MainWindow::intervalChanged, m_refresher.get(), &Refresher::intervalChanged);
    connect(window.hideTxMi, &QCheckBox::toggled, this, [this](bool on) { m_grid->setHideTxMi(on); });

    m_timer.setInterval(1000);
    // No tick does anything before the start-up's first refresh has begun.
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_refresher->startedUp())
            m_cycle.tick();
    });
}

Controller::~Controller()
{
    // The find panel is the window's widget but watches the grid, which goes with this
    // object; the window lives on a while, and its last events must not reach the panel.
    m_find->stopWatching();
}


void Controller::bandPicked(const QString& band)
{
    // No band preset is saved or loaded on this path, unlike a switch through the band box.
    setComboText(m_window.bandBox, band);
    m_window.applyDistanceControlsRule(false);
    m_grid->setPerBandLayout();
    m_window.applyBandLayout();
    askRefresh();
}

// --- UpdateHost ---------------------------------------------------------------------------

void Controller::showLocalTime(const QString& text)
{
    m_window.localTime->setText(text);
}

bool Controller::utcFieldEmpty() const
{
    return m_window.utcTime->text().isEmpty();
}

void Controller::showUtc(const QString& text)
{
    m_window.utcTime->setText(text);
}

bool Controller::bandIsMyCall() const
{
    return m_window.bandBox->currentText() == kBandMyCall;
}

void Controller::showSlotProgress(int percent)
{
    m_window.slotBar->setValue(percent);
}

// --- The refresh ----------------------------------------------------------------------------

FetchRequest Controller::fetchControls() const
{
    FetchRequest request;
    request.band = m_window.bandBox->currentText();
    request.sortByKm = m_window.sortByKm->isChecked();
    request.historical = m_window.historical->isChecked();
    request.updateInterval = m_window.intervalBox->text().toInt();
    if (!m_identity.myCall.isEmpty())
        request.myCallSpots = m_myCallSpots->lines();
    request.source = currentSource();
    return request;
}

void Controller::refresh()
{
    m_refresher->tickRefresh();
}


void Controller::alertCheck()
{
    m_announcer->alertCheck();
}

void Controller::filterPass(bool focusGrid, bool byTimer)
{
    const FilterControls controls =
        m_filter->controls(m_refresher->fetchedBand(), m_refresher->pageParsed(), m_identity.myCall);
    const FilterResult r = FilterSpots(m_refresher->spots(), controls, m_clock, m_refresher->allBands(),
                                       m_alerts, *m_myCallSpots);
    if (r.end == FilterEnd::NotParsed)
        return;
    const std::optional<qsizetype> myCallCount =
        m_identity.myCall.isEmpty() ? std::nullopt : std::optional<qsizetype>(m_myCallSpots->size());
    m_filter->show(r, myCallCount, focusGrid, byTimer);
    if (m_channels) {
        MqttState state;
        state.band = m_window.bandBox->currentText();
        state.lastUpdate = m_refresher->lastRetrieval().toUTC();
        state.source = spotSourceName(currentSource());
        state.spotsShown = r.allBands ? r.rowCount - 1 : int(r.rows.size());
        const QString today = m_clock.nowUtc().toString(QStringLiteral("yyyy-MM-dd"));
        state.alertsToday = int(std::count_if(m_alerts.lines().begin(), m_alerts.lines().end(),
                                              [&](const QString& line) { return line.startsWith(today); }));
        state.lastAlert = m_alerts.lines().isEmpty() ? QString() : m_alerts.lines().last();
        m_channels->publishState(state);
    }
}

AlertFields Controller::alertFields(const QString& alert) const
{
    return alertFieldsFor(alert, m_refresher->spots(), spotSourceName(currentSource()),
                          QString::number(m_identity.instance));
}

bool Controller::admitAlert(AlertChannels::Channel channel, const QString& alert)
{
    return !m_channels || m_channels->admit(channel, alertFields(alert), m_clock.nowLocal());
}

void Controller::syncStore()
{
    // A dialog's values are stored at once, not only at closing.
    const SaveResult saved = m_store->sync();
    if (!saved.ok)
        m_log.writeTagged(QStringLiteral("Settings not saved: ") + saved.error);
}

void Controller::openChannels()
{
    if (!m_channels)
        return;
    auto* dialog = new ChannelsDialog(m_channels->settings(), hostName(),
                                      QString::number(m_identity.instance), &m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        const ChannelSettings s = dialog->settings();
        s.save(*m_store);
        syncStore();
        m_channels->apply(s);
    });
    dialog->open();
}

SpotSource Controller::currentSource() const
{
    return m_sourceOption.value_or(
        spotSourceFromName(m_panel->source->currentText()).value_or(SpotSource::Automatic));
}

// --- Start-up and shut-down ---------------------------------------------------------------

namespace {

// A save takes well under a minute; a temporary this old belongs to no running save.
constexpr qint64 kStaleSaveSecs = 10 * 60;

// The names of the data files saves replace: alerts history, spot page and lists, MyCall
// spots, account file, exports, band presets, activity page.
const QRegularExpression kOwnDataFiles(
    QStringLiteral("(WSPR|BeamtideExp|Activity|Band-|-spots).*\\.(txt|csv|htm)$"));

} // namespace


void Controller::startUp()
{
    // Once per process: a later activation (after a message box, say) does nothing.
    if (m_started)
        return;
    m_started = true;
    MainWindow& w = m_window;
    const QString& cmd = m_identity.commandLine;

    m_identity.filePrefix = filePrefixFor(cmd, hostName());
    const QString editor = textEditorOption(cmd);
    m_working.textEditor = editor.isEmpty() ? defaultTextEditor() : editor;
    m_export->setTextEditor(m_working.textEditor);
    w.exclusions->clear();
    m_working.lastAnnouncedAlert.clear();
    w.slotBar->setStyleSheet(QStringLiteral("QProgressBar::chunk { background: rgb(255, 0, 0); }"));

    // Saves cut short by a kill left their temporaries; minutes old, no copy is still writing them.
    const QDateTime staleBefore = QDateTime::currentDateTimeUtc().addSecs(-kStaleSaveSecs);
    QStringList stale = removeStaleSaveFiles(m_identity.folder, kOwnDataFiles, staleBefore);
    if (!m_store->fileName().isEmpty()) {
        const QFileInfo settingsFile(m_store->fileName());
        stale += removeStaleSaveFiles(
            settingsFile.absolutePath(),
            QRegularExpression(u'^' + QRegularExpression::escape(settingsFile.fileName()) + u'$'),
            staleBefore);
    }
    for (const QString& name : stale)
        m_log.writeTagged(QStringLiteral("Removed the unfinished save ") + name);

    m_alerts = AlertsHistory(AlertsHistory::filePath(m_identity));
    m_alerts.load();
    if (m_identity.hasOption(u"/trimalerts")) {
        const SaveResult trimmed = m_alerts.trim(m_clock.nowUtc());
        if (!trimmed.ok)
            m_log.writeTagged(trimmed.message());
    }
    w.instanceBox->setText(u'#' + QString::number(m_identity.instance));
    w.emailTest->setVisible(m_identity.hasOption(u"/emailtest"));

    m_identity.myCall = myCallFor(cmd);
    if (!m_identity.myCall.isEmpty()) {
        m_myCallSpots = std::make_unique<MyCallSpots>(MyCallSpots::filePath(m_identity));
        m_myCallSpots->load();
        w.mySpots->setVisible(true);
        w.bandBox->insertItem(0, kBandMyCall);
        w.myCallLines->setText(QString::number(m_myCallSpots->size()));
    }
    w.summary->setVisible(!m_identity.myCall.isEmpty() && m_export->summaryAvailable());

    const StartupSettings loaded = m_binding->startUpLoad(*m_store, m_identity.hasOption(u"/reset"));
    m_channels = std::make_unique<AlertChannels>(
        AlertChannels::Parts{hostName(), QString::number(m_identity.instance), programRetryDelays(),
                             [this](const QString& line) { m_log.writeTagged(line); }, {}},
        this);
    m_channels->apply(ChannelSettings::load(*m_store));
    if (!loaded.accountError.isEmpty())
        m_log.writeTagged(loaded.accountError);
    if (m_store->unreadable()) {
        m_log.writeTagged(m_store->unreadableMessage());
        m_prompt->showOnce(QStringLiteral("settingsfile"),
                           {QStringLiteral("Beamtide"), m_store->unreadableMessage(),
                            QMessageBox::Ok, QMessageBox::Warning});
    }

    w.diagBox->setVisible(m_identity.hasOption(u"/diagcol"));
    m_grid->setDiagColumns(m_identity.hasOption(u"/diagcol"));
    if (m_identity.hasOption(u"/noalert"))
        w.alerts->setChecked(false);
    m_identity.showAddress = showAddressFor(cmd);
    const SourceOption source = sourceOptionFor(cmd);
    m_sourceOption = source.source;
    if (source.given && !source.source)
        m_log.writeTagged(u"/source=" + source.text
                          + u" is not wsprnet, wsprlive or auto: the spot source of Setup stays");
    w.setWindowTitle(windowCaption(QCoreApplication::applicationFilePath()));

    applyLayouts();
    m_log.writeTagged(QStringLiteral("CMD ") + cmd);

    if (const std::optional<QString> band = bandOption(cmd))
        setComboText(w.bandBox, *band);
    // The layout follows the band options; the distance controls keep the loaded band's rule.
    applyBandLayout();
    m_map->restore(*m_store);
    startHistory();
    m_timer.start();
    // The address check, then the first refresh once the lookup has answered.
    m_refresher->startUp();
}

void Controller::startHistory()
{
    m_history = std::make_unique<History>(History::filePath(m_identity), m_log);
    connect(m_history.get(), &History::refused, this, [this](const QString& why) {
        m_prompt->showOnce(QStringLiteral("historyfile"),
                           {QStringLiteral("Beamtide"), why, QMessageBox::Ok, QMessageBox::Warning});
    });

    HistoryPanel::Sources sources;
    sources.band = [this] { return m_window.bandBox->currentText(); };
    sources.filter = [this] {
        const FilterControls c = m_filter->controls(m_refresher->fetchedBand(), m_refresher->pageParsed(),
                                                    m_identity.myCall);
        HeatFilter f;
        f.spotted = callFilterText(c.spottedFilter);
        f.spotter = callFilterText(c.spotterFilter);
        f.logic = c.logic;
        f.minKm = c.farAlertDistance;
        return f;
    };
    sources.alerts = [this] {
        QList<qint64> minutes;
        for (const QString& line : m_alerts.lines())
            if (const std::optional<qint64> at = readUtcMSecs(QStringView(line).left(line.indexOf(u','))))
                minutes << *at / 60000;
        return minutes;
    };
    sources.nowMinute = [this] { return m_clock.nowUtc().toMSecsSinceEpoch() / 60000; };
    sources.wsprLiveUrl = [this] { return m_jobs->fetcher().wsprLiveBaseUrl(); };
    sources.dataFile = [this](const QString& name) { return m_identity.plainFile(QString(m_identity.filePrefix + name)); };
    sources.server = [this] { return m_history->server(); };
    applyHistoryServer(HistoryServerSettings::load(*m_store));
    m_historyPanel = new HistoryPanel(*m_history, std::move(sources), &m_window);
    connect(m_window.historyButton, &QPushButton::toggled, m_historyPanel, [this](bool on) {
        if (!on) {
            m_historyPanel->hide();
            return;
        }
        // The grid's font and colours, as they are now.
        const GridColours& c = m_working.colours;
        m_historyPanel->setFont(m_window.grid->font());
        m_historyPanel->setColours(QColor::fromRgb(colourRgb(c.evenLine, 0xffffff)),
                                   QColor::fromRgb(colourRgb(c.look(TextClass::Normal).colour)),
                                   QColor::fromRgb(colourRgb(c.look(TextClass::BeyondDistance).colour, 0x0000c0)),
                                   QColor::fromRgb(colourRgb(c.look(TextClass::Alerts).colour, 0xff0000)));
        m_historyPanel->showForBand();
    });
    connect(m_historyPanel, &HistoryPanel::shownChanged, m_window.historyButton, &QPushButton::setChecked);
    connect(m_historyPanel, &HistoryPanel::serverAsked, this, &Controller::openHistoryServer);

    const auto follow = [this](bool on) {
        m_refresher->setHistory(on ? m_history.get() : nullptr);
        m_window.historyButton->setEnabled(on);
        if (!on)
            m_historyPanel->hide();
    };
    follow(m_panel->history->isChecked());
    connect(m_panel->history, &QCheckBox::toggled, this, follow);
}

void Controller::applyHistoryServer(const HistoryServerSettings& s)
{
    m_history->setServer(HistoryServer{s.server, s.user, s.password});
}

void Controller::openHistoryServer()
{
    auto* dialog = new HistoryServerDialog(HistoryServerSettings::load(*m_store), m_historyPanel);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        const HistoryServerSettings s = dialog->settings();
        s.save(*m_store);
        syncStore();
        applyHistoryServer(s);
        if (m_historyPanel->isVisible())
            m_historyPanel->reload();
    });
    dialog->open();
}

void Controller::applyBandLayout()
{
    m_window.applyBandLayout();
    if (m_window.bandBox->currentText() == kBandAll)
        m_grid->setAllBandsLayout();
    else
        m_grid->setPerBandLayout();
}

void Controller::applyLayouts()
{
    applyBandLayout();
    m_window.applyDistanceControlsRule();
}

void Controller::shutDown()
{
    if (!m_started || m_closed)
        return;
    m_closed = true;
    m_timer.stop();
    m_refresher->stop();
    // Alerts recorded since the last pass are saved too: none is lost at closing. A box would
    // hold the closing up; the log keeps what could not be saved.
    const SaveResult alerts = m_alerts.saveIfChanged();
    if (!alerts.ok)
        m_log.writeTagged(alerts.message());
    if (!m_identity.myCall.isEmpty()) {
        const SaveResult mine = m_myCallSpots->saveIfAny();
        if (!mine.ok)
            m_log.writeTagged(mine.message());
    }
    m_refresher->addressWatch().switchOff();
    m_map->store(*m_store);
    m_worker.stop(); // a transfer still running ends here, before the last log line
    if (m_history) {
        // The last answer's spots are written before the closing line.
        m_refresher->setHistory(nullptr);
        m_history->finishAtClosing();
    }
    if (m_channels)
        m_channels->stop(); // what waits is dropped with a log line, not sent hours later
    const SaveResult saved = m_binding->save(*m_store, m_refresher->lastRetrieval());
    // An unreadable file was reported at start-up, once.
    if (!saved.ok && !m_store->unreadable())
        m_log.writeTagged(QStringLiteral("Settings not saved: ") + saved.error);
    m_log.writeTagged(QStringLiteral("CLOSING"));
}

} // namespace beamtide
