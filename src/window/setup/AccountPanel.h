#pragma once

#include "base/Identity.h"
#include "settings/EmailAccount.h"
#include "settings/StartupSettings.h"

#include <QObject>
#include <QString>

#include <functional>

namespace beamtide {

class Prompt;
class SetupPanel;
struct WorkingValues;

// The setup panel's mail account: its fields, the password mask, the presets and the
// account file.
class AccountPanel final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AccountPanel)

public:
    // problem: shows and logs what could not be saved or read.
    AccountPanel(SetupPanel& panel, WorkingValues& working, const Identity& identity, Prompt& prompt,
                 std::function<void(const QString&)> problem, QObject* parent = nullptr);

    AccountFields fields() const;
    void setFields(const AccountFields& fields);
    void applyPreset(AccountPreset preset);
    void loadCustomAccount();
    // Named from the identity when used: the file-name prefix is only known at start-up.
    AccountFile accountFile() const;

    // The fields as the start-up left them (relay preset, account file); Show starts unticked.
    void showStartUp(const StartupSettings& startup);
    // The password shown or masked as the Show box says.
    void maskFromShowBox();
    // Save/Close's part: the fields to the account file and the working values. False when the
    // file refuses them (nothing is stored and the panel stays open).
    bool store();

private:
    void applyMaskRule();

    SetupPanel& m_panel;
    WorkingValues& m_working;
    const Identity& m_identity;
    Prompt& m_prompt;
    std::function<void(const QString&)> m_problem;
};

} // namespace beamtide
