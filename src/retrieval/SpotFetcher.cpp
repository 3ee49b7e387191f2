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
    bool aborted = false; // by the shut-down
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
    SourceChoice::End database = SourceChoice::End::NotAsked;
    SourceChoice::End live = SourceChoice::End::NotAsked;
    bool querySent = false; // to either source: the Historical tick has done its work
    QStringList saveErrors;
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
                // Only for the hint: nothing is shown in Edit3 and nothing is scheduled.
                outcome.lastUpdateText = longTime(m_clock.nowLocal().time());
                Q_EMIT finished(outcome);
            },
            Qt::QueuedConnection);
        return start;
    }

    const Plan plan = m_choice.plan(request.source, m_clock.nowUtc());
    if (!plan.notice.isEmpty())
        m_log.write(QString::number(request.identity.instance) + u" Spot source: " + plan.notice);
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
            if (!reply.ok && NetWorker::currentJobCancelled()) {
                stage.aborted = true; // the shut-down's, not the spot database's
                return stage;
            }
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

void SpotFetcher::afterActivity(const FetchRequest& request, Plan plan, ActivityStage activity)
{
    if (activity.aborted) {
        QueryStage stage;
        stage.database = SourceChoice::End::Aborted;
        finish(request, 0, false, std::move(stage));
        return;
    }
    const bool databaseQuery = plan.askDatabase && activity.result > kActivityThreshold;
    // wspr.live before any spot query: chosen, during the stay, or the activity test failed.
    const bool liveFirst = plan.askLive || (plan.fallback && !databaseQuery);
    QString activityFailure;
    if (plan.fallback && !databaseQuery)
        activityFailure = activity.errors.isEmpty()
                              ? QStringLiteral("activity result %1, %2 or more needed")
                                    .arg(activity.result)
                                    .arg(kActivityThreshold + 1)
                              : u"activity test failed: " + activity.errors.last();
    const bool query = databaseQuery || request.source != SpotSource::WsprNet;
    if (query && request.band == kBandMyCall)
        Q_EMIT myCallControls();
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
            if (!activityFailure.isEmpty())
                stage.database = SourceChoice::End::Failed;
            if (!url.isEmpty()) {
                log->write(QString::number(n) + u": " + url);
                stage.querySent = true;
                // The page stays as received: saved byte for byte, parsed where it lies,
                // and let go once the spot lines are made.
                const HttpResult reply = client->get(url, limits);
                if (!reply.ok && NetWorker::currentJobCancelled()) {
                    // The shut-down ended the transfer: no failure, nothing more to ask.
                    stage.database = SourceChoice::End::Aborted;
                    return stage;
                }
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
                if (failure) {
                    // A page without the report table (an error or maintenance page sent
                    // with 200) is no answer, whichever source was chosen.
                    stage.database = SourceChoice::End::Failed;
                    if (reply.ok)
                        fail(*log, n, u"Spot page: ", *failure, stage.errors);
                    stage.parse.reset();
                    stage.spots.clear();
                    if (fallback) {
                        stage.fallbackReason = *failure;
                        useLive = true;
                    }
                } else {
                    stage.database = SourceChoice::End::Answered;
                    stage.answeredBy = SpotSource::WsprNet;
                    if (stage.parse && stage.parse->incomplete)
                        log->write(QString::number(n) + u": Spot page ended early, "
                                   + QString::number(stage.spots.size()) + u" spots kept");
                }
            }
            if (useLive) {
                if (!stage.fallbackReason.isEmpty())
                    log->write(QString::number(n) + u" Spot database failed (" + stage.fallbackReason
                               + u"): asking wspr.live");
                stage.live = SourceChoice::End::Failed;
                if (liveUrl.isEmpty()) {
                    fail(*log, n, u"wspr.live: ", liveRefused, stage.errors);
                } else {
                    log->write(QString::number(n) + u" wspr.live query: " + liveUrl);
                    stage.querySent = true;
                    const HttpResult reply = client->get(liveUrl, liveLimits, HttpClient::ownUserAgent());
                    if (!reply.ok && NetWorker::currentJobCancelled()) {
                        stage.live = SourceChoice::End::Aborted;
                        return stage;
                    }
                    if (!reply.ok) {
                        fail(*log, n, u"wspr.live error: ", reply.error, stage.errors);
                    } else {
                        wsprlive::Rows rows = wsprlive::AnswerToSpotLines(reply.body);
                        for (const QString& skipped : rows.errors)
                            fail(*log, n, QStringView(), skipped, stage.errors);
                        if (const auto unreadable = wsprlive::UnreadableAnswer(rows)) {
                            // An error page sent with 200, a redirect that led nowhere, rows
                            // of another shape: no answer, not "no spots".
                            fail(*log, n, u"wspr.live error: ", *unreadable, stage.errors);
                        } else {
                            log->write(QString::number(n) + u" wspr.live result: "
                                       + QString::number(rows.spots.size()));
                            if (!stage.fallbackReason.isEmpty())
                                log->write(QString::number(n) + u" wspr.live answered: asked alone for the next "
                                           + QString::number(kWsprLiveStayMinutes) + u" minutes");
                            ParseResult result;
                            // An empty answer is the mirror's "No posts found!".
                            result.noPosts = rows.spots.isEmpty();
                            result.completed = !result.noPosts;
                            result.entries = int(rows.spots.size());
                            stage.parse = result;
                            stage.spots = std::move(rows.spots);
                            stage.answeredBy = SpotSource::WsprLive;
                            stage.live = SourceChoice::End::Answered;
                        }
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

    // The next update is the refresh's owner's to work out, from this time and the interval
    // shown when the fetch ends.
    outcome.lastRetrieval = m_clock.nowLocal();
    outcome.lastUpdateText = longTime(outcome.lastRetrieval.time());
    outcome.instance = request.identity.instance;

    if (!request.identity.myCall.isEmpty())
        outcome.myCallCount = int(request.myCallSpots.size());
    outcome.untickHistorical = request.historical && stage.querySent;

    m_choice.record(request.source, stage.database, stage.live, stage.fallbackReason, m_clock.nowUtc());
    outcome.answeredBy = stage.answeredBy;
    if (request.source == SpotSource::Automatic && stage.answeredBy == SpotSource::WsprLive
        && m_choice.stayUntil().isValid()) {
        outcome.fallbackReason = m_choice.stayReason();
        outcome.retryAt = m_clock.nowLocal().addSecs(m_clock.nowUtc().secsTo(m_choice.stayUntil()));
    }
    outcome.errors = std::move(stage.errors);
    outcome.saveErrors = std::move(stage.saveErrors);
    Q_EMIT finished(outcome);
}

std::optional<QString> FetchFailure(const FetchOutcome& outcome)
{
    if (!outcome.gateOpen)
        return QStringLiteral("offline, no public address: nothing was asked");
    if (outcome.answeredBy)
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
