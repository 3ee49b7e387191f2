#pragma once

#include "channels/AlertFields.h"
#include "channels/DeliveryQueue.h"
#include "channels/MqttChannel.h"
#include "channels/Throttle.h"
#include "net/HttpClient.h"
#include "settings/ChannelSettings.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

namespace beamtide {

// The fields of an announced alert line: those of the line itself, and the others from the
// spot behind it in the spot list (same time, call, reporter and MHz) when there is one.
AlertFields alertFieldsFor(const QString& alertLine, const QStringList& spotLines,
                           const QString& source, const QString& instance);
// "20m", "70cm"; empty outside the band table.
QString bandName(double mhz);

// The webhook, ntfy and MQTT channels of one running copy: each announced alert goes to every
// channel that is on, through its throttle when its box is ticked. Held-back alerts are named
// in the run log with the reason; they stay in the alerts history all the same.
class AlertChannels final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlertChannels)

public:
    struct Parts
    {
        QString machine;  // for the MQTT topics
        QString instance;
        RetryDelays delays = programRetryDelays();
        std::function<void(const QString&)> log; // the run log's tagged lines
        QString mqttCaFile; // empty: the system's authorities
    };

    explicit AlertChannels(Parts parts, QObject* parent = nullptr);
    ~AlertChannels() override; // stop()

    // Takes new settings: channels switched off stop, changed ones start afresh. The
    // throttles keep their counts unless the limits change.
    void apply(const ChannelSettings& settings);
    const ChannelSettings& settings() const { return m_settings; }

    void handOff(const AlertFields& alert, const QDateTime& local);
    void publishState(const MqttState& state);

    // For the older channels (tones, mail, hook, desktop notification) that follow the
    // throttle when their box is ticked: whether this alert may go, logging when not.
    bool admit(const QString& channel, bool throttled, const AlertFields& alert, const QDateTime& local);

    int pending() const;
    void stop();

private:
    bool throttleAllows(const QString& channel, bool throttled, const AlertFields& alert,
                        const QDateTime& local);

    Parts m_parts;
    ChannelSettings m_settings;
    bool m_applied = false;
    HttpClient m_webhookClient;
    HttpClient m_ntfyClient;
    std::unique_ptr<DeliveryQueue> m_webhook;
    std::unique_ptr<DeliveryQueue> m_ntfy;
    std::unique_ptr<MqttChannel> m_mqtt;
    QHash<QString, std::shared_ptr<Throttle>> m_throttles;
    ThrottleLimits m_limits;
    QStringList m_unknownLogged; // unknown placeholders named once
};

} // namespace beamtide
