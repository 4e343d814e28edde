#include "search/saved/SeenSet.h"

#include <algorithm>

namespace pelimo {

std::string trimmedBlanks(std::string_view text)
{
    constexpr std::string_view kBlanks = " \t\r\n";
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(kBlanks) - first + 1));
}

std::optional<SeenSet::Time> SeenSet::lastSeen(const std::string& itemNo) const
{
    const auto it = entries.find(itemNo);
    if (it == entries.end())
        return std::nullopt;
    return it->second;
}

bool SeenSet::markSeen(const std::string& itemNo, Time when)
{
    const auto [it, inserted] = entries.try_emplace(itemNo, when);
    if (!inserted && it->second < when)
        it->second = when;
    return inserted;
}

size_t SeenSet::forgetSeenBefore(Time cutoff)
{
    return std::erase_if(entries, [cutoff](const auto& entry) { return entry.second < cutoff; });
}

std::vector<std::pair<std::string, SeenSet::Time>> SeenSet::ordered() const
{
    std::vector<std::pair<std::string, Time>> out(entries.begin(), entries.end());
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace pelimo
