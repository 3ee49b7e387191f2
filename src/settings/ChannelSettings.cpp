#include "settings/ChannelSettings.h"

#include <algorithm>

namespace beamtide {

namespace {

// One table for load, save and report, so no value is missed by one of them.
template <typename Settings, typename Visit>
void eachValue(Settings& s, Visit&& visit)
{
    visit(u"BeamtideWebhookOn", s.webhookOn);
    visit(u"BeamtideWebhookUrl", s.webhookUrl);
    visit(u"BeamtideWebhookMethod", s.webhookMethod);
    visit(u"BeamtideWebhookBody", s.webhookBody);
    visit(u"BeamtideNtfyOn", s.ntfyOn);
    visit(u"BeamtideNtfyServer", s.ntfyServer);
    visit(u"BeamtideNtfyTopic", s.ntfyTopic);
    visit(u"BeamtideNtfyToken", s.ntfyToken);
    visit(u"BeamtideNtfyPriority", s.ntfyPriority);
    visit(u"BeamtideMqttOn", s.mqttOn);
    visit(u"BeamtideMqttHost", s.mqttHost);
    visit(u"BeamtideMqttPort", s.mqttPort);
    visit(u"BeamtideMqttTls", s.mqttTls);
    visit(u"BeamtideMqttUser", s.mqttUser);
    visit(u"BeamtideMqttPassword", s.mqttPassword);
    visit(u"BeamtideWebhookThrottle", s.webhookThrottle);
    visit(u"BeamtideNtfyThrottle", s.ntfyThrottle);
    visit(u"BeamtideMqttThrottle", s.mqttThrottle);
    visit(u"BeamtideTonesThrottle", s.tonesThrottle);
    visit(u"BeamtideMailThrottle", s.mailThrottle);
    visit(u"BeamtideHookThrottle", s.hookThrottle);
    visit(u"BeamtideNotifyThrottle", s.notifyThrottle);
    visit(u"BeamtideThrottleCooldown", s.throttleCooldown);
    visit(u"BeamtideThrottleCap", s.throttleCap);
    visit(u"BeamtideThrottleQuiet", s.throttleQuiet);
}

bool secret(QStringView name)
{
    return name == u"BeamtideNtfyToken" || name == u"BeamtideMqttPassword";
}

} // namespace

ChannelSettings ChannelSettings::load(const SettingsStore& store)
{
    ChannelSettings s;
    eachValue(s, [&](QStringView name, auto& value) {
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, bool>)
            value = store.readBool(name, value);
        else if constexpr (std::is_same_v<T, int>)
            value = store.readInt(name, value);
        else
            value = store.readText(name, value);
    });
    s.ntfyPriority = std::clamp(s.ntfyPriority, 1, 5);
    if (s.mqttPort < 1 || s.mqttPort > 65535)
        s.mqttPort = s.mqttTls ? 8883 : 1883;
    s.throttleCooldown = std::clamp(s.throttleCooldown, 0, 7 * 24 * 60);
    s.throttleCap = std::max(s.throttleCap, 0);
    if (s.webhookMethod.compare(u"GET", Qt::CaseInsensitive) == 0)
        s.webhookMethod = QStringLiteral("GET");
    else
        s.webhookMethod = QStringLiteral("POST");
    return s;
}

void ChannelSettings::save(SettingsStore& store) const
{
    ChannelSettings copy = *this;
    eachValue(copy, [&](QStringView name, auto& value) {
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, bool>)
            store.writeText(name, value ? QStringLiteral("1") : QStringLiteral("0"));
        else if constexpr (std::is_same_v<T, int>)
            store.writeInt(name, value);
        else
            store.writeText(name, value);
    });
}

QStringList ChannelSettings::report() const
{
    QStringList lines;
    ChannelSettings copy = *this;
    eachValue(copy, [&](QStringView name, auto& value) {
        using T = std::decay_t<decltype(value)>;
        QString shown;
        if constexpr (std::is_same_v<T, bool>)
            shown = value ? QStringLiteral("True") : QStringLiteral("False");
        else if constexpr (std::is_same_v<T, int>)
            shown = QString::number(value);
        else
            shown = secret(name) && !value.isEmpty() ? QStringLiteral("(set, not shown)") : value;
        lines.append(u' ' + name.mid(8) + u" : " + shown);
    });
    return lines;
}

const QStringList& ChannelSettings::names()
{
    static const QStringList list = [] {
        QStringList out;
        ChannelSettings s;
        eachValue(s, [&](QStringView name, auto&) { out << name.toString(); });
        return out;
    }();
    return list;
}

} // namespace beamtide
