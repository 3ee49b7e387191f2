#include "platform/gui/ProgramIcon.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace beamtide {

namespace {

constexpr int kSizes[] = {16, 32, 64};

// Drawn on a 64-unit square and scaled to the size asked for.
QImage paint(int size, bool fetching, bool unseenAlert)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x12, 0x3d, 0x6a));
    p.drawEllipse(QRectF(1, 1, 62, 62));

    // The tide: one wave across the lower part of the disc.
    QPainterPath wave;
    wave.moveTo(6, 46);
    wave.cubicTo(14, 38, 22, 38, 30, 46);
    wave.cubicTo(38, 54, 46, 54, 58, 44);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x7f, 0xd4, 0xff), 5, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(wave);

    // The beam: arcs spreading up and right from a point above the wave.
    const QPointF origin(18, 36);
    p.setPen(QPen(Qt::white, 4.5, Qt::SolidLine, Qt::RoundCap));
    for (const double r : {9.0, 18.0, 27.0})
        p.drawArc(QRectF(origin.x() - r, origin.y() - r, 2 * r, 2 * r), 5 * 16, 80 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(origin, 4, 4);

    auto dot = [&p](const QPointF& centre, const QColor& colour) {
        p.setPen(QPen(Qt::white, 3));
        p.setBrush(colour);
        p.drawEllipse(centre, 12, 12);
    };
    if (unseenAlert)
        dot(QPointF(50, 14), QColor(0xe0, 0x10, 0x10));
    if (fetching)
        dot(QPointF(50, 50), QColor(0x00, 0xff, 0x00));
    return image;
}

QIcon iconOf(bool fetching, bool unseenAlert)
{
    QIcon icon;
    for (const int size : kSizes)
        icon.addPixmap(QPixmap::fromImage(paint(size, fetching, unseenAlert)));
    return icon;
}

} // namespace

QIcon programIcon()
{
    return iconOf(false, false);
}

QIcon trayIcon(bool fetching, bool unseenAlert)
{
    return iconOf(fetching, unseenAlert);
}

QImage programImage(int size)
{
    return paint(size, false, false);
}

} // namespace beamtide
