#include "net/HttpClient.h"

#include "HttpFixture.h"

#include <gtest/gtest.h>

using namespace beamtide;
using beamtide::test::Behaviour;
using beamtide::test::HttpFixture;
using beamtide::test::Route;

TEST(HttpClient, SendsTheBrowserLikeRequestOnAFreshConnectionEachTime)
{
    HttpFixture server;
    server.setBody(QStringLiteral("/page"), "hello\r\nworld\r\n");
    HttpClient client;

    const HttpResult first = client.get(server.baseUrl() + u"/page?a=1");
    const HttpResult second = client.get(server.baseUrl() + u"/page");
    ASSERT_TRUE(first.ok) << first.error.toStdString();
    ASSERT_TRUE(second.ok);
    EXPECT_EQ(first.body, QByteArray("hello\r\nworld\r\n"));
    EXPECT_EQ(first.status, 200);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2);
    const auto& r = requests[0];
    EXPECT_EQ(r.method, QStringLiteral("GET"));
    EXPECT_EQ(r.version, QStringLiteral("HTTP/1.1"));
    EXPECT_EQ(r.target, QStringLiteral("/page?a=1"));
    EXPECT_EQ(r.header(QStringLiteral("Accept")), QStringLiteral("text/html, */*"));
    EXPECT_EQ(r.header(QStringLiteral("Content-Type")), QStringLiteral("text/html"));
    EXPECT_EQ(r.header(QStringLiteral("User-Agent")),
              QStringLiteral("Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; "
                             "Trident/5.0; MAAU)"));
    EXPECT_TRUE(r.header(QStringLiteral("Content-Length")).isEmpty());
    EXPECT_TRUE(r.header(QStringLiteral("Authorization")).isEmpty());
    EXPECT_NE(requests[0].remotePort, requests[1].remotePort);
}

TEST(HttpClient, KeepsCookiesAcrossRequestsAndFollowsRedirects)
{
    HttpFixture server;
    Route login;
    login.behaviour = Behaviour::Redirect;
    login.location = QStringLiteral("/home");
    login.headers = {{"Set-Cookie", "session=abc; Path=/"}};
    server.setRoute(QStringLiteral("/login"), login);
    server.setBody(QStringLiteral("/home"), "welcome");
    HttpClient client;

    const HttpResult redirected = client.get(server.baseUrl() + u"/login");
    ASSERT_TRUE(redirected.ok) << redirected.error.toStdString();
    EXPECT_EQ(redirected.body, QByteArray("welcome"));
    ASSERT_TRUE(client.get(server.baseUrl() + u"/home").ok);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3);
    EXPECT_EQ(requests[1].path, QStringLiteral("/home"));
    EXPECT_EQ(requests[1].header(QStringLiteral("Cookie")), QStringLiteral("session=abc"));
    EXPECT_EQ(requests[2].header(QStringLiteral("Cookie")), QStringLiteral("session=abc"));
}

TEST(HttpClient, FailuresComeBackAsErrorsWithAMessage)
{
    HttpFixture server;
    int deadPort = 0;
    {
        HttpFixture gone;
        deadPort = gone.port();
    }
    struct Case
    {
        const char* name;
        Route route;
        const char* errorPart;
    };
    Route notFound;
    notFound.status = 404;
    Route broken;
    broken.status = 500;
    broken.body = "oops";
    Route loop;
    loop.behaviour = Behaviour::RedirectLoop;
    Route nowhere; // a redirect without a Location header: its body is no answer
    nowhere.status = 302;
    nowhere.body = "moved";
    Route reset;
    reset.behaviour = Behaviour::Reset;
    Route truncated;
    truncated.behaviour = Behaviour::Truncate;
    truncated.body = QByteArray(4000, 'x');
    const Case cases[] = {
        {"404", notFound, "HTTP/1.1 404 Not Found"},
        {"500", broken, "HTTP/1.1 500 Internal Server Error"},
        {"redirect loop", loop, "redirects followed"},
        {"redirect to nowhere", nowhere, "HTTP/1.1 302 Found"},
        {"reset connection", reset, "reset"},
        {"reply stops half-way", truncated, "remaining to read"},
    };
    HttpClient client;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = u"/" + QString::fromLatin1(c.name).replace(u' ', u'-');
        server.setRoute(path, c.route);
        const HttpResult result = client.get(server.baseUrl() + path);
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.body.isEmpty());
        EXPECT_FALSE(result.error.isEmpty());
        EXPECT_TRUE(result.error.contains(QLatin1String(c.errorPart), Qt::CaseInsensitive))
            << result.error.toStdString();
    }

    const HttpResult refused = client.get(QStringLiteral("http://127.0.0.1:%1/").arg(deadPort));
    EXPECT_FALSE(refused.ok);
    EXPECT_FALSE(refused.error.isEmpty());
}

TEST(HttpClient, BoundsTheWholeRequest)
{
    HttpFixture server;
    Route slow;
    slow.body = "late";
    slow.delayMs = 3000;
    server.setRoute(QStringLiteral("/slow"), slow);
    HttpClient client;
    HttpLimits limits;
    limits.totalMs = 200;
    const HttpResult result = client.get(server.baseUrl() + u"/slow", limits);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains(QLatin1String("timed out"), Qt::CaseInsensitive))
        << result.error.toStdString();
}

TEST(HttpClient, LineLimitAndLargeBodies)
{
    HttpFixture server;
    const QByteArray atLimit = QByteArray(65000, 'a') + "\r\n" + QByteArray(65000, 'b');
    const QByteArray overLimit = "short\n" + QByteArray(65001, 'c') + "\n";
    QByteArray tenMegabytes;
    for (int i = 0; i < 10 * 1024; ++i)
        tenMegabytes += QByteArray(1022, char('a' + i % 26)) + "\r\n";
    server.setBody(QStringLiteral("/at"), atLimit);
    server.setBody(QStringLiteral("/over"), overLimit);
    server.setBody(QStringLiteral("/big"), tenMegabytes);
    HttpClient client;
    HttpLimits limited;
    limited.maxLineLength = 65000;

    const HttpResult at = client.get(server.baseUrl() + u"/at", limited);
    ASSERT_TRUE(at.ok) << at.error.toStdString();
    EXPECT_EQ(at.body, atLimit);

    const HttpResult over = client.get(server.baseUrl() + u"/over", limited);
    EXPECT_FALSE(over.ok);
    EXPECT_TRUE(over.error.contains(QLatin1String("line length"))) << over.error.toStdString();

    // Without a line limit the same answer is fine, and so is a 10 MB one.
    EXPECT_TRUE(client.get(server.baseUrl() + u"/over").ok);
    const HttpResult big = client.get(server.baseUrl() + u"/big");
    ASSERT_TRUE(big.ok) << big.error.toStdString();
    EXPECT_EQ(big.body.size(), tenMegabytes.size());
    EXPECT_EQ(big.body, tenMegabytes);

    HttpLimits small;
    small.maxBodyBytes = 1024 * 1024;
    const HttpResult capped = client.get(server.baseUrl() + u"/big", small);
    EXPECT_FALSE(capped.ok);
    EXPECT_TRUE(capped.body.isEmpty());
}
