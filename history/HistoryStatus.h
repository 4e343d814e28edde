#pragma once

#include <string>

namespace pelimo {

// The status line texts of the price history (Shift-JIS).
std::string historyMovedAsideStatus(const std::string& movedTo);
std::string historyUnavailableStatus(const std::string& reason);
std::string historyNotWrittenStatus(const std::string& reason);

} // namespace pelimo
