#include "settings/HistoryServerSettings.h"

namespace beamtide {

HistoryServerSettings HistoryServerSettings::load(const SettingsStore& store)
{
    HistoryServerSettings s;
    s.server = store.readText(u"BeamtideHistoryServer", {}).trimmed();
    s.user = store.readText(u"BeamtideHistoryUser", {});
    s.password = store.readText(u"BeamtideHistoryPassword", {});
    return s;
}

void HistoryServerSettings::save(SettingsStore& store) const
{
    store.writeText(u"BeamtideHistoryServer", server.trimmed());
    store.writeText(u"BeamtideHistoryUser", user);
    store.writeText(u"BeamtideHistoryPassword", password);
}

QStringList HistoryServerSettings::report() const
{
    return {u" HistoryServer : " + server, u" HistoryUser : " + user,
            password.isEmpty() ? QStringLiteral(" HistoryPassword : ") : QStringLiteral(" HistoryPassword : (set, not shown)")};
}

const QStringList& HistoryServerSettings::names()
{
    static const QStringList list{QStringLiteral("BeamtideHistoryServer"), QStringLiteral("BeamtideHistoryUser"),
                                  QStringLiteral("BeamtideHistoryPassword")};
    return list;
}

} // namespace beamtide
