#pragma once

#include "base/Identity.h"
#include "net/AddressWatch.h"
#include "retrieval/AddressLookup.h"
#include "retrieval/SpotFetcher.h"
#include "spots/AllBandsTable.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace beamtide {

class History;
class RefreshJobs;

// What a refresh reads from the window and writes to it; the window implements it.
class RefreshView
{
public:
    virtual ~RefreshView() = default;
    // The band and options as the controls show them now; the address and identity are
    // filled in by the refresh.
    virtual FetchRequest fetchControls() const = 0;
    virtual int updateInterval() const = 0; // Edit7 now
    virtual void showAddressLabel(const QString& text) = 0;
    // Why the public address is unknown (the lookup's failure); empty when it is known.
    virtual void showAddressProblem(const QString& reason) = 0;
    virtual void showIndicator(Indicator indicator, bool visible) = 0;
    virtual void showBusy(bool busy) = 0; // the pointer over the grid
    // Entries, time fields, MyCall count and the Historical tick of a fetch that ended. Its
    // schedule is the refresh's own; its address label is not for showing.
    virtual void showFetchOutcome(const FetchOutcome& outcome) = 0;
    virtual void showNextUpdate(const QString& text) = 0; // Edit4
    // The last fetch brought no answer: why, for the status row's hint. Empty once a fetch
    // has brought one again.
    virtual void showFetchProblem(const QString& hint) = 0;
    virtual void myCallControls() = 0;
    // The refresh's last step: the filter pass over the new spot list.
    virtual void refreshFilterPass() = 0;
    virtual void repaintWindow() = 0;
};

// The life of the refresh and of the public address it depends on.
//
// One refresh runs at a time. A refresh the user asks for while one runs (or while an address
// lookup runs, whose answer it needs) is remembered; further asks join that one pending
// request, which starts as soon as the running one has applied its outcome and reads the
// controls as they are then. A tick's due-time refresh that finds one running does nothing.
// No outcome writes back a value its job copied at the start if the value changed since.
class Refresher final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Refresher)

public:
    // The identity is shared with the window: the first fetch of a copy above 3 turns its
    // instance number to 0. source: the watch's addresses, the machine's own when not given.
    Refresher(RefreshView& view, RefreshJobs& jobs, Identity& identity,
              AddressWatch::Source source = {}, QObject* parent = nullptr);
    ~Refresher() override;

    // Start-up: the address check, then the first refresh once its lookup has ended.
    void startUp();
    // After the first refresh has started, ticks may run.
    bool startedUp() const { return m_phase == Phase::Running; }

    // A refresh the user asked for: now, or after the running refresh or lookup.
    void ask();
    // The tick's refresh when due: nothing more when one runs; after a lookup that runs.
    void tickRefresh();
    // The tick's address check: the watch's local address, and a lookup when it is usable.
    void checkAddress();
    // The watch reports the machine offline.
    void wentOffline();
    // ScrollBar1 moved: the next update counts from the last fetch with the new interval.
    void intervalChanged(int minutes);
    // Shut-down: no refresh starts any more and no late outcome reaches the window, so
    // nothing happens after the closing line of the run log.
    void stop();

    bool running() const { return m_running; }
    bool pending() const { return m_pending; }
    // The running refresh (or the one whose outcome is being shown) was asked for by the
    // user, or is the start-up's: its filter pass may move the focus. A tick's refresh,
    // also one that waited behind a lookup, may not.
    bool askedByUser() const { return m_byUser; }
    bool lookupRunning() const { return m_lookupRunning; }

    QString publicAddress() const { return m_publicAddress; }
    // The lookup failed while the local address is usable: the gate stays open.
    bool addressUnknown() const { return !m_unknownReason.isEmpty(); }
    // The last fetch, whether or not it brought an answer: the schedule counts from it.
    QDateTime lastRetrieval() const { return m_lastRetrieval; }
    // The last fetch that brought an answer: the data on screen is from then.
    QDateTime lastGoodRetrieval() const { return m_lastGood.at; }
    QDateTime nextUpdate() const { return m_nextUpdate; }

    // The spot list of the last fetch and what the filter pass reads with it.
    const QStringList& spots() const { return m_spots; }
    AllBandsTable& allBands() { return m_allBands; }
    bool pageParsed() const { return m_pageParsed; }
    QString fetchedBand() const { return m_fetchedBand; }

    AddressWatch& addressWatch() { return m_watch; }

    // Where each answer's spots are kept; none while history is off. Must outlive this
    // object or be unset first.
    void setHistory(History* history) { m_history = history; }

Q_SIGNALS:
    void refreshFinished();
    void addressLookupFinished();
    void startUpFinished();

private:
    enum class Phase { Before, StartingUp, Running, Stopped };

    void start(bool byUser);
    void fetchDone(const FetchOutcome& outcome);
    bool lookUp(); // false when there is no usable local address
    void lookupDone(const AddressOutcome& outcome);
    void firstRefresh();
    void runPending();
    void setUnknownReason(const QString& reason);

    RefreshView& m_view;
    RefreshJobs& m_jobs;
    Identity& m_identity;
    AddressWatch m_watch;
    History* m_history = nullptr;

    Phase m_phase = Phase::Before;
    bool m_running = false;
    bool m_pending = false;
    bool m_byUser = false;        // the running refresh was asked for by the user
    bool m_pendingByUser = false; // the user joined the pending one
    bool m_lookupRunning = false;
    std::optional<Indicator> m_indicatorAfterFetch; // shown during the fetch, holds after it
    bool m_offlineDuringLookup = false;
    int m_fetchInstance = 0; // the instance number the running fetch started with

    QString m_publicAddress;
    QString m_unknownReason; // why the lookup failed, while no address is known
    QString m_localAddress;
    QDateTime m_lastRetrieval;
    QDateTime m_nextUpdate;
    QStringList m_spots;
    AllBandsTable m_allBands;
    bool m_pageParsed = false;
    QString m_fetchedBand;
    QString m_requestedBand; // of the running fetch

    // The spot list of the last fetch that brought an answer, kept for the refreshes after
    // it that bring none, so one failed fetch does not blank the monitor.
    struct LastGood
    {
        QStringList spots;
        QString band;
        QDateTime at;
        QString lastUpdateText;
    } m_lastGood;
    bool m_failureShown = false;
};

} // namespace beamtide
