#include "platform/InstanceLock.h"

#include <QDir>
#include <QHostInfo>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace beamtide {

InstanceLock::InstanceLock(const QString& lockFolder)
{
    if (!QDir().mkpath(lockFolder))
        return;
    for (int n = 1; n <= 999; ++n) {
        auto lock = std::make_unique<QLockFile>(QDir(lockFolder).filePath(
            QStringLiteral("instance%1.lock").arg(n)));
        lock->setStaleLockTime(0); // stale only when the holder is gone
        if (lock->tryLock(0)) {
            m_lock = std::move(lock);
            m_number = n;
            return;
        }
    }
}

InstanceLock::~InstanceLock() = default;

QString InstanceLock::defaultFolder()
{
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = qEnvironmentVariable("USERNAME");
    return QDir(QDir::tempPath()).filePath(QStringLiteral("beamtide-") + user);
}

QString hostName()
{
#ifdef Q_OS_WIN
    // The computer name, as Windows shows it (upper case), which files of an existing
    // /pcname set-up already carry.
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (GetComputerNameW(name, &size))
        return QString::fromWCharArray(name, int(size));
    return {};
#else
    return QHostInfo::localHostName();
#endif
}

} // namespace beamtide
