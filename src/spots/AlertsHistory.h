#pragma once

#include "base/TextFile.h"
#include "spots/SortedLines.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

namespace beamtide {

struct Identity;

// Every alert recorded, one alert line each ("yyyy-mm-dd hh:mm,call,MHz,SNRdBm,reporter,
// kmKm. "), in text order and so in time order: the last line is the newest alert.
class AlertsHistory final
{
public:
    explicit AlertsHistory(QString filePath);
    static QString filePath(const Identity& identity); // <prefix>WSPR_Alerts<n>.txt

    const QString& path() const { return m_path; }
    const QStringList& lines() const { return m_lines.lines(); }
    qsizetype size() const { return m_lines.size(); }

    // Replaces the list with the file's lines; a missing file leaves it empty.
    void load();
    // Writes the list, even an empty one (the user asked to see it).
    SaveResult save();
    // The save of the filter pass and of shut-down: writes a list of one line or more that
    // changed since it was loaded or last written. A failed write is tried again next time.
    SaveResult saveIfChanged();
    // Drops the alerts of more than 7 days before nowUtc and saves what is left. Lines whose
    // leading date-time cannot be read are kept: they are the user's, not ours to lose.
    SaveResult trim(const QDateTime& nowUtc);

    // The alert line of a per-band grid row (13 cells), or of its cells 0, 1, 2, 3, 8 and 10.
    static QString alertLine(const QStringList& cells);
    static QString alertLine(QStringView time, QStringView call, QStringView mhz, QStringView snr,
                             QStringView reporter, QStringView km);
    // Adds the alert line of the row unless the row lies at or past maxLines, or a line
    // already held contains it. Whether it was added.
    bool RecordAlertRow(int rowIndex, const QStringList& cells, int maxLines);
    // Adds a line under the same containment rule.
    bool record(const QString& alertLine);

private:
    bool heldWithin(const QString& line) const;
    void indexLine(const QString& line);
    void rebuildIndex();

    QString m_path;
    SortedLines m_lines;
    bool m_changed = false;
    // The held lines by the hash of a run of their text that any alert line inside them
    // shares (see keyAt), so a record looks at a few lines, not the whole history.
    QMultiHash<size_t, QString> m_byKey;
};

} // namespace beamtide
