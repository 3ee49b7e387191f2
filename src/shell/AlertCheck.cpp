#include "shell/AlertCheck.h"

#include "base/DateFormats.h"
#include "retrieval/SpotParser.h"

#include <QDateTime>

namespace beamtide {

namespace {

// Alert lines are stamped in UTC. Read as local time, a stamp inside the hour that a
// daylight-saving change skips would not exist, and that alert would never be announced.
QDateTime dateTimeAtStart(const QString& line)
{
    return readDateTime(GetFieldView(line, u',', 1));
}

// The newest line that begins with a date-time no later than now plus the slack; a line
// without one, or dated in the future, would otherwise sort last for good and hold every
// later alert back.
qsizetype candidateIndex(const QStringList& history, const QDateTime& nowUtc)
{
    const QDateTime latest = nowUtc.isValid() ? nowUtc.addSecs(kFutureSlackSecs) : QDateTime();
    for (qsizetype i = history.size() - 1; i >= 0; --i) {
        const QDateTime at = dateTimeAtStart(history[i]);
        if (at.isValid() && (!latest.isValid() || at <= latest))
            return i;
    }
    return -1;
}

} // namespace

AlertCheckOutcome runAlertCheck(const QStringList& history, const AlertCheckInput& input)
{
    AlertCheckOutcome out;
    out.lastAnnounced = input.lastAnnounced;

    const qsizetype newest = candidateIndex(history, input.nowUtc);
    if (newest >= 0)
        out.alert = history[newest];

    // On the first ticks the newest alert already on file is taken as announced.
    if (out.lastAnnounced.isEmpty() && input.tick < 10)
        out.lastAnnounced = out.alert;

    out.memo.append(kAlertMemoHeader);
    if (newest >= 0) {
        out.memo.append(out.alert);
        const QString date = out.alert.left(11);
        for (qsizetype i = newest - 1; i >= 0 && i > newest - 3; --i) {
            const QString& line = history[i];
            if (line.isEmpty() || GetField(line, u',', 1).left(11) != date)
                break;
            out.memo.append(line);
        }
    }
    out.memoAfter = out.memo;

    if (out.alert.isEmpty() || out.alert == out.lastAnnounced)
        return out;

    out.announce = true;
    out.logLine = QStringLiteral("Timer Alert - ") + out.alert;
    out.lastAnnounced = out.alert;
    if (input.emailTo.contains(u'@')) {
        out.channel = AlertChannel::Mail;
        out.tones = input.tonesTickedAndShown;
        out.memoAfter.clear();
    } else if (input.alertsTicked) {
        out.channel = AlertChannel::Hook;
    }
    return out;
}

} // namespace beamtide
