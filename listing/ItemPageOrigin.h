#pragma once

#include <cstdint>

namespace pelimo {

// Which list an item page is asked for from: each has its own setting for opening pages in
// the default browser, and its own pane to show them in.
inline constexpr int32_t kOriginSearchList = 1;
inline constexpr int32_t kOriginWatchList = 2;

} // namespace pelimo
