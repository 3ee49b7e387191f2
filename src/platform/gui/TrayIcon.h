#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace beamtide {

struct TrayStatus;

// The icon in the desktop's tray, where the desktop has one: its picture and tooltip show a
// TrayStatus, a click asks for the window, and its menu holds "Show", "Update NOW", "Alerts"
// (a tick) and "Quit". The actions' objectNames are TrayShow, TrayUpdateNow, TrayAlerts and
// TrayQuit.
class TrayIcon final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrayIcon)

public:
    explicit TrayIcon(QObject* parent = nullptr);
    ~TrayIcon() override;

    static bool available();

    void setVisible(bool visible);
    bool isVisible() const;
    void show(const TrayStatus& status);
    void setAlertsTicked(bool ticked);
    // A message from the icon itself: the notification where the desktop has no service.
    void showMessage(const QString& title, const QString& text);

    QSystemTrayIcon& icon() { return *m_icon; }
    QMenu& menu() { return *m_menu; }
    QString toolTip() const;

Q_SIGNALS:
    void showRequested();
    void updateRequested();
    void alertsToggled(bool on);
    void quitRequested();

private:
    std::unique_ptr<QMenu> m_menu; // a top-level widget of its own: the icon does not own it
    QSystemTrayIcon* m_icon = nullptr;
    QAction* m_alerts = nullptr;
    int m_look = -1; // the picture shown, so an unchanged state repaints nothing
};

} // namespace beamtide
