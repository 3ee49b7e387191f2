#pragma once

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QTime>

#include <optional>

namespace beamtide {

// A local time range such as "22:00-07:00"; the end is outside the range, and a range whose
// end comes before its start runs across midnight.
struct QuietHours
{
    QTime from;
    QTime to;

    // Empty text gives no range; text that is not "hh:mm-hh:mm" gives nothing either.
    static std::optional<QuietHours> parse(const QString& text);
    bool contains(const QTime& local) const;
};

struct ThrottleLimits
{
    int cooldownMinutes = 30; // the same call on the same band is delivered once in this time
    int dailyCap = 50;        // deliveries per local day; 0 or less: no cap
    QString quiet;            // QuietHours text; empty: none
};

struct ThrottleDecision
{
    bool deliver = true;
    QString reason; // why not, in words, for the run log
};

// The limits one channel follows against floods. Only deliveries count: an alert held back
// starts no cooldown and uses none of the day's cap.
class Throttle final
{
public:
    explicit Throttle(const ThrottleLimits& limits = {});

    ThrottleDecision admit(const QString& call, const QString& band, const QDateTime& local);

private:
    ThrottleLimits m_limits;
    std::optional<QuietHours> m_quiet;
    QHash<QString, QDateTime> m_lastDelivered; // "CALL band" -> local time
    QDate m_day;
    int m_deliveredToday = 0;
};

} // namespace beamtide
