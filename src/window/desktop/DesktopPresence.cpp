#include "window/desktop/DesktopPresence.h"

#include "window/setup/SetupPanel.h"

#include "base/Clock.h"
#include "base/Identity.h"
#include "platform/gui/TrayIcon.h"
#include "window/Controller.h"
#include "window/main/MainWindow.h"
#ifdef BEAMTIDE_DBUS
#include "platform/gui/DesktopNotifier.h"
#endif

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QPushButton>
#include <QTimer>

namespace beamtide {

#ifndef BEAMTIDE_DBUS
// Without D-Bus the tray's balloon notifies and there is never a notifier; the type is only
// completed so that the empty pointer can be destroyed.
class DesktopNotifier final : public QObject
{
};
#endif

DesktopPresence::DesktopPresence(MainWindow& window, Controller& controller, const Identity& identity,
                                 const Clock& clock, QObject* parent)
    : QObject(parent)
    , m_window(window)
    , m_controller(controller)
    , m_identity(identity)
    , m_clock(clock)
{
#ifdef BEAMTIDE_DBUS
    m_notifier = std::make_unique<DesktopNotifier>(
        [this](const QString& line) { m_controller.runLog().writeTagged(line); });
    connect(m_notifier.get(), &DesktopNotifier::activated, this, &DesktopPresence::showWindow);
#endif
    connect(&controller, &Controller::fetchingChanged, this, [this](bool fetching) {
        m_status.fetching = fetching;
        update();
    });
    connect(&controller, &Controller::refreshFinished, this, &DesktopPresence::update);
    connect(&controller, &Controller::alertAnnounced, this, &DesktopPresence::alertAnnounced);
    connect(window.bandBox, &QComboBox::currentTextChanged, this, &DesktopPresence::update);
    window.installEventFilter(this);

    update();
    if (!createTray()) {
        // A session may start its tray after its programs: look again now and then.
        m_trayWait.setInterval(5000);
        connect(&m_trayWait, &QTimer::timeout, this, [this] {
            if (createTray())
                m_trayWait.stop();
        });
        m_trayWait.start();
    }
}

bool DesktopPresence::createTray()
{
    if (!TrayIcon::available())
        return false;
    m_tray = std::make_unique<TrayIcon>();
    connect(m_tray.get(), &TrayIcon::showRequested, this, &DesktopPresence::showWindow);
    // The button's own path, so an ask during a running fetch is treated as a click is.
    connect(m_tray.get(), &TrayIcon::updateRequested, this, [this] { m_window.updateNow->click(); });
    connect(m_tray.get(), &TrayIcon::alertsToggled, this, [this](bool on) { m_window.alerts->setChecked(on); });
    connect(m_tray.get(), &TrayIcon::quitRequested, &m_window, &QWidget::close);
    connect(m_window.alerts, &QCheckBox::toggled, m_tray.get(), &TrayIcon::setAlertsTicked);
    m_tray->setAlertsTicked(m_window.alerts->isChecked());
    m_tray->show(m_status);
    m_tray->setVisible(true);
    return true;
}

DesktopPresence::~DesktopPresence()
{
    m_window.removeEventFilter(this);
}

void DesktopPresence::alertAnnounced(const QString& alertLine)
{
    // "Alerts" unticked silences every channel; "Desktop notifications" only this one.
    if (m_window.alerts->isChecked() && m_controller.setupPanel().desktopNotify->isChecked()
        && m_controller.admitAlert(AlertChannels::Channel::Notification, alertLine)) {
#ifdef BEAMTIDE_DBUS
        m_notifier->notify(alertLine);
#else
        if (m_tray)
            m_tray->showMessage(kNotificationTitle.toString(), notificationBody(alertLine, false));
#endif
        Q_EMIT notified(alertLine);
    }
    const bool inSight = m_window.isVisible() && !m_window.isMinimized() && m_window.isActiveWindow();
    if (!inSight)
        m_status.unseenAlert = true;
    update();
}

void DesktopPresence::showWindow()
{
    if (m_window.isMinimized() || m_window.isHidden())
        m_window.showNormal();
    m_window.raise();
    m_window.activateWindow();
    setUnseen(false);
}

void DesktopPresence::setUnseen(bool unseen)
{
    if (m_status.unseenAlert == unseen)
        return;
    m_status.unseenAlert = unseen;
    update();
}

bool DesktopPresence::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_window) {
        if (event->type() == QEvent::WindowActivate) {
            setUnseen(false);
        } else if (event->type() == QEvent::WindowStateChange && m_window.isMinimized() && m_tray
                   && m_tray->isVisible() && m_controller.setupPanel().minimiseToTray->isChecked()) {
            // Hidden after the minimise has finished, not inside it.
            QTimer::singleShot(0, &m_window, [this] {
                if (m_window.isMinimized())
                    m_window.hide();
            });
        }
    }
    return QObject::eventFilter(watched, event);
}

void DesktopPresence::update()
{
    m_status.instance = m_identity.instance;
    m_status.band = m_window.bandBox->currentText();
    m_status.lastUpdate = m_controller.lastRetrieval();
    m_status.alertsToday = alertsOnDate(m_controller.alertsHistory().lines(), m_clock.nowUtc().date());
    if (m_tray)
        m_tray->show(m_status);
}

} // namespace beamtide
