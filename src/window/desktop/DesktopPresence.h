#pragma once

#include "shell/DesktopStatus.h"

#include <QObject>
#include <QTimer>

#include <memory>

class QCheckBox;

namespace beamtide {

class Clock;
class Controller;
class DesktopNotifier;
class MainWindow;
class TrayIcon;
struct Identity;

// Beamtide on the desktop beyond its window: a notification for every announced alert (while
// "Desktop notifications" and "Alerts" are ticked), and the tray icon that shows the state,
// brings the window back and holds a small menu. With "Minimise to tray" ticked, minimising
// hides the window; the icon brings it back.
class DesktopPresence final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DesktopPresence)

public:
    DesktopPresence(MainWindow& window, Controller& controller, const Identity& identity,
                    const Clock& clock, QObject* parent = nullptr);
    ~DesktopPresence() override;

    // Null where the desktop has no tray (or no notification service library).
    TrayIcon* tray() { return m_tray.get(); }
    DesktopNotifier* notifier() { return m_notifier.get(); }
    const TrayStatus& status() const { return m_status; }

    // Shows, raises and activates the window, from the tray or a notification.
    void showWindow();

Q_SIGNALS:
    // An alert went to the desktop's notification channel.
    void notified(const QString& alertLine);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void alertAnnounced(const QString& alertLine);
    void setUnseen(bool unseen);
    void update();
    bool createTray();

    MainWindow& m_window;
    Controller& m_controller;
    const Identity& m_identity;
    const Clock& m_clock;
    std::unique_ptr<TrayIcon> m_tray;
    std::unique_ptr<DesktopNotifier> m_notifier;
    TrayStatus m_status;
    QTimer m_trayWait;
};

} // namespace beamtide
