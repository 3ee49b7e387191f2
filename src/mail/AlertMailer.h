#pragma once

#include "mail/AlertMail.h"

#include <QObject>

#include <functional>

namespace beamtide {

class NetWorker;
class RunLog;

// Sends alert mail on the network thread. The window calls send() (or emailTest() for the
// "Email test" button) and acts on what comes back:
//   Disabled  nothing;
//   NotSetUp  a message box with kMailNotSetUp;
//   Ready     show the "Emailing" indicator; done() follows on the receiver's thread, and
//             the window hides the indicator when the mail went out, or shows the error.
class AlertMailer final
{
public:
    AlertMailer(NetWorker& worker, const RunLog& log);

    MailCheck send(const MailAccount& account, const AlertMessage& message, QObject* receiver,
                   std::function<void(MailResult)> done);
    MailCheck emailTest(const MailAccount& account, const QStringList& memo, QObject* receiver,
                        std::function<void(MailResult)> done);

private:
    NetWorker& m_worker;
    const RunLog& m_log;
};

} // namespace beamtide
