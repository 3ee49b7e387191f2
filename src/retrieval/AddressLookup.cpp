#include "retrieval/AddressLookup.h"

#include "base/Config.h"
#include "base/RunLog.h"
#include "base/TextFile.h"
#include "net/HttpClient.h"
#include "net/NetWorker.h"

namespace beamtide {

AddressOutcome OfflineAddress(bool showAddress)
{
    AddressOutcome outcome;
    outcome.publicAddress = kLoopbackAddress;
    outcome.indicator = Indicator::Red;
    outcome.addressLabel = AddressLabel(outcome.publicAddress, showAddress);
    return outcome;
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
                if (reply.ok) {
                    // Taken whole, as the service sends it.
                    outcome.publicAddress = decodeText(reply.body);
                } else {
                    outcome.error = reply.error;
                    log->write(n + u": IPLookup error: " + reply.error);
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
