#pragma once

#include "settings/ChannelSettings.h"

#include <QDialog>

#include <atomic>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace beamtide {

// The "Channels" dialog: webhook, ntfy and MQTT, the throttle and which channels follow it.
// Each channel's "Send test" sends one test message off the window thread and says what
// came of it in words ("HTTP 200 in 0.4 s", "broker refused: not authorised").
class ChannelsDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ChannelsDialog)

public:
    // machine, instance: whose MQTT topics a test goes to.
    ChannelsDialog(const ChannelSettings& settings, QString machine, QString instance,
                   QWidget* parent = nullptr);
    ~ChannelsDialog() override;

    ChannelSettings settings() const;

private:
    void sendTest(QPushButton* button, QLabel* result);

    ChannelSettings m_start;
    QString m_machine;
    QString m_instance;

    QCheckBox* m_webhookOn = nullptr;
    QLineEdit* m_webhookUrl = nullptr;
    QComboBox* m_webhookMethod = nullptr;
    QPlainTextEdit* m_webhookBody = nullptr;
    QCheckBox* m_ntfyOn = nullptr;
    QLineEdit* m_ntfyServer = nullptr;
    QLineEdit* m_ntfyTopic = nullptr;
    QLineEdit* m_ntfyToken = nullptr;
    QSpinBox* m_ntfyPriority = nullptr;
    QCheckBox* m_mqttOn = nullptr;
    QLineEdit* m_mqttHost = nullptr;
    QSpinBox* m_mqttPort = nullptr;
    QCheckBox* m_mqttTls = nullptr;
    QLineEdit* m_mqttUser = nullptr;
    QLineEdit* m_mqttPassword = nullptr;
    QCheckBox* m_throttle[7] = {}; // webhook, ntfy, mqtt, tones, mail, hook, notify
    QSpinBox* m_cooldown = nullptr;
    QSpinBox* m_cap = nullptr;
    QLineEdit* m_quiet = nullptr;
    QList<QThread*> m_tests;
    // Set when the dialog goes: the tests still sending give up.
    std::shared_ptr<std::atomic<bool>> m_abandon = std::make_shared<std::atomic<bool>>(false);
};

} // namespace beamtide
