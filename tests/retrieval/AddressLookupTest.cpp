#include "retrieval/AddressLookup.h"

#include "FetchTestKit.h"

using namespace beamtide;
using namespace beamtide::test;

namespace {

class AddressLookupTest : public FetchTestKit
{
protected:
    AddressLookupTest() { lookup.setBaseUrl(server.baseUrl()); }

    AddressOutcome run(const AddressRequest& r)
    {
        return waitFor<AddressOutcome>(lookup, [&] { return lookup.LookupPublicAddress(r); });
    }

    static AddressRequest request(const QString& local, const QString& current, bool show = true)
    {
        AddressRequest r;
        r.localAddress = local;
        r.publicAddress = current;
        r.showAddress = show;
        r.instance = 1;
        return r;
    }

    AddressLookup lookup{worker, client, log};
};

} // namespace

TEST_F(AddressLookupTest, AnAddressAnswerBecomesThePublicAddress)
{
    struct Case
    {
        const char* name;
        QByteArray answer;
        bool show;
        QString address;
        QString label;
    };
    const Case cases[] = {
        {"one address", "203.0.113.7", true, QStringLiteral("203.0.113.7"),
         QStringLiteral("IP: 203.0.113.7")},
        {"line end and spaces trimmed", " 203.0.113.7\r\n", true, QStringLiteral("203.0.113.7"),
         QStringLiteral("IP: 203.0.113.7")},
        {"IPv6", "2001:db8::1\n", true, QStringLiteral("2001:db8::1"),
         QStringLiteral("IP: 2001:db8::1")},
        {"hidden with /noip", "203.0.113.7", false, QStringLiteral("203.0.113.7"),
         QStringLiteral("IP: vvv.www.xxx.yyy")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.setBody(QStringLiteral("/"), c.answer);
        server.clearRequests();
        logLines.clear();

        const AddressOutcome out = run(request(QStringLiteral("192.168.1.20"), QString(), c.show));

        EXPECT_TRUE(out.requested);
        EXPECT_FALSE(out.error.has_value());
        EXPECT_EQ(out.publicAddress, c.address);
        EXPECT_EQ(out.addressLabel, c.label);
        EXPECT_EQ(out.indicator, Indicator::DarkGreen);
        EXPECT_EQ(logLines, (QStringList{QStringLiteral("1: L_IP: 192.168.1.20"),
                                         u"1: E_IP: " + c.address}));
        const auto requests = server.requests();
        ASSERT_EQ(requests.size(), 1);
        EXPECT_EQ(requests[0].target, QStringLiteral("/"));
        EXPECT_EQ(requests[0].header(QStringLiteral("Accept")), QStringLiteral("text/html, */*"));
    }
}

TEST_F(AddressLookupTest, FailureKeepsTheLastAddress)
{
    Route broken;
    broken.status = 500;
    Route longLine;
    longLine.body = QByteArray(65001, '9');
    struct Case
    {
        const char* name;
        Route route;
        bool deadServer;
        const char* error;
    };
    const Case cases[] = {
        {"error status", broken, false, "HTTP/1.1 500 Internal Server Error"},
        {"line over 65000 characters", longLine, false, "Maximum line length exceeded"},
        {"dead server", Route{}, true, "Failed to connect"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.setRoute(QStringLiteral("/"), c.route);
        lookup.setBaseUrl(c.deadServer ? deadBaseUrl() : server.baseUrl());
        for (const QString& previous : {QStringLiteral("203.0.113.7"), QStringLiteral("127.0.0.1")}) {
            SCOPED_TRACE(previous.toStdString());
            logLines.clear();
            const AddressOutcome out = run(request(QStringLiteral("192.168.1.20"), previous));
            EXPECT_EQ(out.publicAddress, previous);
            ASSERT_TRUE(out.error.has_value());
            EXPECT_TRUE(out.error->startsWith(QLatin1String(c.error))) << out.error->toStdString();
            EXPECT_EQ(out.indicator, previous == u"127.0.0.1" ? Indicator::Red : Indicator::DarkGreen);
            EXPECT_EQ(logLines, (QStringList{QStringLiteral("1: L_IP: 192.168.1.20"),
                                             u"1: IPLookup error: " + *out.error,
                                             u"1: E_IP: " + previous}));
        }
    }
}

// The answer comes from a third party: anything but one address is a failed lookup, so it
// never becomes the label's text, the window's size or a line of its own in the log.
TEST_F(AddressLookupTest, AnAnswerThatIsNoAddressIsAFailedLookup)
{
    const QByteArray sixtyK(60000, '7');
    const struct
    {
        const char* name;
        QByteArray answer;
        QString shown; // in the error and the log line, escaped and cut to 100 characters
        bool anAddress = false; // one address, but none that reaches this machine
    } cases[] = {
        {"markup", "<b style=\"color:red\">PWNED</b> <a href=\"x\">x</a>",
         QStringLiteral("\"<b style=\"color:red\">PWNED</b> <a href=\"x\">x</a>\"")},
        {"a huge image", "<img width=16777215 height=16777215>",
         QStringLiteral("\"<img width=16777215 height=16777215>\"")},
        {"several lines", "203.0.113.7\r\n198.51.100.2\n",
         QStringLiteral("\"203.0.113.7\\r\\n198.51.100.2\\n\"")},
        {"a forged log line", "1.2.3.4\r\n2026-01-01 00:00:00 1: CLOSING\x1b[2J",
         QStringLiteral("\"1.2.3.4\\r\\n2026-01-01 00:00:00 1: CLOSING\\x1b[2J\"")},
        {"60 KB of digits", sixtyK, u'"' + QString(100, u'7') + QStringLiteral("\"...")},
        {"a short IPv4 form", "127.1", QStringLiteral("\"127.1\"")},
        {"an IPv6 scope", "fe80::1%eth0", QStringLiteral("\"fe80::1%eth0\"")},
        {"empty", "", QStringLiteral("\"\"")},
        // Addresses that reach no machine from outside; the first would shut the gate.
        {"loopback, the offline mark", "127.0.0.1", QStringLiteral("\"127.0.0.1\""), true},
        {"another loopback", "127.8.9.10\n", QStringLiteral("\"127.8.9.10\\n\""), true},
        {"IPv6 loopback", "::1", QStringLiteral("\"::1\""), true},
        {"unspecified", "0.0.0.0", QStringLiteral("\"0.0.0.0\""), true},
        {"IPv6 unspecified", "::", QStringLiteral("\"::\""), true},
        {"link-local", "169.254.3.4", QStringLiteral("\"169.254.3.4\""), true},
        {"IPv6 link-local", "fe80::1", QStringLiteral("\"fe80::1\""), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.setBody(QStringLiteral("/"), c.answer);
        logLines.clear();
        const AddressOutcome out = run(request(QStringLiteral("192.168.1.20"), QStringLiteral("203.0.113.7")));
        EXPECT_EQ(out.publicAddress, QStringLiteral("203.0.113.7"));
        EXPECT_EQ(out.addressLabel, QStringLiteral("IP: 203.0.113.7"));
        ASSERT_TRUE(out.error.has_value());
        const QString what = c.anAddress ? QStringLiteral("not a public address: ")
                                         : QStringLiteral("not an address: ");
        EXPECT_EQ(*out.error, what + c.shown);
        EXPECT_EQ(logLines, (QStringList{QStringLiteral("1: L_IP: 192.168.1.20"),
                                         u"1: IPLookup error: " + what + c.shown,
                                         QStringLiteral("1: E_IP: 203.0.113.7")}));
    }
}

TEST_F(AddressLookupTest, LoopbackLocalAddressSendsNothing)
{
    server.setBody(QStringLiteral("/"), "203.0.113.7");
    const AddressOutcome out = run(request(QStringLiteral("127.0.0.1"), QString()));
    EXPECT_FALSE(out.requested);
    EXPECT_TRUE(server.requests().isEmpty());
    EXPECT_EQ(out.publicAddress, QString());
    EXPECT_EQ(out.addressLabel, QStringLiteral("IP: "));
    EXPECT_EQ(logLines, (QStringList{QStringLiteral("1: L_IP: 127.0.0.1"), QStringLiteral("1: E_IP: ")}));

    const AddressOutcome offline = OfflineAddress(true);
    EXPECT_EQ(offline.publicAddress, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(offline.indicator, Indicator::Red);
    EXPECT_FALSE(AddressGateOpen(offline.publicAddress));
}
