#include "settings/StartupSettings.h"

namespace beamtide {

namespace {

void applyRelayPreset(StartupSettings& result)
{
    const PresetResult preset = applyAccountPreset(AccountPreset::DefaultTls, result.account);
    result.account = preset.fields;
    result.smtpPort = preset.smtpPort;
}

} // namespace

StartupSettings loadAtStartup(SettingsStore& store, const AccountFile& accountFile, bool resetOption)
{
    if (resetOption)
        resetSettings(store);

    StartupSettings result;
    result.settings = StoredSettings::load(store);
    result.smtpPort = result.settings.smtpPort;
    result.account.emailTo = result.settings.emailTo;
    result.account.server = result.settings.smtpHost;
    result.account.userName = result.settings.smtpUserName;
    result.account.password = result.settings.smtpPassword;
    // The panel shows the port mail uses: the stored one, not the box's first entry.
    result.account.portText = QString::number(result.smtpPort);

    // Raised in memory only: a start-up that ends without a save does not count.
    result.settings.launchCount = raisedLaunchCount(result.settings.launchCount);
    result.firstLaunch = isFirstLaunch(result.settings.launchCount);
    if (result.firstLaunch) {
        resetSettings(store);
        applyRelayPreset(result);
    }

    // Show is unticked at start-up, so the file never replaces the stored password here.
    const AccountFile::Load load = accountFile.load(result.account);
    result.account = load.fields;
    result.accountFileFound = load.found;
    result.accountError = load.error;
    if (load.smtpPort)
        result.smtpPort = *load.smtpPort;

    if (result.account.emailTo == u"Your email")
        applyRelayPreset(result);
    return result;
}

} // namespace beamtide
