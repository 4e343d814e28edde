#pragma once

#include <QByteArray>
#include <QImage>
#include <optional>

namespace pelimo::platform {

// The squares a listing's picture is shown in, in pixels: a picture is scaled down to fit,
// never up.
struct PictureSizes {
    int thumbnail = 48;
    int tooltip = 300;
};

struct DecodedPicture {
    QImage thumbnail;
    QImage tooltip;
};

// Decodes a fetched picture at the sizes it is shown at, from any format Qt reads (the format
// is told by the content). Nothing when the bytes are not such a picture, when its header
// claims more than a listing's picture ever has, or when decoding would need more memory than
// the reader's allocation limit: the header is read first, and the decoder scales while it
// decodes where the format allows, so a picture is never held at full size.
// Safe on any thread.
std::optional<DecodedPicture> decodePicture(const QByteArray& bytes, const PictureSizes& sizes = {});

} // namespace pelimo::platform
