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
    SaveResult save() const;
    // The save of the filter pass and of shut-down: nothing to write for an empty list.
    SaveResult saveIfAny() const;
    // Drops the alerts of more than 7 days before nowUtc and saves what is left. Lines whose
    // leading date-time cannot be read are kept: they are the user's, not ours to lose.
    SaveResult trim(const QDateTime& nowUtc);

    // The alert line of a per-band grid row (13 cells).
    static QString alertLine(const QStringList& cells);
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
    // An alert line has five commas; a line holding it holds its four middle fields as
    // four whole comma-separated fields. Keyed by each such run, the held lines that have it.
    QHash<QString, QStringList> m_byMiddle;
};

} // namespace beamtide
