#include "window/setup/AccountPanel.h"

#include "window/main/MainWindow.h"
#include "window/main/Prompt.h"
#include "window/setup/SetupPanel.h"
#include "window/setup/WorkingValues.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

namespace beamtide {

AccountPanel::AccountPanel(SetupPanel& panel, WorkingValues& working, const Identity& identity,
                           Prompt& prompt, std::function<void(const QString&)> problem, QObject* parent)
    : QObject(parent), m_panel(panel), m_working(working), m_identity(identity), m_prompt(prompt),
      m_problem(std::move(problem))
{
    SetupPanel& p = m_panel;
    p.custom->setVisible(identity.hasOption(u"/custom"));
    connect(p.server, &QLineEdit::textChanged, this, [this](const QString& host) { m_working.smtpHost = host; });
    connect(p.showPassword, &QCheckBox::toggled, this, &AccountPanel::applyMaskRule);
    connect(p.password, &QLineEdit::textEdited, this, &AccountPanel::maskFromShowBox);
    connect(p.defaultTls, &QPushButton::clicked, this, [this] { applyPreset(AccountPreset::DefaultTls); });
    connect(p.defaultSsl, &QPushButton::clicked, this, [this] { applyPreset(AccountPreset::DefaultSsl); });
    connect(p.gmail, &QPushButton::clicked, this, [this] { applyPreset(AccountPreset::Gmail); });
    connect(p.custom, &QPushButton::clicked, this, &AccountPanel::loadCustomAccount);
}

AccountFile AccountPanel::accountFile() const
{
    return AccountFile(m_identity.plainFile(QString(m_identity.filePrefix + u"WSPRsmtp.txt")));
}

void AccountPanel::showStartUp(const StartupSettings& startup)
{
    m_panel.custom->setVisible(m_identity.hasOption(u"/custom"));
    setFields(startup.account);
    m_working.smtpPort = startup.smtpPort;
    maskFromShowBox();
}

bool AccountPanel::store()
{
    const AccountFields fields = this->fields();
    const AccountFile file = accountFile();
    const AccountFile::Save account = file.save(fields, m_working.smtpPort);
    if (account.outcome == AccountFile::Outcome::Refused) {
        // Nothing is stored and the panel stays open, so the port can be corrected.
        m_prompt.ask(PromptRequest{QStringLiteral("Beamtide"), account.error, QMessageBox::Ok,
                                   QMessageBox::Warning});
        return false;
    }
    m_working.smtpPassword = fields.password;
    m_working.smtpHost = fields.server;
    m_working.smtpPort = account.smtpPort;
    if (account.outcome == AccountFile::Outcome::Failed)
        m_problem(QStringLiteral("The account file ") + file.path()
                  + QStringLiteral(" could not be changed: ") + account.error);
    return true;
}

AccountFields AccountPanel::fields() const
{
    AccountFields f;
    f.emailTo = m_panel.emailTo->text();
    f.server = m_panel.server->text();
    f.userName = m_panel.userName->text();
    f.password = m_panel.password->text();
    f.portText = m_panel.portBox->currentText();
    f.show = m_panel.showPassword->isChecked();
    return f;
}

void AccountPanel::setFields(const AccountFields& f)
{
    // The Show box first, so its mask rule runs before the fields change, as a preset does.
    m_panel.showPassword->setChecked(f.show);
    m_panel.emailTo->setText(f.emailTo);
    m_panel.server->setText(f.server);
    m_panel.userName->setText(f.userName);
    m_panel.password->setText(f.password);
    setComboText(m_panel.portBox, f.portText);
}

void AccountPanel::applyPreset(AccountPreset preset)
{
    if (preset == AccountPreset::Gmail)
        setComboText(m_panel.portBox, QStringLiteral("587"));
    const PresetResult result = beamtide::applyAccountPreset(preset, fields());
    setFields(result.fields);
    m_working.smtpPort = result.smtpPort;
    m_panel.password->setEchoMode(result.inClear ? QLineEdit::Normal : QLineEdit::Password);
}

void AccountPanel::loadCustomAccount()
{
    m_panel.showPassword->setChecked(true);
    const AccountFile file = accountFile();
    const AccountFile::Load load = file.load(fields());
    if (!load.found) {
        if (QFileInfo::exists(file.path()))
            m_problem(QStringLiteral("The account file could not be read: ") + file.path());
        return;
    }
    setFields(load.fields);
    if (load.smtpPort)
        m_working.smtpPort = *load.smtpPort;
    if (!load.error.isEmpty())
        m_problem(load.error);
}

void AccountPanel::applyMaskRule()
{
    const bool clear = passwordInClear(m_panel.showPassword->isChecked(), m_panel.password->text(),
                                       m_panel.server->text());
    m_panel.password->setEchoMode(clear ? QLineEdit::Normal : QLineEdit::Password);
}

void AccountPanel::maskFromShowBox()
{
    m_panel.password->setEchoMode(m_panel.showPassword->isChecked() ? QLineEdit::Normal : QLineEdit::Password);
}

} // namespace beamtide
