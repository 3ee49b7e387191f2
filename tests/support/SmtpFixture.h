#pragma once

#include "FixtureProcess.h"
#include "TempFolder.h"

#include <QList>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace beamtide::test {

// One message as a fixture server stored it.
struct StoredMail
{
    QString mailFrom;
    QStringList recipients;
    QString login;         // empty when the client did not authenticate
    QString helo;          // the name the client gave with EHLO or HELO
    bool tls = false;      // whether DATA arrived over TLS (STARTTLS or TLS at connect)
    QString tlsVersion;
    QList<QPair<QString, QString>> headers;    // decoded values
    QList<QPair<QString, QString>> rawHeaders; // as sent
    QString body;          // decoded, line ends as sent
    QString raw;

    QString header(const QString& name) const;    // first decoded value, empty when absent
    QString rawHeader(const QString& name) const;
    int headerCount(const QString& name) const;
};

// The SMTP servers of smtp_fixture.py (aiosmtpd), running while this object lives.
// Servers: "starttls", "implicit", "plain", "reject", "drop".
class SmtpFixture
{
public:
    SmtpFixture();
    ~SmtpFixture();
    SmtpFixture(const SmtpFixture&) = delete;
    SmtpFixture& operator=(const SmtpFixture&) = delete;

    bool running() const { return m_started; }
    QString startError() const { return m_error; }
    int port(const QString& server) const;
    QString caFile() const { return m_caFile; } // the test authority that signed the servers
    QString user() const { return m_user; }
    QString password() const { return m_password; }

    // Every message the server accepted so far, oldest first.
    QList<StoredMail> messages(const QString& server) const;

private:
    TempFolder m_folder;
    FixtureProcess m_process;
    bool m_started = false;
    QString m_error;
    QString m_caFile;
    QString m_user;
    QString m_password;
    QList<QPair<QString, int>> m_ports;
};

} // namespace beamtide::test
