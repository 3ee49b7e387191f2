#pragma once

#include <QString>

#include <optional>

namespace beamtide {

// Where the spots come from: the spot database's report page, the wspr.live mirror, or the
// spot database with wspr.live standing in while it fails.
enum class SpotSource {
    WsprNet,
    WsprLive,
    Automatic,
};

// The stored and shown names: "WSPRnet", "wspr.live", "Automatic".
QString spotSourceName(SpotSource source);
std::optional<SpotSource> spotSourceFromName(QStringView name);

// The value of "/source=" in the command line text, up to the next blank or the end:
// "wsprnet", "wsprlive" or "auto" in any letter case. Absent: nothing; present but not one
// of those: the text it held, for a log line.
struct SourceOption
{
    std::optional<SpotSource> source;
    bool given = false;
    QString text;
};
SourceOption sourceOptionFor(const QString& commandLine);

} // namespace beamtide
