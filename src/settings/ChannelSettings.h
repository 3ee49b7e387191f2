#pragma once

#include "settings/SettingsStore.h"

#include <QString>
#include <QStringList>

namespace beamtide {

// The alert channels' values and the throttle's, each stored as text under its
// Beamtide... name. The token and the password are stored like the mail password.
struct ChannelSettings
{
    bool webhookOn = false;                        // BeamtideWebhookOn
    QString webhookUrl;                            // BeamtideWebhookUrl
    QString webhookMethod = QStringLiteral("POST"); // BeamtideWebhookMethod
    QString webhookBody;                           // BeamtideWebhookBody; empty: the default JSON
    bool ntfyOn = false;                           // BeamtideNtfyOn
    QString ntfyServer = QStringLiteral("https://ntfy.sh"); // BeamtideNtfyServer
    QString ntfyTopic;                             // BeamtideNtfyTopic
    QString ntfyToken;                             // BeamtideNtfyToken
    int ntfyPriority = 4;                          // BeamtideNtfyPriority, 1 to 5
    bool mqttOn = false;                           // BeamtideMqttOn
    QString mqttHost;                              // BeamtideMqttHost
    int mqttPort = 1883;                           // BeamtideMqttPort
    bool mqttTls = false;                          // BeamtideMqttTls
    QString mqttUser;                              // BeamtideMqttUser
    QString mqttPassword;                          // BeamtideMqttPassword
    // Which channels follow the throttle: the new ones by default, the old ones not.
    bool webhookThrottle = true;                   // BeamtideWebhookThrottle
    bool ntfyThrottle = true;                      // BeamtideNtfyThrottle
    bool mqttThrottle = true;                      // BeamtideMqttThrottle
    bool tonesThrottle = false;                    // BeamtideTonesThrottle
    bool mailThrottle = false;                     // BeamtideMailThrottle
    bool hookThrottle = false;                     // BeamtideHookThrottle
    bool notifyThrottle = false;                   // BeamtideNotifyThrottle
    int throttleCooldown = 30;                     // BeamtideThrottleCooldown, minutes
    int throttleCap = 50;                          // BeamtideThrottleCap, per local day
    QString throttleQuiet;                         // BeamtideThrottleQuiet, "22:00-07:00"

    // Missing or unreadable values give the defaults; numbers are kept in range.
    static ChannelSettings load(const SettingsStore& store);
    void save(SettingsStore& store) const;
    // The settings report's lines, the token and the password masked.
    QStringList report() const;

    static const QStringList& names();

    bool operator==(const ChannelSettings&) const = default;
};

} // namespace beamtide
