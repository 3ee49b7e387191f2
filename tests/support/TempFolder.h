#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace beamtide::test {

// A fresh folder per test, removed afterwards.
class TempFolder
{
public:
    TempFolder();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    QByteArray read(const QString& name) const;
    bool exists(const QString& name) const;
    void write(const QString& name, const QByteArray& bytes) const;

private:
    QTemporaryDir m_dir;
};

} // namespace beamtide::test
