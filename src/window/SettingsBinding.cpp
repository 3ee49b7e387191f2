#include "window/SettingsBinding.h"

#include "base/RunLog.h"
#include "settings/SettingsReport.h"
#include "window/MainWindow.h"
#include "window/Prompt.h"
#include "window/SetupPanel.h"
#include "window/SpotGrid.h"
#include "window/WorkingValues.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>

namespace beamtide {

namespace {

QString backgroundName(const GridColours& colours, int index)
{
    switch (static_cast<Background>(index)) {
    case Background::OddLine: return colours.oddLine;
    case Background::EvenLine: return colours.evenLine;
    case Background::Highlight: return colours.highlight;
    }
    return {};
}

void setBackgroundName(GridColours& colours, int index, const QString& name)
{
    switch (static_cast<Background>(index)) {
    case Background::OddLine: colours.oddLine = name; break;
    case Background::EvenLine: colours.evenLine = name; break;
    case Background::Highlight: colours.highlight = name; break;
    }
}

QString accountPath(const Identity& identity)
{
    return identity.plainFile(QString(identity.filePrefix + u"WSPRsmtp.txt"));
}

} // namespace

SettingsBinding::SettingsBinding(MainWindow& window, SetupPanel& panel, SpotGrid& grid,
                                 WorkingValues& working, Prompt& prompt, const Identity& identity,
                                 std::function<SettingsStore&()> store,
                                 std::function<QDateTime()> lastRetrieval, QObject* parent)
    : QObject(parent)
    , m_window(window)
    , m_panel(panel)
    , m_grid(grid)
    , m_working(working)
    , m_prompt(prompt)
    , m_identity(identity)
    , m_store(std::move(store))
    , m_lastRetrieval(std::move(lastRetrieval))
{
    m_panel.custom->setVisible(identity.hasOption(u"/custom"));
    connectHandlers();
}

SettingsBinding::~SettingsBinding() = default;

BandPresets SettingsBinding::bandPresets() const
{
    return BandPresets(m_identity.folder, m_identity.filePrefix);
}

AccountFile SettingsBinding::accountFile() const
{
    return AccountFile(accountPath(m_identity));
}

void SettingsBinding::connectHandlers()
{
    MainWindow& w = m_window;
    SetupPanel& p = m_panel;

    // Only the user changes the band: a pick from the list, or each key typed into the box.
    connect(w.bandBox, &QComboBox::textActivated, this, &SettingsBinding::switchBand);
    if (QLineEdit* typed = w.bandBox->lineEdit())
        connect(typed, &QLineEdit::textEdited, this, &SettingsBinding::switchBand);
    // clicked, not toggled: the load sets the box without saving a preset.
    connect(w.useLast, &QCheckBox::clicked, this, &SettingsBinding::useLastClicked);

    connect(w.setupButton, &QPushButton::clicked, this, &SettingsBinding::openPanel);
    connect(p.saveClose, &QPushButton::clicked, this, [this] { saveAndClose(); });
    connect(p.showRegistry, &QPushButton::clicked, this, &SettingsBinding::showReport);
    connect(p.distanceScale, &QScrollBar::valueChanged, this, [this](int scale) {
        m_window.setDistanceScale(scale);
        m_panel.distanceScaleBox->setText(QString::number(scale));
    });

    connect(p.server, &QLineEdit::textChanged, this, [this](const QString& host) { m_working.smtpHost = host; });
    connect(p.showPassword, &QCheckBox::toggled, this, &SettingsBinding::applyMaskRule);
    connect(p.password, &QLineEdit::textEdited, this, &SettingsBinding::maskFromShowBox);
    connect(p.defaultTls, &QPushButton::clicked, this, [this] { applyAccountPreset(AccountPreset::DefaultTls); });
    connect(p.defaultSsl, &QPushButton::clicked, this, [this] { applyAccountPreset(AccountPreset::DefaultSsl); });
    connect(p.gmail, &QPushButton::clicked, this, [this] { applyAccountPreset(AccountPreset::Gmail); });
    connect(p.custom, &QPushButton::clicked, this, &SettingsBinding::loadCustomAccount);

    for (int i = 0; i < kTextClassCount; ++i) {
        connect(p.textColour[i], &QComboBox::currentTextChanged, this, [this, i] { textColourChanged(i); });
        connect(p.textBold[i], &QCheckBox::toggled, this, [this, i](bool bold) { boldClicked(i, bold); });
    }
    for (int i = 0; i < kBackgroundCount; ++i)
        connect(p.background[i], &QComboBox::currentTextChanged, this, [this, i] { backgroundChanged(i); });
}

StartupSettings SettingsBinding::startUpLoad(SettingsStore& store, bool resetOption)
{
    m_panel.custom->setVisible(m_identity.hasOption(u"/custom"));
    StartupSettings result = loadAtStartup(store, accountFile(), resetOption);
    applyLoad(result.settings);
    // The account fields as the relay preset and the account file left them; Show starts unticked.
    m_panel.showPassword->setChecked(result.account.show);
    m_panel.emailTo->setText(result.account.emailTo);
    m_panel.server->setText(result.account.server);
    m_panel.userName->setText(result.account.userName);
    m_panel.password->setText(result.account.password);
    setComboText(m_panel.portBox, result.account.portText);
    m_working.smtpPort = result.smtpPort;
    maskFromShowBox();
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

BandPreset SettingsBinding::currentPreset() const
{
    const MainWindow& w = m_window;
    BandPreset p;
    p.spotted = w.spottedFilter->text();
    p.spotter = w.spotterFilter->text();
    p.logic = w.logicBox->currentText();
    p.updateInterval = w.intervalBar->value();
    p.minDistanceBar = w.minKmBar->value();
    p.maxDistanceBar = w.maxKmBar->value();
    p.elapsedTime = w.elapsedBar->value();
    p.maxLines = w.maxLinesBar->value();
    p.snrBar = w.snrBar->value();
    p.toneBar = w.toneBar->value();
    p.vhfDistMode = w.vhfDistMode->isChecked();
    p.sortByKm = w.sortByKm->isChecked();
    p.hideTxMi = w.hideTxMi->isChecked();
    p.alerts = w.alerts->isChecked();
    p.alertTones = w.alertTones->isChecked();
    p.timeSet = w.timeWindow->isChecked();
    p.entriesSet = w.entriesLimit->isChecked();
    p.snrAlert = w.snrAlert->isChecked();
    return p;
}

void SettingsBinding::applyPreset(const QList<PresetSetting>& settings)
{
    MainWindow& w = m_window;
    // Each bar's handler runs when its position changes; its box is set either way.
    const auto setBar = [](QScrollBar* bar, QLineEdit* box, int position, auto shown) {
        bar->setValue(position);
        if (box)
            box->setText(QString::number(shown(bar->value())));
    };
    const auto same = [](int position) { return position; };
    const auto scaled = [&w](int position) { return position * w.distanceScale(); };
    // Line by line in file order, so each box's own handler runs as it would for that line.
    for (const PresetSetting& p : settings) {
        switch (p.key) {
        case PresetKey::Spotted: w.spottedFilter->setText(p.text); break;
        case PresetKey::Spotter: w.spotterFilter->setText(p.text); break;
        case PresetKey::Logic: setComboText(w.logicBox, p.text); break;
        case PresetKey::UpdateInterval: setBar(w.intervalBar, w.intervalBox, p.position, same); break;
        case PresetKey::MinDistance:
            setBar(w.minKmBar, nullptr, p.position, same);
            w.setMinDistance(scaled(w.minKmBar->value()));
            break;
        case PresetKey::MaxDistance:
            setBar(w.maxKmBar, nullptr, p.position, same);
            w.setMaxDistance(scaled(w.maxKmBar->value()));
            break;
        case PresetKey::ElapsedTime: setBar(w.elapsedBar, w.elapsedBox, p.position, same); break;
        case PresetKey::MaxLines: setBar(w.maxLinesBar, w.maxLinesBox, p.position, same); break;
        case PresetKey::Snr:
            setBar(w.snrBar, w.snrBox, p.position, [](int position) { return position - 30; });
            break;
        case PresetKey::Tone: setBar(w.toneBar, nullptr, p.position, same); break;
        case PresetKey::VhfDistMode: w.vhfDistMode->setChecked(p.ticked); break;
        case PresetKey::SortByKm: w.sortByKm->setChecked(p.ticked); break;
        case PresetKey::HideTxMi: w.hideTxMi->setChecked(p.ticked); break;
        case PresetKey::Alerts: w.alerts->setChecked(p.ticked); break;
        case PresetKey::AlertTones: w.alertTones->setChecked(p.ticked); break;
        case PresetKey::TimeSet: w.timeWindow->setChecked(p.ticked); break;
        case PresetKey::EntriesSet: w.entriesLimit->setChecked(p.ticked); break;
        case PresetKey::SnrAlert: w.snrAlert->setChecked(p.ticked); break;
        }
    }
}

void SettingsBinding::savePreset(const QString& band)
{
    // A text that names no file (a path typed into the box) has no preset to keep.
    if (bandPresets().pathFor(band).isEmpty())
        return;
    const SaveResult saved = bandPresets().save(band, currentPreset());
    if (!saved.ok)
        showProblem(QStringLiteral("The settings of band ") + band + QStringLiteral(" were not saved. ")
                    + saved.message());
}

void SettingsBinding::switchBand(const QString& newBand)
{
    const BandSwitchPlan plan = planBandSwitch(m_previousBand, newBand, m_window.useLast->isChecked());
    if (plan.saveBand)
        savePreset(*plan.saveBand);
    m_window.applyDistanceControlsRule(true);
    if (plan.loadBand) {
        const std::optional<PresetRead> read = bandPresets().load(*plan.loadBand, currentPreset());
        if (read) {
            applyPreset(read->settings);
            if (!read->problems.isEmpty())
                showProblem(QStringLiteral("Some settings of band ") + *plan.loadBand
                            + QStringLiteral(" were not used:\n") + read->problems.join(u'\n'));
        } else {
            const QString path = bandPresets().pathFor(*plan.loadBand);
            if (!path.isEmpty() && QFileInfo::exists(path))
                showProblem(QStringLiteral("The settings of band ") + *plan.loadBand
                            + QStringLiteral(" could not be read from ") + path);
        }
    }
    if (plan.allBandsLayout)
        m_grid.setAllBandsLayout();
    else
        m_grid.setPerBandLayout();
    m_window.applyBandLayout();
    // Remembered before the refresh, so a switch started from inside it sees this one done.
    m_previousBand = plan.previousBand;
    Q_EMIT refreshRequested();
}

void SettingsBinding::useLastClicked()
{
    savePreset(useLastClickBand(m_window.bandBox->currentText()));
}

AccountFields SettingsBinding::accountFields() const
{
    AccountFields f;
    f.emailTo = m_panel.emailTo->text();
    f.server = m_panel.server->text();
    f.userName = m_panel.userName->text();
    f.password = m_panel.password->text();
    f.portText = m_panel.portBox->currentText();
    f.show = m_panel.showPassword->isChecked();
    return f;
}

void SettingsBinding::setAccountFields(const AccountFields& f)
{
    // The Show box first, so its mask rule runs before the fields change, as a preset does.
    m_panel.showPassword->setChecked(f.show);
    m_panel.emailTo->setText(f.emailTo);
    m_panel.server->setText(f.server);
    m_panel.userName->setText(f.userName);
    m_panel.password->setText(f.password);
    setComboText(m_panel.portBox, f.portText);
}

void SettingsBinding::applyAccountPreset(AccountPreset preset)
{
    if (preset == AccountPreset::Gmail)
        setComboText(m_panel.portBox, QStringLiteral("587"));
    const PresetResult result = beamtide::applyAccountPreset(preset, accountFields());
    setAccountFields(result.fields);
    m_working.smtpPort = result.smtpPort;
    m_panel.password->setEchoMode(result.inClear ? QLineEdit::Normal : QLineEdit::Password);
}

void SettingsBinding::loadCustomAccount()
{
    m_panel.showPassword->setChecked(true);
    const AccountFile file = accountFile();
    const AccountFile::Load load = file.load(accountFields());
    if (!load.found) {
        if (QFileInfo::exists(file.path()))
            showProblem(QStringLiteral("The account file could not be read: ") + file.path());
        return;
    }
    setAccountFields(load.fields);
    if (load.smtpPort)
        m_working.smtpPort = *load.smtpPort;
    if (!load.error.isEmpty())
        showProblem(load.error);
}

void SettingsBinding::applyMaskRule()
{
    const bool clear = passwordInClear(m_panel.showPassword->isChecked(), m_panel.password->text(),
                                       m_panel.server->text());
    m_panel.password->setEchoMode(clear ? QLineEdit::Normal : QLineEdit::Password);
}

void SettingsBinding::maskFromShowBox()
{
    m_panel.password->setEchoMode(m_panel.showPassword->isChecked() ? QLineEdit::Normal : QLineEdit::Password);
}

void SettingsBinding::textColourChanged(int index)
{
    const QString name = m_panel.textColour[index]->currentText();
    m_panel.setPreviewTextColour(colourRgb(name));
    // Bold makes the preview bold; a plain class leaves its weight as it was.
    if (m_panel.textBold[index]->isChecked())
        m_panel.setPreviewBold(true);
    m_working.colours.classes[static_cast<std::size_t>(index)].colour = name;
}

void SettingsBinding::backgroundChanged(int index)
{
    const QString name = m_panel.background[index]->currentText();
    setBackgroundName(m_working.colours, index, name);
    m_panel.setPreviewBackground(backgroundRgb(static_cast<Background>(index), name));
}

void SettingsBinding::boldClicked(int index, bool bold)
{
    m_panel.setPreviewBold(bold);
    m_working.colours.classes[static_cast<std::size_t>(index)].bold = bold;
}

void SettingsBinding::openPanel()
{
    // Opening shows what is stored: unsaved edits in the window and the panel are replaced.
    load(m_store());
    maskFromShowBox();
    for (int i = 0; i < kTextClassCount; ++i) {
        const TextLook& look = m_working.colours.classes[static_cast<std::size_t>(i)];
        setComboText(m_panel.textColour[i], look.colour);
        m_panel.textBold[i]->setChecked(look.bold);
    }
    m_panel.showOverGrid();
}

bool SettingsBinding::saveAndClose()
{
    const AccountFields fields = accountFields();
    const AccountFile file = accountFile();
    const AccountFile::Save account = file.save(fields, m_working.smtpPort);
    if (account.outcome == AccountFile::Outcome::Refused) {
        // Nothing is stored and the panel stays open, so the port can be corrected.
        m_prompt.ask(PromptRequest{QStringLiteral("Beamtide"), account.error, QMessageBox::Ok,
                                   QMessageBox::Warning});
        return false;
    }
    m_working.smtpPassword = fields.password;
    m_working.smtpHost = fields.server;
    m_working.smtpPort = account.smtpPort;
    if (account.outcome == AccountFile::Outcome::Failed)
        showProblem(QStringLiteral("The account file ") + file.path()
                    + QStringLiteral(" could not be changed: ") + account.error);

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
