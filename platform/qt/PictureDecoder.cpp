#include "platform/qt/PictureDecoder.h"

#include <QBuffer>
#include <QImageReader>

namespace pelimo::platform {
namespace {

// What the reader may allocate for one picture, in MiB: a picture of 16 megapixels at four
// bytes a pixel. Listings' pictures are a fraction of that.
constexpr int kAllocationLimitMib = 64;
constexpr qint64 kMaxPixels = 16ll << 20;
constexpr int kMaxSide = 16384;

QImage fittedInto(const QImage& image, int side)
{
    if (image.width() <= side && image.height() <= side)
        return image;
    return image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

} // namespace

std::optional<DecodedPicture> decodePicture(const QByteArray& bytes, const PictureSizes& sizes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return std::nullopt;
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAllocationLimit(kAllocationLimitMib);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || size.width() > kMaxSide || size.height() > kMaxSide ||
        static_cast<qint64>(size.width()) * size.height() > kMaxPixels)
        return std::nullopt;
    const int largest = std::max(sizes.tooltip, sizes.thumbnail);
    if (size.width() > largest || size.height() > largest)
        reader.setScaledSize(size.scaled(largest, largest, Qt::KeepAspectRatio));
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return std::nullopt;
    // The format painters draw fastest.
    image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                          : QImage::Format_RGB32);
    DecodedPicture decoded;
    decoded.tooltip = fittedInto(image, sizes.tooltip);
    decoded.thumbnail = fittedInto(image, sizes.thumbnail);
    return decoded;
}

} // namespace pelimo::platform
