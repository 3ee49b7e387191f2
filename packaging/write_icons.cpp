// Writes the painted program icon as PNG files for the desktop's icon theme, one per size:
// write_icons <folder> <name> <size>... gives <folder>/<size>x<size>/apps/<name>.png.

#include "platform/gui/ProgramIcon.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char* argv[])
{
    // No display at build time.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: write_icons <folder> <name> <size>...\n");
        return 2;
    }
    for (const QString& text : args.mid(3)) {
        bool ok = false;
        const int size = text.toInt(&ok);
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(args[1], QString::number(size));
        const QString file = folder + u'/' + args[2] + u".png";
        if (!ok || size <= 0 || !QDir().mkpath(folder) || !beamtide::programImage(size).save(file, "PNG")) {
            std::fprintf(stderr, "write_icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
