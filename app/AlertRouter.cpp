#include "app/AlertRouter.h"

#include "AppTexts.h"
#include "pictures/qt/PictureStore.h"
#include "platform/qt/DesktopNotifier.h"
#include "platform/qt/QtText.h"
#include "platform/qt/TrayIcon.h"
#include "platform/text/SjisText.h"

#include <QApplication>
#include <QWidget>

namespace pelimo {
namespace {

// How long a notification waits for its listing's picture before it goes without it.
constexpr int kPictureWaitMs = 2000;

} // namespace

AlertRouter::AlertRouter(QWidget& w, QString c, platform::TrayIcon& t, platform::DesktopNotifier& n,
                         StatusSink status, ItemOpener opener)
    : QObject(&w), window(w), caption(std::move(c)), tray(t), notifier(n), showStatus(std::move(status)),
      openItem(std::move(opener)), pictureWait(new QTimer(this))
{
    pictureWait->setSingleShot(true);
    connect(pictureWait, &QTimer::timeout, this, &AlertRouter::sendHeld);
    connect(&notifier, &platform::DesktopNotifier::activated, this, [this] {
        if (!alerted.ItemNo.empty()) {
            openItem(alerted);
        }
    });
    connect(&notifier, &platform::DesktopNotifier::failed, this, &AlertRouter::showInStatusBar);
}

QString AlertRouter::titleFor(const QString& caption, bool inAlarm)
{
    return inAlarm ? platform::toQString(app_text::kAlarmTitleMark) + QLatin1Char(' ') + caption : caption;
}

void AlertRouter::showAlert(const std::string& sjis, const ItemInfo& first, std::string_view titleSjis)
{
    const QString title =
        platform::toQString(titleSjis.empty() ? std::string_view(app_text::kBalloonTitle) : titleSjis);
    alerted = first;
    if (platform::TrayIcon::isAvailable()) {
        tray.showBalloon(title, platform::toQString(platform::cutSjis(sjis, kMaxBalloonBytes)));
    } else if (notifier.isAvailable()) {
        notifyOnDesktop(title, platform::toQString(sjis), first.ImageUrl);
    } else {
        showInStatusBar(title, platform::toQString(sjis));
    }
    if (!window.isActiveWindow()) {
        QApplication::alert(&window);
    }
}

void AlertRouter::setPictures(pictures::PictureStore* store)
{
    pictureStore = store;
    if (!store)
        return;
    const auto arrived = [this](const std::string& address) {
        if (heldAlert && heldAlert->picture == address)
            sendHeld();
    };
    connect(store, &pictures::PictureStore::pictureReady, this, arrived);
    connect(store, &pictures::PictureStore::pictureFailed, this, arrived);
}

void AlertRouter::notifyOnDesktop(const QString& title, const QString& text,
                                  const std::string& pictureAddress)
{
    // One still waiting for its picture goes first, as it is.
    sendHeld();
    QImage picture;
    if (pictureStore && !pictureAddress.empty()) {
        picture = pictureStore->picture(pictureAddress, pictures::PictureStore::Size::tooltip, this);
        if (picture.isNull() && !pictureStore->hasFailed(pictureAddress)) {
            heldAlert = Held{title, text, pictureAddress};
            pictureWait->start(kPictureWaitMs);
            return;
        }
    }
    notifier.notify(title, text, picture);
}

void AlertRouter::sendHeld()
{
    if (!heldAlert)
        return;
    pictureWait->stop();
    const Held held = std::move(*heldAlert);
    heldAlert.reset();
    QImage picture;
    if (pictureStore) {
        picture = pictureStore->held(held.picture, pictures::PictureStore::Size::tooltip);
        pictureStore->withdrawAll(this);
    }
    notifier.notify(held.title, held.text, picture);
}

void AlertRouter::setAlarmState(bool inAlarm)
{
    window.setWindowTitle(titleFor(caption, inAlarm));
}

void AlertRouter::showInStatusBar(const QString& title, const QString& text)
{
    // One line: the alert's lines joined, the blank line before "その他" dropped.
    QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    lines.prepend(title);
    showStatus(lines.join(QStringLiteral("　")));
}

} // namespace pelimo
