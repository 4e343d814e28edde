#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pelimo::pictures {

// Whether the address is one a picture is fetched from: http or https with a host, of a
// sensible length, with no blank or control character in it.
bool isPictureAddress(std::string_view address);

// A 64-bit hash of the bytes, the same on every run and machine: the names of cached files
// and the check of their content.
uint64_t stableHash(std::string_view bytes);

// The name of the address's file in the cache folder: its hash in hexadecimal and ".pic".
std::string pictureFileName(std::string_view address);

// Whether a name is one pictureFileName gives, or the temporary name of one being written.
bool isPictureFileName(std::string_view name);
bool isPictureTempName(std::string_view name);

} // namespace pelimo::pictures
