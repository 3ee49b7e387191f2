#include "base/StartOptions.h"

#include "Version.h"
#include "base/DateFormats.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace beamtide {

std::optional<QString> bandOption(const QString& commandLine)
{
    // Tested in this order, so "/20" ends as band 20 although it holds "/2".
    static const char* const options[] = {"/2",  "/4",  "/6",  "/8",  "/u",  "/80",
                                          "/40", "/30", "/20", "/17", "/15", "/12",
                                          "/10", "/160", "/220", "/432"};
    std::optional<QString> band;
    for (const char* option : options) {
        if (commandLine.contains(QLatin1String(option)))
            band = QString::fromLatin1(option + 1);
    }
    return band;
}

QString textEditorOption(const QString& commandLine)
{
    static const QString key = QStringLiteral("/texteditor=");
    const qsizetype at = commandLine.indexOf(key);
    if (at < 0)
        return {};
    QString value = commandLine.mid(at + key.size()).left(244);
    if (value.startsWith(u'"'))
        value.remove(0, 1);
    value = value.trimmed();
    if (value.endsWith(u'"'))
        value.chop(1);
    return value.trimmed();
}

bool dataFolderOption(const QString& commandLine)
{
    return commandLine.contains(QLatin1String("/datafolder"));
}

QString dataFolder(const QString& genericDataLocation)
{
    return QDir(genericDataLocation).filePath(QStringLiteral("Beamtide"));
}

QString enterWorkingFolder(const QString& folder)
{
    const QString shown = QDir::toNativeSeparators(folder);
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir())
        return QStringLiteral("Beamtide cannot use its data folder %1: a file of that name is in the way.")
            .arg(shown);
    if (!info.exists() && !QDir().mkpath(folder))
        return QStringLiteral("Beamtide cannot create its data folder %1.").arg(shown);
    // Permissions alone do not tell (a read-only mount, another owner): a real write does.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("write-probe-XXXXXX")));
    if (!probe.open() || probe.write("x", 1) != 1 || !probe.flush())
        return QStringLiteral("Beamtide cannot write in its data folder %1.").arg(shown);
    probe.remove();
    if (!QDir::setCurrent(folder))
        return QStringLiteral("Beamtide cannot open its data folder %1.").arg(shown);
    return {};
}

QString windowCaption(const QString& programFile)
{
    return QStringLiteral("Beamtide Drovix - Version ") + QString::fromLatin1(kVersionText)
        + QStringLiteral("  Build: ") + shortDate(QFileInfo(programFile).lastModified().date());
}

} // namespace beamtide
