#pragma once

#include <string>

namespace pelimo {

// The status line texts of the price history (Shift-JIS). SQLite's own messages are English
// and stay out of them.
std::string historyMovedAsideStatus(const std::string& movedTo);
std::string historyUnavailableStatus();
std::string historyNotWrittenStatus();

} // namespace pelimo
