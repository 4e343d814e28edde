#include "app/AlertRouter.h"

#include "AppTexts.h"
#include "platform/qt/DesktopNotifier.h"
#include "platform/qt/QtText.h"
#include "platform/qt/TrayIcon.h"
#include "platform/text/SjisText.h"

#include <QApplication>
#include <QWidget>

namespace pelimo {

AlertRouter::AlertRouter(QWidget& window, QString caption, platform::TrayIcon& tray,
                         platform::DesktopNotifier& notifier, StatusSink showStatus, ItemOpener openItem)
    : QObject(&window), window_(window), caption_(std::move(caption)), tray_(tray), notifier_(notifier),
      showStatus_(std::move(showStatus)), openItem_(std::move(openItem))
{
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
    } else if (!notifier_.notify(title, platform::toQString(sjis))) {
        showInStatusBar(title, platform::toQString(sjis));
    }
    if (!window_.isActiveWindow()) {
        QApplication::alert(&window_);
    }
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
