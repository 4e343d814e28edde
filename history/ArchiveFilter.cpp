#include "history/ArchiveFilter.h"

#include "platform/text/NormalizedTitle.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace pelimo {
namespace {

std::vector<std::string_view> wordsOf(std::string_view key)
{
    std::vector<std::string_view> words;
    size_t start = 0;
    while (start < key.size()) {
        size_t end = key.find(' ', start);
        if (end == std::string_view::npos)
            end = key.size();
        if (end > start)
            words.push_back(key.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

} // namespace

ArchiveFilter::ArchiveFilter(const std::vector<ArchiveRow>& rows)
{
    size_t total = 0;
    for (const ArchiveRow& row : rows)
        total += row.titleKey.size() + 1;
    keys.reserve(total);
    starts.reserve(rows.size() + 1);
    for (const ArchiveRow& row : rows) {
        starts.push_back(static_cast<uint32_t>(keys.size()));
        // A key holds no line feed (blanks are folded), so no word can match across rows.
        keys += row.titleKey;
        keys += '\n';
    }
    starts.push_back(static_cast<uint32_t>(keys.size()));
}

std::vector<uint32_t> ArchiveFilter::matching(std::string_view filterSjis) const
{
    const std::string key = normalizedTitle(filterSjis);
    std::vector<std::string_view> words = wordsOf(key);
    std::vector<uint32_t> found;
    if (words.empty()) {
        found.resize(size());
        std::iota(found.begin(), found.end(), 0u);
        return found;
    }
    // The longest word finds the fewest candidates; the others are checked on those only.
    std::sort(words.begin(), words.end(),
              [](std::string_view a, std::string_view b) { return a.size() > b.size(); });
    const std::string_view first = words.front();

    const char* const block = keys.data();
    size_t from = 0;
    while (from < keys.size()) {
        const void* hit = ::memmem(block + from, keys.size() - from, first.data(), first.size());
        if (!hit)
            break;
        const auto offset = static_cast<uint32_t>(static_cast<const char*>(hit) - block);
        const auto next = std::upper_bound(starts.begin(), starts.end(), offset);
        const auto row = static_cast<uint32_t>(next - starts.begin() - 1);
        const std::string_view rowKey(block + starts[row], starts[row + 1] - starts[row] - 1);
        const bool all = std::all_of(words.begin() + 1, words.end(), [&](std::string_view w) {
            return rowKey.find(w) != std::string_view::npos;
        });
        if (all)
            found.push_back(row);
        from = *next;
    }
    return found;
}

} // namespace pelimo
