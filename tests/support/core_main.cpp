#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // No test may reach the public mirror: unless a test names its own server, the address is
    // a loopback port where nothing listens.
    if (qEnvironmentVariableIsEmpty("BEAMTIDE_WSPRLIVE_URL"))
        qputenv("BEAMTIDE_WSPRLIVE_URL", "http://127.0.0.1:9");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
