#include "search/saved/SavedSearchFile.h"

#include "platform/text/SjisText.h"
#include "search/saved/SavedSearchFields.h"
#include "search/saved/SavedSearchReader.h"
#include "xmlclient/XmlWriter.h"

namespace pelimo {
namespace {

// 20 searches of a few thousand listings each take a few megabytes; a file far beyond that is
// not one the program wrote.
constexpr size_t kMaxFileBytes = size_t{64} << 20;

constexpr const char* kDeclaration = "<?xml version='1.0' encoding='Shift_JIS'?>\n";

// One element on a line of its own, its text escaped as the document writer escapes it; an
// empty element holds a line break, as the watch list's files write one.
void appendElement(std::string& utf8, const char* name, const std::string& sjis, const char* attributes = "")
{
    utf8 += '<';
    utf8 += name;
    utf8 += attributes;
    utf8 += '>';
    if (sjis.empty())
        utf8 += '\n';
    else
        appendEscapedXml(utf8, platform::sjisToUtf8(sjis), false);
    utf8 += "</";
    utf8 += name;
    utf8 += ">\n";
}

// One SavedSearch element, in UTF-8.
void appendSearch(std::string& utf8, const SavedSearch& s)
{
    utf8 += '<';
    utf8 += kSavedSearchElement;
    utf8 += ">\n";
    for (const SavedSearchFieldName& f : kSavedSearchFields)
        appendElement(utf8, f.element, savedSearchFieldText(s.request, f.field));
    if (!s.firstRunPending) {
        utf8 += '<';
        utf8 += kSeenElement;
        utf8 += ">\n";
        std::string attribute;
        for (const auto& [itemNo, when] : s.seen.ordered()) {
            attribute = std::string(" ") + kLastSeenAttribute + "=\"" + seenTimeText(when) + '"';
            appendElement(utf8, kItemNoElement, itemNo, attribute.c_str());
        }
        utf8 += "</";
        utf8 += kSeenElement;
        utf8 += ">\n";
    }
    utf8 += "</";
    utf8 += kSavedSearchElement;
    utf8 += ">\n";
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

bool serializeSavedSearchFile(const std::vector<SavedSearch>& searches, std::string& out)
{
    // Written a search at a time, never as a whole document in memory: the file may hold far
    // more searches than run, each with the listings it has seen.
    out = kDeclaration;
    out += std::string("<") + kRootElement + ">\n";
    std::string utf8;
    for (const SavedSearch& s : searches) {
        utf8.clear();
        appendSearch(utf8, s);
        out += platform::utf8ToSjis(utf8);
    }
    out += std::string("</") + kRootElement + ">\n";
    return true;
}

bool saveSavedSearchFile(const std::vector<SavedSearch>& searches, const std::string& directory)
{
    const std::string path = savedSearchFilePath(directory);
    std::string bytes;
    return !path.empty() && serializeSavedSearchFile(searches, bytes) && saveUserFile(path, bytes);
}

} // namespace pelimo
