#include "search/saved/SavedSearchFile.h"

#include "files/XmlFileWriter.h"
#include "search/saved/SavedSearchFields.h"
#include "search/saved/SavedSearchReader.h"

namespace pelimo {
namespace {

// 20 searches of a few thousand listings each take a few megabytes; a file far beyond that is
// not one the program wrote.
constexpr size_t kMaxFileBytes = size_t{64} << 20;

// One SavedSearch element.
void writeSearch(XmlFileWriter& writer, const SavedSearch& s)
{
    writer.openElement(kSavedSearchElement);
    for (const SavedSearchFieldName& f : kSavedSearchFields) {
        if (savedSearchHasField(s.request, f.field))
            writer.element(f.element, savedSearchFieldText(s.request, f.field));
    }
    if (!s.firstRunPending) {
        writer.openElement(kSeenElement);
        for (const auto& [itemNo, when] : s.seen.ordered())
            writer.element(kItemNoElement, itemNo, kLastSeenAttribute, seenTimeText(when));
        writer.closeElement();
    }
    writer.closeElement();
}

} // namespace

std::string savedSearchFilePath(const std::string& directory)
{
    return userFilePath(directory, kSavedSearchFileName);
}

SavedSearchFileLoad loadSavedSearchFile(const std::string& directory, SeenSet::Time now)
{
    SavedSearchFileLoad result;
    // Read, moved aside or left alone by the same rules as the watch list's files.
    const UserFileOpen opened = openUserFile(savedSearchFilePath(directory), [&](const std::string& path) {
        return readSavedSearches(path, kMaxFileBytes, now, result.searches);
    });
    result.outcome = opened.outcome;
    result.movedTo = opened.movedTo;
    return result;
}

std::string serializeSavedSearchFile(const std::vector<SavedSearch>& searches)
{
    // Written a search at a time, never as a whole document in memory: the file may hold far
    // more searches than run, each with the listings it has seen.
    XmlFileWriter writer(kRootElement);
    for (const SavedSearch& s : searches)
        writeSearch(writer, s);
    return writer.finish();
}

bool saveSavedSearchFile(const std::vector<SavedSearch>& searches, const std::string& directory)
{
    const std::string path = savedSearchFilePath(directory);
    return !path.empty() && saveUserFile(path, serializeSavedSearchFile(searches));
}

} // namespace pelimo
