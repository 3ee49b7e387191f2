#include "history/HistoryServer.h"

#include "history/HistoryStore.h"
#include "history/SqlQuery.h"
#include "net/HttpClient.h"
#include "retrieval/WsprLive.h"

#include <sqlite3.h>

#include <algorithm>

namespace beamtide {

namespace {

// Positions are kept under "server_sent <address>": one per server the file has sent to.
const char* const kPositionFrom = "server_sent ";
const char* const kPositionTo = "server_sent!"; // the next key after every such name

const char* const kCreateDatabase = "CREATE DATABASE IF NOT EXISTS beamtide";
const char* const kCreateTable =
    "CREATE TABLE IF NOT EXISTS beamtide.rx (time DateTime, band Int16, rx_sign String, rx_loc String,"
    " tx_sign String, tx_loc String, distance UInt16, frequency UInt32, power Int8, snr Int8, drift Int8)"
    " ENGINE = ReplacingMergeTree() PARTITION BY toYYYYMM(time) ORDER BY (time, band, tx_sign, rx_sign, frequency)";
const char* const kInsert =
    "INSERT INTO beamtide.rx (time, band, rx_sign, rx_loc, tx_sign, tx_loc, distance, frequency, power, snr, drift)"
    " FORMAT TabSeparated";

QString positionKey(const HistoryServer& server)
{
    QString url = server.url.trimmed();
    while (url.endsWith(u'/'))
        url.chop(1);
    return QString::fromLatin1(kPositionFrom) + url;
}

// Text as a TabSeparated field: its escapes, so no call sign can end a field or a row.
QByteArray tsv(const QString& text)
{
    QByteArray out;
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\0': out += "\\0"; break;
        default: out += c;
        }
    }
    return out;
}

QByteArray number(qint64 value, qint64 low, qint64 high)
{
    return QByteArray::number(std::clamp(value, low, high));
}

int bandCodeOf(int band, qint64 hz)
{
    // wspr.live's own code; outside its bands, the whole megahertz as it counts them.
    return wsprlive::bandCode(historyBandName(band)).value_or(int(hz / 1000000));
}

HttpResult post(HttpClient& client, const HistoryServer& server, const QString& sql, const QByteArray& body = {})
{
    HttpRequest request = remoteRequest(serverSource(server), sql, "POST");
    request.body = body;
    HttpLimits limits;
    limits.connectMs = 10'000; // the history thread waits for it: a server away must not hold it long
    return client.send(request, limits);
}

} // namespace

bool HistoryServer::on() const
{
    return !url.trimmed().isEmpty();
}

RemoteSource serverSource(const HistoryServer& server)
{
    RemoteSource source;
    source.label = QStringLiteral("the history server");
    source.baseUrl = server.url.trimmed();
    while (source.baseUrl.endsWith(u'/'))
        source.baseUrl.chop(1);
    source.user = server.user;
    source.password = server.password;
    source.table = QString::fromLatin1(kServerTable);
    source.distinct = true;
    source.allBands = true;
    return source;
}

bool watchUnsentSpots(HistoryStore& store)
{
    sqlite3* db = store.connection();
    if (!db)
        return false;
    SqlQuery any(db, "SELECT 1 FROM meta WHERE key >= ?1 AND key < ?2 LIMIT 1");
    any.bind(1, QString::fromLatin1(kPositionFrom)).bind(2, QString::fromLatin1(kPositionTo));
    if (!any.row())
        return false;
    // Stored only by this connection (TEMP): the file stays as every version knows it.
    return sqlite3_exec(db,
                        "CREATE TEMP TRIGGER IF NOT EXISTS beamtide_unsent AFTER INSERT ON main.spots BEGIN"
                        " UPDATE meta SET value = NEW.minute"
                        " WHERE key >= 'server_sent ' AND key < 'server_sent!' AND value > NEW.minute; END",
                        nullptr, nullptr, nullptr)
        == SQLITE_OK;
}

