#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <memory>

namespace beamtide::test {

// How a route answers besides its status and body.
enum class Behaviour {
    Normal,
    Redirect,     // 302 to the route's location
    RedirectLoop, // 302 to itself, for ever
    Reset,        // the connection is reset before any answer
    Truncate,     // announces the whole body, sends half of it and closes
};

struct Route
{
    QByteArray body;
    int status = 200;
    int delayMs = 0; // waits this long before answering
    Behaviour behaviour = Behaviour::Normal;
    QString location; // for Redirect: a path on this server or a full address
    QList<QPair<QByteArray, QByteArray>> headers; // extra response headers
};

struct RecordedRequest
{
    QString method;
    QString path;   // as sent, before "?"
    QString query;  // as sent, after "?", still percent-encoded
    QString target; // path and query as sent
    QString version; // "HTTP/1.1"
    int remotePort = 0; // tells connections apart
    QList<QPair<QString, QString>> headers;
    QByteArray body;

    QString header(const QString& name) const; // case-insensitive; empty when absent
};

// A real HTTP server on a free loopback port, in this process, for tests of everything
// that makes requests. Unknown paths answer 404. Routes may change while it runs.
class HttpFixture
{
public:
    HttpFixture();
    ~HttpFixture();
    HttpFixture(const HttpFixture&) = delete;
    HttpFixture& operator=(const HttpFixture&) = delete;

    int port() const;
    QString baseUrl() const; // "http://127.0.0.1:<port>"

    void setRoute(const QString& path, const Route& route);
    void setBody(const QString& path, const QByteArray& body, int status = 200);

    QList<RecordedRequest> requests() const;
    void clearRequests();
    // Requests whose answer has been handed over to be sent: with a route's delay, a test
    // tells whether its client gave up before the server answered.
    int answered() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

// A page of exactly n lines, each ended by CR LF, as the activity test receives it.
QByteArray linesPage(int n);

} // namespace beamtide::test
