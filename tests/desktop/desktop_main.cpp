// The desktop tests run on a desktop of their own, started before the application object.
#include "DesktopFixture.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>

namespace beamtide::test {
DesktopFixture* g_desktop = nullptr;
}

int main(int argc, char** argv)
{
    beamtide::test::DesktopFixture desktop;
    if (!desktop.error().isEmpty()) {
        std::fprintf(stderr, "The test desktop did not start: %s\n", qPrintable(desktop.error()));
        return 1;
    }
    beamtide::test::g_desktop = &desktop;
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
