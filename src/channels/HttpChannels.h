#pragma once

#include "channels/AlertFields.h"
#include "net/HttpClient.h"

#include <QString>
#include <QStringList>

namespace beamtide {

struct WebhookSettings
{
    QString url;
    QString method = QStringLiteral("POST"); // GET or POST
    QString body;                            // empty: the default JSON
};

struct NtfySettings
{
    QString server = QStringLiteral("https://ntfy.sh");
    QString topic;
    QString token; // sent as "Authorization: Bearer"; empty: none
    int priority = 4;
};

struct BuiltRequest
{
    HttpRequest request;
    QStringList unknown; // unknown placeholders of the templates
    QString error;       // not sendable (no address, not http or https); request unused
};

BuiltRequest webhookRequest(const WebhookSettings& settings, const AlertFields& alert);
BuiltRequest ntfyRequest(const NtfySettings& settings, const AlertFields& alert);

// Ready-made body templates, one click away in the Channels dialog.
struct BodyPreset
{
    QString name;
    QString body;
};
const QList<BodyPreset>& webhookPresets();

// What one send came to. A status of 2xx means the peer has the alert, whatever happens to
// the rest of its answer: sending again would deliver it twice.
struct SendOutcome
{
    bool delivered = false;
    bool retry = true; // worth another try: no answer, 429 or 5xx; not a refusal such as 404
    QString words; // "HTTP 200 in 0.4 s", "HTTP 503 in 0.1 s", "no answer: ..."
};
SendOutcome httpOutcome(const HttpResult& result, qint64 elapsedMs);
// Sends under channelHttpLimits() and says what came of it, with the time it took.
SendOutcome sendTimed(HttpClient& client, const HttpRequest& request);

// The limits a channel's request runs under: a slow peer is given up on after 30 s, and
// little of an answer is kept.
HttpLimits channelHttpLimits();

// An address for the run log: no user-info, no query, no fragment.
QString loggableUrl(const QString& url);

} // namespace beamtide
