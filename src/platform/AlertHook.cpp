#include "platform/AlertHook.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace beamtide {

AlertHook::AlertHook(QString folder) : m_folder(std::move(folder))
{
}

QString AlertHook::scriptPath() const
{
    return QDir(m_folder).absoluteFilePath(kAlertHookScript);
}

QString AlertHook::forCommandInterpreter(const QString& alert)
{
    QString safe;
    safe.reserve(alert.size());
    for (const QChar c : alert) {
        if (QStringView(u"\"&|<>^%").contains(c) || c.unicode() < 0x20)
            continue;
        safe.append(c);
    }
    return safe;
}

AlertHook::Start AlertHook::run(const QString& alert) const
{
    if (!QFileInfo(scriptPath()).isFile())
        return Start::NoScript;
    QProcess process;
    process.setWorkingDirectory(m_folder);
#ifdef Q_OS_WIN
    process.setProgram(QStringLiteral("cmd.exe"));
    process.setNativeArguments(QStringLiteral("/c ") + kAlertHookScript + QStringLiteral(" \"")
                               + forCommandInterpreter(alert) + u'"');
    process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments* args) {
        args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        args->startupInfo->wShowWindow = SW_SHOWMAXIMIZED;
    });
#else
    process.setProgram(QStringLiteral("/bin/sh"));
    process.setArguments({scriptPath(), alert});
#endif
    return process.startDetached() ? Start::Started : Start::Failed;
}

} // namespace beamtide
