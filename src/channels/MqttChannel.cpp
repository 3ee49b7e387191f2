#include "channels/MqttChannel.h"

#include "Version.h"
#include "net/TlsAuthorities.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>

#include <mosquitto.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace beamtide {

using Clock = std::chrono::steady_clock;

namespace {

void initOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

// Letters, digits, "_" and "-": what a topic level and a Home Assistant id may hold.
QString topicSafe(const QString& text)
{
    QString out;
    for (const QChar c : text.toLower())
        out += (c.isLetterOrNumber() && c.unicode() < 128) || c == u'-' ? c : u'_';
    return out.isEmpty() ? QStringLiteral("_") : out;
}

QString errorText(int rc)
{
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    return QString::fromUtf8(mosquitto_strerror(rc));
}

// One connection to the broker, used from one thread only.
class Link
{
public:
    Link() = default;
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;
    ~Link() { close(); }

    std::function<void(int mid)> onPublished;

    // Connects and waits for the broker's answer; the error in words when not connected.
    // Gives up as soon as `abandon`, when given, is set (closing): no mute broker is waited out.
    QString open(const MqttSettings& s, const MqttTopics& topics, const std::atomic<bool>* abandon)
    {
        initOnce();
        close();
        // The broker names the client: a fixed name would throw out the channel's own
        // connection when "Send test" connects beside it.
        m_mosq = mosquitto_new(nullptr, true, this);
        if (!m_mosq)
            return QStringLiteral("cannot start an MQTT client");
        mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        mosquitto_connect_callback_set(m_mosq, [](mosquitto*, void* self, int rc) {
            static_cast<Link*>(self)->m_connack = rc;
        });
        mosquitto_publish_callback_set(m_mosq, [](mosquitto*, void* self, int mid) {
            auto* link = static_cast<Link*>(self);
            if (link->onPublished)
                link->onPublished(mid);
        });
        const QByteArray statusTopic = topics.status.toUtf8();
        mosquitto_will_set(m_mosq, statusTopic.constData(), 7, "offline", 1, true);
        if (!s.user.isEmpty())
            mosquitto_username_pw_set(m_mosq, s.user.toUtf8().constData(),
                                      s.password.toUtf8().constData());
        if (s.tls) {
            const TlsAuthorities authorities =
                s.caFile.isEmpty() ? systemTlsAuthorities() : TlsAuthorities{s.caFile, {}};
            if (authorities.none())
                return failed(QStringLiteral("TLS set-up: no certificate authorities (%1 beside the program)")
                                  .arg(QLatin1String(kShippedCaBundle)));
            const QByteArray caFile = authorities.caFile.toLocal8Bit();
            const QByteArray caPath = authorities.caPath.toLocal8Bit();
            const int rc = mosquitto_tls_set(m_mosq, caFile.isEmpty() ? nullptr : caFile.constData(),
                                             caPath.isEmpty() ? nullptr : caPath.constData(), nullptr,
                                             nullptr, nullptr);
            if (rc != MOSQ_ERR_SUCCESS)
                return failed(QStringLiteral("TLS set-up: ") + errorText(rc));
            mosquitto_tls_opts_set(m_mosq, 1, nullptr, nullptr); // verify the peer
        }
        m_connack = -1;
        const int rc = mosquitto_connect(m_mosq, s.host.trimmed().toUtf8().constData(), s.port, 60);
        if (rc != MOSQ_ERR_SUCCESS)
            return failed(errorText(rc));
        // A broker that takes the connection and never answers is given up on.
        const auto until = Clock::now() + std::chrono::seconds(30);
        while (m_connack < 0) {
            const int loop = mosquitto_loop(m_mosq, 100, 1);
            if (loop != MOSQ_ERR_SUCCESS && m_connack < 0)
                return failed(QStringLiteral("connection lost: ") + errorText(loop));
            if (Clock::now() > until)
                return failed(QStringLiteral("no answer from the broker"));
            if (abandon && *abandon)
                return failed(QStringLiteral("abandoned"));
        }
        if (m_connack != 0) {
            // "Connection Refused: not authorised." as "broker refused: not authorised"
            QString why = QString::fromUtf8(mosquitto_connack_string(m_connack));
            why = why.section(u':', -1).trimmed();
            if (why.endsWith(u'.'))
                why.chop(1);
            return failed(QStringLiteral("broker refused: ") + why.toLower());
        }
        return {};
    }

