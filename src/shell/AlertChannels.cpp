#include "shell/AlertChannels.h"

#include "spots/SpotRules.h"


namespace beamtide {

QString bandName(double mhz)
{
    const int column = BandColumnOf(mhz);
    if (column <= 0 && !(mhz > 0.1 && mhz < 0.5))
        return {};
    static const char* const names[] = {"2200m/630m", "160m", "80m", "60m", "40m", "30m",
                                        "20m",        "17m",  "15m", "12m", "10m", "8m",
                                        "6m",         "4m",   "2m",  "1.25m", "70cm"};
    if (column < 0 || column >= int(std::size(names)))
        return {};
    return QString::fromLatin1(names[column]);
}

AlertFields alertFieldsFor(const QString& alertLine, const QStringList& spotLines,
                           const QString& source, const QString& instance)
{
    AlertFields a = AlertFields::fromLine(alertLine);
    a.source = source;
    a.instance = instance;
    if (a.mhz)
        a.band = bandName(*a.mhz);
    const QStringList parts = alertLine.split(u',');
    if (parts.size() != 6)
        return a;
    for (const QString& line : spotLines) {
        const SpotFields f = splitSpotLine(line, true);
        if (f[field::Time] == parts[0] && f[field::Call] == parts[1] && f[field::MHz] == parts[2]
            && f[field::Reporter] == parts[4]) {
            a.grid = f[field::Grid].toString();
            a.rgrid = f[field::ReporterGrid].toString();
            if (const auto dbm = readInteger(f[field::Dbm]))
                a.dbm = *dbm;
            break;
        }
    }
    return a;
}

AlertChannels::AlertChannels(Parts parts, QObject* parent) : QObject(parent), m_parts(std::move(parts)) {}

AlertChannels::~AlertChannels()
{
    stop();
}

void AlertChannels::apply(const ChannelSettings& s)
{
    const ChannelSettings old = m_settings;
    const bool first = !m_applied;
    m_applied = true;
    m_settings = s;
    const ThrottleLimits limits{s.throttleCooldown, s.throttleCap, s.throttleQuiet};
    if (first || limits.cooldownMinutes != m_limits.cooldownMinutes
        || limits.dailyCap != m_limits.dailyCap || limits.quiet != m_limits.quiet) {
        m_limits = limits;
        m_throttles.clear();
        if (!s.throttleQuiet.trimmed().isEmpty() && !QuietHours::parse(s.throttleQuiet))
            m_parts.log(QStringLiteral("quiet hours \"%1\" not read (hh:mm-hh:mm): none kept")
                            .arg(s.throttleQuiet));
    }
    if (s.webhookOn && !m_webhook)
        m_webhook = std::make_unique<DeliveryQueue>(QStringLiteral("webhook"), m_parts.delays, m_parts.log);
    else if (!s.webhookOn)
        m_webhook.reset();
    if (s.ntfyOn && !m_ntfy)
        m_ntfy = std::make_unique<DeliveryQueue>(QStringLiteral("ntfy"), m_parts.delays, m_parts.log);
    else if (!s.ntfyOn)
        m_ntfy.reset();
    const bool mqttChanged = first || old.mqttHost != s.mqttHost || old.mqttPort != s.mqttPort
                             || old.mqttTls != s.mqttTls || old.mqttUser != s.mqttUser
                             || old.mqttPassword != s.mqttPassword;
    if (!s.mqttOn || s.mqttHost.trimmed().isEmpty()) {
        m_mqtt.reset();
    } else if (!m_mqtt || mqttChanged) {
        m_mqtt.reset();
        MqttSettings ms;
        ms.host = s.mqttHost.trimmed();
        ms.port = s.mqttPort;
        ms.tls = s.mqttTls;
        ms.user = s.mqttUser;
        ms.password = s.mqttPassword;
        ms.caFile = m_parts.mqttCaFile;
        ms.machine = m_parts.machine;
        ms.instance = m_parts.instance;
        m_mqtt = std::make_unique<MqttChannel>(ms, m_parts.delays, m_parts.log);
    }
}

QString AlertChannels::nameOf(Channel channel)
{
    switch (channel) {
    case Channel::Webhook: return QStringLiteral("webhook");
    case Channel::Ntfy: return QStringLiteral("ntfy");
    case Channel::Mqtt: return QStringLiteral("mqtt");
    case Channel::Tones: return QStringLiteral("tones");
    case Channel::Mail: return QStringLiteral("mail");
    case Channel::Hook: return QStringLiteral("hook");
    case Channel::Notification: return QStringLiteral("desktop notification");
    }
    return {};
}

bool AlertChannels::follows(Channel channel) const
{
    switch (channel) {
    case Channel::Webhook: return m_settings.webhookThrottle;
    case Channel::Ntfy: return m_settings.ntfyThrottle;
    case Channel::Mqtt: return m_settings.mqttThrottle;
    case Channel::Tones: return m_settings.tonesThrottle;
    case Channel::Mail: return m_settings.mailThrottle;
    case Channel::Hook: return m_settings.hookThrottle;
    case Channel::Notification: return m_settings.notifyThrottle;
    }
    return false;
}

bool AlertChannels::admit(Channel channel, const AlertFields& alert, const QDateTime& local)
{
    if (!follows(channel))
        return true;
    auto& throttle = m_throttles[channel];
    if (!throttle)
        throttle = std::make_shared<Throttle>(m_limits);
    const ThrottleDecision d = throttle->admit(alert.call, alert.band, local);
    if (!d.deliver)
        m_parts.log(QStringLiteral("%1 held back %2: %3").arg(nameOf(channel), alert.line.trimmed(), d.reason));
    return d.deliver;
}

void AlertChannels::handOff(const AlertFields& alert, const QDateTime& local)
{
    const QString what = QStringLiteral("alert %1 %2").arg(alert.call, alert.band);
    if (m_webhook && admit(Channel::Webhook, alert, local)) {
        const BuiltRequest built = webhookRequest(
            {m_settings.webhookUrl, m_settings.webhookMethod, m_settings.webhookBody}, alert);
        for (const QString& name : built.unknown) {
            if (!m_unknownLogged.contains(name)) {
                m_unknownLogged << name;
                m_parts.log(QStringLiteral("webhook: unknown placeholder {%1} left as it stands").arg(name));
            }
        }
        if (!built.error.isEmpty()) {
            m_parts.log(QStringLiteral("webhook: %1 not sent: %2").arg(what, built.error));
        } else {
            m_webhook->deliver(what, [client = &m_webhookClient, request = built.request] {
                return sendTimed(*client, request);
            });
        }
    }
    if (m_ntfy && admit(Channel::Ntfy, alert, local)) {
        const BuiltRequest built = ntfyRequest({m_settings.ntfyServer, m_settings.ntfyTopic,
                                                m_settings.ntfyToken, m_settings.ntfyPriority},
                                               alert);
        if (!built.error.isEmpty()) {
            m_parts.log(QStringLiteral("ntfy: %1 not sent: %2").arg(what, built.error));
        } else {
            m_ntfy->deliver(what, [client = &m_ntfyClient, request = built.request] {
                return sendTimed(*client, request);
            });
        }
    }
    if (m_mqtt && admit(Channel::Mqtt, alert, local))
        m_mqtt->publishAlert(what, defaultAlertJson(alert));
}

void AlertChannels::publishState(const MqttState& state)
{
    if (m_mqtt)
        m_mqtt->publishState(state);
}

int AlertChannels::pending() const
{
    return (m_webhook ? m_webhook->pending() : 0) + (m_ntfy ? m_ntfy->pending() : 0)
           + (m_mqtt ? m_mqtt->pending() : 0);
}

void AlertChannels::stop()
{
    // The queues go before the clients their sends use.
    m_webhook.reset();
    m_ntfy.reset();
    m_mqtt.reset();
}

} // namespace beamtide
