#pragma once

#include "window/grid/SpotGridDelegate.h"

#include <QString>

namespace beamtide {

// Values that live beside the controls: loaded and saved with the settings, read by the
// grid drawing, the alert check and the alert mail. The Controller owns the one instance.
struct WorkingValues
{
    int launchCount = 0;
    QString smtpHost;
    QString smtpPassword;
    int smtpPort = 587;
    QString heloName;
    QString lastAnnouncedAlert;
    GridColours colours = GridColours::defaults();
    QString textEditor = QStringLiteral("xdg-open"); // "/texteditor=" replaces it
};

} // namespace beamtide
