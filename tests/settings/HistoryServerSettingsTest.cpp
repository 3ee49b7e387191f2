#include "settings/HistoryServerSettings.h"
#include "settings/Settings.h"
#include "settings/SettingsReport.h"
#include "settings/SettingsStore.h"

#include "TempFolder.h"

#include <QSettings>

#include <gtest/gtest.h>

using namespace beamtide;

TEST(HistoryServerSettings, StoredPerCopyReportedMaskedAndReset)
{
    test::TempFolder dir;
    const QString path = dir.file(QStringLiteral("settings.ini"));
    HistoryServerSettings s;
    s.server = QStringLiteral("http://club.example:8123");
    s.user = QStringLiteral("shack");
    s.password = QStringLiteral("pw-topsecret");
    {
        SettingsStore store(path, 2);
        s.save(store);
        HistoryServerSettings other = s;
        other.server = QStringLiteral("http://other.example:8123");
        SettingsStore third(path, 3);
        other.save(third);
        ASSERT_TRUE(store.sync().ok);
        ASSERT_TRUE(third.sync().ok);
    }
    {
        QSettings raw(path, SettingsStore::iniFormat());
        raw.beginGroup(QStringLiteral("Drovix"));
        EXPECT_EQ(raw.value(QStringLiteral("BeamtideHistoryServer2")).toString(), s.server);
        EXPECT_EQ(raw.value(QStringLiteral("BeamtideHistoryPassword2")).toString(), s.password);
    }
    SettingsStore store(path, 2);
    EXPECT_EQ(HistoryServerSettings::load(store), s);

    const QString report = settingsReport(store, 50).join(u'\n');
    EXPECT_TRUE(report.contains(QStringLiteral(" HistoryServer : http://club.example:8123")));
    EXPECT_TRUE(report.contains(QStringLiteral(" HistoryUser : shack")));
    EXPECT_TRUE(report.contains(QStringLiteral(" HistoryPassword : (set, not shown)")));
    EXPECT_FALSE(report.contains(QStringLiteral("topsecret")));

    resetSettings(store);
    EXPECT_EQ(HistoryServerSettings::load(store), HistoryServerSettings());
    for (const QString& name : HistoryServerSettings::names())
        EXPECT_FALSE(store.contains(name)) << name.toStdString();
    EXPECT_EQ(HistoryServerSettings::load(SettingsStore(path, 3)).server, QStringLiteral("http://other.example:8123"));
}