    bool isOpen() const { return m_mosq != nullptr; }

    // The message id, or the error's code as a negative number.
    int publish(const QString& topic, const QByteArray& payload, int qos, bool retain)
    {
        int mid = 0;
        const int rc = mosquitto_publish(m_mosq, &mid, topic.toUtf8().constData(),
                                         int(payload.size()), payload.constData(), qos, retain);
        return rc == MOSQ_ERR_SUCCESS ? mid : -rc;
    }

    // One turn of the network loop; the error in words when the connection is gone.
    QString turn(int timeoutMs)
    {
        const int rc = mosquitto_loop(m_mosq, timeoutMs, 1);
        return rc == MOSQ_ERR_SUCCESS ? QString() : errorText(rc);
    }

    void close()
    {
        if (!m_mosq)
            return;
        mosquitto_disconnect(m_mosq);
        mosquitto_destroy(m_mosq);
        m_mosq = nullptr;
    }

private:
    QString failed(const QString& why)
    {
        mosquitto_destroy(m_mosq);
        m_mosq = nullptr;
        return why;
    }

    mosquitto* m_mosq = nullptr;
    int m_connack = -1;
};

} // namespace

QByteArray MqttState::json() const
{
    const QJsonObject o{
        {QStringLiteral("band"), band},
        {QStringLiteral("last_update"),
         lastUpdate.isValid() ? QJsonValue(lastUpdate.toUTC().toString(Qt::ISODate))
                              : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("source"), source},
        {QStringLiteral("spots_shown"), spotsShown},
        {QStringLiteral("alerts_today"), alertsToday},
        {QStringLiteral("last_alert"), lastAlert},
    };
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

MqttTopics::MqttTopics(const MqttSettings& s)
{
    const QString machine = topicSafe(s.machine);
    const QString instance = topicSafe(s.instance);
    base = QStringLiteral("beamtide/%1/%2").arg(machine, instance);
    alert = base + QStringLiteral("/alert");
    state = base + QStringLiteral("/state");
    status = base + QStringLiteral("/status");
    nodeId = QStringLiteral("beamtide_%1_%2").arg(machine, instance);
    deviceName = QStringLiteral("Beamtide #%1 on %2").arg(s.instance, s.machine);
}

QList<QPair<QString, QByteArray>> MqttTopics::discovery() const
{
    struct Sensor
    {
        const char* what;
        const char* name;
        const char* icon;
    };
    static const Sensor sensors[] = {
        {"alerts_today", "Alerts today", "mdi:bell-ring"},
        {"last_alert", "Last alert", "mdi:radio-tower"},
        {"spots_shown", "Spots shown", "mdi:format-list-numbered"},
        {"band", "Band", "mdi:sine-wave"},
    };
    const QJsonObject device{
        {QStringLiteral("identifiers"), QJsonArray{nodeId}},
        {QStringLiteral("name"), deviceName},
        {QStringLiteral("manufacturer"), QStringLiteral("Beamtide")},
        {QStringLiteral("model"), QStringLiteral("Beamtide")},
        {QStringLiteral("sw_version"), QString::fromLatin1(kVersionText)},
    };
    QList<QPair<QString, QByteArray>> out;
    for (const Sensor& sensor : sensors) {
        const QString what = QString::fromLatin1(sensor.what);
        const QString id = nodeId + u'_' + what;
        QJsonObject config{
            {QStringLiteral("name"), QString::fromLatin1(sensor.name)},
            {QStringLiteral("unique_id"), id},
            {QStringLiteral("object_id"), id},
            {QStringLiteral("state_topic"), state},
            {QStringLiteral("value_template"),
             QStringLiteral("{{ value_json.%1 }}").arg(what)},
            {QStringLiteral("availability_topic"), status},
            {QStringLiteral("payload_available"), QStringLiteral("online")},
            {QStringLiteral("payload_not_available"), QStringLiteral("offline")},
            {QStringLiteral("icon"), QString::fromLatin1(sensor.icon)},
            {QStringLiteral("device"), device},
        };
        if (what == u"alerts_today" || what == u"spots_shown")
            config.insert(QStringLiteral("state_class"), QStringLiteral("measurement"));
        out.append({QStringLiteral("homeassistant/sensor/%1/config").arg(id),
                    QJsonDocument(config).toJson(QJsonDocument::Compact)});
    }
    return out;
}

struct MqttChannel::Impl
{
    struct Item
    {
        QString what;
        QByteArray payload;
        DeliveryQueue::Done done;
        int tries = 0;
        Clock::time_point due;
    };
    using ItemPtr = std::shared_ptr<Item>;

    MqttSettings settings;
    MqttTopics topics;
    RetryDelays delays;
    std::function<void(const QString&)> log;
    QObject* home = nullptr;

    std::mutex mutex;
    std::condition_variable wake;
    std::atomic<bool> stopping{false}; // set under the mutex, read anywhere
    std::deque<ItemPtr> waiting;
    std::optional<MqttState> state;
    bool stateDirty = false;
    std::atomic<int> pending{0};
    std::thread thread;

    // The thread's own.
    Link link;
    std::map<int, ItemPtr> inFlight;
    Clock::time_point nextConnect{};
    QString away; // the last connection error reported, so an outage is logged once

    Impl(MqttSettings s, RetryDelays d) : settings(std::move(s)), topics(settings), delays(std::move(d)) {}

    void report(const QString& line)
    {
        if (!log)
            return;
        QMetaObject::invokeMethod(
            home, [log = log, line] { log(line); }, Qt::QueuedConnection);
    }

    void finish(const ItemPtr& item, const SendOutcome& outcome)
    {
        if (outcome.delivered)
            report(QStringLiteral("mqtt: %1 delivered, %2").arg(item->what, outcome.words));
        else
            report(QStringLiteral("mqtt: %1 undelivered after %2 tries (%3)")
                       .arg(item->what)
                       .arg(item->tries)
                       .arg(outcome.words));
        if (item->done)
            QMetaObject::invokeMethod(
                home, [done = item->done, outcome] { done(outcome); }, Qt::QueuedConnection);
        --pending;
    }

    void fail(const ItemPtr& item, const QString& words)
    {
        ++item->tries;
        if (item->tries > delays.size()) {
            finish(item, {false, true, words});
            return;
        }
        const auto delay = delays[item->tries - 1];
        report(QStringLiteral("mqtt: %1 not delivered (%2), try %3 in %4 s")
                   .arg(item->what, words)
                   .arg(item->tries + 1)
                   .arg(double(delay.count()) / 1000.0));
        item->due = Clock::now() + delay;
        const std::lock_guard lock(mutex);
        waiting.push_back(item);
    }

    bool connect()
    {
        const QString error = link.open(settings, topics, &stopping);
        if (stopping)
            return false;
        if (!error.isEmpty()) {
            if (error != away)
                report(QStringLiteral("mqtt: broker %1:%2 away: %3")
                           .arg(settings.host)
                           .arg(settings.port)
                           .arg(error));
            away = error;
            nextConnect = Clock::now() + (delays.isEmpty() ? std::chrono::milliseconds(30'000)
                                                           : delays.first());
            return false;
        }
        away.clear();
        report(QStringLiteral("mqtt: connected to %1:%2").arg(settings.host).arg(settings.port));
        link.onPublished = [this](int mid) {
            const auto it = inFlight.find(mid);
            if (it == inFlight.end())
                return;
            const ItemPtr item = it->second;
            inFlight.erase(it);
            ++item->tries;
            finish(item, {true, false, QStringLiteral("acknowledged by the broker")});
        };
        (void)link.publish(topics.status, "online", 1, true);
        for (const auto& [topic, config] : topics.discovery())
            (void)link.publish(topic, config, 1, true);
        const std::lock_guard lock(mutex);
        stateDirty = state.has_value();
        return true;
    }

    void lose(const QString& why)
    {
        report(QStringLiteral("mqtt: connection lost: %1").arg(why));
        link.close();
        nextConnect = Clock::now();
        auto lost = std::move(inFlight);
        inFlight.clear();
        for (auto& [mid, item] : lost)
            fail(item, QStringLiteral("connection lost before the broker acknowledged"));
    }

    void run()
    {
        for (;;) {
            std::vector<ItemPtr> due;
            std::optional<MqttState> newState;
            {
                std::unique_lock lock(mutex);
                if (stopping)
                    break;
                const auto now = Clock::now();
                for (auto it = waiting.begin(); it != waiting.end();) {
                    if ((*it)->due <= now) {
                        due.push_back(*it);
                        it = waiting.erase(it);
                    } else {
                        ++it;
                    }
                }
                if (stateDirty && link.isOpen()) {
                    newState = state;
                    stateDirty = false;
                }
                if (!link.isOpen() && due.empty() && now < nextConnect) {
                    auto until = nextConnect;
                    for (const ItemPtr& item : waiting)
                        until = std::min(until, item->due);
                    wake.wait_until(lock, until);
                    continue;
                }
            }
            if (!link.isOpen() && !connect()) {
                if (stopping) {
                    // Dropped with the rest at the stop, not reported as failed.
                    const std::lock_guard lock(mutex);
                    waiting.insert(waiting.end(), due.begin(), due.end());
                    continue;
                }
                for (const ItemPtr& item : due)
                    fail(item, QStringLiteral("broker away: ") + away);
                continue;
            }
            for (const ItemPtr& item : due) {
                const int mid = link.publish(topics.alert, item->payload, 1, false);
                if (mid > 0)
                    inFlight[mid] = item;
                else
                    fail(item, errorText(-mid));
            }
            if (newState)
                (void)link.publish(topics.state, newState->json(), 1, true);
            const QString error = link.turn(100);
            if (!error.isEmpty())
                lose(error);
        }
        if (link.isOpen()) {
            // Said in words; the will is for going away unannounced.
            const int mid = link.publish(topics.status, "offline", 1, true);
            bool acknowledged = mid <= 0;
            link.onPublished = [&](int done) { acknowledged = acknowledged || done == mid; };
            for (int i = 0; i < 20 && !acknowledged; ++i)
                if (!link.turn(50).isEmpty())
                    break;
            link.close();
        }
    }
};

MqttChannel::MqttChannel(MqttSettings settings, RetryDelays delays,
                         std::function<void(const QString&)> log, QObject* parent)
    : QObject(parent), m(std::make_shared<Impl>(std::move(settings), std::move(delays)))
{
    m->log = std::move(log);
    m->home = this;
    m->thread = std::thread([impl = m.get()] { impl->run(); });
}

MqttChannel::~MqttChannel()
{
    stop();
}

void MqttChannel::publishAlert(const QString& what, const QByteArray& json,
                               DeliveryQueue::Done done)
{
    auto item = std::make_shared<Impl::Item>(Impl::Item{what, json, std::move(done), 0, Clock::now()});
    {
        const std::lock_guard lock(m->mutex);
        if (m->stopping)
            return;
        m->waiting.push_back(item);
        ++m->pending;
    }
    m->wake.notify_all();
}

void MqttChannel::publishState(const MqttState& state)
{
    {
        const std::lock_guard lock(m->mutex);
        if (m->state == state)
            return;
        m->state = state;
        m->stateDirty = true;
    }
    m->wake.notify_all();
}

int MqttChannel::pending() const
{
    return m->pending.load();
}

void MqttChannel::stop()
{
    {
        const std::lock_guard lock(m->mutex);
        if (m->stopping)
            return;
        m->stopping = true;
    }
    m->wake.notify_all();
    if (m->thread.joinable())
        m->thread.join();
    // What the thread said before it ended goes to the log ahead of the last line.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    const int left = m->pending.exchange(0);
    if (left > 0 && m->log)
        m->log(QStringLiteral("mqtt: %1 alert(s) not yet delivered dropped at shut-down").arg(left));
}

SendOutcome MqttChannel::sendTest(const MqttSettings& settings, const std::atomic<bool>* abandon)
{
    QElapsedTimer timer;
    timer.start();
    const MqttTopics topics(settings);
    Link link;
    const QString error = link.open(settings, topics, abandon);
    if (!error.isEmpty())
        return {false, true, error};
    int acknowledged = 0;
    link.onPublished = [&](int mid) { acknowledged = mid; };
    const int mid = link.publish(topics.alert, R"({"test":true,"line":"Beamtide test message"})", 1, false);
    if (mid <= 0)
        return {false, true, errorText(-mid)};
    while (acknowledged != mid) {
        const QString lost = link.turn(100);
        if (!lost.isEmpty())
            return {false, true, QStringLiteral("connection lost: ") + lost};
        if (timer.elapsed() > 30'000)
            return {false, true, QStringLiteral("no acknowledgement from the broker")};
        if (abandon && *abandon)
            return {false, true, QStringLiteral("abandoned")};
    }
    return {true, false,
            QStringLiteral("published in %1 s").arg(double(timer.elapsed()) / 1000.0, 0, 'f', 1)};
}

} // namespace beamtide
