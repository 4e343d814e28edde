#include "search/exclude/ExcludeWords.h"

#include "platform/text/NormalizedTitle.h"

#include <algorithm>

namespace pelimo {

ExcludeWords::ExcludeWords(std::string_view typed) : typedText(typed)
{
    // Normalising first turns blanks of every width into single ASCII blanks, and a word that
    // is nothing but invisible characters into nothing: no empty word that would match every
    // title is left.
    const std::string all = normalizedTitle(typed);
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find(' ', start);
        if (end == std::string::npos)
            end = all.size();
        if (end > start)
            normalized.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    std::sort(normalized.begin(), normalized.end());
    normalized.erase(std::unique(normalized.begin(), normalized.end()), normalized.end());
}

bool ExcludeWords::excludes(std::string_view title) const
{
    if (normalized.empty())
        return false;
    // Titles arrive by the thousand; each thread reuses one buffer for their normal forms.
    thread_local std::string folded;
    normalizeTitle(title, folded);
    return std::any_of(normalized.begin(), normalized.end(),
                       [](const std::string& word) { return folded.find(word) != std::string::npos; });
}

} // namespace pelimo
