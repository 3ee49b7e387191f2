#include "window/setup/BandSwitch.h"

#include "base/Bars.h"

#include "window/grid/SpotGrid.h"
#include "window/main/MainWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QScrollBar>

#include <utility>

namespace beamtide {

BandSwitch::BandSwitch(MainWindow& window, SpotGrid& grid, const Identity& identity,
                       std::function<void(const QString&)> problem, QObject* parent)
    : QObject(parent), m_window(window), m_grid(grid), m_identity(identity), m_problem(std::move(problem))
{
    // Only the user changes the band: a pick from the list, or each key typed into the box.
    // Qt activates a typed text that names a listed band once more when the box loses the
    // focus or takes Enter; the keys have already switched to it, so that is no new switch.
    connect(window.bandBox, &QComboBox::textActivated, this, [this](const QString& band) {
        if (std::exchange(m_typedBand, QString()) != band)
            switchBand(band);
    });
    if (QLineEdit* typed = window.bandBox->lineEdit())
        connect(typed, &QLineEdit::textEdited, this, [this](const QString& band) {
            m_typedBand = band;
            switchBand(band);
        });
    // clicked, not toggled: the load sets the box without saving a preset.
    connect(window.useLast, &QCheckBox::clicked, this, &BandSwitch::useLastClicked);
}

BandPresets BandSwitch::bandPresets() const
{
    return BandPresets(m_identity.folder, m_identity.filePrefix);
}

BandPreset BandSwitch::currentPreset() const
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

void BandSwitch::applyPreset(const QList<PresetSetting>& settings)
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
            setBar(w.snrBar, w.snrBox, p.position, bars::snrThreshold);
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

void BandSwitch::savePreset(const QString& band)
{
    // A text that names no file (a path typed into the box) has no preset to keep.
    if (bandPresets().pathFor(band).isEmpty())
        return;
    const SaveResult saved = bandPresets().save(band, currentPreset());
    if (!saved.ok)
        m_problem(QStringLiteral("The settings of band ") + band + QStringLiteral(" were not saved. ")
                    + saved.message());
}

void BandSwitch::switchBand(const QString& newBand)
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
                m_problem(QStringLiteral("Some settings of band ") + *plan.loadBand
                            + QStringLiteral(" were not used:\n") + read->problems.join(u'\n'));
        } else {
            const QString path = bandPresets().pathFor(*plan.loadBand);
            if (!path.isEmpty() && QFileInfo::exists(path))
                m_problem(QStringLiteral("The settings of band ") + *plan.loadBand
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

void BandSwitch::useLastClicked()
{
    savePreset(useLastClickBand(m_window.bandBox->currentText()));
}

} // namespace beamtide
