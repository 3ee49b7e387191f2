#include "shell/Refresher.h"

#include "base/DateFormats.h"
#include "history/History.h"
#include "shell/RefreshJobs.h"
#include "shell/UpdateCycle.h"

namespace beamtide {

Refresher::Refresher(RefreshView& view, RefreshJobs& jobs, Identity& identity,
                     AddressWatch::Source source, QObject* parent)
    : QObject(parent), m_view(view), m_jobs(jobs), m_identity(identity), m_watch(nullptr, std::move(source))
{
    connect(&m_watch, &AddressWatch::onlineChanged, this, [this](bool online) {
        if (!online)
            wentOffline();
    });
}

Refresher::~Refresher() = default;

void Refresher::startUp()
{
    if (m_phase != Phase::Before)
        return;
    m_phase = Phase::StartingUp;
    m_publicAddress.clear();
    m_localAddress.clear();
    m_fetchedBand.clear();
    m_spots.clear();
    // The first refresh needs the lookup's answer to pass its gate.
    if (!lookUp())
        firstRefresh();
}

void Refresher::firstRefresh()
{
    m_phase = Phase::Running;
    m_view.repaintWindow();
    start(true);
    Q_EMIT startUpFinished();
}

void Refresher::ask()
{
    // The start-up's first refresh is still to come and will read the controls then.
    if (m_phase == Phase::StartingUp || m_phase == Phase::Stopped)
        return;
    if (m_running || m_lookupRunning) {
        m_pending = true;
        m_pendingByUser = true;
        return;
    }
    start(true);
}

void Refresher::tickRefresh()
{
    if (m_phase != Phase::Running || m_running)
        return;
    // The 300th tick's lookup has just been posted: the gate waits for its answer.
    if (m_lookupRunning) {
        m_pending = true;
        return;
    }
    start(false);
}

void Refresher::runPending()
{
    if (m_pending && !m_running && !m_lookupRunning && m_phase == Phase::Running)
        start(m_pendingByUser);
}

void Refresher::start(bool byUser)
{
    if (m_phase == Phase::Stopped)
        return;
    m_running = true;
    m_byUser = byUser;
    m_pending = false;
    m_pendingByUser = false;
    m_indicatorAfterFetch.reset();
    // The rows on screen stay until the outcome replaces them in one step: an empty grid for
    // the length of every fetch would tell the operator nothing.

    FetchRequest request = m_view.fetchControls();
    m_requestedBand = request.band;
    request.publicAddress = m_publicAddress;
    request.addressUnknown = addressUnknown();
    request.showAddress = m_identity.showAddress;
    request.identity = m_identity;
    m_fetchInstance = m_identity.instance;
    const FetchStart start = m_jobs.fetch(
        request, [this] { m_view.myCallControls(); },
        [this](const FetchOutcome& outcome) { fetchDone(outcome); });
    m_view.showAddressLabel(start.addressLabel);
    if (start.gateOpen) {
        m_view.showBusy(true);
        m_view.showIndicator(Indicator::Lime, true);
    }
}

void Refresher::fetchDone(const FetchOutcome& outcome)
{
    if (m_phase == Phase::Stopped) {
        m_running = false;
        return;
    }
    FetchOutcome shown = outcome;
    if (outcome.gateOpen) {
        m_view.showBusy(false);
        // What a lookup or the watch found out during the fetch is news the end of the
        // fetch must not hide.
        if (m_indicatorAfterFetch)
            m_view.showIndicator(*m_indicatorAfterFetch, true);
        else
            m_view.showIndicator(Indicator::ButtonFace, false);

        // With the interval shown now: the user or MyCall mode may have moved it meanwhile.
        const Schedule schedule =
            ScheduleNextUpdate(outcome.lastRetrieval, m_view.updateInterval(), m_fetchInstance);
        m_lastRetrieval = schedule.lastRetrieval;
        m_nextUpdate = schedule.nextUpdate;
        m_identity.instance = schedule.instance;
        shown.nextUpdate = schedule.nextUpdate;
        shown.nextUpdateText = longTime(schedule.nextUpdate.time());
        shown.instance = schedule.instance;
    }
    // The band the query asked for, which is what the spot list holds.
    if (outcome.fetchedBand)
        m_fetchedBand = *outcome.fetchedBand;
    m_spots = outcome.spots;
    m_allBands.reset();
    if (outcome.parse && outcome.parse->completed)
        m_pageParsed = true;
    if (const std::optional<QString> failure = FetchFailure(outcome)) {
        // The spots of the last answer for the same band stay on screen, and so does the
        // time they are from.
        const bool keep = !m_lastGood.spots.isEmpty() && m_lastGood.band == m_requestedBand;
        if (keep) {
            m_spots = m_lastGood.spots;
            m_fetchedBand = m_lastGood.band;
        }
        if (!m_lastGood.lastUpdateText.isEmpty())
            shown.lastUpdateText = m_lastGood.lastUpdateText;
        m_view.showFetchProblem(FetchProblemHint(*failure, outcome.lastUpdateText,
                                                 keep ? m_lastGood.lastUpdateText : QString()));
        m_failureShown = true;
    } else if (outcome.gateOpen) {
        m_lastGood = {m_spots, m_fetchedBand, outcome.lastRetrieval, outcome.lastUpdateText};
        // Every answer's spots, whichever source gave them; the history thread keeps each
        // spot once however often it comes.
        if (m_history && outcome.answeredBy && !outcome.spots.isEmpty())
            m_history->store(outcome.spots, *outcome.answeredBy,
                             outcome.lastRetrieval.toMSecsSinceEpoch() / 60000);
        if (m_failureShown)
            m_view.showFetchProblem({});
        m_failureShown = false;
    }
    m_view.showFetchOutcome(shown);
    m_view.refreshFilterPass();
    m_running = false;
    Q_EMIT refreshFinished();
    runPending();
}

void Refresher::checkAddress()
{
    (void)lookUp();
}

bool Refresher::lookUp()
{
    m_watch.switchOn();
    m_localAddress = m_watch.localAddress();
    if (m_localAddress.isEmpty() || m_localAddress == kLoopbackAddress) {
        setUnknownReason({}); // no network of our own: the gate follows the address alone
        return false;
    }
    if (m_lookupRunning)
        return true;
    m_lookupRunning = true;
    m_offlineDuringLookup = false;
    AddressRequest request;
    request.localAddress = m_localAddress;
    request.publicAddress = m_publicAddress;
    request.showAddress = m_identity.showAddress;
    request.instance = m_identity.instance;
    m_jobs.lookup(request, [this](const AddressOutcome& outcome) { lookupDone(outcome); });
    return true;
}

void Refresher::lookupDone(const AddressOutcome& outcome)
{
    m_lookupRunning = false;
    if (m_phase == Phase::Stopped)
        return;
    // The machine went offline while the lookup waited: that is the newer news.
    if (!m_offlineDuringLookup) {
        if (outcome.requested && !outcome.error) {
            m_publicAddress = outcome.publicAddress;
            setUnknownReason({});
        } else if (outcome.requested && outcome.error && !AddressGateOpen(m_publicAddress)) {
            // The echo service failed, but this machine is on a network: the spots are still
            // fetched, and the address shows as unknown.
            setUnknownReason(*outcome.error);
        }
        m_view.showIndicator(outcome.indicator, true);
        if (m_running)
            m_indicatorAfterFetch = outcome.indicator;
        m_view.showAddressLabel(addressUnknown() ? AddressLabel(m_publicAddress, m_identity.showAddress, true)
                                                 : outcome.addressLabel);
    }
    Q_EMIT addressLookupFinished();
    if (m_phase == Phase::StartingUp)
        firstRefresh();
    else
        runPending();
}

void Refresher::wentOffline()
{
    const AddressOutcome offline = OfflineAddress(m_identity.showAddress);
    m_publicAddress = offline.publicAddress;
    setUnknownReason({});
    m_view.showIndicator(offline.indicator, true);
    m_view.showAddressLabel(offline.addressLabel);
    if (m_running)
        m_indicatorAfterFetch = offline.indicator;
    if (m_lookupRunning)
        m_offlineDuringLookup = true;
}

void Refresher::setUnknownReason(const QString& reason)
{
    if (reason == m_unknownReason)
        return;
    m_unknownReason = reason;
    m_view.showAddressProblem(reason);
}

void Refresher::intervalChanged(int minutes)
{
    // Before any fetch there is nothing to count from.
    if (!m_lastRetrieval.isValid())
        return;
    m_nextUpdate = nextUpdateAfterIntervalChange(m_lastRetrieval, minutes);
    m_view.showNextUpdate(longTime(m_nextUpdate.time()));
}

void Refresher::stop()
{
    m_phase = Phase::Stopped;
    m_pending = false;
    m_pendingByUser = false;
}

} // namespace beamtide
