#pragma once

#include <QStringView>

namespace beamtide {

// The bands whose rows take tag colours and whose alerting rows are recorded: the band
// text must be non-empty and occur in "6 4 2 432" (so 6, 4, 2, 432, and also a typed "43"),
// and the per-band layout must be in place.
bool alertBandTest(QStringView bandText, bool perBandLayout);

} // namespace beamtide
