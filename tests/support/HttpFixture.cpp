#include "Httplib.h"

#include "HttpFixture.h"

#include <QMap>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>

#ifndef _WIN32
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace beamtide::test {

namespace {

#ifndef _WIN32
// The descriptor of the server's connection to a client port: the handler is not told it.
int connectionTo(int serverPort, int clientPort)
{
    for (int fd = 3; fd < 4096; ++fd) {
        sockaddr_in local{};
        sockaddr_in peer{};
        socklen_t size = sizeof local;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) != 0
            || local.sin_family != AF_INET || ntohs(local.sin_port) != serverPort)
            continue;
        size = sizeof peer;
        if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) == 0
            && ntohs(peer.sin_port) == clientPort)
            return fd;
    }
    return -1;
}

// Drops the connection with a reset and leaves the server a harmless descriptor to finish
// with, so it neither answers nor closes someone else's file.
void resetConnection(int fd)
{
    if (fd < 0)
        return;
    linger hard{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    const int placeholder = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (placeholder >= 0) {
        ::dup2(placeholder, fd);
        ::close(placeholder);
    }
}
#endif

} // namespace

QString RecordedRequest::header(const QString& name) const
{
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

struct HttpFixture::Impl
{
    httplib::Server server;
    std::thread thread;
    int port = 0;

    mutable std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    QMap<QString, Route> routes;
    QList<RecordedRequest> requests;
    int answers = 0;

    void handle(const httplib::Request& req, httplib::Response& res)
    {
        RecordedRequest record;
        record.method = QString::fromStdString(req.method);
        record.target = QString::fromStdString(req.target);
        const qsizetype mark = record.target.indexOf(u'?');
        record.path = mark < 0 ? record.target : record.target.left(mark);
        record.query = mark < 0 ? QString() : record.target.mid(mark + 1);
        record.version = QString::fromStdString(req.version);
        record.remotePort = req.remote_port;
        record.body = QByteArray::fromStdString(req.body);
        for (const auto& [key, value] : req.headers)
            record.headers.append({QString::fromStdString(key), QString::fromStdString(value)});

        Route route;
        bool known = false;
        {
            std::unique_lock lock(mutex);
            requests.append(record);
            const auto it = routes.constFind(record.path);
            if (it != routes.constEnd()) {
                route = *it;
                known = true;
            }
            if (route.delayMs > 0)
                wake.wait_for(lock, std::chrono::milliseconds(route.delayMs),
                              [this] { return stopping; });
            ++answers;
        }
        if (!known) {
            res.status = 404;
            res.set_content("Not Found", "text/plain");
            return;
        }
        for (const auto& [key, value] : route.headers)
            res.set_header(key.toStdString(), value.toStdString());
        switch (route.behaviour) {
        case Behaviour::Normal:
            break;
        case Behaviour::Redirect:
        case Behaviour::RedirectLoop: {
            const QString to = route.behaviour == Behaviour::RedirectLoop ? record.target
                                                                          : route.location;
            res.set_redirect(to.toStdString(), 302);
            return;
        }
        case Behaviour::Reset:
#ifndef _WIN32
            resetConnection(connectionTo(port, req.remote_port));
#else
            // Windows sockets cannot be found from the port; the nearest is a connection
            // closed before any byte of the answer.
            res.set_content_provider(
                1, "text/html", [](size_t, size_t, httplib::DataSink&) { return false; });
#endif
            return;
        case Behaviour::Truncate: {
            auto body = std::make_shared<std::string>(route.body.toStdString());
            res.status = route.status;
            res.set_content_provider(
                body->size(), "text/html",
                [body](size_t offset, size_t, httplib::DataSink& sink) {
                    if (offset == 0)
                        sink.write(body->data(), body->size() / 2);
                    return false;
                });
            return;
        }
        }
        res.status = route.status;
        res.set_content(route.body.toStdString(), "text/html");
    }
};

HttpFixture::HttpFixture() : m(std::make_unique<Impl>())
{
#ifndef _WIN32
    // A client that hangs up mid-answer must not end the test program.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    m->server.Get(".*", [impl = m.get()](const httplib::Request& req, httplib::Response& res) {
        impl->handle(req, res);
    });
    m->server.Post(".*", [impl = m.get()](const httplib::Request& req, httplib::Response& res) {
        impl->handle(req, res);
    });
    m->port = m->server.bind_to_any_port("127.0.0.1");
    m->thread = std::thread([impl = m.get()] { impl->server.listen_after_bind(); });
    // stop() only reaches a server that is already listening.
    while (m->port > 0 && !m->server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

HttpFixture::~HttpFixture()
{
    {
        const std::lock_guard lock(m->mutex);
        m->stopping = true;
    }
    m->wake.notify_all();
    m->server.stop();
    if (m->thread.joinable())
        m->thread.join();
}

int HttpFixture::port() const
{
    return m->port;
}

QString HttpFixture::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m->port);
}

void HttpFixture::setRoute(const QString& path, const Route& route)
{
    const std::lock_guard lock(m->mutex);
    m->routes.insert(path, route);
}

void HttpFixture::setBody(const QString& path, const QByteArray& body, int status)
{
    Route route;
    route.body = body;
    route.status = status;
    setRoute(path, route);
}

QList<RecordedRequest> HttpFixture::requests() const
{
    const std::lock_guard lock(m->mutex);
    return m->requests;
}

int HttpFixture::answered() const
{
    const std::lock_guard lock(m->mutex);
    return m->answers;
}

void HttpFixture::clearRequests()
{
    const std::lock_guard lock(m->mutex);
    m->requests.clear();
}

QByteArray linesPage(int n)
{
    QByteArray page;
    page.reserve(n * 16);
    for (int i = 1; i <= n; ++i)
        page += "<p>line " + QByteArray::number(i) + "</p>\r\n";
    return page;
}

} // namespace beamtide::test
