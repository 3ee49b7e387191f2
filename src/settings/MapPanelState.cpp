#include "settings/MapPanelState.h"

#include <QList>

namespace beamtide {

MapPanelState MapPanelState::fromText(QStringView text)
{
    const MapPanelState fallback;
    const QList<QStringView> parts = text.split(u',');
    if (parts.size() != 5)
        return fallback;
    int values[5];
    for (int i = 0; i < 5; ++i) {
        bool ok = false;
        values[i] = parts[i].trimmed().toInt(&ok);
        if (!ok)
            return fallback;
    }
    // A panel too small to show anything, or absurdly large, is damage.
    constexpr int kMinWidth = 200;
    constexpr int kMinHeight = 100;
    constexpr int kMaxSide = 20000;
    if ((values[0] != 0 && values[0] != 1) || values[3] < kMinWidth || values[4] < kMinHeight
        || values[3] > kMaxSide || values[4] > kMaxSide || qAbs(values[1]) > kMaxSide
        || qAbs(values[2]) > kMaxSide)
        return fallback;
    MapPanelState state;
    state.open = values[0] == 1;
    state.geometry = QRect(values[1], values[2], values[3], values[4]);
    return state;
}

QString MapPanelState::toText() const
{
    return QStringLiteral("%1,%2,%3,%4,%5")
        .arg(open ? 1 : 0)
        .arg(geometry.x())
        .arg(geometry.y())
        .arg(geometry.width())
        .arg(geometry.height());
}

} // namespace beamtide
