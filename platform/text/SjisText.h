#pragma once

#include <string>
#include <string_view>

namespace pelimo::platform {

// Conversions between the system's Shift-JIS (CP932) strings and UTF-8, through iconv.
// Bytes or characters the other side cannot hold become '?', so a conversion never fails.
std::string sjisToUtf8(std::string_view sjis);
std::string utf8ToSjis(std::string_view utf8);

// Whether a byte starts a double-byte Shift-JIS (CP932) character.
constexpr bool isSjisLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9f) || (c >= 0xe0 && c <= 0xfc);
}

// The longest start of a Shift-JIS text that fits maxBytes without splitting a double-byte
// character (a lead byte at the very end counts as one character of its own).
std::string_view cutSjis(std::string_view sjis, size_t maxBytes);

// Converts between two iconv charsets; returns false when the charset pair is unknown or
// the input holds a sequence the target cannot represent.
bool convertCharset(std::string_view input, const char* from, const char* to, std::string& out);

// Whether the system can convert between the two charsets at all.
bool canConvertCharset(const char* from, const char* to);

} // namespace pelimo::platform
