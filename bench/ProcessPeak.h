#pragma once

// The peak-memory programs measure each case in a process of their own, so each peak is
// its own: the parent starts itself with the case's arguments, the child prints its peak.
#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStringList>

namespace beamtide::bench {

// This process's peak resident memory so far, in kB; -1 when it cannot be read.
inline long peakKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Runs this program again with the arguments and returns the number it prints, -1 when
// it fails.
inline long runCase(const QStringList& arguments,
                    const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(-1) || child.exitCode() != 0)
        return -1;
    return child.readAllStandardOutput().trimmed().toLong();
}

} // namespace beamtide::bench
