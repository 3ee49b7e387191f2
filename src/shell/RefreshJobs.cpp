#include "shell/RefreshJobs.h"

namespace beamtide {

WorkerJobs::WorkerJobs(NetWorker& worker, std::shared_ptr<HttpClient> client, const RunLog& log,
                       const Clock& clock, const QString& spotDatabaseUrl, const QString& echoUrl,
                       const QString& wsprLiveUrl)
    : m_fetcher(worker, client, log, clock), m_lookup(worker, client, log)
{
    m_fetcher.setBaseUrl(spotDatabaseUrl);
    m_fetcher.setWsprLiveBaseUrl(wsprLiveUrl);
    m_lookup.setBaseUrl(echoUrl);
    QObject::connect(&m_fetcher, &SpotFetcher::myCallControls, &m_fetcher, [this] {
        if (m_myCall)
            m_myCall();
    });
    QObject::connect(&m_fetcher, &SpotFetcher::finished, &m_fetcher, [this](const FetchOutcome& outcome) {
        // Taken out first: the handler may start the next fetch.
        const FetchDone done = std::exchange(m_fetchDone, {});
        m_myCall = {};
        if (done)
            done(outcome);
    });
    QObject::connect(&m_lookup, &AddressLookup::finished, &m_lookup, [this](const AddressOutcome& outcome) {
        const LookupDone done = std::exchange(m_lookupDone, {});
        if (done)
            done(outcome);
    });
}

WorkerJobs::~WorkerJobs() = default;

FetchStart WorkerJobs::fetch(const FetchRequest& request, std::function<void()> myCall, FetchDone done)
{
    m_myCall = std::move(myCall);
    m_fetchDone = std::move(done);
    const std::optional<FetchStart> start = m_fetcher.FetchSpots(request);
    // The refresh starts one fetch at a time, so the fetcher is never busy here.
    Q_ASSERT(start);
    return start.value_or(FetchStart{});
}

void WorkerJobs::lookup(const AddressRequest& request, LookupDone done)
{
    m_lookupDone = std::move(done);
    const bool started = m_lookup.LookupPublicAddress(request);
    Q_ASSERT(started);
    (void)started;
}

} // namespace beamtide
