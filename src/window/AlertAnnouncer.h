#pragma once

#include "base/Identity.h"
#include "mail/AlertMailer.h"
#include "platform/AlertHook.h"
#include "shell/AlertChannels.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace beamtide {

class AlertTones;
class AlertsHistory;
class Clock;
class MainWindow;
class NetWorker;
class Prompt;
class RunLog;
class SetupPanel;
struct WorkingValues;

// The alert check every ten seconds and its channels: the tones, the alert mail (and the
// "Email test"), and the hook, with the mail indicator and the boxes of mail that did not go.
// Each of these asks `admit` before it goes, so that it follows the throttle when its box is
// ticked.
class AlertAnnouncer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlertAnnouncer)

public:
    struct Parts
    {
        MainWindow& window;
        const SetupPanel& panel;
        WorkingValues& working;
        const Identity& identity;
        const Clock& clock;
        const AlertsHistory& alerts;
        RunLog& log;
        Prompt& prompt;
        NetWorker& worker;
        // Whether the alert may go out on the channel now; absent: always.
        std::function<bool(AlertChannels::Channel, const QString& alert)> admit;
    };
    // tick: the update cycle's tick counter, read at each check.
    AlertAnnouncer(const Parts& parts, std::function<int()> tick, QObject* parent = nullptr);
    ~AlertAnnouncer() override;

    void alertCheck();
    void emailTest();

Q_SIGNALS:
    void alertAnnounced(const QString& alert);
    void tonesPlayed(); // for an announced alert; silent where there is no audio output

private:
    MailAccount mailAccount() const;
    void sendMail(MailCheck check);
    void mailDone(const MailResult& result);

    Parts m_parts;
    std::function<int()> m_tick;
    AlertHook m_hook;
    std::unique_ptr<AlertMailer> m_mailer;
    AlertTones* m_tones = nullptr;
};

} // namespace beamtide
