#include "net/AddressWatch.h"

#include <QHostAddress>

#include <gtest/gtest.h>

using namespace beamtide;

TEST(AddressWatch, PicksTheFirstUsableIpv4Address)
{
    struct Case
    {
        const char* name;
        QList<QHostAddress> addresses;
        const char* expected;
    };
    const Case cases[] = {
        {"nothing", {}, "127.0.0.1"},
        {"loopback only", {QHostAddress(QStringLiteral("127.0.0.1"))}, "127.0.0.1"},
        {"IPv6 skipped",
         {QHostAddress(QStringLiteral("fe80::1")), QHostAddress(QStringLiteral("192.168.1.20"))},
         "192.168.1.20"},
        {"first of two",
         {QHostAddress(QStringLiteral("10.0.0.2")), QHostAddress(QStringLiteral("192.168.1.20"))},
         "10.0.0.2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(AddressWatch::pickAddress(c.addresses), QString::fromLatin1(c.expected));
    }
}

TEST(AddressWatch, RaisesOnlyRealChangesBetweenOnlineAndOffline)
{
    QList<QHostAddress> current{QHostAddress(QStringLiteral("192.168.1.20"))};
    AddressWatch watch(nullptr, [&] { return current; });
    QList<bool> changes;
    QObject receiver;
    QObject::connect(&watch, &AddressWatch::onlineChanged, &receiver,
                     [&](bool online) { changes << online; });

    watch.switchOn();
    EXPECT_TRUE(watch.isOn());
    EXPECT_EQ(watch.localAddress(), QStringLiteral("192.168.1.20"));
    EXPECT_TRUE(watch.online());
    EXPECT_TRUE(changes.isEmpty()); // the first look is no change

    current = {QHostAddress(QStringLiteral("10.1.1.1"))};
    watch.poll(); // another address, still online
    current = {};
    watch.poll();
    EXPECT_EQ(watch.localAddress(), QStringLiteral("127.0.0.1"));
    watch.poll();
    current = {QHostAddress(QStringLiteral("10.1.1.1"))};
    watch.poll();
    EXPECT_EQ(changes, (QList<bool>{false, true}));

    watch.switchOff();
    EXPECT_FALSE(watch.isOn());
}

TEST(AddressWatch, ReadsTheMachinesInterfaces)
{
    AddressWatch watch;
    watch.poll();
    EXPECT_FALSE(watch.localAddress().isEmpty());
    EXPECT_FALSE(QHostAddress(watch.localAddress()).isNull());
}
