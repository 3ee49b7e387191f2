#pragma once

#include "base/TextFile.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace beamtide {

// The filter set a band keeps: the controls a band preset file records, in file order.
struct BandPreset
{
    QString spotted;           // Spotted
    QString spotter;           // Spotter
    QString logic;             // Logic
    int updateInterval = 5;    // UI: the update interval
    int minDistanceBar = 1;    // MinDVal: unscaled
    int maxDistanceBar = 0;    // MaxDVal: unscaled
    int elapsedTime = 5;       // ETVal
    int maxLines = 5;          // ECVal
    int snrBar = 30;           // SNRVal: threshold + 30
    int toneBar = 4;           // ATNVal
    bool vhfDistMode = false;  // VDMOn
    bool sortByKm = false;     // SKMOn
    bool hideTxMi = false;     // HTXOn
    bool alerts = false;       // ALOn
    bool alertTones = false;   // ALTOn
    bool timeSet = false;      // TIMESELOn
    bool entriesSet = false;   // ECOn
    bool snrAlert = false;     // SNROn

    bool operator==(const BandPreset&) const = default;
};

// The 18 "key,value" lines of a preset file.
QStringList bandPresetLines(const BandPreset& preset);

// The controls a preset file sets, one key each, in file order.
enum class PresetKey {
    Spotted, Spotter, Logic,
    UpdateInterval, MinDistance, MaxDistance, ElapsedTime, MaxLines, Snr, Tone,
    VhfDistMode, SortByKm, HideTxMi, Alerts, AlertTones, TimeSet, EntriesSet, SnrAlert,
};

// One key of one preset line as it applies to its control.
struct PresetSetting
{
    PresetKey key;
    QString text;      // Spotted, Spotter, Logic
    int position = 0;  // the bars, clamped to their range
    bool ticked = false; // the boxes

    bool operator==(const PresetSetting&) const = default;
};

struct PresetRead
{
    BandPreset preset;     // the controls as the file leaves them
    // What to apply, line by line in file order; keys missing from the file are not here, so
    // their controls stay as they are.
    QList<PresetSetting> settings;
    QStringList problems;  // lines that were not applied, with the reason; for the run log
};

// Applies preset lines over the current controls. A line is applied for a key found in its
// part before the first comma, so a filter such as "VK2UI" never sets the UI bar; a bar value
// that is no whole number leaves its bar unchanged; bar positions are clamped to their bars;
// boxes are ticked only by exactly "True". Keys missing keep their control, the last line wins.
PresetRead readBandPreset(const QStringList& lines, const BandPreset& current);

// True for the bands whose switch shows the distance controls: 8, 6, 4, 2, 220, 432 and u.
// At start-up the window's own rule leaves out 8.
bool isVhfSwitchBand(QStringView band);
bool isVhfStartupBand(QStringView band);

// Per-band preset files "<prefix>Band-<band>.txt" in the working folder.
class BandPresets final
{
public:
    BandPresets(QString folder, QString filePrefix);

    // Empty when the band text cannot name a file here (empty, or a path such as "../x").
    QString pathFor(const QString& band) const;

    SaveResult save(const QString& band, const BandPreset& preset) const;
    // Nothing when the band has no preset file or it cannot be read.
    std::optional<PresetRead> load(const QString& band, const BandPreset& current) const;

private:
    QString m_folder;
    QString m_prefix;
};

// What one band switch does, in order: save the preset of the band being left (not on the first
// switch of a run), show or hide the distance controls, load the preset of the new band when
// "Use Last" is ticked, apply the band layout, refresh, and remember the new band.
struct BandSwitchPlan
{
    std::optional<QString> saveBand;  // trimmed previous band
    bool showDistanceControls = false;
    std::optional<QString> loadBand;  // trimmed new band
    bool allBandsLayout = false;
    QString previousBand;             // the previous band after the switch
};
BandSwitchPlan planBandSwitch(const QString& previousBand, const QString& newBand, bool useLast);

// The "Use Last" click saves the preset of the band shown, ticking or unticking.
inline QString useLastClickBand(const QString& bandText) { return bandText.trimmed(); }

} // namespace beamtide
