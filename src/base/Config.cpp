#include "base/Config.h"

#include <QtGlobal>

namespace beamtide::config {

namespace {
QString baseUrl(const char* variable, const QString& fallback)
{
    QString url = qEnvironmentVariable(variable);
    if (url.isEmpty())
        url = fallback;
    while (url.endsWith(u'/'))
        url.chop(1);
    return url;
}
} // namespace

QString spotDatabaseBaseUrl()
{
    return baseUrl("BEAMTIDE_SPOTDB_URL", u"http://" + QString::fromLatin1(kSpotDatabaseHost));
}

QString echoBaseUrl()
{
    return baseUrl("BEAMTIDE_ECHO_URL", u"http://" + QString::fromLatin1(kEchoHost));
}

QString wsprLiveBaseUrl()
{
    return baseUrl("BEAMTIDE_WSPRLIVE_URL", QString::fromLatin1(kWsprLiveBaseUrl));
}

} // namespace beamtide::config
