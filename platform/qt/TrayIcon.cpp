#include "platform/qt/TrayIcon.h"

#include <QSystemTrayIcon>

namespace pelimo::platform {

TrayIcon::TrayIcon(QObject* parent) : QObject(parent)
{
    if (!isAvailable()) {
        return;
    }
    icon_ = new QSystemTrayIcon(this);
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
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
    if (icon_ == nullptr) {
        return;
    }
    icon_->setIcon(icon);
    icon_->setToolTip(toolTip);
    icon_->show();
}

void TrayIcon::setContextMenu(QMenu* menu)
{
    if (icon_ != nullptr) {
        icon_->setContextMenu(menu);
    }
}

void TrayIcon::showBalloon(const QString& title, const QString& text)
{
    if (icon_ == nullptr) {
        return;
    }
    // An empty message first takes down the balloon still showing, so the new alert is the
    // one the user sees.
    icon_->showMessage(QString(), QString(), QSystemTrayIcon::NoIcon, 1);
    icon_->showMessage(title, text, QSystemTrayIcon::Warning);
}

void TrayIcon::remove()
{
    if (icon_ != nullptr) {
        icon_->hide();
    }
}

} // namespace pelimo::platform
