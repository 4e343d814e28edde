#pragma once

#include "files/UserFile.h"
#include "search/saved/SavedSearch.h"

#include <string>
#include <vector>

namespace pelimo {

inline constexpr const char* kSavedSearchFileName = "SearchList.xml";

// What a read of the saved search file found.
struct SavedSearchFileLoad {
    using Outcome = UserFileOutcome;

    Outcome outcome = Outcome::missing;
    std::vector<SavedSearch> searches; // in document order
    std::string movedTo;               // where an unreadable file now lies (movedAside)
};

// "SearchList.xml" in the given folder, beside the watch list file; an empty folder means the
// current directory now. Empty when the current directory cannot be read.
std::string savedSearchFilePath(const std::string& directory = {});

// Reads the saved searches, as a stream: memory follows the records, not the document. A
// missing file is an empty list. A file that is not a well-formed document under a "root"
// element is renamed aside, so the next save overwrites nothing the user kept; the caller
// announces where it went. Something other than a file under the name is left alone
// (unreadable). A listing seen without a time of its own, or with one later than now, counts
// as seen now.
SavedSearchFileLoad loadSavedSearchFile(const std::string& directory, SeenSet::Time now);

// Replaces the file as a whole, written a search at a time. false when it could not be
// written, or when something other than a file holds the name or there is no folder to write in.
bool saveSavedSearchFile(const std::vector<SavedSearch>& searches, const std::string& directory = {});

// The bytes saveSavedSearchFile writes.
std::string serializeSavedSearchFile(const std::vector<SavedSearch>& searches);

} // namespace pelimo
