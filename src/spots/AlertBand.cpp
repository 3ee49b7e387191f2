#include "AlertBand.h"

namespace beamtide {

bool alertBandTest(QStringView bandText, bool perBandLayout)
{
    if (!perBandLayout || bandText.isEmpty())
        return false;
    return QStringView(u"6 4 2 432").contains(bandText);
}

} // namespace beamtide
