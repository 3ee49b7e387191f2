#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace beamtide {

// Watches the machine's own IPv4 address. Switched on, it polls the interfaces once a
// second and signals when the machine goes from having a usable address (neither empty nor
// loopback) to having none, or back.
class AddressWatch final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AddressWatch)

public:
    using Source = std::function<QList<QHostAddress>()>;

    // The source lists the addresses of the interfaces that are up; by default
    // QNetworkInterface. Tests hand in their own list to go offline and back.
    explicit AddressWatch(QObject* parent = nullptr, Source source = {});

    void switchOn();
    void switchOff();
    bool isOn() const { return m_timer.isActive(); }

    // Reads the interfaces now; raises onlineChanged when the state changed.
    void poll();

    // "127.0.0.1" when the machine has no other IPv4 address.
    QString localAddress() const { return m_local; }
    bool online() const { return m_online; }

    void setPollInterval(int milliseconds) { m_timer.setInterval(milliseconds); }
    // Another list of addresses from now on; a null source stands for the machine's own.
    void setSource(Source source);

    static QString pickAddress(const QList<QHostAddress>& addresses);
    static QList<QHostAddress> interfaceAddresses();

Q_SIGNALS:
    void onlineChanged(bool online);

private:
    Source m_source;
    QTimer m_timer;
    QString m_local;
    bool m_online = false;
    bool m_known = false; // the first poll sets the state without raising a change
};

} // namespace beamtide
