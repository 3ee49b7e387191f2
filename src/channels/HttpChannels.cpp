#include "channels/HttpChannels.h"

#include <QElapsedTimer>
#include <QUrl>

namespace beamtide {

namespace {

// A header value of one line of printable text, kept short: a call sign of 10 KB or one
// with CR LF in it stays inside its own header.
QByteArray headerValue(const QString& text)
{
    QString clean;
    clean.reserve(qMin<qsizetype>(text.size(), 200));
    for (const QChar c : text) {
        if (clean.size() >= 200)
            break;
        clean += c.unicode() < 0x20 || c.unicode() == 0x7f ? u' ' : c;
    }
    return clean.toUtf8();
}

bool sendable(const QUrl& url)
{
    return url.isValid() && !url.host().isEmpty()
           && (url.scheme() == u"http" || url.scheme() == u"https");
}

} // namespace

BuiltRequest webhookRequest(const WebhookSettings& settings, const AlertFields& alert)
{
    BuiltRequest built;
    const Expansion address = expandTemplate(settings.url.trimmed(), alert, TemplateUse::Url);
    built.unknown = address.unknown;
    const QUrl url = QUrl::fromEncoded(address.text, QUrl::StrictMode);
    if (!sendable(url)) {
        built.error = QStringLiteral("no http or https address");
        return built;
    }
    built.request.url = QString::fromUtf8(url.toEncoded());
    if (settings.method.trimmed().compare(u"GET", Qt::CaseInsensitive) == 0) {
        built.request.method = "GET";
        return built;
    }
    built.request.method = "POST";
    if (settings.body.trimmed().isEmpty()) {
        built.request.body = defaultAlertJson(alert);
        built.request.headers = {{"Content-Type", "application/json"}};
        return built;
    }
    const TemplateUse use = bodyUse(settings.body);
    const Expansion body = expandTemplate(settings.body, alert, use);
    for (const QString& name : body.unknown)
        if (!built.unknown.contains(name))
            built.unknown << name;
    built.request.body = body.text;
    built.request.headers = {{"Content-Type", use == TemplateUse::Json
                                                  ? QByteArray("application/json")
                                                  : QByteArray("application/x-www-form-urlencoded")}};
    return built;
}

BuiltRequest ntfyRequest(const NtfySettings& settings, const AlertFields& alert)
{
    BuiltRequest built;
    QString server = settings.server.trimmed();
    while (server.endsWith(u'/'))
        server.chop(1);
    const QString topic = settings.topic.trimmed();
    if (topic.isEmpty()) {
        built.error = QStringLiteral("no topic");
        return built;
    }
    const QUrl url(server + u'/' + QString::fromLatin1(QUrl::toPercentEncoding(topic)));
    if (!sendable(url)) {
        built.error = QStringLiteral("no http or https server");
        return built;
    }
    built.request.url = QString::fromUtf8(url.toEncoded());
    built.request.method = "POST";
    built.request.body = alert.line.toUtf8();
    const QString band = alert.band.isEmpty() ? QStringLiteral("?") : alert.band;
    built.request.headers = {
        {"Title", headerValue(QStringLiteral("Beamtide alert: %1 on %2").arg(alert.call, band))},
        {"Priority", QByteArray::number(qBound(1, settings.priority, 5))},
        {"Tags", "radio"},
        {"Content-Type", "text/plain; charset=utf-8"}};
    if (!settings.token.trimmed().isEmpty())
        built.request.headers.append({"Authorization", "Bearer " + headerValue(settings.token.trimmed())});
    return built;
}

const QList<BodyPreset>& webhookPresets()
{
    static const QList<BodyPreset> presets{
        {QStringLiteral("Discord"), QStringLiteral(R"({"content": "{line}"})")},
        {QStringLiteral("Slack"), QStringLiteral(R"({"text": "{line}"})")},
        {QStringLiteral("Home Assistant"),
         QStringLiteral(R"({"call": "{call}", "band": "{band}", "km": {km}, "snr": {snr}, )"
                        R"("reporter": "{reporter}", "time": "{time}", "line": "{line}"})")},
    };
    return presets;
}

SendOutcome httpOutcome(const HttpResult& result, qint64 elapsedMs)
{
    const QString took = QStringLiteral("%1 s").arg(double(elapsedMs) / 1000.0, 0, 'f', 1);
    const QString words = QStringLiteral("HTTP %1 in %2").arg(result.status).arg(took);
    if (result.status >= 200 && result.status < 300)
        return {true, false, words};
    if (result.status > 0)
        return {false, result.status == 429 || result.status >= 500, words};
    return {false, true, QStringLiteral("no answer: %1").arg(result.error)};
}

SendOutcome sendTimed(HttpClient& client, const HttpRequest& request)
{
    QElapsedTimer timer;
    timer.start();
    const HttpResult result = client.send(request, channelHttpLimits());
    return httpOutcome(result, timer.elapsed());
}

HttpLimits channelHttpLimits()
{
    HttpLimits limits;
    limits.connectMs = 15'000;
    limits.totalMs = 30'000;
    limits.maxBodyBytes = 64 * 1024;
    return limits;
}

QString loggableUrl(const QString& url)
{
    QUrl u(url);
    if (!u.isValid())
        return QStringLiteral("(not an address)");
    return u.adjusted(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment)
        .toString(QUrl::FullyEncoded);
}

} // namespace beamtide
