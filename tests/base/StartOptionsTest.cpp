#include "base/StartOptions.h"

#include "TempFolder.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace beamtide;

TEST(StartOptions, DataFolderOption)
{
    EXPECT_TRUE(dataFolderOption(QStringLiteral(" /datafolder")));
    EXPECT_TRUE(dataFolderOption(QStringLiteral(" /log/datafolder /20")));
    EXPECT_FALSE(dataFolderOption(QStringLiteral(" /DATAFOLDER")));
    EXPECT_FALSE(dataFolderOption(QString()));
    // The name holds no other option, so the menu entry's start stays on the saved band.
    EXPECT_EQ(bandOption(QStringLiteral(" /datafolder")), std::nullopt);
    EXPECT_EQ(dataFolder(QStringLiteral("/home/op/.local/share")), QStringLiteral("/home/op/.local/share/Beamtide"));
}

TEST(StartOptions, EnterWorkingFolder)
{
    const test::TempFolder temp;
    temp.write(QStringLiteral("plainfile"), "not a folder");
    QDir(temp.path()).mkpath(QStringLiteral("kept"));
    temp.write(QStringLiteral("kept/WSPR_Alerts1.txt"), "an alert\r\n");

    struct Case
    {
        const char* name;
        QString folder;
        bool usable;
        const char* says;
    };
    const Case cases[] = {
        {"missing, with its parents", temp.file(QStringLiteral("share/deeper/Beamtide")), true, ""},
        {"already there, its files kept", temp.file(QStringLiteral("kept")), true, ""},
        {"a file in its place", temp.file(QStringLiteral("plainfile")), false, "a file of that name is in the way"},
        {"a file in place of a parent", temp.file(QStringLiteral("plainfile/Beamtide")), false, "cannot create"},
#ifdef Q_OS_LINUX
        // Unwritable even for root, unlike a folder without write permission.
        {"cannot be created", QStringLiteral("/proc/beamtide-data"), false, "cannot create"},
        {"cannot be written", QStringLiteral("/proc/self"), false, "cannot write"},
#endif
    };
    const QString before = QDir::currentPath();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString message = enterWorkingFolder(c.folder);
        if (c.usable) {
            EXPECT_EQ(message, QString());
            EXPECT_EQ(QDir::currentPath(), QDir(c.folder).canonicalPath());
            // Only what was there before: the write probe is gone.
            EXPECT_EQ(QDir(c.folder).entryList(QDir::Files).size(), c.folder.endsWith(u"kept") ? 1 : 0);
        } else {
            EXPECT_TRUE(message.contains(QDir::toNativeSeparators(c.folder))) << qPrintable(message);
            EXPECT_TRUE(message.contains(QLatin1String(c.says))) << qPrintable(message);
            EXPECT_EQ(QDir::currentPath(), before);
        }
        ASSERT_TRUE(QDir::setCurrent(before));
    }
    EXPECT_EQ(temp.read(QStringLiteral("plainfile")), "not a folder");
    EXPECT_EQ(temp.read(QStringLiteral("kept/WSPR_Alerts1.txt")), "an alert\r\n");
}
