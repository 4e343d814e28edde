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

AlertRouter::AlertRouter(QWidget& window, QString caption, platform::TrayIcon& tray,
                         platform::DesktopNotifier& notifier, StatusSink showStatus, ItemOpener openItem)
    : QObject(&window), window_(window), caption_(std::move(caption)), tray_(tray), notifier_(notifier),
      showStatus_(std::move(showStatus)), openItem_(std::move(openItem)), pictureWait_(new QTimer(this))
{
    pictureWait_->setSingleShot(true);
    connect(pictureWait_, &QTimer::timeout, this, &AlertRouter::sendHeld);
    connect(&notifier_, &platform::DesktopNotifier::activated, this, [this] {
        if (!alerted_.ItemNo.empty()) {
            openItem_(alerted_);
        }
    });
    connect(&notifier_, &platform::DesktopNotifier::failed, this, &AlertRouter::showInStatusBar);
}

QString AlertRouter::titleFor(const QString& caption, bool inAlarm)
{
    return inAlarm ? platform::toQString(app_text::kAlarmTitleMark) + QLatin1Char(' ') + caption : caption;
}

void AlertRouter::showAlert(const std::string& sjis, const ItemInfo& first, std::string_view titleSjis)
{
    const QString title =
        platform::toQString(titleSjis.empty() ? std::string_view(app_text::kBalloonTitle) : titleSjis);
    alerted_ = first;
    if (platform::TrayIcon::isAvailable()) {
        tray_.showBalloon(title, platform::toQString(platform::cutSjis(sjis, kMaxBalloonBytes)));
    } else if (notifier_.isAvailable()) {
        notifyOnDesktop(title, platform::toQString(sjis), first.ImageUrl);
    } else {
        showInStatusBar(title, platform::toQString(sjis));
    }
    if (!window_.isActiveWindow()) {
        QApplication::alert(&window_);
    }
}

void AlertRouter::setPictures(pictures::PictureStore* store)
{
    pictures_ = store;
    if (!store)
        return;
    const auto arrived = [this](const std::string& address) {
        if (held_ && held_->picture == address)
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
    if (pictures_ && !pictureAddress.empty()) {
        picture = pictures_->picture(pictureAddress, pictures::PictureStore::Size::tooltip, this);
        if (picture.isNull() && !pictures_->hasFailed(pictureAddress)) {
            held_ = Held{title, text, pictureAddress};
            pictureWait_->start(kPictureWaitMs);
            return;
        }
    }
    notifier_.notify(title, text, picture);
}

void AlertRouter::sendHeld()
{
    if (!held_)
        return;
    pictureWait_->stop();
    const Held held = std::move(*held_);
    held_.reset();
    QImage picture;
    if (pictures_) {
        picture = pictures_->held(held.picture, pictures::PictureStore::Size::tooltip);
        pictures_->withdrawAll(this);
    }
    notifier_.notify(held.title, held.text, picture);
}

void AlertRouter::setAlarmState(bool inAlarm)
{
    window_.setWindowTitle(titleFor(caption_, inAlarm));
}

void AlertRouter::showInStatusBar(const QString& title, const QString& text)
{
    // One line: the alert's lines joined, the blank line before "その他" dropped.
    QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    lines.prepend(title);
    showStatus_(lines.join(QStringLiteral("　")));
}

} // namespace pelimo
