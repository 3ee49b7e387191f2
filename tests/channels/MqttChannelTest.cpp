#include "channels/MqttChannel.h"

#include "MqttBroker.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

using namespace beamtide;
using namespace std::chrono_literals;

namespace {

MqttSettings settingsFor(const test::MqttBroker& broker)
{
    MqttSettings s;
    s.host = QStringLiteral("127.0.0.1");
    s.port = broker.port();
    s.tls = broker.options().tls;
    s.caFile = s.tls ? broker.caFile() : QString();
    s.user = broker.options().user;
    s.password = broker.options().password;
    s.machine = QStringLiteral("Shack PC");
    s.instance = QStringLiteral("2");
    return s;
}

SendOutcome publishAndWait(MqttChannel& channel, const QByteArray& json)
{
    QEventLoop loop;
    SendOutcome result;
    channel.publishAlert(QStringLiteral("alert K1ABC 20m"), json, [&](const SendOutcome& o) {
        result = o;
        loop.quit();
    });
    loop.exec();
    return result;
}

QJsonObject jsonOf(const QByteArray& payload)
{
    return QJsonDocument::fromJson(payload).object();
}

} // namespace

TEST(Mqtt, TopicsAreSafeWhateverTheMachineIsCalled)
{
    MqttSettings s;
    s.machine = QStringLiteral("Shack PC/#+");
    s.instance = QStringLiteral("2");
    const MqttTopics t(s);
    EXPECT_EQ(t.alert, QStringLiteral("beamtide/shack_pc___/2/alert"));
    EXPECT_EQ(t.nodeId, QStringLiteral("beamtide_shack_pc____2"));
    EXPECT_EQ(t.deviceName, QStringLiteral("Beamtide #2 on Shack PC/#+"));
}

// What a running copy publishes, and what Home Assistant needs of each discovery config.
TEST(Mqtt, PublishesAlertStateStatusAndDiscovery)
{
    test::MqttBroker broker;
    test::MqttSubscriber sub(broker);
    const MqttSettings s = settingsFor(broker);
    const MqttTopics t(s);
    QStringList log;
    {
        MqttChannel channel(s, {1ms}, [&](const QString& line) { log << line; });
        MqttState state;
        state.band = QStringLiteral("20");
        state.lastUpdate = QDateTime(QDate(2026, 3, 1), QTime(10, 6), Qt::UTC);
        state.source = QStringLiteral("wspr.live");
        state.spotsShown = 17;
        state.alertsToday = 3;
        state.lastAlert = QStringLiteral("2026-03-01 10:04,K1ABC,14.097061,-21dBm,VK2XYZ,16543Km. ");
        channel.publishState(state);
        const SendOutcome o = publishAndWait(channel, R"({"call":"K1\"ABC"})");
        EXPECT_TRUE(o.delivered) << o.words.toStdString();
        sub.waitForCount(t.state, 1);

        const auto alerts = sub.on(t.alert);
        ASSERT_EQ(alerts.size(), 1);
        EXPECT_EQ(alerts[0].payload, QByteArray(R"({"call":"K1\"ABC"})"));
        EXPECT_EQ(alerts[0].qos, 1);
        EXPECT_FALSE(alerts[0].retained);

        const auto states = sub.on(t.state);
        ASSERT_EQ(states.size(), 1);
        const QJsonObject st = jsonOf(states[0].payload);
        EXPECT_EQ(st.value(u"alerts_today").toInt(), 3);
        EXPECT_EQ(st.value(u"spots_shown").toInt(), 17);
        EXPECT_EQ(st.value(u"band").toString(), QStringLiteral("20"));
        EXPECT_EQ(st.value(u"last_update").toString(), QStringLiteral("2026-03-01T10:06:00Z"));
        EXPECT_EQ(st.value(u"last_alert").toString(), state.lastAlert);

        const auto status = sub.on(t.status);
        ASSERT_FALSE(status.isEmpty());
        EXPECT_EQ(status[0].payload, QByteArray("online"));

        const auto discovery = t.discovery();
        ASSERT_EQ(discovery.size(), 4);
        QStringList values;
        for (const auto& [topic, payload] : discovery) {
            SCOPED_TRACE(topic.toStdString());
            EXPECT_TRUE(topic.startsWith(QStringLiteral("homeassistant/sensor/beamtide_shack_pc_2_")));
            EXPECT_TRUE(topic.endsWith(QStringLiteral("/config")));
            const auto got = sub.on(topic);
            ASSERT_EQ(got.size(), 1);
            EXPECT_EQ(got[0].payload, payload);
            const QJsonObject c = jsonOf(got[0].payload);
            EXPECT_EQ(c.value(u"unique_id").toString(), topic.section(u'/', 2, 2));
            EXPECT_EQ(c.value(u"state_topic").toString(), t.state);
            EXPECT_EQ(c.value(u"availability_topic").toString(), t.status);
            const QString tpl = c.value(u"value_template").toString();
            ASSERT_TRUE(tpl.startsWith(QStringLiteral("{{ value_json.")));
            const QString member = tpl.mid(14).chopped(3);
            EXPECT_TRUE(st.contains(member)) << member.toStdString();
            values << member;
            const QJsonObject device = c.value(u"device").toObject();
            EXPECT_EQ(device.value(u"name").toString(), QStringLiteral("Beamtide #2 on Shack PC"));
            EXPECT_EQ(device.value(u"identifiers").toArray().first().toString(), t.nodeId);
        }
        values.sort();
        EXPECT_EQ(values, (QStringList{QStringLiteral("alerts_today"), QStringLiteral("band"),
                                       QStringLiteral("last_alert"), QStringLiteral("spots_shown")}));
    }
    // Stopping says "offline", retained.
    sub.waitUntil([&](const QList<test::MqttMessage>& all) {
        return !all.isEmpty() && all.last().topic == t.status && all.last().payload == "offline";
    });

    // A subscriber that comes later finds the retained state, status and configs.
    test::MqttSubscriber late(broker);
    late.waitForCount(t.status, 1);
    late.waitForCount(t.state, 1);
    EXPECT_TRUE(late.on(t.status)[0].retained);
    EXPECT_TRUE(late.on(t.state)[0].retained);
    EXPECT_TRUE(late.on(t.alert).isEmpty());
}

