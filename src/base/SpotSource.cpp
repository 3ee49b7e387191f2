#include "base/SpotSource.h"

namespace beamtide {

QString spotSourceName(SpotSource source)
{
    switch (source) {
    case SpotSource::WsprNet:
        return QStringLiteral("WSPRnet");
    case SpotSource::WsprLive:
        return QStringLiteral("wspr.live");
    case SpotSource::Automatic:
        break;
    }
    return QStringLiteral("Automatic");
}

std::optional<SpotSource> spotSourceFromName(QStringView name)
{
    for (SpotSource s : {SpotSource::WsprNet, SpotSource::WsprLive, SpotSource::Automatic})
        if (name == spotSourceName(s))
            return s;
    return std::nullopt;
}

SourceOption sourceOptionFor(const QString& commandLine)
{
    static const QString key = QStringLiteral("/source=");
    SourceOption option;
    const qsizetype at = commandLine.indexOf(key);
    if (at < 0)
        return option;
    option.given = true;
    const qsizetype start = at + key.size();
    qsizetype end = commandLine.indexOf(u' ', start);
    if (end < 0)
        end = commandLine.size();
    option.text = commandLine.mid(start, end - start);
    const QString value = option.text.toLower();
    if (value == u"wsprnet")
        option.source = SpotSource::WsprNet;
    else if (value == u"wsprlive")
        option.source = SpotSource::WsprLive;
    else if (value == u"auto")
        option.source = SpotSource::Automatic;
    return option;
}

} // namespace beamtide
