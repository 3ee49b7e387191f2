#pragma once

#include "base/SpotSource.h"
#include "history/HistoryServer.h"
#include "history/HistoryStore.h"
#include "net/NetWorker.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

namespace beamtide {

struct Identity;
class HttpClient;
class RunLog;

// The spot history on a thread of its own: each refresh's spot list is handed over and
// stored there in one transaction, and the History panel's queries run there too, so the
// file never holds up the window. The file is opened by the first job.
class History final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(History)

public:
    // log: must outlive this object.
    History(const QString& path, const RunLog& log, QObject* parent = nullptr);
    ~History() override;

    QString path() const { return m_path; }
    // BeamtideHistory.sqlite in the working folder, with the /pcname prefix and no instance
    // number: the copies side by side share it.
    static QString filePath(const Identity& identity);

    // The spot lines of one answer; nowMinute: UTC minutes since 1970, for the pruning.
    // Spots that could not be written (a full disk, a long lock) are kept and go with the
    // next answer.
    void store(const QStringList& lines, SpotSource source, qint64 nowMinute);

    // The server that receives every stored spot, from the next answer on; none when off.
    // Each answer's store is followed by one batch of what the server has not had yet.
    void setServer(const HistoryServer& server) { m_server = server; }
    HistoryServer server() const { return m_server; }

    // A query against the open store, on the history thread; done runs on the receiver's
    // thread. A store that is off answers with what it holds: nothing.
    template <typename Result>
    void query(std::function<Result(HistoryStore&)> job, QObject* receiver,
               std::function<void(Result)> done)
    {
        auto state = m_state;
        m_worker.post<Result>(
            [state, job = std::move(job)] {
                openOnce(*state);
                return job(state->store);
            },
            receiver, std::move(done));
    }

    // Jobs posted and not finished; for tests and shut-down.
    int pending() const { return m_worker.pending(); }
    // Waits for the jobs posted so far; the last ones at shut-down.
    void finish();
    // At shut-down: waits for the jobs and logs what they reported now, before the closing
    // line; a refused file is no longer shown in a box.
    void finishAtClosing();

Q_SIGNALS:
    // The file is unusable (not a database, damaged, newer): once, with the file's name.
    void refused(const QString& why);
    // One answer's spots were stored: how many were new.
    void stored(int added);
    // A batch went to the history server (ok, with how many spots) or did not.
    void serverBatch(bool ok, int sent);

private:
    struct State
    {
        QString path;
        HistoryStore store;
        bool opened = false;
        QList<HistorySpot> waiting; // not written yet; they go with the next answer
        std::shared_ptr<HttpClient> client; // the history server's requests
        QString tableReadyOn;               // the server whose table is known to be there
    };
    struct Report
    {
        HistoryStore::StoreResult result;
        QString why; // the file is refused
        std::optional<ServerBatch> server;
    };
    static void openOnce(State& state);
    void reported(const Report& report);
    void reportServer(const ServerBatch& batch);

    QString m_path;
    const RunLog& m_log;
    std::shared_ptr<State> m_state;
    NetWorker m_worker; // the history thread: one job at a time, in order
    bool m_refusalSaid = false;
    bool m_closing = false;
    bool m_failureLogged = false;
    HistoryServer m_server;
    bool m_serverFailureLogged = false;
};

} // namespace beamtide
