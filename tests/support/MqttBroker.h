#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

struct mosquitto;

namespace beamtide::test {

struct BrokerOptions
{
    bool tls = false;  // a TLS listener with a certificate of the tests' own authority
    QString user;      // set: a password file with this user, and no anonymous clients
    QString password;
};

// A real mosquitto broker on a free loopback port, its configuration in a temporary folder.
class MqttBroker
{
public:
    explicit MqttBroker(const BrokerOptions& options = {});
    ~MqttBroker();
    MqttBroker(const MqttBroker&) = delete;
    MqttBroker& operator=(const MqttBroker&) = delete;

    int port() const { return m_port; }
    QString caFile() const; // the authority that signed the TLS listener's certificate
    const BrokerOptions& options() const { return m_options; }

    void stop();  // the broker goes away
    void start(); // and comes back on the same port
    QString output() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m;
    BrokerOptions m_options;
    int m_port = 0;
};

struct MqttMessage
{
    QString topic;
    QByteArray payload;
    int qos = 0;
    bool retained = false;
};

// Subscribes to every topic; its own thread runs the network loop.
class MqttSubscriber
{
public:
    explicit MqttSubscriber(const MqttBroker& broker, const QString& topic = QStringLiteral("#"));
    ~MqttSubscriber();
    MqttSubscriber(const MqttSubscriber&) = delete;
    MqttSubscriber& operator=(const MqttSubscriber&) = delete;

    QList<MqttMessage> messages() const;
    QList<MqttMessage> on(const QString& topic) const;
    // Waits, as long as it takes, until the messages so far satisfy done.
    void waitUntil(const std::function<bool(const QList<MqttMessage>&)>& done) const;
    void waitForCount(const QString& topic, int count) const;

private:
    mosquitto* m_mosq = nullptr;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    QList<MqttMessage> m_messages;
    bool m_subscribed = false;
    bool m_stopping = false;
    QByteArray m_filter;
    std::thread m_thread;
};

} // namespace beamtide::test
