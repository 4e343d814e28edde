#pragma once

#include <string>

namespace pelimo {

class XmlDocumentClient;

// What opening one of the watch list's XML files found.
enum class WatchFileOutcome { loaded, missing, movedAside, unreadable };

struct WatchFileOpen {
    WatchFileOutcome outcome = WatchFileOutcome::missing;
    std::string movedTo; // where an unreadable file now lies (movedAside)
};

// "<name>" in the given folder; an empty folder means the current directory now. Empty when
// the current directory cannot be read.
std::string watchFilePath(const std::string& directory, const char* name);

// Loads the file at path into the client when it is a well-formed document under a "root"
// element. A file that is not is renamed aside ("<path>.unreadable-<time>") so that nothing
// the user kept there is overwritten by the next save. Something other than a file under
// that name, or no path at all, is unreadable: it must not be saved over.
WatchFileOpen openWatchFile(XmlDocumentClient& client, const std::string& path);

// Renames a file found unreadable aside as openWatchFile does (movedAside), or says it could
// not be moved (unreadable).
WatchFileOpen moveWatchFileAside(const std::string& path);

} // namespace pelimo
