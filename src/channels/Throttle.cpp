#include "channels/Throttle.h"

#include <QRegularExpression>

namespace beamtide {

std::optional<QuietHours> QuietHours::parse(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*(\d{1,2}):(\d{2})\s*-\s*(\d{1,2}):(\d{2})\s*$)"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QTime from(m.captured(1).toInt(), m.captured(2).toInt());
    const QTime to(m.captured(3).toInt(), m.captured(4).toInt());
    if (!from.isValid() || !to.isValid())
        return std::nullopt;
    return QuietHours{from, to};
}

bool QuietHours::contains(const QTime& local) const
{
    if (from == to)
        return false;
    if (from < to)
        return local >= from && local < to;
    return local >= from || local < to; // across midnight
}

Throttle::Throttle(const ThrottleLimits& limits)
    : m_limits(limits), m_quiet(QuietHours::parse(limits.quiet))
{
}

ThrottleDecision Throttle::admit(const QString& call, const QString& band, const QDateTime& local)
{
    if (m_quiet && m_quiet->contains(local.time()))
        return {false, QStringLiteral("quiet hours %1").arg(m_limits.quiet.trimmed())};

    const QString key = call.toUpper() + u' ' + band;
    const qint64 cooldownSecs = qint64(m_limits.cooldownMinutes) * 60;
    if (cooldownSecs > 0) {
        const auto it = m_lastDelivered.constFind(key);
        if (it != m_lastDelivered.constEnd()) {
            const qint64 since = it->secsTo(local);
            // A clock set back a little stays within the cooldown; one set back by hours
            // must not silence the call for those hours.
            if (qAbs(since) < cooldownSecs)
                return {false, QStringLiteral("%1 on %2 already delivered within %3 min")
                                   .arg(call, band)
                                   .arg(m_limits.cooldownMinutes)};
        }
    }

    if (local.date() != m_day) {
        m_day = local.date();
        m_deliveredToday = 0;
    }
    if (m_limits.dailyCap > 0 && m_deliveredToday >= m_limits.dailyCap)
        return {false, QStringLiteral("daily cap of %1 reached").arg(m_limits.dailyCap)};

    ++m_deliveredToday;
    m_lastDelivered.insert(key, local);
    // Entries past their cooldown decide nothing any more; a long run keeps the table small.
    if (m_lastDelivered.size() > 1000) {
        for (auto it = m_lastDelivered.begin(); it != m_lastDelivered.end();) {
            if (it->secsTo(local) >= cooldownSecs)
                it = m_lastDelivered.erase(it);
            else
                ++it;
        }
    }
    return {};
}

} // namespace beamtide
