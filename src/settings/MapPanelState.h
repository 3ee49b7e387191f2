#pragma once

#include <QRect>
#include <QString>
#include <QStringView>

namespace beamtide {

// The map panel as stored in BeamtideMap<n>: "open,left,top,width,height", for example
// "1,120,80,900,480". A damaged or missing text gives a closed panel of the default size.
struct MapPanelState
{
    bool open = false;
    QRect geometry{120, 80, 900, 480};

    static MapPanelState fromText(QStringView text);
    QString toText() const;
    friend bool operator==(const MapPanelState&, const MapPanelState&) = default;
};

inline constexpr char16_t kMapPanelKey[] = u"BeamtideMap";

} // namespace beamtide
