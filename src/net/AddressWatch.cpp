#include "net/AddressWatch.h"

#include <QNetworkInterface>

namespace beamtide {

namespace {
const QString kLoopback = QStringLiteral("127.0.0.1");
}

AddressWatch::AddressWatch(QObject* parent, Source source)
    : QObject(parent), m_local(kLoopback)
{
    setSource(std::move(source));
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &AddressWatch::poll);
}

void AddressWatch::setSource(Source source)
{
    m_source = source ? std::move(source) : Source(&AddressWatch::interfaceAddresses);
}

void AddressWatch::switchOn()
{
    poll();
    if (!m_timer.isActive())
        m_timer.start();
}

void AddressWatch::switchOff()
{
    m_timer.stop();
}

void AddressWatch::poll()
{
    m_local = pickAddress(m_source());
    const bool nowOnline = !m_local.isEmpty() && m_local != kLoopback;
    const bool changed = m_known && nowOnline != m_online;
    m_online = nowOnline;
    m_known = true;
    if (changed)
        Q_EMIT onlineChanged(m_online);
}

QString AddressWatch::pickAddress(const QList<QHostAddress>& addresses)
{
    for (const QHostAddress& address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback()
            && !address.isNull())
            return address.toString();
    }
    return kLoopback;
}

QList<QHostAddress> AddressWatch::interfaceAddresses()
{
    QList<QHostAddress> result;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        const auto flags = iface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) || !flags.testFlag(QNetworkInterface::IsRunning)
            || flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : iface.addressEntries())
            result << entry.ip();
    }
    return result;
}

} // namespace beamtide
