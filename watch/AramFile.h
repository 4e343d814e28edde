#pragma once

#include "files/UserFile.h"
#include "xmlclient/ItemInfo.h"

#include <string>
#include <vector>

namespace pelimo {
class XmlDocumentClient;
}

namespace pelimo {

inline constexpr const char* kAramFileName = "AramList.xml";

// What a read of the watch list file found.
struct AramFileLoad {
    using Outcome = UserFileOutcome;

    Outcome outcome = Outcome::missing;
    std::vector<ItemInfo> records; // in document order, those with an item number
    std::string movedTo;           // where an unreadable file now lies (movedAside)
};

// "AramList.xml" in the given folder; an empty folder means the current directory now. Empty
// when the current directory cannot be read.
std::string aramFilePath(const std::string& directory = {});

// Reads the watch list. A missing file is an empty list. A file that is not a well-formed
// document under a "root" element is renamed aside first, so that nothing the user kept
// there is overwritten by the next save; it too gives an empty list. Without a readable
// current directory the list is empty and unreadable, so it is never saved.
AramFileLoad loadAramFile(const std::string& directory = {});

// Reads the watch list for a reader beside the running program (an export): nothing is moved
// or written; a file that cannot be read is unreadable and stays as it is.
AramFileLoad readAramFile(const std::string& directory = {});

// Replaces the file as a whole with the records, in order. false when it could not be written.
bool saveAramFile(const std::vector<ItemInfo>& records, const std::string& directory = {});

// Loads the file at path into the client when it is a well-formed document under a "root"
// element, as the watch list's files are; false, with nothing held, when it is not.
bool loadWatchDocument(XmlDocumentClient& client, const std::string& path);

// The bytes saveAramFile writes.
std::string serializeAramFile(const std::vector<ItemInfo>& records);

} // namespace pelimo
