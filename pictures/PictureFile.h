#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pelimo::pictures {

// A cached picture as it lies on disk: a header with a mark of ours, the lengths of the
// address and the picture and a hash of both, then the address, then the picture's bytes as
// they came. A file cut short, grown or changed fails the check, so nothing damaged or foreign
// is ever taken for a picture.
std::string pictureFileBytes(std::string_view address, std::string_view picture);

struct PictureFileContent {
    std::string_view address;
    std::string_view picture;
};

// The address and picture a file holds (views into fileBytes); nothing when it is not a
// sound file of ours.
std::optional<PictureFileContent> readPictureFile(std::string_view fileBytes);

// The largest file pictureFileBytes writes for a picture within the limit.
size_t maxPictureFileBytes();

} // namespace pelimo::pictures
