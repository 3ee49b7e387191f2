#include "retrieval/AddressLookup.h"

#include "base/Config.h"
#include "base/RunLog.h"
#include "base/TextFile.h"
#include "net/HttpClient.h"
#include "net/NetWorker.h"

#include <QHostAddress>

namespace beamtide {

AddressOutcome OfflineAddress(bool showAddress)
{
    AddressOutcome outcome;
    outcome.publicAddress = kLoopbackAddress;
    outcome.indicator = Indicator::Red;
    outcome.addressLabel = AddressLabel(outcome.publicAddress, showAddress);
    return outcome;
}

namespace {

bool reachable(const QHostAddress& address)
{
    return !address.isLoopback() && !address.isLinkLocal()
           && address != QHostAddress(QHostAddress::AnyIPv4)
           && address != QHostAddress(QHostAddress::AnyIPv6);
}

// One IPv4 or IPv6 address and nothing else: no scope, no second line, no markup.
std::optional<QHostAddress> oneAddress(const QString& text)
{
    QHostAddress address;
    if (text.isEmpty() || text.size() > 45 || text.contains(u'%') || !address.setAddress(text))
        return std::nullopt;
    // The IPv4 parser also takes short forms such as "127.1"; an echo service sends four parts.
    if (address.protocol() == QAbstractSocket::IPv4Protocol && address.toString() != text)
        return std::nullopt;
    return address;
}

} // namespace

std::optional<QString> AddressLookup::addressIn(const QByteArray& answer)
{
    const QString text = decodeText(answer).trimmed();
    // An address no other machine can reach is no answer; "127.0.0.1" would also pose as
    // the offline mark, which only the address watch may set.
    const std::optional<QHostAddress> address = oneAddress(text);
    if (!address || !reachable(*address))
        return std::nullopt;
    return text;
}

QString AddressLookup::notAnAddress(const QByteArray& answer)
{
    const QString text = decodeText(answer);
    const QString shown = RunLog::escaped(QStringView(text).left(kShownAnswerLength));
    const std::optional<QHostAddress> address = oneAddress(text.trimmed());
    const QString what = address && !reachable(*address) ? QStringLiteral("not a public address: \"")
                                                          : QStringLiteral("not an address: \"");
    return what + shown + (text.size() > kShownAnswerLength ? u"\"..." : u"\"");
}

AddressLookup::AddressLookup(NetWorker& worker, std::shared_ptr<HttpClient> client,
                             const RunLog& log, QObject* parent)
    : QObject(parent), m_worker(worker), m_client(std::move(client)), m_log(log),
      m_baseUrl(config::echoBaseUrl())
{
}

bool AddressLookup::LookupPublicAddress(const AddressRequest& request)
{
    if (m_busy)
        return false;
    m_busy = true;
    m_worker.post<AddressOutcome>(
        [client = m_client, log = &m_log, url = QString(m_baseUrl + u'/'), request] {
            const QString n = QString::number(request.instance);
            log->write(n + u": L_IP: " + request.localAddress);
            AddressOutcome outcome;
            outcome.publicAddress = request.publicAddress;
            if (request.localAddress != kLoopbackAddress) {
                outcome.requested = true;
                HttpLimits limits;
                limits.maxLineLength = kMaxLineLength;
                const HttpResult reply = client->get(url, limits);
                const std::optional<QString> address =
                    reply.ok ? addressIn(reply.body) : std::nullopt;
                if (address) {
                    outcome.publicAddress = *address;
                } else {
                    // An answer that is no address is a failed lookup: it never reaches the
                    // label, the gate or the spot query.
                    outcome.error = reply.ok ? notAnAddress(reply.body) : reply.error;
                    log->write(n + u": IPLookup error: " + *outcome.error);
                }
            }
            const bool known = outcome.publicAddress != kLoopbackAddress
                               && !request.localAddress.isEmpty();
            outcome.indicator = known ? Indicator::DarkGreen : Indicator::Red;
            outcome.addressLabel = AddressLabel(outcome.publicAddress, request.showAddress);
            log->write(n + u": E_IP: " + outcome.publicAddress);
            return outcome;
        },
        this, [this](AddressOutcome outcome) {
            m_busy = false;
            Q_EMIT finished(outcome);
        });
    return true;
}

} // namespace beamtide
