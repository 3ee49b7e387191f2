#include "Httplib.h"

#include "net/HttpClient.h"

#include <QFile>

#include "FixtureProcess.h"
#include "TempFolder.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <thread>

using namespace beamtide;

// The mirror is reached over HTTPS: a server whose certificate no known authority signed is
// refused, never read.
TEST(Https, UnknownCertificateIsRefused)
{
    test::TempFolder dir;
    const QString cert = dir.file(QStringLiteral("cert.pem"));
    const QString key = dir.file(QStringLiteral("key.pem"));
    // The openssl command is a Linux program; the Windows tests reach it through the broker.
    test::FixtureProcess openssl;
    ASSERT_TRUE(openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                   QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                   QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"),
                   QStringLiteral("-keyout"), key, QStringLiteral("-out"), cert}))
        << openssl.errorString().toStdString();
    openssl.closeInput();
    ASSERT_TRUE(openssl.waitForFinished(-1));
    ASSERT_TRUE(QFile::exists(cert)) << openssl.leftOutput().toStdString();

    httplib::SSLServer server(cert.toLocal8Bit().constData(), key.toLocal8Bit().constData());
    ASSERT_TRUE(server.is_valid());
    int requests = 0;
    server.Get("/", [&](const httplib::Request&, httplib::Response& res) {
        ++requests;
        res.set_content("1\tVK2XYZ\n", "text/tab-separated-values");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread thread([&] { server.listen_after_bind(); });
    // Bound and listening already: a connection waits until the loop accepts it.

    HttpClient client;
    const HttpResult reply = client.get(QStringLiteral("https://127.0.0.1:%1/?query=SELECT%201").arg(port),
                                        {}, HttpClient::ownUserAgent());
    server.stop();
    thread.join();

    EXPECT_FALSE(reply.ok);
    EXPECT_TRUE(reply.body.isEmpty());
    EXPECT_TRUE(reply.error.contains(QStringLiteral("certificate"), Qt::CaseInsensitive))
        << reply.error.toStdString();
    EXPECT_EQ(requests, 0);
}
