#pragma once

#include "base/TextFile.h"

#include <QSettings>
#include <QString>

#include <functional>
#include <memory>

namespace beamtide {

// Where the settings live by default: <config>/Beamtide/settings.ini, <config> being the
// user's configuration folder ($XDG_CONFIG_HOME, default ~/.config). Empty on Windows: the
// registry.
QString defaultSettingsFile();

// The per-user store of one running copy. Every value name carries the instance suffix
// ("WSPRBand" is WSPRBand1 for the first copy) so copies side by side keep their own values;
// all values sit in the group "Drovix" and are written as text.
class SettingsStore final
{
public:
    // An INI file at path; an empty path means the platform's native store (the registry).
    // On Windows a path that names a registry key ("HKEY_CURRENT_USER\\Software\\...") is
    // the native store under that key.
    SettingsStore(const QString& path, int instance);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    int instance() const { return m_instance; }
    QString suffix() const { return QString::number(m_instance); }
    QString fileName() const;

    // A missing value, a text that is no decimal integer, or an unreasonably long text gives
    // the default. Booleans are integers: nonzero is true.
    QString readText(QStringView base, const QString& fallback) const;
    int readInt(QStringView base, int fallback) const;
    bool readBool(QStringView base, bool fallback) const;
    bool contains(QStringView base) const;

    // No write when the stored text is already the same.
    void writeText(QStringView base, const QString& value);
    void writeInt(QStringView base, int value);
    void writeBool(QStringView base, bool value);
    void remove(QStringView base);

    // The unsuffixed names of older versions.
    void removeLegacy(QStringView base);

    // Writes pending changes; the file is left readable by the user alone (it holds a password).
    // A failed write leaves the file as it was.
    SaveResult sync();

    // The file is there but cannot be read (no permission, or not a file). Its values are
    // unknown, so nothing is ever written over it.
    bool unreadable() const { return m_unreadable; }
    QString unreadableMessage() const;

    // Where a sync's outcome comes from in place of QSettings' own status. The registry
    // refuses a write rarely, and Wine never; tests make it refuse through this.
    using StatusSource = std::function<QSettings::Status(const QSettings&)>;
    void setStatusSource(StatusSource source) { m_statusOf = std::move(source); }

    // The format the INI file is read and written in. Anything else in this process that
    // opens the same file must use it too: QSettings keeps one cache per file across
    // formats, and on Windows IniFormat's keys ignore case while this format's do not, so a
    // mix reads empty values there.
    static QSettings::Format iniFormat();

    // Texts longer than this are taken as damage, not as settings.
    static constexpr qsizetype kMaxTextLength = 32 * 1024;

private:
    std::optional<QString> rawText(const QString& name) const;
    void writeRaw(const QString& name, const QString& value);
    void restrictFile() const;

    std::unique_ptr<QSettings> m_settings;
    int m_instance;
    bool m_unreadable = false;
    bool m_failed = false; // the last sync failed
    QString m_nativeKey; // the registry key, which takes each value as it is set; else empty
    StatusSource m_statusOf;
};

} // namespace beamtide
