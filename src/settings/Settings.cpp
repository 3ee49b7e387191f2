#include "settings/Settings.h"

#include "settings/ChannelSettings.h"
#include "settings/HistoryServerSettings.h"

#include "base/Config.h"

#include <QDir>

#include <algorithm>
#include <limits>

namespace beamtide {

namespace {

// A bar position outside its bar moves to the nearest end; geometry, launch count and port
// outside their range are damage and give the default.
enum class OutOfRange { Clamp, Default };

struct IntValue
{
    const char16_t* name;
    int StoredSettings::*member;
    BarRange range;
    OutOfRange outOfRange = OutOfRange::Clamp;
};

struct BoolValue
{
    const char16_t* name;
    bool StoredSettings::*member;
};

struct TextValue
{
    const char16_t* name;
    QString StoredSettings::*member;
};

constexpr int kIntMax = std::numeric_limits<int>::max();
constexpr int kIntMin = std::numeric_limits<int>::min();

// The tone bar's 400..2000 Hz keeps a damaged value from reaching the tone generator.
const IntValue kInts[] = {
    {u"BeamtideLeft", &StoredSettings::windowLeft, {kIntMin, kIntMax}},
    {u"BeamtideTop", &StoredSettings::windowTop, {kIntMin, kIntMax}},
    {u"BeamtideWidth", &StoredSettings::windowWidth, {1, kIntMax}, OutOfRange::Default},
    {u"BeamtideHeight", &StoredSettings::windowHeight, {1, kIntMax}, OutOfRange::Default},
    {u"WSPRRunCount", &StoredSettings::launchCount, {0, kIntMax}, OutOfRange::Default},
    {u"BeamtideDScale", &StoredSettings::distanceScale, bars::kDistanceScale},
    {u"WSPRSMTPport", &StoredSettings::smtpPort, {1, 65535}, OutOfRange::Default},
    {u"WSPRUpdInterval", &StoredSettings::updateInterval, bars::kUpdateInterval},
    {u"WSPRDist", &StoredSettings::minDistanceBar, bars::kMinDistance},
    {u"WSPRLDThresh", &StoredSettings::farAlertBar, bars::kFarAlert},
    {u"WSPRdBmVal", &StoredSettings::snrBar, bars::kSnr},
    {u"WSPRGridNos", &StoredSettings::maxLines, bars::kMaxLines},
    {u"WSPRet", &StoredSettings::elapsedTime, bars::kElapsedTime},
    {u"WSPRMaxD", &StoredSettings::maxDistanceBar, bars::kMaxDistance},
    {u"WSPRToneF", &StoredSettings::toneFrequency, {bars::kTone.min * 100, bars::kTone.max * 100}},
};

const BoolValue kBools[] = {
    {u"WSPRLastSet", &StoredSettings::useLast},
    {u"WSPRSortDistance", &StoredSettings::sortByKm},
    {u"WSPRHideCols", &StoredSettings::hideTxMi},
    {u"WSPRHistorical", &StoredSettings::historical},
    {u"WSPRdBmAlert", &StoredSettings::snrAlert},
    {u"WSPRDistAlert", &StoredSettings::farAlert},
    {u"WSPRSigAlert", &StoredSettings::alerts},
    {u"WSPRToneAlert", &StoredSettings::alertTones},
    {u"WSPRTimeSet", &StoredSettings::timeSet},
    {u"WSPRLinesSet", &StoredSettings::linesSet},
    {u"WSPRDistMode", &StoredSettings::vhfDistMode},
    {u"BeamtideNotify", &StoredSettings::desktopNotify},
    {u"BeamtideMinToTray", &StoredSettings::minimiseToTray},
    {u"BeamtideHistory", &StoredSettings::history},
};

const TextValue kTexts[] = {
    {u"WSPRBand", &StoredSettings::band},
    {u"WSPRSpotted", &StoredSettings::spotted},
    {u"WSPRSpotter", &StoredSettings::spotter},
    {u"WSPRLogic", &StoredSettings::logic},
    {u"WSPREmail", &StoredSettings::emailTo},
    {u"WSPRSMPTUserName", &StoredSettings::smtpUserName},
    {u"WSPRSMTPHost", &StoredSettings::smtpHost},
    {u"WSPRSMTPpwd", &StoredSettings::smtpPassword},
    {u"WSPRNoSpot", &StoredSettings::exclusionList},
    {u"WSPRLastAlert", &StoredSettings::lastAlert},
};

// The 31 values a reset deletes; the legacy unsuffixed names are the same but three.
const char16_t* const kResetNames[] = {
    u"BeamtideLeft", u"BeamtideTop", u"BeamtideWidth", u"BeamtideHeight", u"WSPRRunCount",
    u"WSPRToneAlert", u"BeamtideLastGet", u"WSPRBand", u"WSPRSpotted", u"WSPRSpotter", u"WSPRLogic",
    u"WSPREmail", u"WSPRSMTPHost", u"WSPRSMTPpwd", u"WSPRSMTPport", u"WSPRSMPTUserName",
    u"WSPRUpdInterval", u"WSPRDist", u"WSPRdBmVal", u"WSPRGridNos", u"WSPRet", u"WSPRMaxD",
    u"WSPRSortDistance", u"WSPRHideCols", u"WSPRHistorical", u"WSPRdBmAlert", u"WSPRSigAlert",
    u"WSPRTimeSet", u"WSPRLinesSet", u"WSPRDSTSet", u"WSPRDistMode",
    // Our own additions go back to their defaults too, the map panel's place like the window's.
    u"BeamtideNotify", u"BeamtideMinToTray", u"BeamtideSource", u"BeamtideMap",
    u"BeamtideHistory",
};

bool keptUnsuffixed(QStringView name)
{
    return name == u"WSPRRunCount" || name == u"WSPRToneAlert" || name == u"WSPRSMPTUserName";
}

} // namespace

QRect keepOnScreen(int left, int top, int width, int height, const QRect& screen)
{
    if (!screen.isValid())
        return QRect(left, top, std::max(width, 1), std::max(height, 1));
    // 64-bit sums: stored values may sit at the integer limits.
    const auto fit = [](qint64 start, qint64 size, qint64 areaStart, qint64 areaSize) {
        size = std::clamp<qint64>(size, 1, areaSize);
        start = std::clamp<qint64>(start, areaStart, areaStart + areaSize - size);
        return std::pair{int(start), int(size)};
    };
    const auto [x, w] = fit(left, width, screen.x(), screen.width());
    const auto [y, h] = fit(top, height, screen.y(), screen.height());
    return QRect(x, y, w, h);
}

StoredSettings::StoredSettings()
    : smtpPassword(QString::fromLatin1(config::kRelayPassword))
{
    for (const TextClassInfo& info : textClasses())
        textLooks[static_cast<std::size_t>(info.textClass)] = {QStringView(info.defaultColour).toString(), info.defaultBold};
    for (const BackgroundInfo& info : backgrounds())
        backgroundColours[static_cast<std::size_t>(info.background)] = QStringView(info.defaultColour).toString();
}

StoredSettings StoredSettings::load(const SettingsStore& store)
{
    StoredSettings s;
    for (const IntValue& v : kInts) {
        const int fallback = s.*v.member;
        const int read = store.readInt(v.name, fallback);
        if (v.outOfRange == OutOfRange::Clamp)
            s.*v.member = v.range.clamp(read);
        else
            s.*v.member = read < v.range.min || read > v.range.max ? fallback : read;
    }
    for (const BoolValue& v : kBools)
        s.*v.member = store.readBool(v.name, s.*v.member);
    for (const TextValue& v : kTexts)
        s.*v.member = store.readText(v.name, s.*v.member);
    for (const TextClassInfo& info : textClasses()) {
        TextLook& look = s.textLooks[static_cast<std::size_t>(info.textClass)];
        look.colour = store.readText(info.colourKey, look.colour);
        look.bold = store.readBool(info.boldKey, look.bold);
    }
    for (const BackgroundInfo& info : backgrounds()) {
        QString& colour = s.backgroundColours[static_cast<std::size_t>(info.background)];
        colour = store.readText(info.key, colour);
    }
    s.source = spotSourceFromName(store.readText(u"BeamtideSource", spotSourceName(s.source)))
                   .value_or(SpotSource::Automatic);
    return s;
}

void StoredSettings::save(SettingsStore& store, const SaveContext& context) const
{
    for (const IntValue& v : kInts)
        store.writeInt(v.name, this->*v.member);
    for (const BoolValue& v : kBools)
        store.writeBool(v.name, this->*v.member);
    for (const TextValue& v : kTexts)
        store.writeText(v.name, this->*v.member);
    for (const TextClassInfo& info : textClasses()) {
        const TextLook& look = textLooks[static_cast<std::size_t>(info.textClass)];
        store.writeText(info.colourKey, look.colour);
        store.writeBool(info.boldKey, look.bold);
    }
    for (const BackgroundInfo& info : backgrounds())
        store.writeText(info.key, backgroundColours[static_cast<std::size_t>(info.background)]);
    store.writeText(u"BeamtideSource", spotSourceName(source));
    store.writeText(u"BeamtideFolder", folderText(context.folder));
    store.writeText(u"BeamtideLastGet", lastGetText(context.lastRetrieval));
}

QString heloName(const QString& host)
{
    if (host.isEmpty())
        return {};
    const qsizetype dot = host.indexOf(u'.');
    const QString rest = dot < 0 ? host : host.mid(dot + 1);
    return rest.trimmed().left(255);
}

QString lastGetText(const QDateTime& lastRetrieval)
{
    if (!lastRetrieval.isValid())
        return QStringLiteral("30-12-99 00:00:00");
    return lastRetrieval.toString(QStringLiteral("dd-MM-yy HH:mm:ss"));
}

QString folderText(const QString& folder)
{
    QString text = QDir::toNativeSeparators(folder);
    if (!text.endsWith(QDir::separator()))
        text += QDir::separator();
    return text;
}

void resetSettings(SettingsStore& store)
{
    for (const char16_t* name : kResetNames)
        store.remove(name);
    for (const QString& name : ChannelSettings::names() + HistoryServerSettings::names())
        store.remove(name);
    for (const char16_t* name : kResetNames) {
        if (!keptUnsuffixed(name))
            store.removeLegacy(name);
    }
}

int raisedLaunchCount(int stored)
{
    return stored < 0 ? 1 : (stored == kIntMax ? kIntMax : stored + 1);
}

} // namespace beamtide
