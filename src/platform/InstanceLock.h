#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace beamtide {

// Holds the lowest instance number from 1 up that no running copy holds, for the life of
// this object. Lock files live in a folder shared by every copy of this user; a copy that
// died leaves a stale lock that the next copy takes over.
class InstanceLock final
{
public:
    // lockFolder: BEAMTIDE_LOCK_DIR as main.cpp reads it, or defaultFolder().
    explicit InstanceLock(const QString& lockFolder);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    int number() const { return m_number; } // 0 when no lock could be taken

    // A folder of this user's in the system's temporary folder.
    static QString defaultFolder();

private:
    std::unique_ptr<QLockFile> m_lock;
    int m_number = 0;
};

QString hostName();

} // namespace beamtide
