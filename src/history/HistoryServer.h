#pragma once

#include "history/RemoteHeatMap.h"

#include <QString>

namespace beamtide {

class HistoryStore;
class HttpClient;

// A ClickHouse server of the user's own that receives every stored spot, so several
// machines share one history. No address: no server.
struct HistoryServer
{
    QString url; // "http://host:8123"
    QString user, password;

    bool on() const;
    bool operator==(const HistoryServer&) const = default;
};

// The server's table: wspr.live's column names and types for what a spot carries, one row
// per spot however often it was sent (ReplacingMergeTree on the spot's identity), in a
// database of its own so that a mirror of wspr.live on the same server stays apart.
inline constexpr const char* kServerTable = "beamtide.rx";

// The server as a source of the History panel's heat map: the same query as wspr.live's,
// counting each spot once.
RemoteSource serverSource(const HistoryServer& server);

// Every copy that stores into a file that sends to a server keeps the file's positions
// right: a spot stored older than a position moves that position back to it, in the store's
// own transaction (a trigger of this connection alone; the file's schema is unchanged).
// Cheap to call before every store; true once the trigger is in place.
bool watchUnsentSpots(HistoryStore& store);

// One batch: the spots of the file the server has not had yet, oldest first, at most about
// kServerBatch, whole minutes only. The file keeps how far it has sent to each server as one
// position in its meta table, moved on only once the server took the batch and no other
// copy stored into the batch's minutes meanwhile; a batch sent twice counts once there.
inline constexpr int kServerBatch = 50000;
struct ServerBatch
{
    bool ok = true;
    int sent = 0;      // spots the server took
    bool more = false; // spots still wait for the next batch
    QString error;     // why not ok; the spots wait in the file
};
// tableReady: the table is known to be there; when false it is created if missing first,
// and it is set false again by a failure (the server may have been set up anew).
ServerBatch sendToServer(HistoryStore& store, HttpClient& client, const HistoryServer& server, bool& tableReady);

} // namespace beamtide
