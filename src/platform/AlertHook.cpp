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
    // cmd acts on these even between double quotes, or once the batch file expands %1:
    //   "  ends the quoted argument, and what follows is read as commands;
    //   &  |  run a further command or a pipe once the quotes are broken;
    //   <  >  redirect, and can create or overwrite files;
    //   ^  escapes the next character, so it can undo any of the above;
    //   %  expands a variable (%PATH%), even inside quotes;
    //   !  expands a variable where delayed expansion is on (cmd /v, or the batch file's
    //      setlocal), which the batch file may well turn on.
    // Control characters go too: CR and LF end the command line, and the others have no
    // business in an alert. A call sign never holds any of these.
    static constexpr QStringView kActive = u"\"&|<>^%!";
    QString safe;
    safe.reserve(alert.size());
    for (const QChar c : alert) {
        if (kActive.contains(c) || c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() < 0xa0))
            continue;
        safe.append(c);
    }
    return safe;
}

QString AlertHook::commandInterpreterArguments(const QString& alert)
{
    return QStringLiteral("/c ") + kAlertHookScript + QStringLiteral(" \"") + forCommandInterpreter(alert)
        + u'"';
}

AlertHook::Start AlertHook::run(const QString& alert) const
{
    if (!QFileInfo(scriptPath()).isFile())
        return Start::NoScript;
    QProcess process;
    process.setWorkingDirectory(m_folder);
#ifdef Q_OS_WIN
    process.setProgram(QStringLiteral("cmd.exe"));
    process.setNativeArguments(commandInterpreterArguments(alert));
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
