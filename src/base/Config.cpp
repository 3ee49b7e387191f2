#include "base/Config.h"

namespace beamtide::config {

QString baseUrl(const QString& given, const QString& fallback)
{
    QString url = given.isEmpty() ? fallback : given;
    while (url.endsWith(u'/'))
        url.chop(1);
    return url;
}

QString spotDatabaseBaseUrl()
{
    return u"http://" + QString::fromLatin1(kSpotDatabaseHost);
}

QString echoBaseUrl()
{
    return u"http://" + QString::fromLatin1(kEchoHost);
}

QString wsprLiveBaseUrl()
{
    return QString::fromLatin1(kWsprLiveBaseUrl);
}

} // namespace beamtide::config
