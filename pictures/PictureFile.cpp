#include "pictures/PictureFile.h"

#include "pictures/PictureAddress.h"
#include "pictures/PictureLimits.h"

#include <cstdint>

namespace pelimo::pictures {
namespace {

// The mark, with the format's version in its seventh byte.
constexpr std::string_view kMark("PLMPIC\x01\n", 8);
constexpr size_t kHeaderBytes = 8 + 4 + 4 + 8;

void putLittleEndian(std::string& out, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i, value >>= 8)
        out += static_cast<char>(value & 0xff);
}

uint64_t getLittleEndian(std::string_view in, size_t at, int bytes)
{
    uint64_t value = 0;
    for (int i = bytes; i-- > 0;)
        value = (value << 8) | static_cast<unsigned char>(in[at + static_cast<size_t>(i)]);
    return value;
}

} // namespace

std::string pictureFileBytes(std::string_view address, std::string_view picture)
{
    std::string out;
    out.reserve(kHeaderBytes + address.size() + picture.size());
    out += kMark;
    putLittleEndian(out, address.size(), 4);
    putLittleEndian(out, picture.size(), 4);
    putLittleEndian(out, 0, 8); // the hash, once the rest is in place
    out += address;
    out += picture;
    uint64_t hash = stableHash(std::string_view(out).substr(kHeaderBytes));
    for (size_t i = 0; i < 8; ++i, hash >>= 8)
        out[kHeaderBytes - 8 + i] = static_cast<char>(hash & 0xff);
    return out;
}

std::optional<PictureFileContent> readPictureFile(std::string_view fileBytes)
{
    if (fileBytes.size() < kHeaderBytes || !fileBytes.starts_with(kMark))
        return std::nullopt;
    const uint64_t addressBytes = getLittleEndian(fileBytes, 8, 4);
    const uint64_t pictureBytes = getLittleEndian(fileBytes, 12, 4);
    if (addressBytes > kMaxAddressBytes || pictureBytes > kMaxPictureBytes ||
        kHeaderBytes + addressBytes + pictureBytes != fileBytes.size())
        return std::nullopt;
    const std::string_view rest = fileBytes.substr(kHeaderBytes);
    if (stableHash(rest) != getLittleEndian(fileBytes, kHeaderBytes - 8, 8))
        return std::nullopt;
    return PictureFileContent{rest.substr(0, addressBytes), rest.substr(addressBytes)};
}

size_t maxPictureFileBytes()
{
    return kHeaderBytes + kMaxAddressBytes + kMaxPictureBytes;
}

} // namespace pelimo::pictures
