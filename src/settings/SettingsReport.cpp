#include "settings/SettingsReport.h"

#include "base/Bars.h"

#include "settings/ChannelSettings.h"
#include "settings/ColourNames.h"
#include "settings/HistoryServerSettings.h"
#include "settings/MapPanelState.h"

namespace beamtide {

QStringList settingsReport(const SettingsStore& store, int distanceScale)
{
    QStringList lines;
    auto text = [&](QStringView label, QStringView name, const QString& fallback) {
        lines.append(u' ' + label + u" : " + store.readText(name, fallback));
    };
    auto number = [&](QStringView label, int value) {
        lines.append(u' ' + label + u" : " + QString::number(value));
    };
    auto flag = [&](QStringView label, QStringView name, bool fallback) {
        lines.append(u' ' + label + (store.readBool(name, fallback) ? u" : True " : u" : False "));
    };

    number(u"Main  left", store.readInt(u"BeamtideLeft", 100));
    number(u"Main  top", store.readInt(u"BeamtideTop", 100));
    number(u"Main  width", store.readInt(u"BeamtideWidth", 430));
    number(u"Main  height", store.readInt(u"BeamtideHeight", 450));
    text(u"Band selected", u"WSPRBand", QStringLiteral("All"));
    text(u"Spotted Call filter", u"WSPRSpotted", QString());
    text(u"Spotter Call filter", u"WSPRSpotter", QString());
    text(u"Logic mode", u"WSPRLogic", QStringLiteral("AND"));
    text(u"Email address", u"WSPREmail", QString());
    text(u"Email server", u"WSPRSMTPHost", QStringLiteral("Not Set"));
    lines.append(QStringLiteral(" Email password : Not available here"));
    text(u"SMTP UserName", u"WSPRSMPTUserName", QString());
    number(u"SMTP port", store.readInt(u"WSPRSMTPport", 587));
    number(u"Update interval", store.readInt(u"WSPRUpdInterval", 2));
    number(u"Min distance setting", store.readInt(u"WSPRDist", 1) * distanceScale);
    number(u"Max distance setting", store.readInt(u"WSPRMaxD", 0) * distanceScale);
    number(u"dB alert threshold setting", bars::snrThreshold(store.readInt(u"WSPRdBmVal", 1)));
    number(u"Max lines to display", store.readInt(u"WSPRGridNos", 20));
    number(u"Internal elapsed timer", store.readInt(u"WSPRet", 30));
    flag(u"Use sort by distance", u"WSPRSortDistance", false);
    flag(u"Hide columns", u"WSPRHideCols", false);
    flag(u"Historical query set", u"WSPRHistorical", false);
    flag(u"dB alert active", u"WSPRdBmAlert", false);
    flag(u"Signal alert active", u"WSPRSigAlert", false);
    flag(u"Time set active", u"WSPRTimeSet", false);
    flag(u"Lines set active", u"WSPRLinesSet", false);
    flag(u"Distance set active", u"WSPRDSTSet", false);
    flag(u"Distance mode active", u"WSPRDistMode", false);
    flag(u"Tone Alerts active", u"WSPRToneAlert", false);
    lines.append(u" Alert Tone Freq Hz :" + QString::number(store.readInt(u"WSPRToneF", 1200)));

    static constexpr const char16_t* kClassLabels[kTextClassCount] = {
        u"Normal", u"Alerts", u"Between Distances", u"Sig Above Threshold", u"Beyond Distance"};
    for (const TextClassInfo& info : textClasses()) {
        const QStringView label = kClassLabels[static_cast<std::size_t>(info.textClass)];
        text(QString(label + u" Font Colour"), info.colourKey, QStringView(info.defaultColour).toString());
        // The report takes every bold flag as off when never saved.
        flag(QString(label + u" Bold Font"), info.boldKey, false);
    }
    text(u"Odd Line Background Colour", u"WSPROddLine", QStringLiteral("CustomLtBlue"));
    text(u"Even Line Background Colour", u"WSPREvenLine", QStringLiteral("CustomLtYellow"));
    text(u"Highlight Background Colour", u"WSPRHighlightLine", QStringLiteral("Black"));
    flag(u"Desktop notifications", u"BeamtideNotify", true);
    flag(u"Minimise to tray", u"BeamtideMinToTray", false);
    flag(u"Spot history", u"BeamtideHistory", true);
    text(u"Spot source", u"BeamtideSource", QStringLiteral("Automatic"));
    const MapPanelState map = MapPanelState::fromText(store.readText(kMapPanelKey, QString()));
    const QRect& place = map.geometry;
    lines.append(QStringLiteral(" Map panel : %1, %2x%3 at %4,%5")
                     .arg(map.open ? u"open" : u"closed")
                     .arg(place.width())
                     .arg(place.height())
                     .arg(place.left())
                     .arg(place.top()));
    lines.append(ChannelSettings::load(store).report());
    lines.append(HistoryServerSettings::load(store).report());
    return lines;
}

} // namespace beamtide
