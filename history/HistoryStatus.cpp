#include "history/HistoryStatus.h"

#include "HistoryTexts.h"

#include <string_view>

namespace pelimo {
namespace {

// The text with its one "%s" replaced by the argument.
std::string filled(std::string_view format, std::string_view argument)
{
    const size_t at = format.find("%s");
    if (at == std::string_view::npos)
        return std::string(format);
    std::string text(format.substr(0, at));
    text += argument;
    text += format.substr(at + 2);
    return text;
}

} // namespace

std::string historyMovedAsideStatus(const std::string& movedTo)
{
    return filled(history_text::kStatusMovedAside, movedTo);
}

std::string historyUnavailableStatus()
{
    return history_text::kStatusUnavailable;
}

std::string historyNotWrittenStatus()
{
    return history_text::kStatusNotWritten;
}

} // namespace pelimo
