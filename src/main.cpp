#include "window/MainWindow.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Beamtide"));
    QApplication::setApplicationDisplayName(QStringLiteral("Beamtide"));
    beamtide::MainWindow window;
    window.show();
    return QApplication::exec();
}
