#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>

namespace pelimo::platform {

// Desktop notifications through the freedesktop notification service on the session bus
// (org.freedesktop.Notifications, version 1.2 of the freedesktop notifications protocol). Where there is no
// session bus or no service on it, isAvailable() is false and notify() does nothing.
class DesktopNotifier final : public QObject {
    Q_OBJECT
public:
    // appName and icon go with every notification; actionLabel names the default action where
    // the service lists actions.
    DesktopNotifier(QString appName, QImage icon, QString actionLabel, QObject* parent);
    DesktopNotifier(const DesktopNotifier&) = delete;
    DesktopNotifier& operator=(const DesktopNotifier&) = delete;

    // Whether the session bus has a notification service, running or startable on demand.
    bool isAvailable() const;

    // Shows a notification that replaces the one shown last. The service is asked for its
    // capabilities first: the body is escaped where the service reads markup, and the default
    // action is offered where it has actions. A picture goes as the notification's image
    // (its "image-data" hint) in place of the program's icon. False when there is no service
    // to ask.
    bool notify(const QString& summary, const QString& body, const QImage& picture = {});

Q_SIGNALS:
    // The user invoked the default action of the notification shown last.
    void activated();
    // The service could not be reached or refused the notification.
    void failed(const QString& summary, const QString& body);

private Q_SLOTS:
    void onActionInvoked(uint id, const QString& actionKey);

private:
    void send(const QString& summary, const QString& body, const QImage& picture,
              const QStringList& capabilities);

    QString appName;
    QImage icon;
    QString actionLabel;
    uint lastId = 0;
    bool listening = false;
};

} // namespace pelimo::platform
