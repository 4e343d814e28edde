#include "pictures/qt/PictureStore.h"

#include <QMetaObject>

namespace pelimo::pictures {
namespace {

// Pictures waiting for the decoder, their bytes held meanwhile; at this many the fetcher waits.
constexpr size_t kDecodeBacklog = 8;

} // namespace

PictureStore::PictureStore(Options options, QObject* parent)
    : QObject(parent), sizes(options.sizes), disk(std::move(options.diskFolder), options.diskBytes),
      fetcher(disk,
              PictureHandlers{[this](const std::string& address, std::string bytes) {
                                  arrived(address, std::move(bytes));
                              },
                              [this](const std::string& address) {
                                  failed(address);
                              }},
              options.fetcher),
      thumbnails(options.thumbnailBytes), tooltips(options.tooltipBytes)
{
    // A decode of a large picture takes longer than a frame; one at a time beside the window.
    decoders.setMaxThreadCount(1);
}

PictureStore::~PictureStore()
{
    decoders.clear();
    decoders.waitForDone();
}

QImage PictureStore::picture(const std::string& address, Size size, PictureAsker asker)
{
    ImageMemoryCache& held = size == Size::thumbnail ? thumbnails : tooltips;
    if (QImage image = held.find(address); !image.isNull())
        return image;
    if (decoding.contains(address) || fetcher.ask(address, asker)) {
        if (size == Size::tooltip)
            tooltipWanted.insert(address);
    }
    return {};
}

QImage PictureStore::held(const std::string& address, Size size)
{
    return (size == Size::thumbnail ? thumbnails : tooltips).find(address);
}

void PictureStore::showOnly(PictureAsker asker, const std::vector<std::string>& addresses)
{
    std::vector<std::string> missing;
    for (const std::string& address : addresses) {
        if (!thumbnails.contains(address) && !decoding.contains(address))
            missing.push_back(address);
    }
    fetcher.showOnly(asker, missing);
}

void PictureStore::withdrawAll(PictureAsker asker)
{
    fetcher.withdrawAll(asker);
}

void PictureStore::arrived(const std::string& address, std::string bytes)
{
    if (!decoding.insert(address).second)
        return;
    if (decoding.size() >= kDecodeBacklog)
        fetcher.setPaused(true);
    // The store outlives every job (its destructor waits for them); a result posted as it goes
    // is dropped with its other pending events.
    decoders.start([this, address, wanted = sizes, bytes = std::move(bytes)] {
        std::optional<platform::DecodedPicture> picture = platform::decodePicture(
            QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())), wanted);
        QMetaObject::invokeMethod(
            this,
            [this, address, picture = std::move(picture)]() mutable { decoded(address, std::move(picture)); },
            Qt::QueuedConnection);
    });
}

void PictureStore::decoded(const std::string& address, std::optional<platform::DecodedPicture> picture)
{
    decoding.erase(address);
    if (decoding.size() < kDecodeBacklog)
        fetcher.setPaused(false);
    if (!picture) {
        fetcher.reject(address);
        tooltipWanted.erase(address);
        emit pictureFailed(address);
        return;
    }
    thumbnails.insert(address, std::move(picture->thumbnail));
    if (tooltipWanted.erase(address))
        tooltips.insert(address, std::move(picture->tooltip));
    emit pictureReady(address);
}

void PictureStore::failed(const std::string& address)
{
    tooltipWanted.erase(address);
    emit pictureFailed(address);
}

} // namespace pelimo::pictures
