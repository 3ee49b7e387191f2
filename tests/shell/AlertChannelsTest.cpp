#include "shell/AlertChannels.h"

#include "HttpFixture.h"
#include "MqttBroker.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QThread>

#include <gtest/gtest.h>

using namespace beamtide;
using namespace std::chrono_literals;

namespace {

const QString kLine = QStringLiteral("2026-03-01 10:04,K1ABC,14.097061,-21dBm,VK2XYZ,16543Km. ");
const QStringList kSpots{
    QStringLiteral("2026-03-01 10:04,K1ABC,14.097061,-21,0,FN42,37,5,VK2XYZ,QF56,16543,10279"),
    QStringLiteral("2026-03-01 10:04,K1ABC,14.097061,-25,0,FN42,37,5,VK3AAA,QF22,16000,9942"),
};

// The three channels on: the webhook at <http>/hook<query>, ntfy's topic "alerts" on the same
// server, MQTT at the loopback port given.
ChannelSettings allThreeOn(const test::HttpFixture& http, const QString& query, int mqttPort)
{
    ChannelSettings s;
    s.webhookOn = true;
    s.webhookUrl = http.baseUrl() + QStringLiteral("/hook") + query;
    s.ntfyOn = true;
    s.ntfyServer = http.baseUrl();
    s.ntfyTopic = QStringLiteral("alerts");
    s.mqttOn = true;
    s.mqttHost = QStringLiteral("127.0.0.1");
    s.mqttPort = mqttPort;
    return s;
}

} // namespace

TEST(AlertChannels, FieldsComeFromTheSpotBehindTheLine)
{
    const AlertFields a = alertFieldsFor(kLine, kSpots, QStringLiteral("wspr.live"), QStringLiteral("1"));
    EXPECT_EQ(a.band, QStringLiteral("20m"));
    EXPECT_EQ(a.grid, QStringLiteral("FN42"));
    EXPECT_EQ(a.rgrid, QStringLiteral("QF56"));
    EXPECT_EQ(a.dbm, 37);
    EXPECT_EQ(a.source, QStringLiteral("wspr.live"));

    const AlertFields alone = alertFieldsFor(kLine, {}, QStringLiteral("wspr.live"), QStringLiteral("1"));
    EXPECT_TRUE(alone.grid.isEmpty());
    EXPECT_FALSE(alone.dbm);
    EXPECT_TRUE(QJsonDocument::fromJson(defaultAlertJson(alone)).object().value(u"grid").isNull());

    EXPECT_EQ(bandName(0.4757), QStringLiteral("2200m/630m"));
    EXPECT_EQ(bandName(432.3), QStringLiteral("70cm"));
    EXPECT_TRUE(bandName(99.0).isEmpty());
}

// One alert reaches the three channels once; the same call on the same band within the
// cooldown is held back by the channels that follow the throttle, and the log says so.
TEST(AlertChannels, HandsEachAlertToEveryChannelThroughItsThrottle)
{
    test::HttpFixture http;
    http.setBody(QStringLiteral("/hook"), "ok");
    http.setBody(QStringLiteral("/alerts"), "{}");
    test::MqttBroker broker;
    test::MqttSubscriber sub(broker, QStringLiteral("beamtide/+/+/alert"));

    QStringList log;
    AlertChannels channels({QStringLiteral("shack"), QStringLiteral("1"), {1ms, 1ms, 1ms},
                            [&](const QString& line) { log << line; }, {}});
    ChannelSettings s = allThreeOn(http, QStringLiteral("?token=secret"), broker.port());
    s.ntfyThrottle = false; // ntfy gets every alert
    channels.apply(s);

    const QDateTime local(QDate(2026, 3, 1), QTime(11, 0));
    const AlertFields a = alertFieldsFor(kLine, kSpots, QStringLiteral("wspr.live"), QStringLiteral("1"));
    channels.handOff(a, local);
    channels.handOff(a, local.addSecs(60));
    while (channels.pending() > 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    sub.waitForCount(QStringLiteral("beamtide/shack/1/alert"), 1);
    QCoreApplication::processEvents();

    const auto requests = http.requests();
    int hooks = 0, pushes = 0;
    for (const auto& r : requests) {
        hooks += r.path == u"/hook";
        pushes += r.path == u"/alerts";
    }
    EXPECT_EQ(hooks, 1);
    EXPECT_EQ(pushes, 2);
    const auto published = sub.messages();
    ASSERT_EQ(published.size(), 1);
    EXPECT_EQ(published[0].payload, defaultAlertJson(a));

    const QString all = log.join(u'\n');
    EXPECT_TRUE(all.contains(QStringLiteral("webhook held back ") + kLine.trimmed()
                             + QStringLiteral(": K1ABC on 20m already delivered within 30 min")))
        << all.toStdString();
    EXPECT_TRUE(all.contains(QStringLiteral("mqtt held back "))) << all.toStdString();
    EXPECT_FALSE(all.contains(QStringLiteral("ntfy held back")));
    EXPECT_FALSE(all.contains(QStringLiteral("secret")));
}

// Closing never waits out a slow peer: the webhook and ntfy sends under way are given up
// before the server answers, the MQTT connection that waits on a mute broker is given up
// too, and each channel drops its alert with one log line, none of them a failure.
TEST(AlertChannels, ShutDownAbandonsWhatIsUnderWay)
{
    test::HttpFixture http;
    test::Route held;
    held.body = "ok";
    held.delayMs = 20'000; // inside the channels' own 30 s bound
    http.setRoute(QStringLiteral("/hook"), held);
    http.setRoute(QStringLiteral("/alerts"), held);
    QTcpServer mute; // takes the MQTT connection and never says a word
    ASSERT_TRUE(mute.listen(QHostAddress::LocalHost));

    QStringList log;
    AlertChannels channels({QStringLiteral("shack"), QStringLiteral("1"), {1ms},
                            [&](const QString& line) { log << line; }, {}});
    channels.apply(allThreeOn(http, {}, mute.serverPort()));
    channels.handOff(alertFieldsFor(kLine, kSpots, QStringLiteral("wspr.live"), QStringLiteral("1")),
                     QDateTime(QDate(2026, 3, 1), QTime(11, 0)));
    while (http.requests().size() < 2)
        QThread::msleep(1);
    ASSERT_TRUE(mute.waitForNewConnection(-1));

    channels.stop();
    EXPECT_EQ(http.answered(), 0) << "the shut-down waited for the server's answer";
    for (const char* name : {"webhook", "ntfy", "mqtt"})
        EXPECT_EQ(log.count(QString::fromLatin1(name) + QStringLiteral(": 1 alert(s) not yet delivered dropped at shut-down")), 1)
            << name << '\n' << log.join(u'\n').toStdString();
    EXPECT_TRUE(log.filter(QStringLiteral("not delivered (")).isEmpty()) << log.join(u'\n').toStdString();
    EXPECT_TRUE(log.filter(QStringLiteral("away")).isEmpty()) << log.join(u'\n').toStdString();
}
