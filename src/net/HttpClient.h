#pragma once

#include <QByteArray>
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

    static const char* userAgent();
    // "Beamtide/<version>", for services that ask programs to name themselves.
    static QByteArray ownUserAgent();

private:
    std::mutex m_mutex;
    void* m_share = nullptr; // CURLSH holding the cookies
};

} // namespace beamtide
