#pragma once

#include <QApplication>

namespace beamtide::bench {

// The one application object of the benchmark program, on the offscreen platform. It is
// never destroyed: at exit the platform plugin may already be gone, and tearing the
// application down after it crashes.
inline QApplication& app()
{
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance()))
        return *existing;
    static int argc = 1;
    static char name[] = "beamtide_bench";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return *new QApplication(argc, argv);
}

} // namespace beamtide::bench
