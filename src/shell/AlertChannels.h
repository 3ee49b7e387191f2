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
// channel that is on, through its throttle when its box is ticked. The older channels (tones,
// mail, the hook, the desktop notification) ask admit() before they go, and follow the same
// throttle when theirs is ticked. Held-back alerts are named in the run log with the channel
// and the reason; they stay in the alerts history all the same.
class AlertChannels final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlertChannels)

public:
    enum class Channel { Webhook, Ntfy, Mqtt, Tones, Mail, Hook, Notification };
    static QString nameOf(Channel channel); // as the run log names it

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

    // Whether this alert may go out on the channel now: always when its throttle box is not
    // ticked; otherwise as its throttle says, with a log line when held back. An alert let
    // through counts as delivered, so ask only when the channel is about to be used.
    bool admit(Channel channel, const AlertFields& alert, const QDateTime& local);

    int pending() const;
    void stop();

private:
    bool follows(Channel channel) const; // its throttle box

    Parts m_parts;
    ChannelSettings m_settings;
    bool m_applied = false;
    HttpClient m_webhookClient;
    HttpClient m_ntfyClient;
    std::unique_ptr<DeliveryQueue> m_webhook;
    std::unique_ptr<DeliveryQueue> m_ntfy;
    std::unique_ptr<MqttChannel> m_mqtt;
    QHash<Channel, std::shared_ptr<Throttle>> m_throttles;
    ThrottleLimits m_limits;
    QStringList m_unknownLogged; // unknown placeholders named once
};

} // namespace beamtide
