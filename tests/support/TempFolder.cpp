#include "TempFolder.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace beamtide::test {

TempFolder::TempFolder()
{
    EXPECT_TRUE(m_dir.isValid());
}

QByteArray TempFolder::read(const QString& name) const
{
    QFile f(file(name));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool TempFolder::exists(const QString& name) const
{
    return QFileInfo::exists(file(name));
}

void TempFolder::write(const QString& name, const QByteArray& bytes) const
{
    QFile f(file(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace beamtide::test
