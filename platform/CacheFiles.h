#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelimo::platform {

// A regular file of a folder as a listing of the folder sees it.
struct FolderFile {
    std::string name;
    uint64_t bytes = 0;
    std::chrono::system_clock::time_point changed; // last modification
};

// The regular files directly in the folder, links not followed; nothing when the folder
// cannot be read. One stat per file, no file is opened.
std::optional<std::vector<FolderFile>> regularFilesIn(const std::string& folder);

// Puts the bytes at path through a private temporary file beside it and a rename, so a reader
// sees the old file, the new one or none, never a part of one. Nothing is flushed to the disk:
// for files that can be had again, whose loss in a crash costs a fetch and whose readers check
// what they read.
bool replaceFileUnsynced(const std::string& path, std::string_view bytes);

// Sets the file's modification time to now, as a mark of its last use that outlives the run.
bool markFileUsed(const std::string& path);

} // namespace pelimo::platform
