#pragma once

#include "settings/SettingsStore.h"

#include <QStringList>

namespace beamtide {

// The "Show Registry" lines: what the store holds for this copy, in readable form, with the
// report's own defaults for values never saved. Distances use the working distance scale.
// The password is never shown.
QStringList settingsReport(const SettingsStore& store, int distanceScale);

} // namespace beamtide
