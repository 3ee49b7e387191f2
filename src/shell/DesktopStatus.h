#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace beamtide {

// What the tray shows of one running copy, gathered from the window and the alert records.
struct TrayStatus
{
    int instance = 1;
    QString band;
    QDateTime lastUpdate; // local time of the last retrieval; invalid before the first
    int alertsToday = 0;
    bool fetching = false;
    bool unseenAlert = false; // announced while the window was out of sight
};

// "Beamtide #1 · band 20 · last update 13:42 · 3 alerts today".
QString trayToolTip(const TrayStatus& status);

// How many alert lines carry the given UTC date in their leading date-time.
int alertsOnDate(const QStringList& alertLines, const QDate& utcDate);

inline constexpr QStringView kNotificationTitle = u"Beamtide alert";

// Alert lines come from a web page: a notification shows one as plain text on one line, cut
// to a length a notification can show. Where the notification service reads markup, the
// text is escaped so that "<b>" or "&amp;" shows as typed.
inline constexpr qsizetype kNotificationBodyLength = 300;
QString notificationBody(const QString& alertLine, bool serviceReadsMarkup);

} // namespace beamtide
