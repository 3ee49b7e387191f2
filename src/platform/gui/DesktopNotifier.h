#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>

namespace beamtide {

// Raises desktop notifications through the freedesktop notification service on the session
// bus. Nothing here blocks: each call is answered later. Where there is no session bus or
// no service, or the service goes away, the first failure writes one line to the log and
// the rest stay quiet until a notification gets through again.
class DesktopNotifier final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DesktopNotifier)

public:
    using LogSink = std::function<void(const QString&)>;

    // The session bus of the environment.
    explicit DesktopNotifier(LogSink log, QObject* parent = nullptr);
    DesktopNotifier(const QDBusConnection& bus, LogSink log, QObject* parent = nullptr);
    ~DesktopNotifier() override;

    // Title "Beamtide alert", the alert line as the body (plain text, cut to length).
    void notify(const QString& alertLine);

Q_SIGNALS:
    void shown(uint id);
    void failed(const QString& error);
    // The user clicked one of our notifications.
    void activated();

private Q_SLOTS:
    void onActionInvoked(uint id, const QString& action);

private:
    void send(const QString& alertLine, bool markup);
    void trouble(const QString& error);

    QDBusConnection m_bus;
    LogSink m_log;
    QSet<uint> m_ids;
    bool m_troubleLogged = false;
};

} // namespace beamtide
