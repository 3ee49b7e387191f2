#pragma once

#include "settings/SettingsStore.h"

#include <QString>
#include <QStringList>

namespace beamtide {

// The ClickHouse server of the user's own that receives every stored spot: its HTTP address
// and the account, each stored as text under its Beamtide... name; the password is stored
// like the mail password and never shown in the settings report. No address: no server.
struct HistoryServerSettings
{
    QString server;   // BeamtideHistoryServer, "http://host:8123"
    QString user;     // BeamtideHistoryUser
    QString password; // BeamtideHistoryPassword

    static HistoryServerSettings load(const SettingsStore& store);
    void save(SettingsStore& store) const;
    QStringList report() const;
    static const QStringList& names();

    bool operator==(const HistoryServerSettings&) const = default;
};

} // namespace beamtide
