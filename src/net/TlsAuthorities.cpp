#include "net/TlsAuthorities.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace beamtide {

TlsAuthorities systemTlsAuthorities()
{
#ifdef Q_OS_WIN
    if (!QCoreApplication::instance())
        return {};
    const QString bundle = QCoreApplication::applicationDirPath() + u'/' + QLatin1String(kShippedCaBundle);
    if (!QFileInfo::exists(bundle))
        return {};
    return {bundle, {}};
#else
    return {{}, QStringLiteral("/etc/ssl/certs")};
#endif
}

void applyTlsAuthorities(CURL* handle, const QString& ownCaFile)
{
    const QByteArray caFile = (ownCaFile.isEmpty() ? systemTlsAuthorities().caFile : ownCaFile).toLocal8Bit();
    if (!caFile.isEmpty())
        curl_easy_setopt(handle, CURLOPT_CAINFO, caFile.constData()); // libcurl copies it
#ifdef Q_OS_WIN
    if (ownCaFile.isEmpty())
        curl_easy_setopt(handle, CURLOPT_SSL_OPTIONS, long(CURLSSLOPT_NATIVE_CA));
#endif
}

} // namespace beamtide
