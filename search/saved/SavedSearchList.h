#pragma once

#include "search/saved/SavedSearch.h"

#include <cstddef>
#include <utility>
#include <vector>

namespace pelimo {

// The saved searches in the order they were saved. Their number is bounded, since every watch
// cycle runs each of them through all its pages.
class SavedSearchList {
public:
    static constexpr size_t kMaxSearches = 20;

    enum class AddResult { added, alreadySaved, full };

    SavedSearchList() = default;
    // The searches as a file held them, kept even beyond the limit: they are the user's.
    explicit SavedSearchList(std::vector<SavedSearch> loaded) : list(std::move(loaded)) {}

    // Saves the search; its first run will be silent.
    AddResult add(const SearchRequest& request);
    bool remove(const SearchRequest& request);
    SavedSearch* find(const SearchRequest& request);

    std::vector<SavedSearch>& searches() { return list; }
    const std::vector<SavedSearch>& searches() const { return list; }

private:
    std::vector<SavedSearch> list;
};

} // namespace pelimo
