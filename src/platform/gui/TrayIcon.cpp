#include "platform/gui/TrayIcon.h"

#include "platform/gui/ProgramIcon.h"
#include "shell/DesktopStatus.h"

#include <QMenu>
#include <QSystemTrayIcon>

namespace beamtide {

TrayIcon::TrayIcon(QObject* parent)
    : QObject(parent)
    , m_menu(std::make_unique<QMenu>())
    , m_icon(new QSystemTrayIcon(this))
{
    m_menu->setObjectName(QStringLiteral("TrayMenu"));
    auto add = [this](const char* name, const QString& text) {
        QAction* action = m_menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    connect(add("TrayShow", QStringLiteral("Show")), &QAction::triggered, this, &TrayIcon::showRequested);
    connect(add("TrayUpdateNow", QStringLiteral("Update NOW")), &QAction::triggered, this,
            &TrayIcon::updateRequested);
    m_alerts = add("TrayAlerts", QStringLiteral("Alerts"));
    m_alerts->setCheckable(true);
    connect(m_alerts, &QAction::triggered, this, &TrayIcon::alertsToggled);
    m_menu->addSeparator();
    connect(add("TrayQuit", QStringLiteral("Quit")), &QAction::triggered, this, &TrayIcon::quitRequested);

    m_icon->setContextMenu(m_menu.get());
    m_icon->setIcon(trayIcon(false, false));
    m_look = 0;
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            Q_EMIT showRequested();
    });
}

TrayIcon::~TrayIcon()
{
    // The icon goes before its menu.
    delete m_icon;
    m_icon = nullptr;
}

bool TrayIcon::available()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::setVisible(bool visible)
{
    m_icon->setVisible(visible);
}

bool TrayIcon::isVisible() const
{
    return m_icon->isVisible();
}

void TrayIcon::show(const TrayStatus& status)
{
    const int look = (status.fetching ? 1 : 0) | (status.unseenAlert ? 2 : 0);
    if (look != m_look) {
        m_icon->setIcon(trayIcon(status.fetching, status.unseenAlert));
        m_look = look;
    }
    m_icon->setToolTip(trayToolTip(status));
}

void TrayIcon::setAlertsTicked(bool ticked)
{
    m_alerts->setChecked(ticked);
}

void TrayIcon::showMessage(const QString& title, const QString& text)
{
    m_icon->showMessage(title, text, trayIcon(false, true));
}

QString TrayIcon::toolTip() const
{
    return m_icon->toolTip();
}

} // namespace beamtide
