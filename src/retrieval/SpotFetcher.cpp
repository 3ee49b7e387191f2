#include "retrieval/SpotFetcher.h"

#include "base/Clock.h"
#include "base/Config.h"
#include "base/DateFormats.h"
#include "base/RunLog.h"
#include "base/TextFile.h"
#include "net/HttpClient.h"
#include "net/NetWorker.h"
#include "retrieval/WsprLive.h"

namespace beamtide {

struct SpotFetcher::ActivityStage
{
    int result = 0;
    QStringList errors;
    QStringList saveErrors;
};

struct SpotFetcher::QueryStage
{
    qsizetype pageLines = 0;
    std::optional<ParseResult> parse;
    QStringList spots;
    QStringList errors;
    std::optional<SpotSource> answeredBy;
    QString fallbackReason; // set when the spot database failed in this fetch
    QStringList saveErrors;
};

// Which sources a fetch asks, decided when it starts.
struct SpotFetcher::Plan
{
    bool askDatabase = true; // the activity test and the spot query
    bool fallback = false;   // Automatic: wspr.live answers when the spot database fails
};

namespace {

// Writes the failure to the run log under the given label and keeps it for the outcome.
void fail(const RunLog& log, int instance, QStringView label, const QString& message,
          QStringList& errors)
{
    log.write(QString::number(instance) + u": " + label + message);
    errors << message;
}

// Saves the files one after the other; the first failure ends the run and is returned.
// The lines are a list, or a page as received.
template <typename Lines>
std::optional<QString> saveAll(const QStringList& paths, const Lines& lines)
{
    for (const QString& path : paths) {
        const SaveResult saved = saveLines(path, lines);
        if (!saved.ok)
            return saved.message();
    }
    return std::nullopt;
}

} // namespace

SpotFetcher::SpotFetcher(NetWorker& worker, std::shared_ptr<HttpClient> client,
                         const RunLog& log, const Clock& clock, QObject* parent)
    : QObject(parent),
      m_worker(worker),
      m_client(std::move(client)),
      m_log(log),
      m_clock(clock),
      m_baseUrl(config::spotDatabaseBaseUrl()),
      m_wsprLiveBaseUrl(config::wsprLiveBaseUrl())
{
}

std::optional<FetchStart> SpotFetcher::FetchSpots(const FetchRequest& request)
{
    if (m_busy)
        return std::nullopt;
    m_busy = true;

    FetchStart start;
    start.addressLabel = AddressLabel(request.publicAddress, request.showAddress, request.addressUnknown);
    start.gateOpen = AddressGateOpen(request.publicAddress, request.addressUnknown);
    if (!start.gateOpen) {
        // Nothing is sent and nothing is scheduled: the next tick tries again.
        QMetaObject::invokeMethod(
            this,
            [this, request] {
                m_busy = false;
                FetchOutcome outcome;
                outcome.addressLabel = AddressLabel(request.publicAddress, request.showAddress, request.addressUnknown);
                outcome.instance = request.identity.instance;
                outcome.untickHistorical = request.historical;
                Q_EMIT finished(outcome);
            },
            Qt::QueuedConnection);
        return start;
    }

    Plan plan;
    if (request.source == SpotSource::WsprLive) {
        plan.askDatabase = false;
    } else if (request.source == SpotSource::Automatic) {
        if (m_stayUntil.isValid() && m_clock.nowUtc() < m_stayUntil) {
            plan.askDatabase = false;
        } else {
            if (m_stayUntil.isValid())
                m_log.write(QString::number(request.identity.instance)
                            + u" Spot source: " + QString::number(kWsprLiveStayMinutes)
                            + u" minutes on wspr.live are over, asking the spot database again");
            m_stayUntil = {};
            m_stayReason.clear();
            plan.fallback = true;
        }
    }
    if (!plan.askDatabase) {
        QMetaObject::invokeMethod(
            this, [this, request, plan] { afterActivity(request, plan, ActivityStage{}); },
            Qt::QueuedConnection);
        return start;
    }

    const QString url = m_baseUrl + kActivityPath;
    m_worker.post<ActivityStage>(
        [client = m_client, log = &m_log, url, identity = request.identity, limits = m_limits] {
            ActivityStage stage;
            const int n = identity.instance;
            log->write(QString::number(n) + u" Activity test : " + url);
            const HttpResult reply = client->get(url, limits);
            if (!reply.ok) {
                fail(*log, n, u"HTTP error: ", reply.error, stage.errors);
                return stage;
            }
            stage.result = ActivityResult(countLines(reply.body));
            if (stage.result > 0) {
                if (const auto error = saveAll({ActivityFile(identity)}, QByteArrayView(reply.body))) {
                    fail(*log, n, u"HTTP error: ", *error, stage.errors);
                    stage.saveErrors << *error;
                    return stage;
                }
            }
            log->write(QString::number(n) + u" Activity result: "
                       + QString::number(stage.result));
            return stage;
        },
        this, [this, request, plan](ActivityStage stage) {
            afterActivity(request, plan, std::move(stage));
        });
    return start;
}

void SpotFetcher::afterActivity(FetchRequest request, Plan plan, ActivityStage activity)
{
    const bool databaseQuery = plan.askDatabase && activity.result > kActivityThreshold;
    // wspr.live before any spot query: chosen, during the stay, or the activity test failed.
    const bool liveFirst = !plan.askDatabase || (plan.fallback && !databaseQuery);
    QString activityFailure;
    if (plan.fallback && !databaseQuery)
        activityFailure = activity.errors.isEmpty()
                              ? QStringLiteral("activity result %1, %2 or more needed")
                                    .arg(activity.result)
                                    .arg(kActivityThreshold + 1)
                              : u"activity test failed: " + activity.errors.last();
    const bool query = databaseQuery || request.source != SpotSource::WsprNet;
    if (query && request.band == kBandMyCall) {
        Q_EMIT myCallControls();
        request.updateInterval = 10;
    }
    const QString url = databaseQuery
                            ? m_baseUrl
                                  + SpotQueryPath(request.band, request.sortByKm,
                                                  request.historical, request.identity.myCall)
                            : QString();
    QString liveUrl;
    QString liveRefused;
    if (request.source != SpotSource::WsprNet) {
        const wsprlive::Query live = wsprlive::BuildQuery(request.band, request.sortByKm,
                                                          request.historical, request.identity.myCall);
        if (live.sql.isEmpty())
            liveRefused = live.error;
        else
            liveUrl = wsprlive::QueryUrl(m_wsprLiveBaseUrl, live.sql);
    }
    HttpLimits liveLimits = m_limits;
    liveLimits.maxLineLength = 64 * 1024; // an answer row is a few dozen characters

    m_worker.post<QueryStage>(
        [client = m_client, log = &m_log, url, identity = request.identity,
         myCallSpots = request.myCallSpots, previous = activity.errors, limits = m_limits,
         fallback = plan.fallback, liveFirst, activityFailure, liveUrl, liveRefused, liveLimits,
         previousSaves = activity.saveErrors] {
            QueryStage stage;
            stage.errors = previous;
            stage.saveErrors = previousSaves;
            const int n = identity.instance;
            bool useLive = liveFirst;
            stage.fallbackReason = activityFailure;
            if (!url.isEmpty()) {
                log->write(QString::number(n) + u": " + url);
                // The page stays as received: saved byte for byte, parsed where it lies,
                // and let go once the spot lines are made.
                const HttpResult reply = client->get(url, limits);
                if (!reply.ok) {
                    fail(*log, n, u"HTTP error: ", reply.error, stage.errors);
                } else {
                    const QByteArrayView page = reply.body;
                    stage.pageLines = countLines(page);
                    std::optional<QString> error;
                    if (stage.pageLines >= 2)
                        error = saveAll({SpotPageFile(identity), SpotPageCopyFile(identity)}, page);
                    if (error) {
                        fail(*log, n, u"HTTP error: ", *error, stage.errors);
                        stage.saveErrors << *error;
                    } else
                        log->write(QString::number(n) + u" Get-HTTP result: "
                                   + QString::number(stage.pageLines - 1));
                    if (stage.pageLines >= 3)
                        stage.parse = ParseSpotPage(page, stage.spots);
                }
                std::optional<QString> failure;
                if (!reply.ok)
                    failure = u"spot query failed: " + reply.error;
                else
                    failure = SpotPageFailure(reply.body, stage.pageLines, stage.parse, stage.spots.size());
                if (fallback && failure) {
                    stage.fallbackReason = *failure;
                    stage.parse.reset();
                    stage.spots.clear();
                    useLive = true;
                } else if (reply.ok) {
                    stage.answeredBy = SpotSource::WsprNet;
                    if (stage.parse && stage.parse->incomplete)
                        log->write(QString::number(n) + u": Spot page ended early, "
                                   + QString::number(stage.spots.size()) + u" spots kept");
                }
            }
            if (useLive) {
                if (!stage.fallbackReason.isEmpty())
                    log->write(QString::number(n) + u" Spot database failed (" + stage.fallbackReason
                               + u"): asking wspr.live, alone for the next "
                               + QString::number(kWsprLiveStayMinutes) + u" minutes");
                if (liveUrl.isEmpty()) {
                    fail(*log, n, u"wspr.live: ", liveRefused, stage.errors);
                } else {
                    log->write(QString::number(n) + u" wspr.live query: " + liveUrl);
                    const HttpResult reply = client->get(liveUrl, liveLimits, HttpClient::ownUserAgent());
                    if (!reply.ok) {
                        fail(*log, n, u"wspr.live error: ", reply.error, stage.errors);
                    } else {
                        wsprlive::Rows rows = wsprlive::AnswerToSpotLines(reply.body);
                        for (const QString& skipped : rows.errors)
                            fail(*log, n, QStringView(), skipped, stage.errors);
                        log->write(QString::number(n) + u" wspr.live result: "
                                   + QString::number(rows.spots.size()));
                        ParseResult result;
                        // An empty answer is the mirror's "No posts found!".
                        result.noPosts = rows.spots.isEmpty();
                        result.completed = !result.noPosts;
                        result.entries = int(rows.spots.size());
                        stage.parse = result;
                        stage.spots = std::move(rows.spots);
                        stage.answeredBy = SpotSource::WsprLive;
                    }
                }
            }
            // Lists are saved from their first line on: one spot is worth keeping.
            if (!stage.spots.isEmpty()) {
                if (const auto error = saveAll({SpotListFile(identity)}, stage.spots)) {
                    fail(*log, n, u"File error: ", *error, stage.errors);
                    stage.saveErrors << *error;
                }
            }
            if (!identity.myCall.isEmpty() && !myCallSpots.isEmpty()) {
                if (const auto error = saveAll({MyCallSpotsFile(identity)}, myCallSpots)) {
                    fail(*log, n, u"File error: ", *error, stage.errors);
                    stage.saveErrors << *error;
                }
            }
            return stage;
        },
        this, [this, request, result = activity.result, query](QueryStage stage) {
            finish(request, result, query, std::move(stage));
        });
}

void SpotFetcher::finish(const FetchRequest& request, int activityResult, bool queried,
                         QueryStage stage)
{
    m_busy = false;
    FetchOutcome outcome;
    outcome.gateOpen = true;
    outcome.addressLabel = AddressLabel(request.publicAddress, request.showAddress, request.addressUnknown);
    outcome.activityResult = activityResult;
    if (queried)
        outcome.fetchedBand = request.band;
    outcome.pageLines = stage.pageLines;
    outcome.parse = stage.parse;
    outcome.spots = std::move(stage.spots);

    const Schedule schedule =
        ScheduleNextUpdate(m_clock.nowLocal(), request.updateInterval, request.identity.instance);
    outcome.lastRetrieval = schedule.lastRetrieval;
    outcome.nextUpdate = schedule.nextUpdate;
    outcome.lastUpdateText = longTime(schedule.lastRetrieval.time());
    outcome.nextUpdateText = longTime(schedule.nextUpdate.time());
    outcome.instance = schedule.instance;

    if (!request.identity.myCall.isEmpty())
        outcome.myCallCount = int(request.myCallSpots.size());
    outcome.untickHistorical = request.historical;

    if (!stage.fallbackReason.isEmpty()) {
        m_stayUntil = m_clock.nowUtc().addSecs(qint64(kWsprLiveStayMinutes) * 60);
        m_stayReason = stage.fallbackReason;
    }
    outcome.answeredBy = stage.answeredBy;
    if (request.source == SpotSource::Automatic && m_stayUntil.isValid()) {
        outcome.fallbackReason = m_stayReason;
        outcome.retryAt = m_clock.nowLocal().addSecs(m_clock.nowUtc().secsTo(m_stayUntil));
    }
    outcome.errors = std::move(stage.errors);
    outcome.saveErrors = std::move(stage.saveErrors);
    Q_EMIT finished(outcome);
}

std::optional<QString> FetchFailure(const FetchOutcome& outcome)
{
    if (!outcome.gateOpen || outcome.answeredBy)
        return std::nullopt;
    if (outcome.errors.isEmpty())
        return QStringLiteral("the activity test gave %1 lines, %2 or more are needed for a query")
            .arg(outcome.activityResult)
            .arg(kActivityThreshold + 1);
    // The last error is the one that ended the fetch; a server's text may be long.
    return outcome.errors.last().left(300);
}

QString FetchProblemHint(const QString& failure, const QString& attemptTime, const QString& keptFrom)
{
    QString hint = QStringLiteral("The fetch at %1 failed: %2").arg(attemptTime, failure);
    if (!keptFrom.isEmpty())
        hint += QStringLiteral("\nThe spots shown are from the fetch at %1.").arg(keptFrom);
    return hint;
}

} // namespace beamtide
