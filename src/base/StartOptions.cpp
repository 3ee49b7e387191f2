#include "base/StartOptions.h"

#include "Version.h"
#include "base/DateFormats.h"

#include <QFileInfo>

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

QString windowCaption(const QString& programFile)
{
    return QStringLiteral("Beamtide Drovix - Version ") + QString::fromLatin1(kVersionText)
        + QStringLiteral("  Build: ") + shortDate(QFileInfo(programFile).lastModified().date());
}

} // namespace beamtide
