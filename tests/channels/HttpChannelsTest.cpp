#include "channels/DeliveryQueue.h"
#include "channels/HttpChannels.h"

#include "HttpFixture.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QUrlQuery>

#include <gtest/gtest.h>

using namespace beamtide;
using namespace std::chrono_literals;

namespace {

AlertFields sampleAlert()
{
    AlertFields a = AlertFields::fromLine(
        QStringLiteral("2026-03-01 10:04,K1ABC,14.097061,-21dBm,VK2XYZ,16543Km. "));
    a.band = QStringLiteral("20m");
    a.grid = QStringLiteral("FN42");
    a.rgrid = QStringLiteral("QF56");
    a.dbm = 37;
    a.source = QStringLiteral("wspr.live");
    a.instance = QStringLiteral("1");
    return a;
}

// The call sign of someone who wants to break things.
QString hostileCall(int length = 10 * 1024)
{
    return QStringLiteral("K1\"}{\\X\r\nX-Evil: 1\r\n") + QString(length, u'Q');
}

// Sends through a queue and waits for its last try.
SendOutcome deliverAndWait(DeliveryQueue& queue, DeliveryQueue::Attempt attempt)
{
    QEventLoop loop;
    SendOutcome result;
    queue.deliver(QStringLiteral("alert"), std::move(attempt), [&](const SendOutcome& o) {
        result = o;
        loop.quit();
    });
    loop.exec();
    return result;
}

DeliveryQueue::Attempt sendOnce(HttpClient& client, const HttpRequest& request)
{
    return [&client, request] { return httpOutcome(client.send(request, channelHttpLimits()), 0); };
}

int closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort(); // closed again when probe goes
}

} // namespace

TEST(AlertFields, ReadsTheAlertLine)
{
    const AlertFields a = sampleAlert();
    EXPECT_EQ(a.time, QDateTime(QDate(2026, 3, 1), QTime(10, 4), Qt::UTC));
    EXPECT_EQ(a.call, QStringLiteral("K1ABC"));
    EXPECT_EQ(a.mhz, 14.097061);
    EXPECT_EQ(a.snr, -21);
    EXPECT_EQ(a.reporter, QStringLiteral("VK2XYZ"));
    EXPECT_EQ(a.km, 16543);

    const AlertFields odd = AlertFields::fromLine(QStringLiteral("not an alert line"));
    EXPECT_EQ(odd.line, QStringLiteral("not an alert line"));
    EXPECT_TRUE(odd.call.isEmpty());
    EXPECT_FALSE(odd.km);
}

