#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <atomic>
#include <functional>
#include <optional>

namespace beamtide {

namespace {

const QString kGroup = QStringLiteral("Drovix");

QString fullName(QStringView base, const QString& suffix)
{
    return kGroup + u'/' + base + suffix;
}

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// QSettings replaces its INI file through a QSaveFile whose last flush goes unchecked, so a
// full disk or a file-size limit put a cut-off file in place of the old one. This format
// keeps QSettings' own INI text, made and read by QSettings on scratch files, but writes the
// file itself with checks: the text must read back as every value, and the write and flush
// must succeed before the file is replaced. A failure keeps the old file and is reported.
bool scratchIni(const std::function<bool(const QString&)>& use)
{
    // A fresh name each time: QSettings caches what it read per file name. A folder, not a
    // QTemporaryFile: that keeps its handle open after close(), and Windows then refuses to
    // replace the file, which is how QSettings saves.
    const QTemporaryDir scratch(QDir::tempPath() + u"/beamtide-settings-XXXXXX");
    if (!scratch.isValid())
        return false;
    return use(scratch.filePath(QStringLiteral("scratch.ini")));
}

// The values of INI text; nothing when the text could not be put where QSettings reads it.
std::optional<QSettings::SettingsMap> parseIni(const QByteArray& bytes)
{
    QSettings::SettingsMap map;
    const bool parsed = scratchIni([&](const QString& path) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
            return false;
        file.close();
        // What can be read is kept, as QSettings' own INI reader does with a damaged file.
        const QSettings ini(path, QSettings::IniFormat);
        for (const QString& key : ini.allKeys())
            map.insert(key, ini.value(key));
        return true;
    });
    if (!parsed)
        return std::nullopt;
    return map;
}

// The INI text of the values; nothing when it did not come out whole.
std::optional<QByteArray> renderIni(const QSettings::SettingsMap& map)
{
    QByteArray bytes;
    const bool made = scratchIni([&](const QString& path) {
        {
            QSettings ini(path, QSettings::IniFormat);
            for (auto it = map.cbegin(); it != map.cend(); ++it)
                ini.setValue(it.key(), it.value());
            ini.sync();
            if (ini.status() != QSettings::NoError)
                return false;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        bytes = file.readAll();
        return true;
    });
    // The scratch file goes through the same unchecked flush: a cut-off text reads back short.
    if (!made || parseIni(bytes) != map)
        return std::nullopt;
    return bytes;
}

// Set while the file's last read failed: the values QSettings would write back are then not
// the file's, so nothing is written until a read succeeds.
std::atomic<bool> g_lastReadFailed{false};

bool readCheckedIni(QIODevice& device, QSettings::SettingsMap& map)
{
    const std::optional<QSettings::SettingsMap> parsed = parseIni(device.readAll());
    g_lastReadFailed = !parsed;
    if (parsed)
        map = *parsed;
    return parsed.has_value();
}

bool writeCheckedIni(QIODevice& device, const QSettings::SettingsMap& map)
{
    if (g_lastReadFailed)
        return false;
    const std::optional<QByteArray> bytes = renderIni(map);
    if (!bytes || device.write(*bytes) != bytes->size())
        return false;
    auto* file = qobject_cast<QFileDevice*>(&device);
    return !file || file->flush();
}

// A file that is there but cannot be read gave no values; writing would put defaults in
// place of the user's settings, so this format never writes.
bool readNothing(QIODevice&, QSettings::SettingsMap&)
{
    return true;
}

bool writeNothing(QIODevice&, const QSettings::SettingsMap&)
{
    return false;
}

QSettings::Format checkedIniFormat()
{
    static const QSettings::Format format =
        QSettings::registerFormat(QStringLiteral("ini"), readCheckedIni, writeCheckedIni);
    return format;
}

QSettings::Format readOnlyFormat()
{
    static const QSettings::Format format =
        QSettings::registerFormat(QStringLiteral("ini"), readNothing, writeNothing);
    return format;
}

// There, but no file we can read: a folder, or a file without read permission.
bool presentButUnreadable(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    QFile file(path);
    return !info.isFile() || !file.open(QIODevice::ReadOnly);
}

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
    const bool registryPath =
#ifdef Q_OS_WIN
        path.startsWith(u"HKEY_", Qt::CaseInsensitive);
#else
        false;
#endif
    if (path.isEmpty() || registryPath) {
        // The group "Drovix" below this key makes HKEY_CURRENT_USER\Software\Drovix.
        m_nativeKey = registryPath ? path : QStringLiteral("HKEY_CURRENT_USER\\Software");
        m_settings = std::make_unique<QSettings>(m_nativeKey, QSettings::NativeFormat);
        return;
    }
    // Create the file owner-only before the first write, so the password is never readable by
    // others, not even between the write and a permission change.
    if (presentButUnreadable(path)) {
        m_unreadable = true;
        m_settings = std::make_unique<QSettings>(path, readOnlyFormat());
        return;
    }
    const QFileInfo info(path);
    if (!info.exists()) {
        QDir().mkpath(info.absolutePath());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            file.setPermissions(kOwnerOnly);
    }
    m_settings = std::make_unique<QSettings>(path, checkedIniFormat());
}

SettingsStore::~SettingsStore()
{
    // Every save syncs and reports on its own; this writes what a caller left unsynced, with
    // nobody left to tell.
    (void)sync();
}

QString SettingsStore::fileName() const
{
    if (!m_nativeKey.isEmpty())
        return m_nativeKey + u'\\' + kGroup;
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

QString SettingsStore::unreadableMessage() const
{
    return QStringLiteral("The settings file ") + m_settings->fileName()
        + QStringLiteral(" cannot be read; changes to the settings will not be saved.");
}

void SettingsStore::restrictFile() const
{
    if (m_settings->format() != checkedIniFormat())
        return;
    QFile file(m_settings->fileName());
    if (file.exists() && file.permissions() != kOwnerOnly)
        file.setPermissions(kOwnerOnly);
}

SaveResult SettingsStore::sync()
{
    if (m_unreadable)
        return {false, unreadableMessage(), m_settings->fileName()};
    if (m_failed) {
        // QSettings keeps its first error for good; a fresh object on the same file reports
        // this sync afresh. Made before the old one goes, it shares its pending changes (and
        // its construction already tries to write them).
        auto fresh = std::make_unique<QSettings>(
            m_nativeKey.isEmpty() ? m_settings->fileName() : m_nativeKey, m_settings->format());
        m_settings = std::move(fresh);
    }
    m_settings->sync();
    restrictFile();
    const QSettings::Status status = m_statusOf ? m_statusOf(*m_settings) : m_settings->status();
    m_failed = status != QSettings::NoError;
    if (!m_nativeKey.isEmpty() && m_failed) {
        // The registry takes each value as it is set, so a refused write leaves the values
        // before it in place: say so rather than claim nothing changed.
        return {false,
                QStringLiteral("cannot write the settings to the registry key ") + fileName()
                    + QStringLiteral(" (the values written before the failure were kept)"),
                fileName()};
    }
    switch (status) {
    case QSettings::NoError:
        return SaveResult::done(fileName());
    case QSettings::AccessError:
        return {false, QStringLiteral("cannot write the settings file ") + m_settings->fileName(),
                m_settings->fileName()};
    case QSettings::FormatError:
        return {false, QStringLiteral("the settings file is damaged: ") + m_settings->fileName(),
                m_settings->fileName()};
    }
    return {};
}

QSettings::Format SettingsStore::iniFormat()
{
    return checkedIniFormat();
}

} // namespace beamtide
