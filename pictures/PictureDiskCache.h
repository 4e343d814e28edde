#pragma once

#include "pictures/PictureLimits.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace pelimo::pictures {

// Fetched pictures kept in a folder between runs, a file per address, within a bound of bytes:
// past it, the files used least recently go first. A file's modification time is its last use,
// so the order survives the run without an index file; the folder is listed (one stat a file)
// at the first store and again whenever the bound is passed, which also takes in what another
// copy of the program sharing the folder wrote meanwhile. Two copies then keep the bound
// roughly; files are only ever replaced whole by a rename, so neither sees a torn one.
// A cache without a folder, or whose folder cannot be written, keeps nothing and fails nothing.
class PictureDiskCache {
public:
    using Clock = std::chrono::system_clock;

    explicit PictureDiskCache(std::optional<std::string> folder, uint64_t bound = kDiskCacheBytes);

    // $XDG_CACHE_HOME/pelimo/images (~/.cache/pelimo/images), made when missing, whatever the
    // data folder; nothing when it cannot be made.
    static std::optional<std::string> defaultFolder();

    bool enabled() const { return folder.has_value(); }

    // The picture's bytes when the folder holds a sound copy for the address, which then counts
    // as used now. A damaged copy is removed.
    std::optional<std::string> read(const std::string& address);
    void store(const std::string& address, std::string_view picture);
    void remove(const std::string& address);

    // What this copy knows of the folder: the bytes and files of the cache.
    uint64_t bytes() const { return total; }
    size_t files() const { return entries.size(); }

private:
    struct Entry {
        uint64_t bytes = 0;
        Clock::time_point used;
    };

    std::string pathOf(const std::string& name) const;
    void ensureListed();
    void list();
    void note(const std::string& name, uint64_t bytes, Clock::time_point used);
    void forget(const std::string& name);
    // Removes the files used least recently until the cache is below the bound by a margin,
    // so that the folder is listed again only after a good number of stores.
    void shrink(const std::string& keep);

    std::optional<std::string> folder;
    uint64_t bound;
    bool listed = false;
    uint64_t total = 0;
    std::unordered_map<std::string, Entry> entries; // by file name
    std::set<std::pair<Clock::time_point, std::string>> byUse;
};

} // namespace pelimo::pictures
