#pragma once

#include "retrieval/AddressLookup.h"
#include "retrieval/SpotFetcher.h"

#include <functional>
#include <memory>

namespace beamtide {

class Clock;
class HttpClient;
class NetWorker;
class RunLog;

// The network side of a refresh and of an address lookup. Results come back later, on the
// caller's thread; the refresh never has two fetches or two lookups out at once.
class RefreshJobs
{
public:
    using FetchDone = std::function<void(const FetchOutcome&)>;
    using LookupDone = std::function<void(const AddressOutcome&)>;

    virtual ~RefreshJobs() = default;

    // What to show now; done follows in every case, also when the gate is shut. myCall is
    // called just before a MyCall query is built.
    virtual FetchStart fetch(const FetchRequest& request, std::function<void()> myCall,
                             FetchDone done) = 0;
    virtual void lookup(const AddressRequest& request, LookupDone done) = 0;
};

// The jobs on the network thread: the spot fetch and the echo service lookup.
class WorkerJobs final : public RefreshJobs
{
public:
    WorkerJobs(NetWorker& worker, std::shared_ptr<HttpClient> client, const RunLog& log,
               const Clock& clock, const QString& spotDatabaseUrl, const QString& echoUrl,
               const QString& wsprLiveUrl);
    ~WorkerJobs() override;

    FetchStart fetch(const FetchRequest& request, std::function<void()> myCall,
                     FetchDone done) override;
    void lookup(const AddressRequest& request, LookupDone done) override;

    SpotFetcher& fetcher() { return m_fetcher; }
    AddressLookup& addressLookup() { return m_lookup; }

private:
    SpotFetcher m_fetcher;
    AddressLookup m_lookup;
    std::function<void()> m_myCall;
    FetchDone m_fetchDone;
    LookupDone m_lookupDone;
};

} // namespace beamtide
