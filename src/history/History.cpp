#include "history/History.h"

#include "base/Identity.h"
#include "base/RunLog.h"
#include "net/HttpClient.h"

#include <QSemaphore>

namespace beamtide {

namespace {
// Spots kept in memory while the file cannot be written: a day of a busy band.
constexpr qsizetype kMaxWaiting = 300000;
} // namespace

History::History(const QString& path, const RunLog& log, QObject* parent)
    : QObject(parent), m_path(path), m_log(log), m_state(std::make_shared<State>())
{
    m_state->path = path;
    m_state->client = std::make_shared<HttpClient>();
}

History::~History()
{
    finish();
}

QString History::filePath(const Identity& identity)
{
    return identity.plainFile(QString(identity.filePrefix + u"BeamtideHistory.sqlite"));
}

void History::openOnce(State& state)
{
    if (state.opened)
        return;
    state.opened = true;
    state.store.open(state.path);
}

void History::store(const QStringList& lines, SpotSource source, qint64 nowMinute)
{
    auto state = m_state;
    m_worker.post<Report>(
        [state, lines, source, nowMinute, server = m_server] {
            Report report;
            openOnce(*state);
            if (state->store.state() != HistoryStore::State::Open) {
                report.why = state->store.why();
                return report;
            }
            QList<HistorySpot> spots = std::move(state->waiting);
            state->waiting.clear();
            spots.reserve(spots.size() + lines.size());
            for (const QString& line : lines) {
                if (const std::optional<HistorySpot> spot = HistorySpot::fromLine(line, source))
                    spots.append(*spot);
                else
                    ++report.result.skipped;
            }
            const int skipped = report.result.skipped;
            // Before the store: a spot older than what a server has had must go to it too.
            watchUnsentSpots(state->store);
            report.result = state->store.store(spots, nowMinute);
            report.result.skipped = skipped;
            if (report.result.refused) {
                report.why = state->store.why();
            } else if (!report.result.ok) {
                // Tried again with the next answer; the oldest give way past the bound.
                if (spots.size() > kMaxWaiting)
                    spots.remove(0, spots.size() - kMaxWaiting);
                state->waiting = std::move(spots);
            }
            if (server.on() && state->store.state() == HistoryStore::State::Open) {
                bool tableReady = state->tableReadyOn == server.url;
                report.server = sendToServer(state->store, *state->client, server, tableReady);
                state->tableReadyOn = tableReady ? server.url : QString();
            }
            return report;
        },
        this, [this](Report report) { reported(report); });
}

void History::reported(const Report& report)
{
    if (!report.why.isEmpty()) {
        if (!m_refusalSaid) {
            m_refusalSaid = true;
            m_log.writeTagged(report.why);
            if (!m_closing)
                Q_EMIT refused(report.why);
        }
        return;
    }
    if (report.server)
        reportServer(*report.server);
    if (!report.result.ok) {
        // Once until it works again: a full disk stays full for many refreshes.
        if (!m_failureLogged)
            m_log.writeTagged(report.result.error + QStringLiteral("; tried again at the next update."));
        m_failureLogged = true;
        return;
    }
    if (m_failureLogged)
        m_log.writeTagged(QStringLiteral("The history file is written again."));
    m_failureLogged = false;
    Q_EMIT stored(report.result.added);
}

void History::reportServer(const ServerBatch& batch)
{
    // Said once while the server is away, and once when it takes the spots again.
    const QString url = m_server.url.trimmed();
    if (!batch.ok && !m_serverFailureLogged)
        m_log.writeTagged(u"The history server " + url + u" cannot take the spots (" + batch.error
                          + u"); they wait in the history file and go with a later batch.");
    else if (batch.ok && m_serverFailureLogged)
        m_log.writeTagged(u"The history server " + url + u" takes the spots again.");
    m_serverFailureLogged = !batch.ok;
    Q_EMIT serverBatch(batch.ok, batch.sent);
}

void History::finish()
{
    // A job of its own that the caller waits for: the ones before it have run by then.
    if (m_worker.pending() > 0) {
        auto done = std::make_shared<QSemaphore>();
        QObject guard;
        m_worker.post<int>([done] { done->release(); return 0; }, &guard, [](int) {});
        done->acquire();
    }
    // Their reports, waiting on this thread, too: what they say reaches the log before its
    // last line.
    m_worker.deliverArrived();
}

void History::finishAtClosing()
{
    // The last reports still reach the log, but no message box while the program closes.
    m_closing = true;
    finish();
}

} // namespace beamtide