TEST(Mqtt, BrokerAwayIsTriedAgainThenGivenUpAndAReturnIsDeliveredOnce)
{
    test::MqttBroker broker;
    const MqttSettings s = settingsFor(broker);
    const MqttTopics t(s);
    broker.stop();
    QStringList log;
    MqttChannel channel(s, {1ms, 2ms, 3ms}, [&](const QString& line) { log << line; });
    const SendOutcome away = publishAndWait(channel, "{}");
    EXPECT_FALSE(away.delivered);
    QCoreApplication::processEvents();
    EXPECT_TRUE(log.filter(QStringLiteral("undelivered after 4 tries (broker away")).size() == 1)
        << log.join(u'\n').toStdString();

    broker.start();
    test::MqttSubscriber sub(broker);
    const SendOutcome back = publishAndWait(channel, R"({"n":2})");
    EXPECT_TRUE(back.delivered) << back.words.toStdString();
    sub.waitForCount(t.alert, 1); // subscribed before the publish, so it comes
    EXPECT_EQ(sub.on(t.alert).size(), 1);
}

// The broker's answer in words, as the "Send test" button shows it; TLS with the tests' own
// authority and a password file.
TEST(Mqtt, SendTestWithTlsAndPassword)
{
    test::MqttBroker broker({true, QStringLiteral("shack"), QStringLiteral("s3cret")});
    test::MqttSubscriber sub(broker);
    MqttSettings s = settingsFor(broker);
    const MqttTopics t(s);

    const SendOutcome ok = MqttChannel::sendTest(s);
    EXPECT_TRUE(ok.delivered) << ok.words.toStdString();
    EXPECT_TRUE(ok.words.startsWith(QStringLiteral("published in "))) << ok.words.toStdString();
    sub.waitForCount(t.alert, 1);

    s.password = QStringLiteral("wrong");
    const SendOutcome refused = MqttChannel::sendTest(s);
    EXPECT_FALSE(refused.delivered);
    EXPECT_EQ(refused.words, QStringLiteral("broker refused: not authorised"));

    s = settingsFor(broker);
    s.caFile.clear(); // the system's authorities know nothing of the tests' own
    const SendOutcome unknown = MqttChannel::sendTest(s);
    EXPECT_FALSE(unknown.delivered);
    EXPECT_FALSE(unknown.words.isEmpty());

    s = settingsFor(broker);
    s.tls = false; // plain MQTT to a TLS listener
    EXPECT_FALSE(MqttChannel::sendTest(s).delivered);
    EXPECT_EQ(sub.on(t.alert).size(), 1);
}

#ifndef Q_OS_WIN
// A copy that ends without a word to the broker (killed, or its machine gone) leaves the
// will behind: whoever looks at the status later finds "offline", retained.
TEST(Mqtt, AKilledCopyLeavesOfflineAsItsWill)
{
    test::MqttBroker broker;
    MqttSettings s = settingsFor(broker);
    const MqttTopics t(s);
    test::MqttSubscriber sub(broker, t.status);
    QProcess copy;
    copy.start(QStringLiteral(BEAMTIDE_BINARY_DIR "/tests/mqtt_probe"),
               {QString::number(broker.port()), s.machine, s.instance});
    ASSERT_TRUE(copy.waitForStarted(-1)) << copy.errorString().toStdString();
    sub.waitForCount(t.status, 1);
    EXPECT_EQ(sub.on(t.status)[0].payload, QByteArray("online"));

    copy.kill(); // SIGKILL: the socket closes with no DISCONNECT
    copy.waitForFinished(-1);
    sub.waitForCount(t.status, 2);
    EXPECT_EQ(sub.on(t.status)[1].payload, QByteArray("offline"));

    test::MqttSubscriber late(broker, t.status);
    late.waitForCount(t.status, 1);
    const auto found = late.on(t.status);
    EXPECT_EQ(found[0].payload, QByteArray("offline"));
    EXPECT_TRUE(found[0].retained);
}
#endif
