#include "base/Identity.h"
#include "platform/InstanceLock.h"

#include "TempFolder.h"

#include <QProcess>

#include <gtest/gtest.h>

using namespace beamtide;

TEST(Identity, CommandLineText)
{
    EXPECT_EQ(commandLineText({}), QString());
    EXPECT_EQ(commandLineText({QStringLiteral("/log"), QStringLiteral("/20")}), QStringLiteral(" /log /20"));
}

TEST(Identity, OptionRules)
{
    struct Case
    {
        const char* name;
        QStringList args;
        const char* myCall;
        bool showAddress;
        const char* prefix;
    };
    const Case cases[] = {
        {"no arguments", {}, "", true, ""},
        {"mycall then log", {"/mycall=vk2xyz", "/log"}, "VK2XYZ", true, ""},
        {"mycall glued to log", {"/mycall=vk2xyz/log"}, "VK2XYZ", true, ""},
        {"mycall last", {"/log", "/mycall=g4abc"}, "G4ABC", true, ""},
        {"mycall empty", {"/mycall="}, "", true, ""},
        {"mycall empty before another", {"/mycall=", "/log"}, "", true, ""},
        {"noip inside another argument", {"/x/noip"}, "", false, ""},
        {"pcname", {"/pcname"}, "", true, "SHACK#"},
        {"options are case-sensitive", {"/PCNAME", "/NOIP", "/MYCALL=x"}, "", true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString text = commandLineText(c.args);
        EXPECT_EQ(myCallFor(text), QString::fromLatin1(c.myCall));
        EXPECT_EQ(showAddressFor(text), c.showAddress);
        EXPECT_EQ(filePrefixFor(text, QStringLiteral("SHACK")), QString::fromLatin1(c.prefix));
    }
    EXPECT_EQ(filePrefixFor(QStringLiteral(" /pcname"), QString()), QStringLiteral("UnknownPC#"));
}

TEST(Identity, DataFileNames)
{
    Identity id;
    id.instance = 1;
    id.folder = QStringLiteral("/w");
    EXPECT_EQ(id.dataFile(u"WSPR_Alerts", u".txt"), QStringLiteral("/w/WSPR_Alerts1.txt"));
    id.filePrefix = QStringLiteral("SHACK#");
    EXPECT_EQ(id.dataFile(u"WSPRLog", u".txt"), QStringLiteral("/w/SHACK#WSPRLog1.txt"));
    EXPECT_EQ(id.plainFile(u"runcode.bat"), QStringLiteral("/w/runcode.bat"));
}

namespace {
struct Probe
{
    QProcess process;
    int start(const QString& lockDir)
    {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("BEAMTIDE_LOCK_DIR"), lockDir);
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(BEAMTIDE_BINARY_DIR "/tests/instance_probe"));
        EXPECT_TRUE(process.waitForStarted());
        EXPECT_TRUE(process.waitForReadyRead(30000));
        return process.readLine().trimmed().toInt();
    }
    ~Probe()
    {
        process.closeWriteChannel();
        process.waitForFinished();
    }
};
} // namespace

TEST(InstanceLock, CopiesSideBySideGetLowestFreeNumbers)
{
    test::TempFolder locks;
    auto first = std::make_unique<Probe>();
    EXPECT_EQ(first->start(locks.path()), 1);
    {
        Probe second;
        EXPECT_EQ(second.start(locks.path()), 2);
    }
    first.reset();
    Probe again;
    EXPECT_EQ(again.start(locks.path()), 1);
}

TEST(InstanceLock, KilledCopyFreesItsNumber)
{
    test::TempFolder locks;
    Probe killed;
    EXPECT_EQ(killed.start(locks.path()), 1);
    killed.process.kill();
    killed.process.waitForFinished();
    Probe next;
    EXPECT_EQ(next.start(locks.path()), 1);
}
