#include "settings/ChannelSettings.h"
#include "settings/Settings.h"
#include "settings/SettingsReport.h"
#include "settings/SettingsStore.h"

#include "TempFolder.h"

#include <QSettings>

#include <gtest/gtest.h>

using namespace beamtide;

TEST(ChannelSettings, StoredAsTextReportedMaskedAndReset)
{
    test::TempFolder dir;
    const QString path = dir.file(QStringLiteral("settings.ini"));
    ChannelSettings s;
    s.ntfyOn = true;
    s.ntfyTopic = QStringLiteral("shack-alerts");
    s.ntfyToken = QStringLiteral("tk_topsecret");
    s.mqttPassword = QStringLiteral("pw-topsecret");
    s.webhookBody = QStringLiteral(R"({"content": "{line}"})");
    s.throttleQuiet = QStringLiteral("22:00-07:00");
    s.mailThrottle = true;
    {
        SettingsStore store(path, 2);
        s.save(store);
        ASSERT_TRUE(store.sync().ok);
    }
    {
        QSettings raw(path, SettingsStore::iniFormat());
        raw.beginGroup(QStringLiteral("Drovix"));
        EXPECT_EQ(raw.value(QStringLiteral("BeamtideNtfyOn2")).toString(), QStringLiteral("1"));
        EXPECT_EQ(raw.value(QStringLiteral("BeamtideMqttOn2")).toString(), QStringLiteral("0"));
        EXPECT_EQ(raw.value(QStringLiteral("BeamtideThrottleCap2")).toString(), QStringLiteral("50"));
    }
    SettingsStore store(path, 2);
    EXPECT_EQ(ChannelSettings::load(store), s);

    const QString report = settingsReport(store, 50).join(u'\n');
    EXPECT_TRUE(report.contains(QStringLiteral(" NtfyTopic : shack-alerts")));
    EXPECT_TRUE(report.contains(QStringLiteral(" NtfyToken : (set, not shown)")));
    EXPECT_FALSE(report.contains(QStringLiteral("topsecret")));

    resetSettings(store);
    EXPECT_EQ(ChannelSettings::load(store), ChannelSettings());
    for (const QString& name : ChannelSettings::names())
        EXPECT_FALSE(store.contains(name)) << name.toStdString();
}

TEST(ChannelSettings, OutOfRangeValuesComeBackInRange)
{
    test::TempFolder dir;
    SettingsStore store(dir.file(QStringLiteral("settings.ini")), 1);
    store.writeText(u"BeamtideNtfyPriority", QStringLiteral("9"));
    store.writeText(u"BeamtideMqttPort", QStringLiteral("70000"));
    store.writeText(u"BeamtideThrottleCap", QStringLiteral("-3"));
    store.writeText(u"BeamtideWebhookMethod", QStringLiteral("delete"));
    const ChannelSettings s = ChannelSettings::load(store);
    EXPECT_EQ(s.ntfyPriority, 5);
    EXPECT_EQ(s.mqttPort, 1883);
    EXPECT_EQ(s.throttleCap, 0);
    EXPECT_EQ(s.webhookMethod, QStringLiteral("POST"));
}
