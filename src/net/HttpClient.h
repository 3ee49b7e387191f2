#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <mutex>

namespace beamtide {

struct [[nodiscard]] HttpResult
{
    bool ok = false;
    long status = 0;    // the last HTTP status received, 0 when none came
    QByteArray body;    // the whole body when ok; empty otherwise
    QString error;      // why not ok: the status line of an error status, or the transfer error
};

struct HttpLimits
{
    long connectMs = 20'000;
    long totalMs = 120'000;          // the spot database is slow with 5000 rows
    qsizetype maxLineLength = 0;     // 0: no limit; a longer body or header line fails the request
    qsizetype maxBodyBytes = 64 * 1024 * 1024; // keeps a runaway answer from eating the memory
};

// A request of the program's own (the alert channels): sent as Beamtide, redirects not
// followed. A header value is sent without its CR and LF, so no value can add a header.
struct HttpRequest
{
    QByteArray method = "GET";
    QString url;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
};

// A blocking HTTP/1.1 GET client with the settings every request of the program shares:
// browser-like headers, cookies kept between requests, redirects followed, an error status
// reported as a failure, and a fresh connection for every request. Meant for the network
// thread; requests through one client run one at a time.
class HttpClient final
{
public:
    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // userAgent: sent instead of the browser-like one when not empty.
    HttpResult get(const QString& url, const HttpLimits& limits = {},
                   const QByteArray& userAgent = {});

    HttpResult send(const HttpRequest& request, const HttpLimits& limits = {});

    static const char* userAgent();
    // "Beamtide/<version>", for services that ask programs to name themselves.
    static QByteArray ownUserAgent();

private:
    HttpResult perform(const HttpRequest& request, const HttpLimits& limits,
                       const QByteArray& userAgent, bool followRedirects);

    std::mutex m_mutex;
    void* m_share = nullptr; // CURLSH holding the cookies
};

} // namespace beamtide
