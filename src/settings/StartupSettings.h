#pragma once

#include "settings/EmailAccount.h"
#include "settings/Settings.h"

namespace beamtide {

// The part of start-up that concerns the store and the account: the "/reset" option, the load,
// the raised launch count with the first-launch reset, and the account fields after the relay
// preset and the account file. The window applies the settings first, then the fields.
struct StartupSettings
{
    StoredSettings settings;   // as loaded, launchCount already raised (the setup panel shows it)
    bool firstLaunch = false;
    AccountFields account;     // the setup panel's account fields
    int smtpPort = 587;        // the SMTP port working value
    bool accountFileFound = false;
    QString accountError;      // a port line in the account file that is no number
};

StartupSettings loadAtStartup(SettingsStore& store, const AccountFile& accountFile, bool resetOption);

} // namespace beamtide
