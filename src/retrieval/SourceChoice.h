#pragma once

#include "base/SpotSource.h"

#include <QDateTime>
#include <QString>

namespace beamtide {

// Which source a fetch asks, and what its ends mean for the fetches after it. With
// Automatic the spot database is asked first and wspr.live stands in when it fails; once
// wspr.live has stood in, it is asked alone for kWsprLiveStayMinutes, and the spot
// database again after that or as soon as wspr.live fails too. The chosen sources ask only
// themselves. Times are UTC.
class SourceChoice final
{
public:
    struct Plan
    {
        bool askDatabase = true; // the activity test and the spot query
        bool askLive = false;    // wspr.live from the start
        bool fallback = false;   // wspr.live when the spot database fails
        QString notice;          // for the run log: why the choice changed
    };

    // How one source's part of a fetch ended.
    enum class End {
        NotAsked,
        Answered,
        Failed,
        Aborted, // the shut-down ended the transfer: says nothing about the source
    };

    Plan plan(SpotSource setting, const QDateTime& nowUtc);
    // databaseFailure: why the spot database failed, when it did.
    void record(SpotSource setting, End database, End live, const QString& databaseFailure,
                const QDateTime& nowUtc);

    // While wspr.live stands in: until when and why; invalid and empty otherwise.
    QDateTime stayUntil() const { return m_stayUntil; }
    QString stayReason() const { return m_stayReason; }

private:
    QDateTime m_stayUntil;
    QString m_stayReason;
};

} // namespace beamtide
