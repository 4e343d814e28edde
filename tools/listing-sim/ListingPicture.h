#pragma once

#include <string>
#include <string_view>

namespace pelimo::sim {

inline constexpr int kPictureWidth = 120;
inline constexpr int kPictureHeight = 90;

// A listing's picture as a PNG of kPictureWidth x kPictureHeight: colours, a pattern and a
// disc that follow from the item number, and the number's last six digits written on it, so
// that pictures of different listings differ and a person can tell them apart.
std::string listingPicture(std::string_view itemNo);

// A well-formed PNG of over 3 MiB (noise, stored uncompressed), for clients that must refuse
// pictures over their size limit. Built once.
const std::string& oversizedPicture();

} // namespace pelimo::sim
