#include "settings/BandPresets.h"

#include "settings/Settings.h"

#include <QDir>

#include <array>

namespace beamtide {

namespace {

enum class Kind { Text, Bar, Box };

struct KeyInfo
{
    const char16_t* key;
    PresetKey id;
    Kind kind;
    QString BandPreset::*text = nullptr;
    int BandPreset::*bar = nullptr;
    bool BandPreset::*box = nullptr;
    BarRange range{0, 0};
};

// File order; also the order lines are tested against.
const std::array<KeyInfo, 18> kKeys{{
    {u"Spotted", PresetKey::Spotted, Kind::Text, &BandPreset::spotted},
    {u"Spotter", PresetKey::Spotter, Kind::Text, &BandPreset::spotter},
    {u"Logic", PresetKey::Logic, Kind::Text, &BandPreset::logic},
    {u"UI", PresetKey::UpdateInterval, Kind::Bar, nullptr, &BandPreset::updateInterval, nullptr, bars::kUpdateInterval},
    {u"MinDVal", PresetKey::MinDistance, Kind::Bar, nullptr, &BandPreset::minDistanceBar, nullptr, bars::kMinDistance},
    {u"MaxDVal", PresetKey::MaxDistance, Kind::Bar, nullptr, &BandPreset::maxDistanceBar, nullptr, bars::kMaxDistance},
    {u"ETVal", PresetKey::ElapsedTime, Kind::Bar, nullptr, &BandPreset::elapsedTime, nullptr, bars::kElapsedTime},
    {u"ECVal", PresetKey::MaxLines, Kind::Bar, nullptr, &BandPreset::maxLines, nullptr, bars::kMaxLines},
    {u"SNRVal", PresetKey::Snr, Kind::Bar, nullptr, &BandPreset::snrBar, nullptr, bars::kSnr},
    {u"ATNVal", PresetKey::Tone, Kind::Bar, nullptr, &BandPreset::toneBar, nullptr, bars::kTone},
    {u"VDMOn", PresetKey::VhfDistMode, Kind::Box, nullptr, nullptr, &BandPreset::vhfDistMode},
    {u"SKMOn", PresetKey::SortByKm, Kind::Box, nullptr, nullptr, &BandPreset::sortByKm},
    {u"HTXOn", PresetKey::HideTxMi, Kind::Box, nullptr, nullptr, &BandPreset::hideTxMi},
    {u"ALOn", PresetKey::Alerts, Kind::Box, nullptr, nullptr, &BandPreset::alerts},
    {u"ALTOn", PresetKey::AlertTones, Kind::Box, nullptr, nullptr, &BandPreset::alertTones},
    {u"TIMESELOn", PresetKey::TimeSet, Kind::Box, nullptr, nullptr, &BandPreset::timeSet},
    {u"ECOn", PresetKey::EntriesSet, Kind::Box, nullptr, nullptr, &BandPreset::entriesSet},
    {u"SNROn", PresetKey::SnrAlert, Kind::Box, nullptr, nullptr, &BandPreset::snrAlert},
}};

QString trueFalse(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

} // namespace

QStringList bandPresetLines(const BandPreset& preset)
{
    QStringList lines;
    for (const KeyInfo& k : kKeys) {
        QString value;
        switch (k.kind) {
        case Kind::Text: value = preset.*k.text; break;
        case Kind::Bar: value = QString::number(preset.*k.bar); break;
        case Kind::Box: value = trueFalse(preset.*k.box); break;
        }
        lines.append(QStringView(k.key) + u',' + value);
    }
    return lines;
}

PresetRead readBandPreset(const QStringList& lines, const BandPreset& current)
{
    PresetRead read{current, {}};
    for (const QString& line : lines) {
        const qsizetype comma = line.indexOf(u',');
        const QStringView keyPart = comma < 0 ? QStringView(line) : QStringView(line).left(comma);
        const QString value = comma < 0 ? QString() : line.mid(comma + 1);
        for (const KeyInfo& k : kKeys) {
            if (!keyPart.contains(QStringView(k.key)))
                continue;
            PresetSetting setting{k.id};
            switch (k.kind) {
            case Kind::Text:
                read.preset.*k.text = setting.text = value;
                break;
            case Kind::Bar: {
                bool ok = false;
                const int position = value.trimmed().toInt(&ok, 10);
                if (!ok) {
                    read.problems.append(QStringView(k.key) + u": not a whole number: " + value.left(64));
                    continue;
                }
                read.preset.*k.bar = setting.position = k.range.clamp(position);
                break;
            }
            case Kind::Box:
                read.preset.*k.box = setting.ticked = value == u"True";
                break;
            }
            read.settings.append(setting);
        }
    }
    return read;
}

bool isVhfStartupBand(QStringView band)
{
    const QStringView b = band.trimmed();
    return b == u"6" || b == u"4" || b == u"2" || b == u"220" || b == u"432" || b == u"u";
}

bool isVhfSwitchBand(QStringView band)
{
    return band.trimmed() == u"8" || isVhfStartupBand(band);
}

BandPresets::BandPresets(QString folder, QString filePrefix)
    : m_folder(std::move(folder))
    , m_prefix(std::move(filePrefix))
{
}

QString BandPresets::pathFor(const QString& band) const
{
    const QString name = band.trimmed();
    // A band typed into the box must not reach outside the working folder.
    if (name.isEmpty() || name == u"." || name == u".." || name.contains(u'/') || name.contains(u'\\')
        || name.contains(u':'))
        return {};
    for (const QChar c : name) {
        if (c.unicode() < 0x20)
            return {};
    }
    const QString file = m_prefix + u"Band-" + name + u".txt";
    return m_folder.isEmpty() ? file : QDir(m_folder).filePath(file);
}

SaveResult BandPresets::save(const QString& band, const BandPreset& preset) const
{
    const QString path = pathFor(band);
    if (path.isEmpty())
        return {false, QStringLiteral("no preset file for the band text \"") + band.left(64) + u'"',
                path};
    return saveLines(path, bandPresetLines(preset));
}

std::optional<PresetRead> BandPresets::load(const QString& band, const BandPreset& current) const
{
    const QString path = pathFor(band);
    if (path.isEmpty())
        return std::nullopt;
    const std::optional<QStringList> lines = readLines(path);
    if (!lines)
        return std::nullopt;
    return readBandPreset(*lines, current);
}

BandSwitchPlan planBandSwitch(const QString& previousBand, const QString& newBand, bool useLast)
{
    BandSwitchPlan plan;
    if (!previousBand.trimmed().isEmpty())
        plan.saveBand = previousBand.trimmed();
    plan.showDistanceControls = isVhfSwitchBand(newBand);
    if (useLast && !newBand.trimmed().isEmpty())
        plan.loadBand = newBand.trimmed();
    plan.allBandsLayout = newBand == u"All";
    plan.previousBand = newBand;
    return plan;
}

} // namespace beamtide
