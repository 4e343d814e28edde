#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace pelimo {

// The text without the blanks (space, tab, CR, LF) around it.
std::string trimmedBlanks(std::string_view text);

// An item number as the saved searches know a listing by: without blanks around it, so the
// number a listing answer gave and the one SearchList.xml gave back agree. An empty one is
// no listing.
inline std::string itemNumberKey(std::string_view itemNo)
{
    return trimmedBlanks(itemNo);
}

// The listings one saved search has seen, by item number (itemNumberKey), each with when it
// was last seen.
class SeenSet {
public:
    using Time = std::chrono::sys_seconds;

    bool contains(const std::string& itemNo) const { return entries.find(itemNo) != entries.end(); }
    std::optional<Time> lastSeen(const std::string& itemNo) const;
    size_t size() const { return entries.size(); }
    bool empty() const { return entries.empty(); }

    // Records the listing as seen at the given time; an earlier time never replaces a later one.
    // true when the listing had not been seen before.
    bool markSeen(const std::string& itemNo, Time when);

    // Forgets every listing last seen before the cutoff; returns how many were forgotten.
    size_t forgetSeenBefore(Time cutoff);

    // The listings ordered by ItemNo, so the file does not change when nothing did.
    std::vector<std::pair<std::string, Time>> ordered() const;

    void reserve(size_t count) { entries.reserve(count); }

private:
    std::unordered_map<std::string, Time> entries;
};

} // namespace pelimo