TEST(AlertFields, DefaultJsonHasEveryPlaceholderNumbersAsNumbersAndEmptyAsNull)
{
    AlertFields a = sampleAlert();
    a.grid.clear();
    a.dbm.reset();
    const QByteArray json = defaultAlertJson(a);
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(json, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.toStdString();
    EXPECT_EQ(o.keys().size(), placeholderNames().size());
    EXPECT_EQ(o.value(u"time").toString(), QStringLiteral("2026-03-01T10:04:00Z"));
    EXPECT_EQ(o.value(u"km").toInt(), 16543);
    EXPECT_TRUE(o.value(u"mhz").isDouble());
    EXPECT_EQ(o.value(u"snr").toInt(), -21);
    EXPECT_TRUE(o.value(u"grid").isNull());
    EXPECT_TRUE(o.value(u"dbm").isNull());
    EXPECT_EQ(o.value(u"rgrid").toString(), QStringLiteral("QF56"));
    EXPECT_TRUE(json.startsWith(R"({"line":)")); // in the placeholders' order
}

TEST(Templates, EscapedForWhereTheyStand)
{
    AlertFields a = sampleAlert();
    a.call = hostileCall();
    struct Row
    {
        const char* name;
        QString pattern;
        TemplateUse use;
    };
    const Row rows[] = {
        {"in a JSON string", QStringLiteral(R"({"content": "{call} on {band} {nope}"})"), TemplateUse::Json},
        {"outside a JSON string", QStringLiteral(R"({"c": {call}, "km": {km}, "g": {grid}})"), TemplateUse::Json},
        {"after an escaped quote", QStringLiteral(R"({"c": "say \"{call}\""})"), TemplateUse::Json},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Expansion e = expandTemplate(row.pattern, a, row.use);
        QJsonParseError error;
        const QJsonObject o = QJsonDocument::fromJson(e.text, &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << e.text.left(200).toStdString();
        EXPECT_TRUE(o.value(o.keys().first()).toString().contains(hostileCall()));
    }
    const Expansion withUnknown = expandTemplate(
        QStringLiteral(R"({"a": "{nope} {nope} {other}"})"), a, TemplateUse::Json);
    EXPECT_EQ(withUnknown.unknown, (QStringList{QStringLiteral("nope"), QStringLiteral("other")}));
    EXPECT_TRUE(withUnknown.text.contains("{nope} {nope} {other}"));

    const Expansion numbers = expandTemplate(QStringLiteral(R"({"km": {km}, "c": {call}})"),
                                             sampleAlert(), TemplateUse::Json);
    EXPECT_EQ(numbers.text, QByteArray(R"({"km": 16543, "c": "K1ABC"})"));

    const Expansion url = expandTemplate(QStringLiteral("http://h/a?m={call}&b={band}"), a, TemplateUse::Url);
    const QUrl parsed = QUrl::fromEncoded(url.text, QUrl::StrictMode);
    ASSERT_TRUE(parsed.isValid());
    EXPECT_EQ(QUrlQuery(parsed).queryItemValue(QStringLiteral("m"), QUrl::FullyDecoded), hostileCall());
    EXPECT_EQ(QUrlQuery(parsed).queryItemValue(QStringLiteral("b")), QStringLiteral("20m"));
}

TEST(Webhook, DefaultBodyIsPostedAsJson)
{
    test::HttpFixture server;
    server.setBody(QStringLiteral("/hook"), "ok");
    HttpClient client;
    const BuiltRequest built = webhookRequest({server.baseUrl() + QStringLiteral("/hook"), QStringLiteral("POST"), {}},
                                              sampleAlert());
    ASSERT_TRUE(built.error.isEmpty());
    DeliveryQueue queue(QStringLiteral("webhook"), {1ms}, {});
    const SendOutcome outcome = deliverAndWait(queue, sendOnce(client, built.request));
    EXPECT_TRUE(outcome.delivered) << outcome.words.toStdString();
    EXPECT_TRUE(outcome.words.startsWith(QStringLiteral("HTTP 200 in "))) << outcome.words.toStdString();

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].method, QStringLiteral("POST"));
    EXPECT_EQ(requests[0].path, QStringLiteral("/hook"));
    EXPECT_EQ(requests[0].header(QStringLiteral("Content-Type")), QStringLiteral("application/json"));
    EXPECT_EQ(requests[0].body, defaultAlertJson(sampleAlert()));
}

TEST(Webhook, TemplatesGetAndForm)
{
    test::HttpFixture server;
    server.setBody(QStringLiteral("/hook"), "ok");
    HttpClient client;
    AlertFields a = sampleAlert();
    // Short enough for the test server's limits on a request line and a body.
    a.call = hostileCall(1000);
    a.line = QStringLiteral("2026-03-01 10:04,") + a.call;

    const BuiltRequest get = webhookRequest(
        {server.baseUrl() + QStringLiteral("/hook?c={call}&km={km}"), QStringLiteral("GET"), {}}, a);
    ASSERT_TRUE(get.error.isEmpty());
    const BuiltRequest form = webhookRequest(
        {server.baseUrl() + QStringLiteral("/hook"), QStringLiteral("POST"), QStringLiteral("c={call}&b={band}")}, a);
    const BuiltRequest discord = webhookRequest(
        {server.baseUrl() + QStringLiteral("/hook"), QStringLiteral("POST"), webhookPresets()[0].body}, a);
    for (const BuiltRequest* b : {&get, &form, &discord})
    {
        const HttpResult r = client.send(b->request, channelHttpLimits());
        EXPECT_TRUE(r.ok) << r.error.toStdString();
    }

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3);
    EXPECT_EQ(requests[0].method, QStringLiteral("GET"));
    const QUrlQuery query(requests[0].query);
    EXPECT_EQ(query.queryItemValue(QStringLiteral("c"), QUrl::FullyDecoded), hostileCall(1000));
    EXPECT_EQ(query.queryItemValue(QStringLiteral("km")), QStringLiteral("16543"));

    EXPECT_EQ(requests[1].header(QStringLiteral("Content-Type")),
              QStringLiteral("application/x-www-form-urlencoded"));
    const QUrlQuery formBody(QString::fromUtf8(requests[1].body));
    EXPECT_EQ(formBody.queryItemValue(QStringLiteral("c"), QUrl::FullyDecoded), hostileCall(1000));

    const QJsonObject content = QJsonDocument::fromJson(requests[2].body).object();
    EXPECT_EQ(content.value(u"content").toString(), a.line);
    for (const auto& r : requests)
        EXPECT_TRUE(r.header(QStringLiteral("X-Evil")).isEmpty());
}

