#pragma once

#include "net/AddressWatch.h"

#include <QString>

namespace beamtide {

class Openers;

// What the program talks to outside itself. main() fills it in (from the environment, for
// tests and demos); the controller reads nothing else to find its services.
struct Services
{
    QString spotDatabaseUrl; // "http://host[:port]" without a trailing slash
    QString echoUrl;         // the public-address echo service
    QString wsprLiveUrl;     // the second spot source
    // The addresses the address watch sees; the machine's own interfaces when empty.
    AddressWatch::Source addressSource;
    // The settings file; empty means the platform's own store (the registry on Windows).
    QString settingsPath;
    // The map's picture of the Earth (equirectangular); the map draws a graticule without it.
    QString earthImagePath;
    // Where files and pages are opened; the desktop's own when null. Must outlive the
    // controller.
    Openers* openers = nullptr;
};

} // namespace beamtide
