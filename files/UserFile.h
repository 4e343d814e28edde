#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

namespace pelimo {

// What opening one of the user's files (the watch list, its price ceilings, the saved
// searches, the price history) found.
enum class UserFileOutcome { loaded, missing, movedAside, unreadable };

struct UserFileOpen {
    UserFileOutcome outcome = UserFileOutcome::missing;
    std::string movedTo; // where an unreadable file now lies (movedAside)
};

// "<name>" in the given folder; an empty folder means the current directory now. Empty when
// the current directory cannot be read.
std::string userFilePath(const std::string& directory, std::string_view name);

// Reads the file at path with read, which says whether it found the file whole. A file read
// refuses is renamed aside ("<path>.unreadable-<time>") so that nothing the user kept there
// is overwritten by the next save. Something other than a file under that name, or no path at
// all, is unreadable: it must not be saved over.
UserFileOpen openUserFile(const std::string& path, const std::function<bool(const std::string& path)>& read);

// Renames a file found unreadable aside as openUserFile does (movedAside), or says it could
// not be moved (unreadable). The files named path + a companion suffix go with it; one that
// cannot be moved is removed, so that no fresh file takes it up as its own.
UserFileOpen moveUserFileAside(const std::string& path,
                               std::initializer_list<std::string_view> companions = {});

// Replaces the file as a whole, atomically, keeping its mode; false when there is no path,
// something other than a file holds the name, or the write failed.
bool saveUserFile(const std::string& path, std::string_view bytes);

} // namespace pelimo
