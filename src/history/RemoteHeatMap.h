#pragma once

#include "history/HistoryStore.h"
#include "net/HttpClient.h"
#include "net/NetWorker.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace beamtide {

// A ClickHouse database that holds spots in wspr.live's wspr.rx columns: wspr.live itself,
// or a history server of the user's own, where a batch sent twice may stand twice until the
// server merges it, so its spots are counted as distinct ones (FINAL).
struct RemoteSource
{
    QString label;   // "wspr.live" or "history server", for the panel
    QString baseUrl; // "https://host[:port]"
    QString user, password; // HTTP basic authentication when user is not empty
    QString table;   // "wspr.rx"
    bool distinct = false;  // count each spot once (FINAL)
    bool allBands = false;  // may be asked about every band at once
};

RemoteSource wsprLiveSource(const QString& baseUrl);

struct RemoteQuery
{
    QString sql;   // empty when refused
    QString error; // why it was refused
};

// The heat map's one aggregate query: spots per hour since 1970 (day and hour in one
// number) in [fromHour, toHour), for the band, narrowed like the local heat map by the call
// filters and the far distance, and by a locator prefix of either end (grid, empty: any).
// Neither bound reaches past the server's own clock. Call signs and the grid go in only as
// literals of A-Z, 0-9 and "/"; anything else refuses the query.
RemoteQuery heatMapQuery(const RemoteSource& source, std::optional<int> band, qint64 fromHour,
                         qint64 toHour, const HeatFilter& filter, const QString& grid);

// The rows "hour<TAB>spots" of the answer; nothing and why when a row does not read.
struct RemoteCells
{
    QList<HeatCell> cells;
    QString error;
};
RemoteCells heatMapCells(const QByteArray& answer);

// The request of a query to a source: GET with the SQL in "query", the program's own
// User-Agent, the credentials as HTTP basic authentication.
HttpRequest remoteRequest(const RemoteSource& source, const QString& sql, const QByteArray& method = "GET");

// Asks remote sources on a thread of its own, one query at a time, never again by itself:
// a slow answer holds up neither the window nor the history file.
class RemoteHeatMaps final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RemoteHeatMaps)

public:
    explicit RemoteHeatMaps(QObject* parent = nullptr);
    ~RemoteHeatMaps() override;

    // done runs on the receiver's thread with the cells or the error.
    void heatMap(const RemoteSource& source, const RemoteQuery& query, QObject* receiver,
                 std::function<void(RemoteCells)> done);

private:
    std::shared_ptr<HttpClient> m_client;
    NetWorker m_worker;
};

} // namespace beamtide
