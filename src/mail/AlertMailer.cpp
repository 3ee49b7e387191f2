#include "mail/AlertMailer.h"

#include "net/NetWorker.h"

namespace beamtide {

AlertMailer::AlertMailer(NetWorker& worker, const RunLog& log) : m_worker(worker), m_log(log)
{
}

MailCheck AlertMailer::send(const MailAccount& account, const AlertMessage& message,
                            QObject* receiver, std::function<void(MailResult)> done)
{
    const MailCheck check = checkAlertMail(account);
    if (check != MailCheck::Ready)
        return check;
    const RunLog* log = &m_log;
    m_worker.post<MailResult>([account, message, log] { return sendAlertMail(account, message, *log); },
                              receiver, std::move(done));
    return check;
}

MailCheck AlertMailer::emailTest(const MailAccount& account, const QStringList& memo,
                                 QObject* receiver, std::function<void(MailResult)> done)
{
    return send(account, AlertMessage{kTestAlert, memo}, receiver, std::move(done));
}

} // namespace beamtide
