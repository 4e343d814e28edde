#include "platform/qt/TrayIcon.h"

#include <QSystemTrayIcon>

namespace pelimo::platform {

TrayIcon::TrayIcon(QObject* parent) : QObject(parent)
{
    if (!isAvailable()) {
        return;
    }
    systemIcon = new QSystemTrayIcon(this);
    connect(systemIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick) {
            Q_EMIT doubleClicked();
        }
    });
}

bool TrayIcon::isAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::setIcon(const QIcon& icon, const QString& toolTip)
{
    if (systemIcon == nullptr) {
        return;
    }
    systemIcon->setIcon(icon);
    systemIcon->setToolTip(toolTip);
    systemIcon->show();
}

void TrayIcon::setContextMenu(QMenu* menu)
{
    if (systemIcon != nullptr) {
        systemIcon->setContextMenu(menu);
    }
}

void TrayIcon::showBalloon(const QString& title, const QString& text)
{
    if (systemIcon == nullptr) {
        return;
    }
    // An empty message first takes down the balloon still showing, so the new alert is the
    // one the user sees.
    systemIcon->showMessage(QString(), QString(), QSystemTrayIcon::NoIcon, 1);
    systemIcon->showMessage(title, text, QSystemTrayIcon::Warning);
}

void TrayIcon::remove()
{
    if (systemIcon != nullptr) {
        systemIcon->hide();
    }
}

} // namespace pelimo::platform
