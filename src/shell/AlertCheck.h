#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace beamtide {

// What the alert check reads besides the alerts history list.
struct AlertCheckInput
{
    QString lastAnnounced;            // WSPRLastAlert
    int tick = 0;                     // the update cycle's tick counter
    QString emailTo;                  // Edit21
    bool alertsTicked = false;        // CheckBox5 "Alerts"
    bool tonesTickedAndShown = false; // CheckBox8 "Alert Tones", ticked and visible
    QDateTime nowUtc;                 // lines dated later than this plus kFutureSlack wait
};

// A spot's clock may run a little ahead; a line dated further ahead is no candidate, or it
// would stay the newest line for good and every later alert would go unannounced.
inline constexpr qint64 kFutureSlackSecs = 10 * 60;

enum class AlertChannel {
    Nothing,
    Mail, // tones first when AlertCheckOutcome::tones, then the alert mail
    Hook, // runcode.bat
};

struct AlertCheckOutcome
{
    QString alert;         // the current alert: the newest alert line, empty when none
    QStringList memo;      // Memo2 rebuilt: the header and the newest lines of one date
    bool announce = false; // a new alert: write logLine, then use the channel
    QString logLine;       // for RunLog::writeTagged
    AlertChannel channel = AlertChannel::Nothing;
    bool tones = false;
    QString lastAnnounced; // keep and store, announced or not
    QStringList memoAfter; // what Memo2 holds afterwards: empty once mailed
};

inline const QString kAlertMemoHeader = QStringLiteral("Beamtide Alerts:");

// The ten-second alert check. `history` is the alerts history list, sorted oldest first.
AlertCheckOutcome runAlertCheck(const QStringList& history, const AlertCheckInput& input);

} // namespace beamtide
