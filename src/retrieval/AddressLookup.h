#pragma once

#include "retrieval/FetchRules.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace beamtide {

class HttpClient;
class NetWorker;
class RunLog;

// What the lookup reads when it starts.
struct AddressRequest
{
    QString localAddress;  // from the address watch
    QString publicAddress; // the current one, kept when the lookup fails
    bool showAddress = true;
    int instance = 0;
};

struct AddressOutcome
{
    QString publicAddress;
    Indicator indicator = Indicator::Red; // Shape2
    QString addressLabel;                 // Label15
    bool requested = false;               // false for a loopback local address
    std::optional<QString> error;         // the request failed; the address was kept
};

// What the window sets when the address watch reports the machine offline.
AddressOutcome OfflineAddress(bool showAddress);

// Asks the echo service for the public address on the network thread and hands the result
// back on the caller's thread. The worker and the log must outlive this object, and the log
// the worker.
class AddressLookup final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AddressLookup)

public:
    AddressLookup(NetWorker& worker, std::shared_ptr<HttpClient> client, const RunLog& log,
                  QObject* parent = nullptr);

    // False, and nothing done, while a lookup is still running.
    bool LookupPublicAddress(const AddressRequest& request);
    bool busy() const { return m_busy; }

    void setBaseUrl(const QString& baseUrl) { m_baseUrl = baseUrl; }
    QString baseUrl() const { return m_baseUrl; }

    // An echo answer is one short line; anything with a longer line is not an address.
    static constexpr qsizetype kMaxLineLength = 65000;

    // The address in an echo answer: trimmed, one IPv4 or IPv6 address; nothing otherwise.
    static std::optional<QString> addressIn(const QByteArray& answer);
    // The failure for an answer that is no address, quoting at most its first characters.
    static QString notAnAddress(const QByteArray& answer);
    static constexpr qsizetype kShownAnswerLength = 100;

Q_SIGNALS:
    void finished(const beamtide::AddressOutcome& outcome);

private:
    NetWorker& m_worker;
    std::shared_ptr<HttpClient> m_client;
    const RunLog& m_log;
    QString m_baseUrl;
    bool m_busy = false;
};

} // namespace beamtide
