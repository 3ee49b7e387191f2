#pragma once

#include "window/Services.h"

#include <QHostAddress>

namespace beamtide::test {

// An address the address watch takes for the machine's own, so a lookup runs on a machine
// whose only network is loopback. From the documentation range: never on a real network.
inline const QHostAddress kLocalAddress{QStringLiteral("192.0.2.10")};

// Every service of a running copy on this machine: the spot database and the echo service at
// baseUrl, the second spot source at wsprLiveUrl (a closed port unless a test names its own),
// the address watch seeing kLocalAddress.
inline Services localServices(const QString& baseUrl, const QString& settingsPath, Openers& openers,
                              const QString& wsprLiveUrl = QStringLiteral("http://127.0.0.1:9"))
{
    Services services;
    services.spotDatabaseUrl = baseUrl;
    services.echoUrl = baseUrl;
    services.wsprLiveUrl = wsprLiveUrl;
    services.settingsPath = settingsPath;
    services.addressSource = [] { return QList<QHostAddress>{kLocalAddress}; };
    services.openers = &openers;
    return services;
}

} // namespace beamtide::test
