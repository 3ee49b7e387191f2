#include "window/setup/SettingsBinding.h"

#include "base/RunLog.h"
#include "settings/SettingsReport.h"
#include "window/main/MainWindow.h"
#include "window/main/Prompt.h"
#include "window/setup/AccountPanel.h"
#include "window/setup/BandSwitch.h"
#include "window/setup/ColourPanel.h"
#include "window/setup/SetupPanel.h"
#include "window/setup/WorkingValues.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

namespace beamtide {

SettingsBinding::SettingsBinding(MainWindow& window, SetupPanel& panel, SpotGrid& grid,
                                 WorkingValues& working, Prompt& prompt, const Identity& identity,
                                 std::function<SettingsStore&()> store,
                                 std::function<QDateTime()> lastRetrieval, QObject* parent)
    : QObject(parent)
    , m_window(window)
    , m_panel(panel)
    , m_working(working)
    , m_prompt(prompt)
    , m_identity(identity)
    , m_store(std::move(store))
    , m_lastRetrieval(std::move(lastRetrieval))
{
    const auto problem = [this](const QString& text) { showProblem(text); };
    m_bands = std::make_unique<BandSwitch>(window, grid, identity, problem, this);
    m_account = std::make_unique<AccountPanel>(panel, working, identity, prompt, problem, this);
    m_colours = std::make_unique<ColourPanel>(panel, working, this);
    connect(m_bands.get(), &BandSwitch::refreshRequested, this, &SettingsBinding::refreshRequested);

    connect(window.setupButton, &QPushButton::clicked, this, &SettingsBinding::openPanel);
    connect(panel.saveClose, &QPushButton::clicked, this, [this] { saveAndClose(); });
    connect(panel.showRegistry, &QPushButton::clicked, this, &SettingsBinding::showReport);
    connect(panel.distanceScale, &QScrollBar::valueChanged, this, [this](int scale) {
        m_window.setDistanceScale(scale);
        m_panel.distanceScaleBox->setText(QString::number(scale));
    });
}

SettingsBinding::~SettingsBinding() = default;

const QString& SettingsBinding::previousBand() const
{
    return m_bands->previousBand();
}

StartupSettings SettingsBinding::startUpLoad(SettingsStore& store, bool resetOption)
{
    StartupSettings result = loadAtStartup(store, m_account->accountFile(), resetOption);
    applyLoad(result.settings);
    m_account->showStartUp(result);
    m_started = true;
    return result;
}

void SettingsBinding::load(const SettingsStore& store)
{
    StoredSettings settings = StoredSettings::load(store);
    // The launch count and the last announced alert are state of this run, stored only by the
    // next save. A later load must not put the stored ones back: an old count saved again makes
    // a first launch count as one once more (its reset wipes the settings at the next start),
    // and an old last alert makes the alert check announce the newest alert a second time.
    if (m_started) {
        settings.launchCount = m_working.launchCount;
        settings.lastAlert = m_working.lastAnnouncedAlert;
    }
    applyLoad(settings);
}

void SettingsBinding::applyLoad(const StoredSettings& s)
{
    // In load order: a bar or check box set here runs its own handler when the value changes,
    // so the distance scale comes before the distance bars, and Sort by KM before the boxes
    // its handler unticks. A combo box's text is set without its handler.
    MainWindow& w = m_window;
    SetupPanel& p = m_panel;
    m_working.launchCount = s.launchCount;
    p.launchCount->setText(QString::number(s.launchCount));
    p.distanceScale->setValue(s.distanceScale);
    w.setDistanceScale(s.distanceScale);
    p.distanceScaleBox->setText(QString::number(s.distanceScale));
    w.useLast->setChecked(s.useLast);
    setComboText(w.bandBox, s.band);
    w.spottedFilter->setText(s.spotted);
    w.spotterFilter->setText(s.spotter);
    setComboText(w.logicBox, s.logic);

    p.emailTo->setText(s.emailTo);
    p.userName->setText(s.smtpUserName);
    m_working.smtpHost = s.smtpHost;
    p.server->setText(s.smtpHost);
    if (!s.smtpHost.isEmpty())
        m_working.heloName = heloName(s.smtpHost);
    m_working.smtpPassword = s.smtpPassword;
    p.password->setText(s.smtpPassword);
    m_working.smtpPort = s.smtpPort;
    w.exclusions->setText(s.exclusionList);

    // The boxes beside the bars, and the distances, are set as well: under a new distance
    // scale they change even when their bars stay where they are.
    w.intervalBar->setValue(s.updateInterval);
    w.intervalBox->setText(QString::number(s.updateInterval));
    w.minKmBar->setValue(s.minDistanceBar);
    w.setMinDistance(s.minimumDistance());
    w.minKmBox->setText(QString::number(s.minimumDistance()));
    w.farAlertBar->setValue(s.farAlertBar);
    w.farAlertBox->setText(QString::number(s.farAlertDistance()));
    w.snrBar->setValue(s.snrBar);
    w.snrBox->setText(QString::number(s.snrThreshold()));
    w.maxLinesBar->setValue(s.maxLines);
    w.maxLinesBox->setText(QString::number(s.maxLines));
    w.elapsedBar->setValue(s.elapsedTime);
    w.elapsedBox->setText(QString::number(s.elapsedTime));
    w.maxKmBar->setValue(s.maxDistanceBar);
    w.setMaxDistance(s.maximumDistance());
    w.maxKmBox->setText(QString::number(s.maximumDistance()));

    w.sortByKm->setChecked(s.sortByKm);
    w.hideTxMi->setChecked(s.hideTxMi);
    w.historical->setChecked(s.historical);
    w.snrAlert->setChecked(s.snrAlert);
    w.farAlerts->setChecked(s.farAlert);
    m_working.lastAnnouncedAlert = s.lastAlert;
    w.alerts->setChecked(s.alerts);
    w.alertTones->setChecked(s.alertTones);
    w.alertTones->setVisible(s.alerts);
    w.setToneFrequency(s.toneFrequency);
    w.toneBar->setValue(s.toneBarPosition());
    w.toneBar->setVisible(s.alerts);
    w.timeWindow->setChecked(s.timeSet);
    w.entriesLimit->setChecked(s.linesSet);
    w.vhfDistMode->setChecked(s.vhfDistMode);
    p.desktopNotify->setChecked(s.desktopNotify);
    p.history->setChecked(s.history);
    p.minimiseToTray->setChecked(s.minimiseToTray);

    for (int i = 0; i < kTextClassCount; ++i) {
        const TextLook& look = s.textLooks[static_cast<std::size_t>(i)];
        m_working.colours.classes[static_cast<std::size_t>(i)].colour = look.colour;
        setComboText(p.textColour[i], look.colour);
    }
    for (int i = 0; i < kTextClassCount; ++i) {
        const bool bold = s.textLooks[static_cast<std::size_t>(i)].bold;
        m_working.colours.classes[static_cast<std::size_t>(i)].bold = bold;
        p.textBold[i]->setChecked(bold);
    }
    for (int i = 0; i < kBackgroundCount; ++i) {
        const QString& name = s.backgroundColours[static_cast<std::size_t>(i)];
        setBackgroundName(m_working.colours, i, name);
        setComboText(p.background[i], name);
    }
    setComboText(p.source, spotSourceName(s.source));

    // Applied at once and kept on the screen: a damaged or foreign size must not make a window
    // larger than the screen (or crash the platform), nor a position put it out of reach.
    const QRect r = onScreen(s.windowLeft, s.windowTop, s.windowWidth, s.windowHeight);
    w.move(r.topLeft());
    w.resize(r.size());
}

QRect SettingsBinding::onScreen(int left, int top, int width, int height) const
{
    const QScreen* screen = QGuiApplication::screenAt(QPoint(left, top));
    if (!screen)
        screen = m_window.screen();
    return keepOnScreen(left, top, width, height, screen ? screen->availableGeometry() : QRect());
}

StoredSettings SettingsBinding::collect() const
{
    const MainWindow& w = m_window;
    const SetupPanel& p = m_panel;
    StoredSettings s;
    const QRect kept = onScreen(w.x(), w.y(), w.width(), w.height());
    s.windowLeft = kept.x();
    s.windowTop = kept.y();
    s.windowWidth = kept.width();
    s.windowHeight = kept.height();
    s.launchCount = m_working.launchCount;
    s.distanceScale = w.distanceScale();
    s.useLast = w.useLast->isChecked();
    s.band = w.bandBox->currentText();
    s.spotted = w.spottedFilter->text();
    s.spotter = w.spotterFilter->text();
    s.logic = w.logicBox->currentText();
    s.emailTo = p.emailTo->text();
    s.smtpUserName = p.userName->text();
    s.smtpHost = m_working.smtpHost;
    s.smtpPassword = m_working.smtpPassword;
    s.smtpPort = m_working.smtpPort;
    s.exclusionList = w.exclusions->text();
    s.updateInterval = w.intervalBar->value();
    s.minDistanceBar = w.minKmBar->value();
    s.farAlertBar = w.farAlertBar->value();
    s.snrBar = w.snrBar->value();
    s.maxLines = w.maxLinesBar->value();
    s.elapsedTime = w.elapsedBar->value();
    s.maxDistanceBar = w.maxKmBar->value();
    s.sortByKm = w.sortByKm->isChecked();
    s.hideTxMi = w.hideTxMi->isChecked();
    s.historical = w.historical->isChecked();
    s.snrAlert = w.snrAlert->isChecked();
    s.farAlert = w.farAlerts->isChecked();
    s.lastAlert = m_working.lastAnnouncedAlert;
    s.alerts = w.alerts->isChecked();
    s.alertTones = w.alertTones->isChecked();
    s.toneFrequency = w.toneFrequency();
    s.timeSet = w.timeWindow->isChecked();
    s.linesSet = w.entriesLimit->isChecked();
    s.vhfDistMode = w.vhfDistMode->isChecked();
    s.desktopNotify = m_panel.desktopNotify->isChecked();
    s.history = m_panel.history->isChecked();
    s.minimiseToTray = m_panel.minimiseToTray->isChecked();
    s.textLooks = m_working.colours.classes;
    for (int i = 0; i < kBackgroundCount; ++i)
        s.backgroundColours[static_cast<std::size_t>(i)] = backgroundName(m_working.colours, i);
    s.source = spotSourceFromName(p.source->currentText()).value_or(SpotSource::Automatic);
    return s;
}

SaveResult SettingsBinding::save(SettingsStore& store, const QDateTime& lastRetrieval)
{
    const QString folder = m_identity.folder.isEmpty() ? QDir::currentPath() : m_identity.folder;
    collect().save(store, SaveContext{folder, lastRetrieval});
    return store.sync();
}















void SettingsBinding::openPanel()
{
    // Opening shows what is stored: unsaved edits in the window and the panel are replaced.
    load(m_store());
    m_account->maskFromShowBox();
    m_colours->showWorkingLooks();
    m_panel.showOverGrid();
}

bool SettingsBinding::saveAndClose()
{
    if (!m_account->store())
        return false;
    SettingsStore& store = m_store();
    const SaveResult saved = save(store, m_lastRetrieval ? m_lastRetrieval() : QDateTime());
    if (!saved.ok)
        showProblem(QStringLiteral("The settings could not be saved: ") + saved.error);
    load(store);
    m_panel.hide();
    return true;
}

void SettingsBinding::showReport()
{
    m_panel.report->clear();
    m_panel.report->setPlainText(settingsReport(m_store(), m_window.distanceScale()).join(u'\n'));
}

void SettingsBinding::showProblem(const QString& text)
{
    if (m_log)
        m_log->writeTagged(text);
    m_prompt.showOnce(QStringLiteral("settings"),
                      PromptRequest{QStringLiteral("Beamtide"), text, QMessageBox::Ok, QMessageBox::Warning});
}

} // namespace beamtide
