#include "retrieval/SourceChoice.h"

#include "retrieval/FetchRules.h"

namespace beamtide {

SourceChoice::Plan SourceChoice::plan(SpotSource setting, const QDateTime& nowUtc)
{
    Plan plan;
    switch (setting) {
    case SpotSource::WsprNet:
        break;
    case SpotSource::WsprLive:
        plan.askDatabase = false;
        plan.askLive = true;
        break;
    case SpotSource::Automatic:
        if (m_stayUntil.isValid() && nowUtc < m_stayUntil) {
            plan.askDatabase = false;
            plan.askLive = true;
            break;
        }
        if (m_stayUntil.isValid())
            plan.notice = QString::number(kWsprLiveStayMinutes)
                          + u" minutes on wspr.live are over, asking the spot database again";
        m_stayUntil = {};
        m_stayReason.clear();
        plan.fallback = true;
        break;
    }
    return plan;
}

void SourceChoice::record(SpotSource setting, End database, End live, const QString& databaseFailure,
                          const QDateTime& nowUtc)
{
    if (setting != SpotSource::Automatic || database == End::Aborted || live == End::Aborted)
        return;
    if (database == End::Failed && live == End::Answered) {
        // The stay begins only once wspr.live has shown it can stand in.
        m_stayUntil = nowUtc.addSecs(qint64(kWsprLiveStayMinutes) * 60);
        m_stayReason = databaseFailure;
    } else if (live == End::Failed) {
        // Neither source is known to be better: the next fetch asks the spot database.
        m_stayUntil = {};
        m_stayReason.clear();
    }
}

} // namespace beamtide
