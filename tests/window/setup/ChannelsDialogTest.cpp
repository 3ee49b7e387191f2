#include "window/setup/ChannelsDialog.h"

#include "HttpFixture.h"
#include "MqttBroker.h"
#include "WidgetLookup.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

using namespace beamtide;
using test::findControl;

namespace {

// Clicks a "Send test" button and waits, as long as it takes, for the words of its result.
QString sendTest(ChannelsDialog& dialog, const char* button, const char* label)
{
    auto* b = findControl<QPushButton>(dialog, button);
    auto* result = findControl<QLabel>(dialog, label);
    b->click();
    while (!b->isEnabled())
        QTest::qWait(10);
    return result->text();
}

} // namespace

TEST(ChannelsDialog, SendTestSaysWhatCameOfItInWords)
{
    test::HttpFixture http;
    http.setBody(QStringLiteral("/hook"), "ok");
    http.setBody(QStringLiteral("/topic"), "{}");
    test::MqttBroker broker({false, QStringLiteral("shack"), QStringLiteral("right")});

    ChannelSettings s;
    s.webhookUrl = http.baseUrl() + QStringLiteral("/hook");
    s.ntfyServer = http.baseUrl();
    s.ntfyTopic = QStringLiteral("topic");
    s.mqttHost = QStringLiteral("127.0.0.1");
    s.mqttPort = broker.port();
    s.mqttUser = QStringLiteral("shack");
    s.mqttPassword = QStringLiteral("wrong");
    ChannelsDialog dialog(s, QStringLiteral("shack-pc"), QStringLiteral("1"));

    EXPECT_TRUE(sendTest(dialog, "WebhookTest", "WebhookResult").startsWith(QStringLiteral("HTTP 200 in ")));
    EXPECT_TRUE(sendTest(dialog, "NtfyTest", "NtfyResult").startsWith(QStringLiteral("HTTP 200 in ")));
    EXPECT_EQ(sendTest(dialog, "MqttTest", "MqttResult"), QStringLiteral("broker refused: not authorised"));
    findControl<QLineEdit>(dialog, "MqttPassword")->setText(QStringLiteral("right"));
    EXPECT_TRUE(sendTest(dialog, "MqttTest", "MqttResult").startsWith(QStringLiteral("published in ")));

    http.setBody(QStringLiteral("/hook"), "down", 503);
    EXPECT_TRUE(sendTest(dialog, "WebhookTest", "WebhookResult").startsWith(QStringLiteral("HTTP 503 in ")));
    findControl<QLineEdit>(dialog, "NtfyTopic")->clear();
    EXPECT_EQ(sendTest(dialog, "NtfyTest", "NtfyResult"), QStringLiteral("Not sent: no topic"));
    EXPECT_EQ(http.requests().size(), 3);
}

TEST(ChannelsDialog, GivesBackWhatWasEntered)
{
    ChannelSettings s;
    s.mqttPassword = QStringLiteral("kept");
    ChannelsDialog dialog(s, QStringLiteral("shack-pc"), QStringLiteral("1"));
    EXPECT_EQ(dialog.settings(), s);

    findControl<QCheckBox>(dialog, "NtfyOn")->setChecked(true);
    findControl<QLineEdit>(dialog, "NtfyTopic")->setText(QStringLiteral(" alerts "));
    findControl<QSpinBox>(dialog, "ThrottleCooldown")->setValue(45);
    findControl<QCheckBox>(dialog, "MailThrottle")->setChecked(true);
    findControl<QLineEdit>(dialog, "ThrottleQuiet")->setText(QStringLiteral("23:00-06:00"));
    findControl<QPushButton>(dialog, "PresetSlack")->click();
    const ChannelSettings got = dialog.settings();
    EXPECT_TRUE(got.ntfyOn);
    EXPECT_EQ(got.ntfyTopic, QStringLiteral("alerts"));
    EXPECT_EQ(got.throttleCooldown, 45);
    EXPECT_TRUE(got.mailThrottle);
    EXPECT_EQ(got.throttleQuiet, QStringLiteral("23:00-06:00"));
    EXPECT_EQ(got.webhookBody, QStringLiteral(R"({"text": "{line}"})"));
    EXPECT_EQ(got.mqttPassword, QStringLiteral("kept"));
}

// Closing the dialog while a test waits on a slow peer does not hold the window: the test
// gives up before the server answers, and its answer goes nowhere.
TEST(ChannelsDialog, ClosingGivesUpATestStillSending)
{
    test::HttpFixture http;
    test::Route held;
    held.body = "ok";
    held.delayMs = 20'000; // inside the test's own 30 s bound
    http.setRoute(QStringLiteral("/hook"), held);
    ChannelSettings s;
    s.webhookUrl = http.baseUrl() + QStringLiteral("/hook");
    auto dialog = std::make_unique<ChannelsDialog>(s, QStringLiteral("shack-pc"), QStringLiteral("1"));
    findControl<QPushButton>(*dialog, "WebhookTest")->click();
    while (http.requests().isEmpty())
        QTest::qWait(1);
    dialog.reset();
    EXPECT_EQ(http.answered(), 0) << "closing waited for the server's answer";
}
