#include "MqttBroker.h"

#include "TempFolder.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <mosquitto.h>

#include <algorithm>
#include <pwd.h>
#include <unistd.h>
#include <stdexcept>

namespace beamtide::test {

namespace {

void run(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(-1) || p.exitCode() != 0)
        throw std::runtime_error(QString(program + u' ' + arguments.join(u' ') + u'\n'
                                         + QString::fromLocal8Bit(p.readAllStandardError()))
                                     .toStdString());
}

int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

} // namespace

struct MqttBroker::Impl
{
    TempFolder dir;
    QProcess process;
    QString config;
};

MqttBroker::MqttBroker(const BrokerOptions& options) : m(std::make_unique<Impl>()), m_options(options)
{
    m_port = freePort();
    QByteArray config = "listener " + QByteArray::number(m_port) + " 127.0.0.1\n"
                        "persistence false\n"
                        "log_dest stdout\n"
                        // Started as root it would become "mosquitto", who cannot read our
                        // temporary folder; it stays whoever runs the tests.
                        "user " + QByteArray(getpwuid(getuid())->pw_name) + '\n';
    if (options.user.isEmpty()) {
        config += "allow_anonymous true\n";
    } else {
        const QString passwords = m->dir.file(QStringLiteral("passwords"));
        run(QStringLiteral("mosquitto_passwd"),
            {QStringLiteral("-b"), QStringLiteral("-c"), passwords, options.user, options.password});
        config += "allow_anonymous false\npassword_file " + passwords.toLocal8Bit() + '\n';
    }
    if (options.tls) {
        const auto f = [this](const char* name) { return m->dir.file(QString::fromLatin1(name)); };
        const QString openssl = QStringLiteral("openssl");
        run(openssl, {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                      QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                      QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=Beamtide test CA"),
                      QStringLiteral("-keyout"), f("ca.key"), QStringLiteral("-out"), f("ca.pem")});
        run(openssl, {QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                      QStringLiteral("-nodes"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                      QStringLiteral("-keyout"), f("server.key"), QStringLiteral("-out"), f("server.csr")});
        m->dir.write(QStringLiteral("ext.cnf"),
                     "basicConstraints=CA:FALSE\nsubjectAltName=IP:127.0.0.1,DNS:localhost\n");
        run(openssl, {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), f("server.csr"),
                      QStringLiteral("-CA"), f("ca.pem"), QStringLiteral("-CAkey"), f("ca.key"),
                      QStringLiteral("-CAcreateserial"), QStringLiteral("-days"), QStringLiteral("2"),
                      QStringLiteral("-extfile"), f("ext.cnf"), QStringLiteral("-out"), f("server.pem")});
        config += "cafile " + f("ca.pem").toLocal8Bit() + "\ncertfile " + f("server.pem").toLocal8Bit()
                  + "\nkeyfile " + f("server.key").toLocal8Bit() + '\n';
    }
    m->config = m->dir.file(QStringLiteral("mosquitto.conf"));
    m->dir.write(QStringLiteral("mosquitto.conf"), config);
    start();
}

MqttBroker::~MqttBroker()
{
    stop();
}

QString MqttBroker::caFile() const
{
    return m->dir.file(QStringLiteral("ca.pem"));
}

void MqttBroker::start()
{
    m->process.setProcessChannelMode(QProcess::MergedChannels);
    m->process.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), m->config});
    if (!m->process.waitForStarted(-1))
        throw std::runtime_error("mosquitto did not start");
    // Listening once a connection goes through; as long as that takes on a busy machine.
    for (;;) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, quint16(m_port));
        if (probe.waitForConnected(1000))
            return;
        if (m->process.waitForFinished(20))
            throw std::runtime_error("mosquitto ended: " + output().toStdString());
    }
}

void MqttBroker::stop()
{
    if (m->process.state() == QProcess::NotRunning)
        return;
    // Asked again until it goes: a stop asked just after the start can reach mosquitto
    // between its handler's set-up and the start of its loop, which then forgets it.
    m->process.terminate();
    while (!m->process.waitForFinished(2000))
        m->process.terminate();
}

QString MqttBroker::output() const
{
    return QString::fromLocal8Bit(m->process.readAll());
}

MqttSubscriber::MqttSubscriber(const MqttBroker& broker, const QString& topic)
{
    mosquitto_lib_init();
    m_mosq = mosquitto_new(nullptr, true, this);
    const BrokerOptions& o = broker.options();
    if (!o.user.isEmpty())
        mosquitto_username_pw_set(m_mosq, o.user.toUtf8().constData(), o.password.toUtf8().constData());
    if (o.tls)
        mosquitto_tls_set(m_mosq, broker.caFile().toLocal8Bit().constData(), nullptr, nullptr, nullptr, nullptr);
    mosquitto_message_callback_set(m_mosq, [](mosquitto*, void* self, const mosquitto_message* msg) {
        auto* s = static_cast<MqttSubscriber*>(self);
        const std::lock_guard lock(s->m_mutex);
        s->m_messages.append({QString::fromUtf8(msg->topic),
                              QByteArray(static_cast<const char*>(msg->payload), msg->payloadlen),
                              msg->qos, msg->retain});
        s->m_changed.notify_all();
    });
    mosquitto_subscribe_callback_set(m_mosq, [](mosquitto*, void* self, int, int, const int*) {
        auto* s = static_cast<MqttSubscriber*>(self);
        const std::lock_guard lock(s->m_mutex);
        s->m_subscribed = true;
        s->m_changed.notify_all();
    });
    const QByteArray filter = topic.toUtf8();
    mosquitto_connect_callback_set(m_mosq, [](mosquitto* mosq, void* self, int rc) {
        if (rc == 0)
            mosquitto_subscribe(mosq, nullptr, static_cast<MqttSubscriber*>(self)->m_filter.constData(), 1);
    });
    m_filter = filter;
    if (mosquitto_connect(m_mosq, "127.0.0.1", broker.port(), 60) != MOSQ_ERR_SUCCESS)
        throw std::runtime_error("the test subscriber cannot connect");
    m_thread = std::thread([this] {
        for (;;) {
            {
                const std::lock_guard lock(m_mutex);
                if (m_stopping)
                    return;
            }
            if (mosquitto_loop(m_mosq, 50, 1) != MOSQ_ERR_SUCCESS)
                mosquitto_reconnect(m_mosq);
        }
    });
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_subscribed; });
}

MqttSubscriber::~MqttSubscriber()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_thread.join();
    mosquitto_disconnect(m_mosq);
    mosquitto_destroy(m_mosq);
}

QList<MqttMessage> MqttSubscriber::messages() const
{
    const std::lock_guard lock(m_mutex);
    return m_messages;
}

QList<MqttMessage> MqttSubscriber::on(const QString& topic) const
{
    QList<MqttMessage> out;
    for (const MqttMessage& message : messages())
        if (message.topic == topic)
            out.append(message);
    return out;
}

void MqttSubscriber::waitUntil(const std::function<bool(const QList<MqttMessage>&)>& done) const
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return done(m_messages); });
}

void MqttSubscriber::waitForCount(const QString& topic, int count) const
{
    waitUntil([&](const QList<MqttMessage>& all) {
        return std::count_if(all.begin(), all.end(),
                             [&](const MqttMessage& m) { return m.topic == topic; }) >= count;
    });
}

} // namespace beamtide::test
