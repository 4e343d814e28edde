#pragma once

#include "notify/DesktopAlerts.h"
#include "xmlclient/ItemInfo.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class QWidget;

namespace pelimo {

namespace platform {
class DesktopNotifier;
class TrayIcon;
} // namespace platform
namespace pictures {
class PictureStore;
}

// Takes an alarm's alert where the desktop can show it: the tray's balloon where there is a
// tray, else a desktop notification, else the status bar. Keeps the alarm state visible
// without a tray too: a mark before the window title while a watched listing is in alarm, and
// the window's urgency hint when an alert comes while the window is not active.
class AlertRouter final : public QObject, public DesktopAlerts {
    Q_OBJECT
public:
    // The tray's balloon text field holds at most this many bytes; a notification has no limit.
    static constexpr size_t kMaxBalloonBytes = 255;

    using StatusSink = std::function<void(const QString&)>;
    using ItemOpener = std::function<void(const ItemInfo&)>;

    // caption is the window title without the mark; showStatus puts a text into the status
    // bar; openItem brings the window up and opens a listing as a double-click in the watch
    // list does (it runs when the user invokes a notification).
    AlertRouter(QWidget& window, QString caption, platform::TrayIcon& tray,
                platform::DesktopNotifier& notifier, StatusSink showStatus, ItemOpener openItem);

    // The cycle's alert text (Shift-JIS) under its title (the alert title when empty), naming
    // first.
    void showAlert(const std::string& sjis, const ItemInfo& first, std::string_view titleSjis) override;
    // The store a notification takes the first listing's picture from; it outlives the router.
    void setPictures(pictures::PictureStore* store);
    // Whether any watched listing is in alarm now.
    void setAlarmState(bool inAlarm);

    static QString titleFor(const QString& caption, bool inAlarm);

private:
    void showInStatusBar(const QString& title, const QString& text);
    void notifyOnDesktop(const QString& title, const QString& text, const std::string& pictureAddress);
    void sendHeld();

    QWidget& window;
    QString caption;
    platform::TrayIcon& tray;
    platform::DesktopNotifier& notifier;
    StatusSink showStatus;
    ItemOpener openItem;
    ItemInfo alerted;
    QPointer<pictures::PictureStore> pictureStore; // it may go first when the window goes
    // A notification waiting a moment for its picture.
    struct Held {
        QString title;
        QString text;
        std::string picture;
    };
    std::optional<Held> heldAlert;
    QTimer* pictureWait = nullptr;
};

} // namespace pelimo
