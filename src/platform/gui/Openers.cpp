#include "platform/gui/Openers.h"

#include <QDesktopServices>
#include <QProcess>

namespace beamtide {

void DesktopOpeners::startProgram(const QString& program, const QStringList& arguments,
                                  const QString& folder)
{
    QProcess::startDetached(program, arguments, folder);
}

void DesktopOpeners::openUrl(const QUrl& url)
{
    QDesktopServices::openUrl(url);
}

QString defaultTextEditor()
{
#ifdef Q_OS_WIN
    return QStringLiteral("notepad.exe");
#else
    return QStringLiteral("xdg-open");
#endif
}

QString summaryProgramName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("Beamtide_summary.exe");
#else
    return QStringLiteral("Beamtide_summary");
#endif
}

} // namespace beamtide
