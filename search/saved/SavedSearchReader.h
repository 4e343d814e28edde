#pragma once

#include "search/saved/SavedSearch.h"

#include <cstddef>
#include <string>
#include <vector>

namespace pelimo {

// Reads the saved searches of a SearchList.xml at path as a stream (libxml2's reader): the
// document is never held whole, so memory follows the records read, whatever the file's size.
// A listing seen without a time of its own, or with one later than now, counts as seen now;
// an item number is taken without the blanks around it, and an empty one is no listing.
// False when the file cannot be read, is larger than maxBytes, is not a well-formed document
// under a "root" element, or declares entities; out is then empty.
bool readSavedSearches(const std::string& path, size_t maxBytes, SeenSet::Time now,
                       std::vector<SavedSearch>& out);

} // namespace pelimo
