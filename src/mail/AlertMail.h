#pragma once

#include <QString>
#include <QStringList>

namespace beamtide {

class RunLog;

// What the alert mail reads at send time: the account fields of the setup panel and the
// "Alerts" tick box.
struct MailAccount
{
    bool alertsEnabled = false; // CheckBox5
    QString server;             // Edit22
    int port = 587;             // the SMTP port; also selects the TLS mode
    QString userName;           // Edit26
    QString password;           // Edit23
    QString recipient;          // Edit21
    QString heloName;           // the EHLO name the settings load derived from the stored host
    bool verifyPeer = true;     // false with "/noverify"
    QString caFile;             // empty: the system's authorities (tests name their own)
    int connectPort = 0;        // tests only: reach a local server on its own port
};

struct AlertMessage
{
    QString alert;    // the subject's suffix
    QStringList memo; // the body, one line each
};

enum class TlsMode {
    StartTls, // clear text, upgraded by STARTTLS; stays clear when the server offers none
    Implicit, // TLS from the first byte
    None,
};

TlsMode tlsModeForPort(int port);

enum class [[nodiscard]] MailCheck {
    Disabled, // "Alerts" unticked: nothing at all happens
    NotSetUp, // show kMailNotSetUp; no connection is made
    Ready,
};

// The checks made before anything is shown or sent.
MailCheck checkAlertMail(const MailAccount& account);

struct MailResult
{
    bool sent = false;
    QString error; // the text for the message box when !sent
};

inline const QString kMailNotSetUp = QStringLiteral("Email values not yet set up");
inline const QString kTestAlert = QStringLiteral("Test alert email");
inline const QString kSubjectPrefix = QStringLiteral("Beamtide Alert ");

// The headers of the alert mail as they go on the wire (besides curl's MIME headers).
QStringList alertMailHeaders(const MailAccount& account, const AlertMessage& message);

// Connects, authenticates and sends one alert mail; blocks, so it belongs on the network
// thread. The exchange's status goes to the run log; a failure is returned and logged.
MailResult sendAlertMail(const MailAccount& account, const AlertMessage& message, const RunLog& log);

} // namespace beamtide
