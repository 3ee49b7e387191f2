#include "settings/BandPresets.h"

#include "settings/Settings.h"

#include <QDir>

#include <array>

namespace beamtide {

namespace {

enum class Kind { Text, Bar, Box };

struct PresetKey
{
    const char16_t* key;
    Kind kind;
    QString BandPreset::*text = nullptr;
    int BandPreset::*bar = nullptr;
    bool BandPreset::*box = nullptr;
    BarRange range{0, 0};
};

// File order; also the order lines are tested against.
const std::array<PresetKey, 18> kKeys{{
    {u"Spotted", Kind::Text, &BandPreset::spotted},
    {u"Spotter", Kind::Text, &BandPreset::spotter},
    {u"Logic", Kind::Text, &BandPreset::logic},
    {u"UI", Kind::Bar, nullptr, &BandPreset::updateInterval, nullptr, bars::kUpdateInterval},
    {u"MinDVal", Kind::Bar, nullptr, &BandPreset::minDistanceBar, nullptr, bars::kMinDistance},
    {u"MaxDVal", Kind::Bar, nullptr, &BandPreset::maxDistanceBar, nullptr, bars::kMaxDistance},
    {u"ETVal", Kind::Bar, nullptr, &BandPreset::elapsedTime, nullptr, bars::kElapsedTime},
    {u"ECVal", Kind::Bar, nullptr, &BandPreset::maxLines, nullptr, bars::kMaxLines},
    {u"SNRVal", Kind::Bar, nullptr, &BandPreset::snrBar, nullptr, bars::kSnr},
    {u"ATNVal", Kind::Bar, nullptr, &BandPreset::toneBar, nullptr, bars::kTone},
    {u"VDMOn", Kind::Box, nullptr, nullptr, &BandPreset::vhfDistMode},
    {u"SKMOn", Kind::Box, nullptr, nullptr, &BandPreset::sortByKm},
    {u"HTXOn", Kind::Box, nullptr, nullptr, &BandPreset::hideTxMi},
    {u"ALOn", Kind::Box, nullptr, nullptr, &BandPreset::alerts},
    {u"ALTOn", Kind::Box, nullptr, nullptr, &BandPreset::alertTones},
    {u"TIMESELOn", Kind::Box, nullptr, nullptr, &BandPreset::timeSet},
    {u"ECOn", Kind::Box, nullptr, nullptr, &BandPreset::entriesSet},
    {u"SNROn", Kind::Box, nullptr, nullptr, &BandPreset::snrAlert},
}};

QString trueFalse(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

} // namespace

QStringList bandPresetLines(const BandPreset& preset)
{
    QStringList lines;
    for (const PresetKey& k : kKeys) {
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
        for (const PresetKey& k : kKeys) {
            if (!keyPart.contains(QStringView(k.key)))
                continue;
            switch (k.kind) {
            case Kind::Text:
                read.preset.*k.text = value;
                break;
            case Kind::Bar: {
                bool ok = false;
                const int position = value.trimmed().toInt(&ok, 10);
                if (ok)
                    read.preset.*k.bar = k.range.clamp(position);
                else
                    read.problems.append(QStringView(k.key) + u": not a whole number: " + value.left(64));
                break;
            }
            case Kind::Box:
                read.preset.*k.box = value == u"True";
                break;
            }
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
        return {false, QStringLiteral("no preset file for the band text \"") + band.left(64) + u'"'};
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
