#include "net/HttpClient.h"
#include "net/NetWorker.h"

#include "HttpFixture.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

using namespace beamtide;

TEST(NetWorker, ResultsComeBackInOrderOnTheReceiversThread)
{
    NetWorker worker;
    QObject receiver;
    QList<int> order;
    for (int i = 0; i < 3; ++i)
        worker.post<int>([i] { return i; }, &receiver, [&order](int v) {
            EXPECT_EQ(QThread::currentThread(), qApp->thread());
            order << v;
        });
    ASSERT_TRUE(QTest::qWaitFor([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (QList<int>{0, 1, 2}));
}

// A receiver may go at any moment on its own thread, even while its job is finishing: the
// result is then dropped, never delivered to the object that is gone. Each round deletes
// the receiver the instant its job signals, as a wait for the jobs at shut-down does.
TEST(NetWorker, AReceiverGoneWhileItsJobEndsGetsNothing)
{
    NetWorker worker;
    int delivered = 0;
    for (int round = 0; round < 20000; ++round) {
        auto started = std::make_shared<QSemaphore>();
        auto* receiver = new QObject;
        worker.post<int>([started] { started->release(); return 1; }, receiver,
                         [&delivered](int) { ++delivered; });
        started->acquire();
        delete receiver;
        if (round % 100 == 0)
            QCoreApplication::processEvents();
    }
    QTest::qWait(50);
    QCoreApplication::processEvents();
    EXPECT_EQ(delivered, 0);
}

TEST(NetWorker, ClosingCancelsARequestInFlight)
{
    test::HttpFixture server;
    test::Route slow;
    slow.body = "late";
    slow.delayMs = 5000;
    server.setRoute(QStringLiteral("/slow"), slow);

    const QString url = server.baseUrl() + QStringLiteral("/slow");
    auto result = std::make_shared<HttpResult>();
    std::atomic<bool> started = false;
    {
        NetWorker worker;
        QObject receiver;
        auto client = std::make_shared<HttpClient>();
        worker.post<int>(
            [client, result, &started, url] {
                started = true;
                *result = client->get(url);
                return 0;
            },
            &receiver, [](int) {});
        ASSERT_TRUE(QTest::qWaitFor([&] { return started.load(); }));
        QTest::qWait(200);
    } // the worker is destroyed while the server still holds the answer back
    EXPECT_FALSE(result->ok);
    EXPECT_TRUE(result->body.isEmpty());
    EXPECT_FALSE(result->error.isEmpty());
}

TEST(NetWorker, StopCancelsTheRunningRequestAndRunsNothingAfter)
{
    test::HttpFixture server;
    test::Route slow;
    slow.body = "late";
    slow.delayMs = 5000;
    server.setRoute(QStringLiteral("/slow"), slow);

    NetWorker worker;
    QObject receiver;
    auto client = std::make_shared<HttpClient>();
    std::atomic<bool> started = false;
    HttpResult result;
    worker.post<int>(
        [&, url = QString(server.baseUrl() + QStringLiteral("/slow"))] {
            started = true;
            result = client->get(url);
            return 0;
        },
        &receiver, [](int) {});
    std::atomic<int> later = 0;
    worker.post<int>([&later] { return ++later; }, &receiver, [](int) {});
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.load(); }));

    worker.stop(); // returns once the transfer has given up
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.isEmpty());
    worker.post<int>([&later] { return ++later; }, &receiver, [](int) {});
    QTest::qWait(100);
    EXPECT_EQ(later.load(), 0);
    EXPECT_EQ(worker.pending(), 0);
}
