#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

class QMenu;
class QSystemTrayIcon;

namespace pelimo::platform {

// The notification-area icon. Where the desktop has no tray (offscreen, a bare X server) it
// holds nothing and every call is silently dropped, as a tray that refuses an icon would.
class TrayIcon final : public QObject {
    Q_OBJECT
public:
    explicit TrayIcon(QObject* parent);
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Whether a tray exists to show the icon and bring a hidden window back.
    static bool isAvailable();

    // Shows the icon, or replaces the one shown.
    void setIcon(const QIcon& icon, const QString& toolTip);
    void setContextMenu(QMenu* menu);
    // Replaces any balloon still on screen with a new one carrying a warning icon.
    void showBalloon(const QString& title, const QString& text);
    void remove();

Q_SIGNALS:
    void doubleClicked();

private:
    QSystemTrayIcon* systemIcon = nullptr;
};

} // namespace pelimo::platform
