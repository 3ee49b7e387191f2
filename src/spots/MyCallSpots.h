#pragma once

#include "base/TextFile.h"
#include "spots/SortedLines.h"
#include "spots/SpotRules.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace beamtide {

struct Identity;

// Every spot of the user's own call sign seen while it was set, in text order.
class MyCallSpots final
{
public:
    explicit MyCallSpots(QString filePath);
    static QString filePath(const Identity& identity); // <prefix><CALL>-spots.txt

    // Whether a spotted call counts as the user's: it starts with the whole call sign.
    static bool isMyCall(QStringView call, QStringView myCall);
    // The line of a per-band pass: the alert text line, then the spot time.
    static QString perBandLine(const SpotFields& trimmedFields, qint64 spotTimeMSecs);
    // The line of an all-bands pass: the same seven fields as they stand, no time.
    static QString allBandsLine(const SpotFields& fields);

    const QString& path() const { return m_path; }
    const QStringList& lines() const { return m_lines.lines(); }
    qsizetype size() const { return m_lines.size(); }
    bool add(const QString& line) { return m_lines.insert(line); }

    void load();
    // Writes the list, even an empty one (the user asked to see it).
    SaveResult save() const;
    // The save after a fetch and at shut-down: nothing to write for an empty list.
    SaveResult saveIfAny() const;

private:
    QString m_path;
    SortedLines m_lines;
};

} // namespace beamtide