ServerBatch sendToServer(HistoryStore& store, HttpClient& client, const HistoryServer& server, bool& tableReady)
{
    ServerBatch batch;
    sqlite3* db = store.connection();
    if (!db || !server.on())
        return batch;
    const QString key = positionKey(server);
    const auto fail = [&](const QString& why) {
        batch.ok = false;
        batch.error = why;
        tableReady = false;
        return batch;
    };

    // A server new to the file gets every spot the file holds.
    SqlQuery start(db, "INSERT OR IGNORE INTO meta VALUES(?1, coalesce((SELECT min(minute) FROM spots), 0))");
    if (!start.bind(1, key).done())
        return fail(QStringLiteral("the history file cannot be written (%1)").arg(QString::fromUtf8(sqlite3_errmsg(db))));
    watchUnsentSpots(store);

    // The position and the batch from one snapshot of the file.
    qint64 from = 0, last = 0;
    QByteArray rows;
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    {
        SqlQuery position(db, "SELECT value FROM meta WHERE key = ?1");
        if (position.bind(1, key).row())
            from = position.integer(0);
        SqlQuery spots(db, "SELECT s.minute, s.band, b.base_hz + s.hz, c.text, g.text, r.text, rg.text,"
                           " s.snr, s.drift, s.dbm, s.km FROM spots s JOIN band b ON b.id = s.band"
                           " JOIN call c ON c.id = s.tx JOIN call r ON r.id = s.rx"
                           " JOIN locator g ON g.id = s.txgrid JOIN locator rg ON rg.id = s.rxgrid"
                           " WHERE s.minute >= ?1 ORDER BY s.minute");
        spots.bind(1, from);
        while (spots.row()) {
            const qint64 minute = spots.integer(0);
            if (batch.sent >= kServerBatch && minute != last) {
                batch.more = true; // whole minutes only: the rest go next time
                break;
            }
            last = minute;
            const qint64 hz = spots.integer(2);
            rows += QByteArray::number((minute + kHistoryEpochMinute) * 60) + '\t'
                    + QByteArray::number(bandCodeOf(int(spots.integer(1)), hz)) + '\t' + tsv(spots.text(5)) + '\t'
                    + tsv(spots.text(6)) + '\t' + tsv(spots.text(3)) + '\t' + tsv(spots.text(4)) + '\t'
                    + number(spots.integer(10), 0, 65535) + '\t' + number(hz, 0, 4294967295LL) + '\t'
                    + number(spots.integer(9), -128, 127) + '\t' + number(spots.integer(7), -128, 127) + '\t'
                    + number(spots.integer(8), -128, 127) + '\n';
            ++batch.sent;
        }
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    if (batch.sent == 0)
        return batch;

    if (!tableReady) {
        for (const char* sql : {kCreateDatabase, kCreateTable}) {
            const HttpResult made = post(client, server, QString::fromLatin1(sql));
            if (!made.ok) {
                batch.sent = 0;
                return fail(made.error);
            }
        }
        tableReady = true;
    }
    const HttpResult inserted = post(client, server, QString::fromLatin1(kInsert), rows);
    if (!inserted.ok) {
        batch.sent = 0;
        return fail(inserted.error);
    }

    // Moved on only when nothing was stored into the batch's minutes since it was read, and
    // no copy found an older spot meanwhile; otherwise the next batch sends them again.
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return batch;
    SqlQuery now(db, "SELECT value FROM meta WHERE key = ?1");
    const qint64 position = now.bind(1, key).row() ? now.integer(0) : from;
    SqlQuery count(db, "SELECT count(*) FROM spots WHERE minute >= ?1 AND minute <= ?2");
    const qint64 rowsNow = count.bind(1, from).bind(2, last).row() ? count.integer(0) : -1;
    bool moved = true;
    if (position >= from && rowsNow == batch.sent) {
        SqlQuery advance(db, "UPDATE meta SET value = ?2 WHERE key = ?1");
        moved = advance.bind(1, key).bind(2, std::max(position, last + 1)).done();
    }
    sqlite3_exec(db, moved ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr);
    return batch;
}

} // namespace beamtide
