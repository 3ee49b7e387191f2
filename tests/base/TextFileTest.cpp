#include "base/TextFile.h"

#ifndef Q_OS_WIN
#include "FileSizeLimit.h"
#endif
#include "TempFolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace beamtide;

namespace {

QStringList folderEntries(const test::TempFolder& folder)
{
    return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

#ifndef Q_OS_WIN // a POSIX file-size limit stands in for the full disk
// A write that runs into a full disk (here: the file-size limit) must not replace the file:
// the buffered bytes are written only at the end, and that last flush failing once went
// unnoticed, so a 100-byte file became a cut-off one and the save still reported success.
TEST(SaveFile, AFailedWriteKeepsTheOldFileAndSaysWhy)
{
    test::TempFolder folder;
    const QByteArray old(100, 'o');
    folder.write(QStringLiteral("WSPR_Alerts1.txt"), old);
    const QString path = folder.file(QStringLiteral("WSPR_Alerts1.txt"));

    const struct
    {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"a little more than the disk holds", QByteArray(160, 'n')},
        {"more than one buffer", QByteArray(100000, 'n')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SaveResult saved;
        {
            const test::FileSizeLimit limit(150);
            saved = saveBytes(path, c.bytes);
        }
        EXPECT_FALSE(saved.ok);
        EXPECT_FALSE(saved.error.isEmpty());
        EXPECT_EQ(saved.path, path);
        EXPECT_TRUE(saved.message().startsWith(u"Cannot save " + path + u": ")) << saved.message().toStdString();
        EXPECT_EQ(folder.read(QStringLiteral("WSPR_Alerts1.txt")), old);
        EXPECT_EQ(folderEntries(folder), QStringList{QStringLiteral("WSPR_Alerts1.txt")})
            << "no temporary file is left behind";
    }

    // With room again, the same save goes through.
    EXPECT_TRUE(saveLines(path, {QStringLiteral("a"), QStringLiteral("b")}).ok);
    EXPECT_EQ(folder.read(QStringLiteral("WSPR_Alerts1.txt")), QByteArray("a\r\nb\r\n"));
}
#endif

// A kill during a save leaves the save's temporary behind for good; start-up clears those of
// our own files that no running save can still be writing.
TEST(SaveFile, StaleTemporariesOfOurOwnSavesAreRemoved)
{
    test::TempFolder folder;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const struct
    {
        const char* name;
        qint64 ageSecs;
        bool removed;
    } files[] = {
        {"WSPRRep1.csv.txOEaq", 3600, true},
        {"WSPR_Alerts1.txt.AbC123", 700, true},
        {"WSPRRep1.csv.Zz9999", 60, false},   // a save of a copy running beside this one
        {"notes.txt.backup", 3600, false},    // not one of ours
        {"WSPRRep1.csv", 3600, false},        // the file itself
        {"WSPRRep1.csv.toolong7", 3600, false},
    };
    for (const auto& f : files) {
        const QString name = QString::fromLatin1(f.name);
        folder.write(name, "x");
        QFile file(folder.file(name));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(now.addSecs(-f.ageSecs), QFileDevice::FileModificationTime));
    }

    QStringList removed = removeStaleSaveFiles(
        folder.path(), QRegularExpression(QStringLiteral("WSPR.*\\.(txt|csv)$")), now.addSecs(-600));

    removed.sort();
    EXPECT_EQ(removed, (QStringList{QStringLiteral("WSPRRep1.csv.txOEaq"), QStringLiteral("WSPR_Alerts1.txt.AbC123")}));
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        EXPECT_EQ(folder.exists(QString::fromLatin1(f.name)), !f.removed);
    }
}
