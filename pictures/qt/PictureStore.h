#pragma once

#include "pictures/PictureDiskCache.h"
#include "pictures/PictureFetcher.h"
#include "pictures/qt/ImageMemoryCache.h"
#include "platform/qt/PictureDecoder.h"

#include <QImage>
#include <QObject>
#include <QThreadPool>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace pelimo::pictures {

// The listings' pictures as the window uses them: a list row's thumbnail, a tooltip's larger
// picture. What is not in memory is asked for: fetched (or read from the disk cache), decoded
// on a thread of its own, kept in memory within a bound, then announced by pictureReady.
// Lives on the window's thread.
class PictureStore final : public QObject {
    Q_OBJECT

public:
    enum class Size { thumbnail, tooltip };

    struct Options {
        // The disk cache's folder (PictureDiskCache::defaultFolder()); nothing keeps no cache.
        std::optional<std::string> diskFolder;
        uint64_t diskBytes = kDiskCacheBytes;
        PictureFetcherOptions fetcher;
        platform::PictureSizes sizes;
        // Decoded pictures kept, in bytes: thumbnails for every row shown and well beyond,
        // the larger ones for a few tooltips.
        size_t thumbnailBytes = 16u << 20;
        size_t tooltipBytes = 8u << 20;
    };

    explicit PictureStore(Options options, QObject* parent = nullptr);
    ~PictureStore() override;
    PictureStore(const PictureStore&) = delete;
    PictureStore& operator=(const PictureStore&) = delete;

    // The picture at that size when it is in memory. Otherwise a null image, and the picture
    // is asked for on behalf of asker (a list, a tooltip, a notification); pictureReady or
    // pictureFailed follows. A picture that failed stays null and is not asked for again.
    QImage picture(const std::string& address, Size size, PictureAsker asker = nullptr);
    // The picture at that size when it is in memory, a null image otherwise; nothing is asked
    // for, so a painter may call it for every cell it draws.
    QImage held(const std::string& address, Size size);
    // The rows asker shows now, in the order they should come: their thumbnails are asked for,
    // and what asker asked for before and no longer shows is withdrawn.
    void showOnly(PictureAsker asker, const std::vector<std::string>& addresses);
    void withdrawAll(PictureAsker asker);
    bool hasFailed(const std::string& address) const { return fetcher.hasFailed(address); }

    // The decoded pictures held, in bytes.
    size_t memoryBytes() const { return thumbnails.bytes() + tooltips.bytes(); }
    const PictureFetcher::Counts& counts() const { return fetcher.counts(); }
    // Nothing asked for is waiting, on its way or being decoded.
    bool idle() const { return fetcher.idle() && decoding.empty(); }

signals:
    void pictureReady(const std::string& address);
    void pictureFailed(const std::string& address);

private:
    void arrived(const std::string& address, std::string bytes);
    void decoded(const std::string& address, std::optional<platform::DecodedPicture> picture);
    void failed(const std::string& address);

    platform::PictureSizes sizes;
    PictureDiskCache disk;
    PictureFetcher fetcher;
    ImageMemoryCache thumbnails;
    ImageMemoryCache tooltips;
    std::unordered_set<std::string> decoding;
    std::unordered_set<std::string> tooltipWanted;
    QThreadPool decoders; // last: it goes first, waiting for a decode that runs
};

} // namespace pelimo::pictures
