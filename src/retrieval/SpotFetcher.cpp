#include "retrieval/SpotFetcher.h"

#include "base/Clock.h"
#include "base/Config.h"
#include "base/DateFormats.h"
#include "base/RunLog.h"
#include "base/TextFile.h"
#include "net/HttpClient.h"
#include "net/NetWorker.h"

namespace beamtide {

struct SpotFetcher::ActivityStage
{
    int result = 0;
    QStringList errors;
};

struct SpotFetcher::QueryStage
{
    qsizetype pageLines = 0;
    std::optional<ParseResult> parse;
    QStringList spots;
    QStringList errors;
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
std::optional<QString> saveAll(const QStringList& paths, const QStringList& lines)
{
    for (const QString& path : paths) {
        const SaveResult saved = saveLines(path, lines);
        if (!saved.ok)
            return u"Cannot save " + path + u": " + saved.error;
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
      m_baseUrl(config::spotDatabaseBaseUrl())
{
}

std::optional<FetchStart> SpotFetcher::FetchSpots(const FetchRequest& request)
{
    if (m_busy)
        return std::nullopt;
    m_busy = true;

    FetchStart start;
    start.addressLabel = AddressLabel(request.publicAddress, request.showAddress);
    start.gateOpen = AddressGateOpen(request.publicAddress);
    if (!start.gateOpen) {
        // Nothing is sent and nothing is scheduled: the next tick tries again.
        QMetaObject::invokeMethod(
            this,
            [this, request] {
                m_busy = false;
                FetchOutcome outcome;
                outcome.addressLabel = AddressLabel(request.publicAddress, request.showAddress);
                outcome.instance = request.identity.instance;
                outcome.untickHistorical = request.historical;
                Q_EMIT finished(outcome);
            },
            Qt::QueuedConnection);
        return start;
    }

    const QString url = m_baseUrl + kActivityPath;
    m_worker.post<ActivityStage>(
        [client = m_client, log = &m_log, url, identity = request.identity] {
            ActivityStage stage;
            const int n = identity.instance;
            log->write(QString::number(n) + u" Activity test : " + url);
            const HttpResult reply = client->get(url);
            if (!reply.ok) {
                fail(*log, n, u"HTTP error: ", reply.error, stage.errors);
                return stage;
            }
            const QStringList lines = splitLines(decodeText(reply.body));
            stage.result = ActivityResult(lines.size());
            if (stage.result > 0) {
                if (const auto error = saveAll({ActivityFile(identity)}, lines)) {
                    fail(*log, n, u"HTTP error: ", *error, stage.errors);
                    return stage;
                }
            }
            log->write(QString::number(n) + u" Activity result: "
                       + QString::number(stage.result));
            return stage;
        },
        this, [this, request](ActivityStage stage) { afterActivity(request, std::move(stage)); });
    return start;
}

void SpotFetcher::afterActivity(FetchRequest request, ActivityStage activity)
{
    const bool query = activity.result > kActivityThreshold;
    if (query && request.band == kBandMyCall) {
        Q_EMIT myCallControls();
        request.updateInterval = 10;
    }
    const QString url = query ? m_baseUrl
                                    + SpotQueryPath(request.band, request.sortByKm,
                                                    request.historical, request.identity.myCall)
                              : QString();

    m_worker.post<QueryStage>(
        [client = m_client, log = &m_log, url, identity = request.identity,
         myCallSpots = request.myCallSpots, previous = activity.errors] {
            QueryStage stage;
            stage.errors = previous;
            const int n = identity.instance;
            QStringList page;
            if (!url.isEmpty()) {
                log->write(QString::number(n) + u": " + url);
                const HttpResult reply = client->get(url);
                if (!reply.ok) {
                    fail(*log, n, u"HTTP error: ", reply.error, stage.errors);
                } else {
                    page = splitLines(decodeText(reply.body));
                    std::optional<QString> error;
                    if (page.size() >= 2)
                        error = saveAll({SpotPageFile(identity), SpotPageCopyFile(identity)}, page);
                    if (error)
                        fail(*log, n, u"HTTP error: ", *error, stage.errors);
                    else
                        log->write(QString::number(n) + u" Get-HTTP result: "
                                   + QString::number(page.size() - 1));
                }
            }
            stage.pageLines = page.size();
            if (page.size() >= 3)
                stage.parse = ParseSpotPage(page, stage.spots);
            // Lists are saved from their first line on: one spot is worth keeping.
            if (!stage.spots.isEmpty()) {
                if (const auto error = saveAll({SpotListFile(identity)}, stage.spots))
                    fail(*log, n, u"File error: ", *error, stage.errors);
            }
            if (!identity.myCall.isEmpty() && !myCallSpots.isEmpty()) {
                if (const auto error = saveAll({MyCallSpotsFile(identity)}, myCallSpots))
                    fail(*log, n, u"File error: ", *error, stage.errors);
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
    outcome.addressLabel = AddressLabel(request.publicAddress, request.showAddress);
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
    outcome.errors = std::move(stage.errors);
    Q_EMIT finished(outcome);
}

} // namespace beamtide
