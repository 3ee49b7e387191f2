#include "base/Config.h"

#include <QtGlobal>

namespace beamtide::config {

namespace {
QString baseUrl(const char* variable, const char* host)
{
    QString url = qEnvironmentVariable(variable);
    if (url.isEmpty())
        url = QStringLiteral("http://") + QString::fromLatin1(host);
    while (url.endsWith(u'/'))
        url.chop(1);
    return url;
}
} // namespace

QString spotDatabaseBaseUrl()
{
    return baseUrl("BEAMTIDE_SPOTDB_URL", kSpotDatabaseHost);
}

QString echoBaseUrl()
{
    return baseUrl("BEAMTIDE_ECHO_URL", kEchoHost);
}

} // namespace beamtide::config
