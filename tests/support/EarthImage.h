#pragma once

#include "TempFolder.h"

#include <QColor>
#include <QImage>

namespace beamtide::test {

// A whole Earth of one colour, written as a JPEG in folder, as the map reads the real one.
inline QString writeEarthImage(const TempFolder& folder, const QColor& colour)
{
    QImage image(360, 180, QImage::Format_RGB32);
    image.fill(colour);
    const QString path = folder.file(QStringLiteral("earth.jpg"));
    return image.save(path, "JPG") ? path : QString();
}

} // namespace beamtide::test
