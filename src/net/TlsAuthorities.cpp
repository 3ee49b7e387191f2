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

} // namespace beamtide
