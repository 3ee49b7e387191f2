#include "window/MainWindow.h"

namespace beamtide {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Beamtide for Windows "));
    resize(865, 574);
}

MainWindow::~MainWindow() = default;

} // namespace beamtide
