#include "window/setup/ChannelsDialog.h"

#include "channels/HttpChannels.h"
#include "channels/MqttChannel.h"
#include "net/NetWorker.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QVBoxLayout>

#include <memory>

namespace beamtide {

namespace {

template <typename W>
W* named(QWidget* parent, const char* name)
{
    auto* w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

AlertFields testAlert(const QString& instance)
{
    AlertFields a = AlertFields::fromLine(
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd HH:mm"))
        + QStringLiteral(",TEST,14.097100,-20dBm,TEST,1000Km. "));
    a.band = QStringLiteral("20m");
    a.instance = instance;
    a.source = QStringLiteral("test");
    return a;
}

} // namespace

ChannelsDialog::ChannelsDialog(const ChannelSettings& s, QString machine, QString instance,
                               QWidget* parent)
    : QDialog(parent), m_start(s), m_machine(std::move(machine)), m_instance(std::move(instance))
{
    setObjectName(QStringLiteral("ChannelsDialog"));
    setWindowTitle(QStringLiteral("Channels"));
    auto* layout = new QVBoxLayout(this);

    const auto testRow = [this](QFormLayout* form, const char* buttonName, const char* labelName) {
        auto* button = named<QPushButton>(this, buttonName);
        button->setText(QStringLiteral("Send test"));
        auto* result = named<QLabel>(this, labelName);
        result->setWordWrap(true);
        auto* row = new QHBoxLayout;
        row->addWidget(button);
        row->addWidget(result, 1);
        form->addRow(row);
        connect(button, &QPushButton::clicked, this, [this, button, result] { sendTest(button, result); });
    };

    auto* webhook = new QGroupBox(QStringLiteral("Webhook"), this);
    auto* wf = new QFormLayout(webhook);
    m_webhookOn = named<QCheckBox>(webhook, "WebhookOn");
    m_webhookOn->setText(QStringLiteral("On"));
    m_webhookOn->setChecked(s.webhookOn);
    wf->addRow(m_webhookOn);
    m_webhookUrl = named<QLineEdit>(webhook, "WebhookUrl");
    m_webhookUrl->setText(s.webhookUrl);
    wf->addRow(QStringLiteral("Address"), m_webhookUrl);
    m_webhookMethod = named<QComboBox>(webhook, "WebhookMethod");
    m_webhookMethod->addItems({QStringLiteral("POST"), QStringLiteral("GET")});
    m_webhookMethod->setCurrentText(s.webhookMethod);
    wf->addRow(QStringLiteral("Method"), m_webhookMethod);
    m_webhookBody = named<QPlainTextEdit>(webhook, "WebhookBody");
    m_webhookBody->setPlainText(s.webhookBody);
    m_webhookBody->setPlaceholderText(QStringLiteral("Empty: a JSON object of every field"));
    m_webhookBody->setToolTip(QStringLiteral("Placeholders: {") + placeholderNames().join(QStringLiteral("} {"))
                              + u'}');
    wf->addRow(QStringLiteral("Body"), m_webhookBody);
    auto* presets = new QHBoxLayout;
    for (const BodyPreset& preset : webhookPresets()) {
        auto* b = new QPushButton(preset.name, webhook);
        b->setObjectName(QStringLiteral("Preset") + QString(preset.name).remove(u' '));
        connect(b, &QPushButton::clicked, this, [this, body = preset.body] {
            m_webhookBody->setPlainText(body);
            m_webhookMethod->setCurrentText(QStringLiteral("POST"));
        });
        presets->addWidget(b);
    }
    wf->addRow(QStringLiteral("Ready-made"), presets);
    testRow(wf, "WebhookTest", "WebhookResult");
    layout->addWidget(webhook);

    auto* ntfy = new QGroupBox(QStringLiteral("ntfy"), this);
    auto* nf = new QFormLayout(ntfy);
    m_ntfyOn = named<QCheckBox>(ntfy, "NtfyOn");
    m_ntfyOn->setText(QStringLiteral("On"));
    m_ntfyOn->setChecked(s.ntfyOn);
    nf->addRow(m_ntfyOn);
    m_ntfyServer = named<QLineEdit>(ntfy, "NtfyServer");
    m_ntfyServer->setText(s.ntfyServer);
    nf->addRow(QStringLiteral("Server"), m_ntfyServer);
    m_ntfyTopic = named<QLineEdit>(ntfy, "NtfyTopic");
    m_ntfyTopic->setText(s.ntfyTopic);
    nf->addRow(QStringLiteral("Topic"), m_ntfyTopic);
    m_ntfyToken = named<QLineEdit>(ntfy, "NtfyToken");
    m_ntfyToken->setEchoMode(QLineEdit::Password);
    m_ntfyToken->setText(s.ntfyToken);
    nf->addRow(QStringLiteral("Access token"), m_ntfyToken);
    m_ntfyPriority = named<QSpinBox>(ntfy, "NtfyPriority");
    m_ntfyPriority->setRange(1, 5);
    m_ntfyPriority->setValue(s.ntfyPriority);
    nf->addRow(QStringLiteral("Priority"), m_ntfyPriority);
    testRow(nf, "NtfyTest", "NtfyResult");
    layout->addWidget(ntfy);

    auto* mqtt = new QGroupBox(QStringLiteral("MQTT"), this);
    auto* mf = new QFormLayout(mqtt);
    m_mqttOn = named<QCheckBox>(mqtt, "MqttOn");
    m_mqttOn->setText(QStringLiteral("On"));
    m_mqttOn->setChecked(s.mqttOn);
    mf->addRow(m_mqttOn);
    m_mqttHost = named<QLineEdit>(mqtt, "MqttHost");
    m_mqttHost->setText(s.mqttHost);
    mf->addRow(QStringLiteral("Broker"), m_mqttHost);
    m_mqttPort = named<QSpinBox>(mqtt, "MqttPort");
    m_mqttPort->setRange(1, 65535);
    m_mqttPort->setValue(s.mqttPort);
    mf->addRow(QStringLiteral("Port"), m_mqttPort);
    m_mqttTls = named<QCheckBox>(mqtt, "MqttTls");
    m_mqttTls->setText(QStringLiteral("TLS, certificate verified"));
    m_mqttTls->setChecked(s.mqttTls);
    mf->addRow(m_mqttTls);
    m_mqttUser = named<QLineEdit>(mqtt, "MqttUser");
    m_mqttUser->setText(s.mqttUser);
    mf->addRow(QStringLiteral("User"), m_mqttUser);
    m_mqttPassword = named<QLineEdit>(mqtt, "MqttPassword");
    m_mqttPassword->setEchoMode(QLineEdit::Password);
    m_mqttPassword->setText(s.mqttPassword);
    mf->addRow(QStringLiteral("Password"), m_mqttPassword);
    testRow(mf, "MqttTest", "MqttResult");
    layout->addWidget(mqtt);

    auto* limits = new QGroupBox(QStringLiteral("Throttle"), this);
    auto* tf = new QFormLayout(limits);
    static const char* const names[] = {"WebhookThrottle", "NtfyThrottle", "MqttThrottle", "TonesThrottle",
                                        "MailThrottle",    "HookThrottle", "NotifyThrottle"};
    static const char* const labels[] = {"Webhook", "ntfy", "MQTT", "Tones", "Mail", "Hook", "Notification"};
    const bool ticked[] = {s.webhookThrottle, s.ntfyThrottle, s.mqttThrottle, s.tonesThrottle,
                           s.mailThrottle,    s.hookThrottle, s.notifyThrottle};
    auto* boxes = new QHBoxLayout;
    for (int i = 0; i < 7; ++i) {
        m_throttle[i] = named<QCheckBox>(limits, names[i]);
        m_throttle[i]->setText(QString::fromLatin1(labels[i]));
        m_throttle[i]->setChecked(ticked[i]);
        boxes->addWidget(m_throttle[i]);
    }
    tf->addRow(QStringLiteral("Follow it"), boxes);
    m_cooldown = named<QSpinBox>(limits, "ThrottleCooldown");
    m_cooldown->setRange(0, 7 * 24 * 60);
    m_cooldown->setSuffix(QStringLiteral(" min"));
    m_cooldown->setValue(s.throttleCooldown);
    tf->addRow(QStringLiteral("Same call and band once in"), m_cooldown);
    m_cap = named<QSpinBox>(limits, "ThrottleCap");
    m_cap->setRange(0, 100000);
    m_cap->setSpecialValueText(QStringLiteral("no cap"));
    m_cap->setValue(s.throttleCap);
    tf->addRow(QStringLiteral("At most a day"), m_cap);
    m_quiet = named<QLineEdit>(limits, "ThrottleQuiet");
    m_quiet->setPlaceholderText(QStringLiteral("22:00-07:00"));
    m_quiet->setText(s.throttleQuiet);
    tf->addRow(QStringLiteral("Quiet hours"), m_quiet);
    layout->addWidget(limits);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

ChannelsDialog::~ChannelsDialog()
{
    // A test still sending gives up at once (its answer would find no label): closing the
    // dialog never waits out a slow peer.
    m_abandon->store(true);
    for (QThread* t : m_tests) {
        t->disconnect(this);
        t->wait();
        delete t;
    }
}

ChannelSettings ChannelsDialog::settings() const
{
    ChannelSettings s = m_start;
    s.webhookOn = m_webhookOn->isChecked();
    s.webhookUrl = m_webhookUrl->text().trimmed();
    s.webhookMethod = m_webhookMethod->currentText();
    s.webhookBody = m_webhookBody->toPlainText();
    s.ntfyOn = m_ntfyOn->isChecked();
    s.ntfyServer = m_ntfyServer->text().trimmed();
    s.ntfyTopic = m_ntfyTopic->text().trimmed();
    s.ntfyToken = m_ntfyToken->text().trimmed();
    s.ntfyPriority = m_ntfyPriority->value();
    s.mqttOn = m_mqttOn->isChecked();
    s.mqttHost = m_mqttHost->text().trimmed();
    s.mqttPort = m_mqttPort->value();
    s.mqttTls = m_mqttTls->isChecked();
    s.mqttUser = m_mqttUser->text();
    s.mqttPassword = m_mqttPassword->text();
    bool* flags[] = {&s.webhookThrottle, &s.ntfyThrottle, &s.mqttThrottle, &s.tonesThrottle,
                     &s.mailThrottle,    &s.hookThrottle, &s.notifyThrottle};
    for (int i = 0; i < 7; ++i)
        *flags[i] = m_throttle[i]->isChecked();
    s.throttleCooldown = m_cooldown->value();
    s.throttleCap = m_cap->value();
    s.throttleQuiet = m_quiet->text().trimmed();
    return s;
}

void ChannelsDialog::sendTest(QPushButton* button, QLabel* result)
{
    const ChannelSettings s = settings();
    const AlertFields alert = testAlert(m_instance);
    std::function<SendOutcome()> job;
    if (button->objectName() == u"MqttTest") {
        MqttSettings ms;
        ms.host = s.mqttHost;
        ms.port = s.mqttPort;
        ms.tls = s.mqttTls;
        ms.user = s.mqttUser;
        ms.password = s.mqttPassword;
        ms.machine = m_machine;
        ms.instance = m_instance;
        job = [ms, abandon = m_abandon] { return MqttChannel::sendTest(ms, abandon.get()); };
    } else {
        const BuiltRequest built = button->objectName() == u"WebhookTest"
                                       ? webhookRequest({s.webhookUrl, s.webhookMethod, s.webhookBody}, alert)
                                       : ntfyRequest({s.ntfyServer, s.ntfyTopic, s.ntfyToken, s.ntfyPriority}, alert);
        if (!built.error.isEmpty()) {
            result->setText(QStringLiteral("Not sent: ") + built.error);
            return;
        }
        job = [request = built.request, abandon = m_abandon] {
            const NetWorker::CancelScope scope(*abandon);
            HttpClient client;
            return sendTimed(client, request);
        };
    }
    button->setEnabled(false);
    result->setText(QStringLiteral("Sending…"));
    auto outcome = std::make_shared<SendOutcome>();
    QThread* thread = QThread::create([job, outcome] { *outcome = job(); });
    m_tests.append(thread);
    connect(thread, &QThread::finished, this, [this, thread, button, result, outcome] {
        result->setText(outcome->words);
        button->setEnabled(true);
        m_tests.removeOne(thread);
        thread->deleteLater();
    });
    thread->start();
}

} // namespace beamtide
