#pragma once

#include "FixtureProcess.h"
#include "TempFolder.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace beamtide::test {

// One row of wspr.rx, the columns the program reads.
struct WsprRxRow
{
    qint64 time = 0; // seconds since 1970, UTC
    int band = 14;
    QString rxSign = QStringLiteral("VK3ABC");
    QString rxLoc = QStringLiteral("QF22");
    QString txSign = QStringLiteral("VK2XYZ");
    QString txLoc = QStringLiteral("QF56");
    int distance = 712;
    qint64 frequency = 14097100;
    int power = 37;
    int snr = -12;
    int drift = 0;
    QString version = QStringLiteral("2.6.1");
    int code = 1;
};

// Debian's ClickHouse server as a plain process in a temporary folder: loopback only, a free
// HTTP port, its data in that folder, the table wspr.rx created. Stopped when this goes.
// Besides "default" (no password) it knows the user "club" with the password "pa ss:word".
class ClickHouseFixture
{
public:
    ClickHouseFixture();
    ~ClickHouseFixture();
    ClickHouseFixture(const ClickHouseFixture&) = delete;
    ClickHouseFixture& operator=(const ClickHouseFixture&) = delete;

    bool running() const { return m_started; }
    QString startError() const { return m_error; }
    int port() const { return m_port; }
    QString baseUrl() const; // "http://127.0.0.1:<port>"
    // The server away (stopped) and back (on the same port, with its data).
    void stop();
    bool restart();

    // Runs a statement that changes data (sent with POST, which the server allows to write);
    // returns the server's error text, empty on success.
    QString execute(const QString& sql);
    QString insert(const QList<WsprRxRow>& rows);
    // The answer of a read-only query, as the program would get it.
    QByteArray select(const QString& sql);

private:
    bool startOnce();

    TempFolder m_folder;
    FixtureProcess m_process;
    int m_port = 0;
    bool m_started = false;
    QString m_error;
};

} // namespace beamtide::test
