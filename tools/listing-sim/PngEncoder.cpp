#include "tools/listing-sim/PngEncoder.h"

#include <zlib.h>

namespace pelimo::sim {
namespace {

void appendBigEndian(std::string& out, uint32_t value)
{
    out += static_cast<char>(value >> 24);
    out += static_cast<char>(value >> 16);
    out += static_cast<char>(value >> 8);
    out += static_cast<char>(value);
}

// A chunk: length, type, data, and the CRC-32 of type and data (the PNG format, section 5.3).
void appendChunk(std::string& out, const char type[4], const std::string& data)
{
    appendBigEndian(out, static_cast<uint32_t>(data.size()));
    const size_t typeAt = out.size();
    out.append(type, 4);
    out += data;
    const auto* crcFrom = reinterpret_cast<const Bytef*>(out.data() + typeAt);
    appendBigEndian(out, static_cast<uint32_t>(
                             crc32(crc32(0, nullptr, 0), crcFrom, static_cast<uInt>(out.size() - typeAt))));
}

} // namespace

std::string encodePng(const RgbImage& image, int level)
{
    // Each row starts with its filter type; 0 leaves the row as it is.
    const size_t rowBytes = static_cast<size_t>(image.width) * 3;
    std::string raw;
    raw.reserve((rowBytes + 1) * static_cast<size_t>(image.height));
    for (int y = 0; y < image.height; ++y) {
        raw += '\0';
        raw.append(reinterpret_cast<const char*>(&image.pixels[y * rowBytes]), rowBytes);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                  reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()), level) != Z_OK)
        return {};
    packed.resize(packedSize);

    std::string header;
    appendBigEndian(header, static_cast<uint32_t>(image.width));
    appendBigEndian(header, static_cast<uint32_t>(image.height));
    header += '\x08';               // bit depth
    header += '\x02';               // truecolour
    header += std::string(3, '\0'); // deflate, adaptive filtering, no interlace

    std::string png("\x89PNG\r\n\x1a\n", 8);
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", packed);
    appendChunk(png, "IEND", {});
    return png;
}

} // namespace pelimo::sim
