#pragma once

#include "channels/DeliveryQueue.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

namespace beamtide {

struct MqttSettings
{
    QString host;
    int port = 1883;
    bool tls = false;  // the broker's certificate is verified, its name too
    QString user;      // empty: no login
    QString password;
    QString caFile;    // empty: the system's authorities
    // Whose topics: beamtide/<machine>/<instance>/...
    QString machine;
    QString instance;
};

// The retained state Home Assistant's sensors read.
struct MqttState
{
    QString band;
    QDateTime lastUpdate; // UTC
    QString source;
    int spotsShown = 0;
    int alertsToday = 0;
    QString lastAlert;

    QByteArray json() const;
    bool operator==(const MqttState&) const = default;
};

// The topics and retained payloads of one running copy.
struct MqttTopics
{
    explicit MqttTopics(const MqttSettings& settings);

    QString base;   // beamtide/<machine>/<instance>
    QString alert;  // QoS 1, not retained
    QString state;  // retained
    QString status; // retained "online", "offline" as the will
    QString deviceName;
    QString nodeId; // beamtide_<machine>_<instance>, letters, digits, "_" and "-" only

    // Home Assistant discovery: topic and retained config of each sensor.
    QList<QPair<QString, QByteArray>> discovery() const;
};

// The MQTT channel: one connection kept open on a thread of the channel's own, which alone
// calls libmosquitto (some builds of it have no threads of their own). A broker that is away
// is tried again after the first retry delay; an alert publish that fails (no broker, the
// connection lost before the broker acknowledged it) is tried again after each delay in
// turn, like the HTTP channels.
class MqttChannel final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MqttChannel)

public:
    MqttChannel(MqttSettings settings, RetryDelays delays,
                std::function<void(const QString&)> log, QObject* parent = nullptr);
    ~MqttChannel() override; // stop()

    void publishAlert(const QString& what, const QByteArray& json,
                      DeliveryQueue::Done done = {});
    // Kept and published again after each reconnection.
    void publishState(const MqttState& state);

    int pending() const;
    // Says "offline", disconnects, and drops what waits with a log line. A connection still
    // waiting for the broker's answer is given up at once.
    void stop();

    // One connection, one publish of a test message to the alert topic, in words:
    // "published in 0.1 s", "broker refused: not authorised". Blocking; for a worker thread.
    // Gives up as soon as `abandon`, when given, is set.
    static SendOutcome sendTest(const MqttSettings& settings,
                                const std::atomic<bool>* abandon = nullptr);

private:
    struct Impl;
    std::shared_ptr<Impl> m;
};

} // namespace beamtide
