#pragma once

#include <QIcon>

namespace beamtide {

// Beamtide's own icon, painted at 16, 32 and 64 pixels: beams over a wave on a blue disc.
// The window, the tray and the notifications all show it.
QIcon programIcon();

// The tray's icon: the program icon with a lime dot while a fetch runs (the indicator's
// colour) and a red dot while an announced alert has not been seen.
QIcon trayIcon(bool fetching, bool unseenAlert);

// One size of either, for the notifications' image.
QImage programImage(int size);

} // namespace beamtide
