#pragma once

#include "base/Identity.h"
#include "base/SpotSource.h"
#include "net/HttpClient.h"
#include "retrieval/FetchRules.h"
#include "retrieval/SourceChoice.h"
#include "retrieval/SpotParser.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace beamtide {

class Clock;
class HttpClient;
class NetWorker;
class RunLog;

// What a fetch reads from the window, taken when it starts.
struct FetchRequest
{
    QString publicAddress;
    bool addressUnknown = false; // the lookup failed, the local address is usable: gate open
    bool showAddress = true;
    QString band;            // ComboBox1
    bool sortByKm = false;   // CheckBox1
    bool historical = false; // CheckBox3
    int updateInterval = 5;  // Edit7, minutes
    Identity identity;       // instance number, prefix, folder, MyCall call sign
    QStringList myCallSpots; // the MyCall spots list, saved at the end when a call is set
    SpotSource source = SpotSource::WsprNet; // the setting, or /source= for this run
};

// What the window shows as soon as the fetch starts.
struct FetchStart
{
    QString addressLabel; // Label15
    bool gateOpen = false;  // when open: busy pointer over the grid, Shape2 lime and visible
};

// What the window applies when the fetch is over, before its filter pass.
struct FetchOutcome
{
    bool gateOpen = false; // when open: normal pointer, Shape2 in button face and hidden
    QString addressLabel;

    int activityResult = 0;            // 0 as well when the activity test failed
    std::optional<QString> fetchedBand;  // set when the spot query was sent
    qsizetype pageLines = 0;           // lines of the spot page, 0 without one

    // Present when the page went to the parser: Edit9 and the page-parsed flag follow it.
    std::optional<ParseResult> parse;
    QStringList spots; // spot lines to append to the (emptied) spot list

    // When the fetch ended; only when the gate was open.
    QDateTime lastRetrieval;
    QString lastUpdateText; // Edit3; with the gate shut, the time of the attempt
    // The schedule, which the refresh's owner works out from lastRetrieval and the interval
    // shown when the fetch ends; the fetcher leaves it empty.
    QDateTime nextUpdate;
    QString nextUpdateText; // Edit4
    int instance = 0;       // the instance number from now on

    std::optional<int> myCallCount; // Edit29, when a MyCall call sign is set
    bool untickHistorical = false;  // CheckBox3, once a query was sent with it

    // The source whose answer is on screen; none when no source answered.
    std::optional<SpotSource> answeredBy;
    // When wspr.live stands in for the spot database: why, and when the spot database is
    // asked again (local time).
    QString fallbackReason;
    QDateTime retryAt;

    QStringList errors;     // every failure, as also written to the run log
    QStringList saveErrors; // the files of them that could not be saved (the old ones stay)
};

// Why a fetch brought no answer from any source, also when the gate was shut and nothing
// was asked; none when a source answered.
std::optional<QString> FetchFailure(const FetchOutcome& outcome);
// The status row's hint for a failed fetch at attemptTime; keptFrom: the time of the spots
// still shown, empty when none are.
QString FetchProblemHint(const QString& failure, const QString& attemptTime, const QString& keptFrom);

// Runs one fetch: the gate and the start on the caller's thread, the requests, the saved
// files and the parse on the network thread, the schedule and the outcome back on the
// caller's thread. One fetch at a time. Which source to ask is SourceChoice's to say.
//
// The worker, the log and the clock must outlive this object; the log must also outlive
// the worker, since running jobs write to it.
class SpotFetcher final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SpotFetcher)

public:
    SpotFetcher(NetWorker& worker, std::shared_ptr<HttpClient> client, const RunLog& log,
                const Clock& clock, QObject* parent = nullptr);

    // Nothing while a fetch is still running; otherwise what to show now. finished()
    // follows later in every case, also when the gate is shut.
    std::optional<FetchStart> FetchSpots(const FetchRequest& request);
    bool busy() const { return m_busy; }

    // "http://host[:port]"; from the configuration unless set.
    void setBaseUrl(const QString& baseUrl) { m_baseUrl = baseUrl; }
    QString baseUrl() const { return m_baseUrl; }
    void setWsprLiveBaseUrl(const QString& baseUrl) { m_wsprLiveBaseUrl = baseUrl; }
    QString wsprLiveBaseUrl() const { return m_wsprLiveBaseUrl; }
    // The bounds of every request; tests shorten the wait.
    void setLimits(const HttpLimits& limits) { m_limits = limits; }

    // With Automatic: until when wspr.live answers alone after a failure of the spot
    // database (UTC; invalid when the spot database is asked first).
    QDateTime wsprLiveUntil() const { return m_choice.stayUntil(); }

Q_SIGNALS:
    // MyCall mode, just before the query is built: untick CheckBox6 and CheckBox7 and set
    // ScrollBar1 to 10, each as a user would, so the schedule of this fetch uses 10 minutes.
    void myCallControls();
    void finished(const beamtide::FetchOutcome& outcome);

private:
    struct ActivityStage;
    struct QueryStage;
    using Plan = SourceChoice::Plan;

    void afterActivity(const FetchRequest& request, Plan plan, ActivityStage stage);
    void finish(const FetchRequest& request, int activityResult, bool queried, QueryStage stage);

    NetWorker& m_worker;
    std::shared_ptr<HttpClient> m_client;
    const RunLog& m_log;
    const Clock& m_clock;
    QString m_baseUrl;
    QString m_wsprLiveBaseUrl;
    HttpLimits m_limits;
    SourceChoice m_choice;
    bool m_busy = false;
};

} // namespace beamtide
