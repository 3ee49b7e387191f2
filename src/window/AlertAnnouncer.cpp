#include "window/AlertAnnouncer.h"

#include "base/Clock.h"
#include "base/RunLog.h"
#include "platform/gui/AlertTones.h"
#include "shell/AlertCheck.h"
#include "spots/AlertsHistory.h"
#include "window/main/MainWindow.h"
#include "window/main/Prompt.h"
#include "window/setup/SetupPanel.h"
#include "window/setup/WorkingValues.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace beamtide {

AlertAnnouncer::AlertAnnouncer(const Parts& parts, std::function<int()> tick, QObject* parent)
    : QObject(parent), m_parts(parts), m_tick(std::move(tick)), m_hook(parts.identity.folder),
      m_mailer(std::make_unique<AlertMailer>(parts.worker, parts.log)), m_tones(new AlertTones(this))
{
    connect(parts.window.emailTest, &QPushButton::clicked, this, &AlertAnnouncer::emailTest);
}

AlertAnnouncer::~AlertAnnouncer() = default;

MailAccount AlertAnnouncer::mailAccount() const
{
    MailAccount account;
    account.alertsEnabled = m_parts.window.alerts->isChecked();
    // The login is the panel's as it stands: typed or preset credentials count before Save/Close.
    account.server = m_parts.panel.server->text();
    account.port = m_parts.working.smtpPort;
    account.userName = m_parts.panel.userName->text();
    account.password = m_parts.panel.password->text();
    account.recipient = m_parts.panel.emailTo->text();
    account.heloName = m_parts.working.heloName;
    account.verifyPeer = !m_parts.identity.hasOption(u"/noverify");
    return account;
}

void AlertAnnouncer::alertCheck()
{
    AlertCheckInput input;
    input.lastAnnounced = m_parts.working.lastAnnouncedAlert;
    input.tick = m_tick();
    input.emailTo = m_parts.panel.emailTo->text();
    input.alertsTicked = m_parts.window.alerts->isChecked();
    input.tonesTickedAndShown = m_parts.window.alertTones->isChecked() && !m_parts.window.alertTones->isHidden();
    input.nowUtc = m_parts.clock.nowUtc();
    const AlertCheckOutcome outcome = runAlertCheck(m_parts.alerts.lines(), input);
    m_parts.working.lastAnnouncedAlert = outcome.lastAnnounced;
    m_parts.window.alertMemo->setPlainText(outcome.memo.join(u'\n'));
    if (!outcome.announce)
        return;
    m_parts.log.writeTagged(outcome.logLine);
    const auto admit = [&](AlertChannels::Channel channel) {
        return !m_parts.admit || m_parts.admit(channel, outcome.alert);
    };
    switch (outcome.channel) {
    case AlertChannel::Mail:
        if (outcome.tones && admit(AlertChannels::Channel::Tones)) {
            m_tones->play(m_parts.window.toneFrequency());
            Q_EMIT tonesPlayed();
        }
        // A mail held back leaves the memo as it is: its lines were not mailed.
        if (admit(AlertChannels::Channel::Mail)) {
            sendMail(m_mailer->send(mailAccount(), {outcome.alert, outcome.memo}, this,
                                    [this](const MailResult& r) { mailDone(r); }));
            m_parts.window.alertMemo->setPlainText(outcome.memoAfter.join(u'\n'));
        }
        break;
    case AlertChannel::Hook:
        if (admit(AlertChannels::Channel::Hook) && m_hook.run(outcome.alert) == AlertHook::Start::Failed)
            m_parts.log.writeTagged(kAlertHookScript + QStringLiteral(" could not be started for ") + outcome.alert);
        break;
    case AlertChannel::Nothing:
        break;
    }
    Q_EMIT alertAnnounced(outcome.alert);
}

void AlertAnnouncer::emailTest()
{
    const QStringList memo = m_parts.window.alertMemo->toPlainText().split(u'\n');
    sendMail(m_mailer->emailTest(mailAccount(), memo, this, [this](const MailResult& r) { mailDone(r); }));
}

void AlertAnnouncer::sendMail(MailCheck check)
{
    if (check == MailCheck::NotSetUp) {
        m_parts.prompt.showOnce(QStringLiteral("mail"), {QStringLiteral("Beamtide"), kMailNotSetUp,
                                                    QMessageBox::Ok, QMessageBox::Warning});
    } else if (check == MailCheck::Ready) {
        m_parts.window.mailIndicator->setVisible(true);
        m_parts.window.label18->setVisible(true);
    }
}

void AlertAnnouncer::mailDone(const MailResult& result)
{
    if (result.sent) {
        m_parts.window.mailIndicator->setVisible(false);
        m_parts.window.label18->setVisible(false);
        return;
    }
    // The indicator stays on so the user sees the mail did not go; one box at a time.
    m_parts.prompt.showOnce(QStringLiteral("mail"), {QStringLiteral("Beamtide"), result.error,
                                                QMessageBox::Ok, QMessageBox::Critical});
}

} // namespace beamtide
