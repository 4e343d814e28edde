#include "pictures/PictureAddress.h"

#include "pictures/PictureLimits.h"
#include "platform/text/WebAddress.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace pelimo::pictures {
namespace {

constexpr std::string_view kSuffix = ".pic";
constexpr size_t kHashDigits = 16;
// replaceFileUnsynced's temporary files: the name, a dot and six characters.
constexpr size_t kTempSuffixLength = 7;

constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
constexpr uint64_t kPrime3 = 0x165667B19E3779F9ull;

uint64_t mix(uint64_t word)
{
    return std::rotl(word * kPrime2, 31) * kPrime1;
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

} // namespace

bool isPictureAddress(std::string_view address)
{
    const size_t scheme = webSchemeLength(address);
    if (scheme == 0 || address.size() <= scheme || address.size() > kMaxAddressBytes)
        return false;
    if (address[scheme] == '/' || address[scheme] == '?' || address[scheme] == '#')
        return false; // no host
    return std::none_of(address.begin(), address.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7f;
    });
}

uint64_t stableHash(std::string_view bytes)
{
    // Eight bytes a step, so checking a cached picture of 2 MB costs well under a millisecond.
    uint64_t hash = bytes.size() * kPrime1;
    size_t at = 0;
    for (; at + 8 <= bytes.size(); at += 8) {
        uint64_t word = 0;
        std::memcpy(&word, bytes.data() + at, 8);
        hash = std::rotl(hash ^ mix(word), 27) * kPrime1 + kPrime3;
    }
    for (; at < bytes.size(); ++at)
        hash = std::rotl(hash ^ (static_cast<unsigned char>(bytes[at]) * kPrime3), 11) * kPrime1;
    hash ^= hash >> 33;
    hash *= kPrime2;
    hash ^= hash >> 29;
    hash *= kPrime3;
    return hash ^ (hash >> 32);
}

std::string pictureFileName(std::string_view address)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    uint64_t hash = stableHash(address);
    std::string name(kHashDigits, '0');
    for (size_t i = kHashDigits; i-- > 0; hash >>= 4)
        name[i] = kDigits[hash & 0xf];
    return name + std::string(kSuffix);
}

bool isPictureFileName(std::string_view name)
{
    return name.size() == kHashDigits + kSuffix.size() && name.ends_with(kSuffix) &&
           std::all_of(name.begin(), name.begin() + kHashDigits, isHexDigit);
}

bool isPictureTempName(std::string_view name)
{
    return name.size() == kHashDigits + kSuffix.size() + kTempSuffixLength &&
           name[kHashDigits + kSuffix.size()] == '.' &&
           isPictureFileName(name.substr(0, kHashDigits + kSuffix.size()));
}

} // namespace pelimo::pictures
