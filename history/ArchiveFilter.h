#pragma once

#include "history/HistoryRecords.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelimo {

// The archive's filter as the user types: which rows have a title holding every word of the
// filter text, compared by their match keys (normalizedTitle), so width and case do not
// matter. The keys of all rows are held in one block and searched as one text, which keeps
// a key press over a hundred thousand rows to a few milliseconds.
class ArchiveFilter {
public:
    explicit ArchiveFilter(const std::vector<ArchiveRow>& rows);

    // The positions of the matching rows, in row order; every row for a blank filter.
    // The filter text is Shift-JIS, as typed.
    std::vector<uint32_t> matching(std::string_view filterSjis) const;

    size_t size() const { return starts.empty() ? 0 : starts.size() - 1; }

private:
    std::string keys;             // every row's key, each followed by a line feed
    std::vector<uint32_t> starts; // where each row's key begins, and the end of the block
};

} // namespace pelimo
