#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace beamtide {

namespace {

const QString kGroup = QStringLiteral("Drovix");

QString fullName(QStringView base, const QString& suffix)
{
    return kGroup + u'/' + base + suffix;
}

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

} // namespace

QString defaultSettingsFile()
{
#ifdef Q_OS_WIN
    return {};
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + u"/Beamtide/settings.ini";
#endif
}

SettingsStore::SettingsStore(const QString& path, int instance)
    : m_instance(instance)
{
    if (path.isEmpty()) {
        // The group "Drovix" below this key makes HKEY_CURRENT_USER\Software\Drovix.
        m_settings = std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\Software"),
                                                 QSettings::NativeFormat);
        return;
    }
    // Create the file owner-only before the first write, so the password is never readable by
    // others, not even between the write and a permission change.
    const QFileInfo info(path);
    if (!info.exists()) {
        QDir().mkpath(info.absolutePath());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            file.setPermissions(kOwnerOnly);
    }
    m_settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
}

SettingsStore::~SettingsStore()
{
    sync();
}

QString SettingsStore::fileName() const
{
    return m_settings->fileName();
}

std::optional<QString> SettingsStore::rawText(const QString& name) const
{
    const QVariant value = m_settings->value(name);
    if (!value.isValid())
        return std::nullopt;
    // An unquoted "a,b" in a hand-edited INI file comes back as a list.
    QString text = value.typeId() == QMetaType::QStringList ? value.toStringList().join(u',')
                                                            : value.toString();
    if (text.size() > kMaxTextLength)
        return std::nullopt;
    return text;
}

QString SettingsStore::readText(QStringView base, const QString& fallback) const
{
    return rawText(fullName(base, suffix())).value_or(fallback);
}

int SettingsStore::readInt(QStringView base, int fallback) const
{
    const std::optional<QString> text = rawText(fullName(base, suffix()));
    if (!text)
        return fallback;
    bool ok = false;
    const int value = text->trimmed().toInt(&ok, 10);
    return ok ? value : fallback;
}

bool SettingsStore::readBool(QStringView base, bool fallback) const
{
    return readInt(base, fallback ? 1 : 0) != 0;
}

bool SettingsStore::contains(QStringView base) const
{
    return m_settings->contains(fullName(base, suffix()));
}

void SettingsStore::writeRaw(const QString& name, const QString& value)
{
    const QVariant old = m_settings->value(name);
    if (old.isValid() && old.typeId() == QMetaType::QString && old.toString() == value)
        return;
    m_settings->setValue(name, value);
}

void SettingsStore::writeText(QStringView base, const QString& value)
{
    writeRaw(fullName(base, suffix()), value);
}

void SettingsStore::writeInt(QStringView base, int value)
{
    writeRaw(fullName(base, suffix()), QString::number(value));
}

void SettingsStore::writeBool(QStringView base, bool value)
{
    writeRaw(fullName(base, suffix()), value ? QStringLiteral("1") : QStringLiteral("0"));
}

void SettingsStore::remove(QStringView base)
{
    m_settings->remove(fullName(base, suffix()));
}

void SettingsStore::removeLegacy(QStringView base)
{
    m_settings->remove(fullName(base, QString()));
}

void SettingsStore::restrictFile() const
{
    if (m_settings->format() != QSettings::IniFormat)
        return;
    QFile file(m_settings->fileName());
    if (file.exists() && file.permissions() != kOwnerOnly)
        file.setPermissions(kOwnerOnly);
}

SaveResult SettingsStore::sync()
{
    m_settings->sync();
    restrictFile();
    switch (m_settings->status()) {
    case QSettings::NoError:
        return {};
    case QSettings::AccessError:
        return {false, QStringLiteral("cannot write the settings file ") + m_settings->fileName()};
    case QSettings::FormatError:
        return {false, QStringLiteral("the settings file is damaged: ") + m_settings->fileName()};
    }
    return {};
}

} // namespace beamtide
