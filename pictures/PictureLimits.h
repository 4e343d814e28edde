#pragma once

#include <cstddef>
#include <cstdint>

namespace pelimo::pictures {

// What one picture may cost: its answer is cut off past this, and a cached copy larger than
// this with its header is no copy of ours.
inline constexpr size_t kMaxPictureBytes = 2u << 20;
// Longer addresses are no picture address the listing service gives.
inline constexpr size_t kMaxAddressBytes = 2048;
// Pictures fetched at the same time.
inline constexpr size_t kMaxPicturesAtOnce = 4;
// The disk cache's bound.
inline constexpr uint64_t kDiskCacheBytes = 200ull << 20;

} // namespace pelimo::pictures
