#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace pelimo::platform {

// The process's current working directory as the system reports it now; empty on failure
// (deleted under the process, or longer than a path may be).
std::string currentDirectory();

// What a path names now, without following it further than the system does.
enum class FileKind {
    missing,      // nothing by that name
    regular,      // a regular file
    other,        // a folder, device, socket or the like
    inaccessible, // the system would not say (no permission, a path too long, ...)
};
FileKind fileKind(const std::string& path);

// dir + separator + name; the separator is added even when dir already ends with one.
std::string joinPath(std::string_view dir, std::string_view name);

// Who may read a file that writeFileAtomically writes.
enum class FileAccess {
    asItWas,   // a replaced file keeps its mode; a new one gets the mode asked for
    ownerOnly, // the same without the group's and others' bits: the file holds secrets
};

// Writes bytes to a temporary file in the target's folder, flushes it, then renames it over
// the target, so readers see either the old file or the new one, never a torn write.
// A new file gets newFileMode less the umask, as any program's new file does; a replaced file
// keeps its mode, and its owner and group where the system allows (where the group cannot be
// kept, the group's bits go rather than reach another group).
bool writeFileAtomically(const std::string& path, std::string_view bytes, mode_t newFileMode = 0666,
                         FileAccess access = FileAccess::asItWas);

// Writes all of bytes to the open descriptor, again after an interrupted or partial write;
// false when the system refuses the rest.
bool writeAllToFile(int fd, std::string_view bytes);

// Renames a file or folder, replacing what the new name held; false when it stayed.
bool renameFile(const std::string& from, const std::string& to);
// Removes a file; true also when it was gone already.
bool removeFile(const std::string& path);

// The whole content of a regular file, or nothing when it cannot be read or exceeds maxBytes.
std::optional<std::string> readWholeFile(const std::string& path, size_t maxBytes);

} // namespace pelimo::platform