TEST(Webhook, NoAddressIsNoRequest)
{
    for (const char* url : {"", "ftp://host/x", "file:///etc/passwd", "not an address"}) {
        SCOPED_TRACE(url);
        EXPECT_FALSE(webhookRequest({QString::fromLatin1(url), {}, {}}, sampleAlert()).error.isEmpty());
    }
}

TEST(Ntfy, PublishesTheAlertLineWithItsHeaders)
{
    test::HttpFixture server;
    server.setBody(QStringLiteral("/beamtide-test"), R"({"id":"x"})");
    HttpClient client;
    AlertFields a = sampleAlert();
    const BuiltRequest built =
        ntfyRequest({server.baseUrl() + u'/', QStringLiteral("beamtide-test"), QStringLiteral("tk_secret"), 5}, a);
    ASSERT_TRUE(built.error.isEmpty());
    EXPECT_TRUE(client.send(built.request, channelHttpLimits()).ok);
    a.call = hostileCall();
    const BuiltRequest hostile =
        ntfyRequest({server.baseUrl(), QStringLiteral("beamtide-test"), {}, 9}, a);
    EXPECT_TRUE(client.send(hostile.request, channelHttpLimits()).ok);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2);
    const auto& r = requests[0];
    EXPECT_EQ(r.method, QStringLiteral("POST"));
    EXPECT_EQ(r.path, QStringLiteral("/beamtide-test"));
    EXPECT_EQ(r.header(QStringLiteral("Title")), QStringLiteral("Beamtide alert: K1ABC on 20m"));
    EXPECT_EQ(r.header(QStringLiteral("Priority")), QStringLiteral("5"));
    EXPECT_EQ(r.header(QStringLiteral("Tags")), QStringLiteral("radio"));
    EXPECT_EQ(r.header(QStringLiteral("Authorization")), QStringLiteral("Bearer tk_secret"));
    EXPECT_EQ(r.body, sampleAlert().line.toUtf8());

    const auto& h = requests[1];
    EXPECT_TRUE(h.header(QStringLiteral("Title")).startsWith(QStringLiteral("Beamtide alert: K1\"}{\\X  X-Evil: 1")));
    EXPECT_TRUE(h.header(QStringLiteral("X-Evil")).isEmpty());
    EXPECT_TRUE(h.header(QStringLiteral("Authorization")).isEmpty());
    EXPECT_EQ(h.header(QStringLiteral("Priority")), QStringLiteral("5"));
}

