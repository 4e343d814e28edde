#include "history/HistoryStatus.h"

#include "HistoryTexts.h"

#include <string_view>

namespace pelimo {
namespace {

// The text with its one "%s" replaced by the argument.
std::string filled(std::string_view format, const std::string& argument)
{
    std::string text(format);
    if (const size_t at = text.find("%s"); at != std::string::npos)
        text.replace(at, 2, argument);
    return text;
}

} // namespace

std::string historyMovedAsideStatus(const std::string& movedTo)
{
    return filled(history_text::kStatusMovedAside, movedTo);
}

std::string historyUnavailableStatus(const std::string& reason)
{
    return filled(history_text::kStatusUnavailable, reason);
}

std::string historyNotWrittenStatus(const std::string& reason)
{
    return filled(history_text::kStatusNotWritten, reason);
}

} // namespace pelimo
