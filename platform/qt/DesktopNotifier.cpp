#include "platform/qt/DesktopNotifier.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kDefaultAction = QStringLiteral("default");
// The server's own display time.
constexpr int kServerDefaultTimeout = -1;

// The "image-data" hint: raw RGBA rows, (iiibiiay) on the bus.
struct NotificationImage {
    int width = 0;
    int height = 0;
    int rowStride = 0;
    bool hasAlpha = true;
    int bitsPerSample = 8;
    int channels = 4;
    QByteArray data;
};

} // namespace

Q_DECLARE_METATYPE(NotificationImage)

namespace {

QDBusArgument& operator<<(QDBusArgument& out, const NotificationImage& image)
{
    out.beginStructure();
    out << image.width << image.height << image.rowStride << image.hasAlpha << image.bitsPerSample
        << image.channels << image.data;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, NotificationImage& image)
{
    in.beginStructure();
    in >> image.width >> image.height >> image.rowStride >> image.hasAlpha >> image.bitsPerSample >>
        image.channels >> image.data;
    in.endStructure();
    return in;
}

NotificationImage toNotificationImage(const QImage& icon)
{
    const QImage rgba = icon.convertToFormat(QImage::Format_RGBA8888);
    NotificationImage image;
    image.width = rgba.width();
    image.height = rgba.height();
    image.rowStride = static_cast<int>(rgba.bytesPerLine());
    image.data = QByteArray(reinterpret_cast<const char*>(rgba.constBits()), rgba.sizeInBytes());
    return image;
}

} // namespace

namespace pelimo::platform {

DesktopNotifier::DesktopNotifier(QString appName, QImage icon, QString actionLabel, QObject* parent)
    : QObject(parent), appName(std::move(appName)), icon(std::move(icon)), actionLabel(std::move(actionLabel))
{
    qDBusRegisterMetaType<NotificationImage>();
}

bool DesktopNotifier::isAvailable() const
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr) {
        return false;
    }
    if (bus.interface()->isServiceRegistered(kService).value()) {
        return true;
    }
    const QDBusReply<QStringList> startable = bus.interface()->activatableServiceNames();
    return startable.isValid() && startable.value().contains(kService);
}

bool DesktopNotifier::notify(const QString& summary, const QString& body, const QImage& picture)
{
    if (!isAvailable()) {
        return false;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!listening) {
        // QtDBus connects a bus signal only by the receiving slot's signature.
        listening = bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                                SLOT(onActionInvoked(uint, QString)));
    }
    const QDBusMessage ask =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(ask), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, summary, body, picture] {
        watcher->deleteLater();
        const QDBusPendingReply<QStringList> reply = *watcher;
        if (reply.isError()) {
            Q_EMIT failed(summary, body);
            return;
        }
        send(summary, body, picture, reply.value());
    });
    return true;
}

void DesktopNotifier::send(const QString& summary, const QString& body, const QImage& picture,
                           const QStringList& capabilities)
{
    QStringList actions;
    if (capabilities.contains(QStringLiteral("actions"))) {
        // Most services offer the default action as a click on the notification itself.
        actions << kDefaultAction << actionLabel;
    }
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("pelimo"));
    const QImage& image = picture.isNull() ? icon : picture;
    if (!image.isNull()) {
        hints.insert(QStringLiteral("image-data"), QVariant::fromValue(toNotificationImage(image)));
    }
    const QString text = capabilities.contains(QStringLiteral("body-markup")) ? body.toHtmlEscaped() : body;

    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << appName << lastId << QString() << summary << text << actions << hints << kServerDefaultTimeout;
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, summary, body] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        if (reply.isError()) {
            Q_EMIT failed(summary, body);
            return;
        }
        lastId = reply.value();
    });
}

void DesktopNotifier::onActionInvoked(uint id, const QString& actionKey)
{
    // The signal goes to every client of the service; only our last notification counts.
    if (id != 0 && id == lastId && actionKey == kDefaultAction) {
        Q_EMIT activated();
    }
}

} // namespace pelimo::platform