// 429, 5xx and no answer are tried again after each delay, then given up; a refusal such
// as 404 is not worth another try; a delivered alert is never sent again.
TEST(Delivery, RetriesAfterTheDelaysThenGivesUp)
{
    test::HttpFixture server;
    HttpClient client;
    QStringList log;
    DeliveryQueue queue(QStringLiteral("webhook"), {1ms, 2ms, 3ms},
                        [&](const QString& line) { log << line; });
    const QString url = server.baseUrl() + QStringLiteral("/hook");
    struct Row
    {
        const char* name;
        int status;
        int expectedRequests;
    };
    for (const Row& row : {Row{"busy", 429, 4}, Row{"server error", 503, 4}, Row{"refused", 404, 1}}) {
        SCOPED_TRACE(row.name);
        server.clearRequests();
        server.setBody(QStringLiteral("/hook"), "no", row.status);
        const SendOutcome o = deliverAndWait(queue, sendOnce(client, webhookRequest({url, {}, {}}, sampleAlert()).request));
        EXPECT_FALSE(o.delivered);
        EXPECT_EQ(server.requests().size(), row.expectedRequests);
    }
    QCoreApplication::processEvents(); // the log lines queued last
    EXPECT_TRUE(log.contains(QStringLiteral("webhook: alert undelivered after 4 tries (HTTP 503 in 0.0 s)")))
        << log.join(u'\n').toStdString();

    // The peer answers on the third try: delivered once, and no more tries.
    server.clearRequests();
    server.setBody(QStringLiteral("/hook"), "busy", 503);
    int tries = 0;
    const HttpRequest request = webhookRequest({url, {}, {}}, sampleAlert()).request;
    const SendOutcome third = deliverAndWait(queue, [&] {
        if (++tries == 3)
            server.setBody(QStringLiteral("/hook"), "ok");
        return httpOutcome(client.send(request, channelHttpLimits()), 0);
    });
    EXPECT_TRUE(third.delivered);
    EXPECT_EQ(server.requests().size(), 3);

    // Nobody listening.
    const QString nowhere = QStringLiteral("http://127.0.0.1:%1/hook").arg(closedPort());
    const SendOutcome none = deliverAndWait(queue, sendOnce(client, webhookRequest({nowhere, {}, {}}, sampleAlert()).request));
    EXPECT_FALSE(none.delivered);
    EXPECT_TRUE(none.words.startsWith(QStringLiteral("no answer: "))) << none.words.toStdString();
}

// A 2xx status means the peer has the alert even when the rest of its answer is more than
// we keep or breaks off: it is not sent again.
TEST(Delivery, AnAnswerTooLargeOrCutShortStillCountsAsDelivered)
{
    test::HttpFixture server;
    server.setBody(QStringLiteral("/big"), QByteArray(3 * 1024 * 1024, 'x'));
    test::Route cut;
    cut.body = QByteArray(100'000, 'y');
    cut.behaviour = test::Behaviour::Truncate;
    server.setRoute(QStringLiteral("/cut"), cut);
    HttpClient client;
    DeliveryQueue queue(QStringLiteral("ntfy"), {1ms, 1ms, 1ms}, {});
    for (const char* path : {"/big", "/cut"}) {
        SCOPED_TRACE(path);
        server.clearRequests();
        const SendOutcome o = deliverAndWait(
            queue, sendOnce(client, webhookRequest({server.baseUrl() + QString::fromLatin1(path), {}, {}},
                                                   sampleAlert()).request));
        EXPECT_TRUE(o.delivered) << o.words.toStdString();
        EXPECT_EQ(server.requests().size(), 1);
    }
}

TEST(Delivery, WhatWaitsIsDroppedWithALogLineAtShutDown)
{
    QStringList log;
    {
        DeliveryQueue queue(QStringLiteral("ntfy"), {std::chrono::hours(1)},
                            [&](const QString& line) { log << line; });
        queue.deliver(QStringLiteral("alert"), [] { return SendOutcome{false, true, QStringLiteral("HTTP 503")}; });
        while (queue.pending() > 0 && !log.join(u' ').contains(QStringLiteral("try 2")))
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        EXPECT_EQ(queue.pending(), 1);
    }
    EXPECT_EQ(log.last(), QStringLiteral("ntfy: 1 alert(s) not yet delivered dropped at shut-down"));
}

TEST(HttpChannels, LoggableUrlHasNoSecrets)
{
    EXPECT_EQ(loggableUrl(QStringLiteral("https://user:pw@hooks.example.org/api/x?token=abc#f")),
              QStringLiteral("https://hooks.example.org/api/x"));
}
