#include "pictures/PictureDiskCache.h"

#include "pictures/PictureAddress.h"
#include "pictures/PictureFile.h"
#include "platform/CacheFiles.h"
#include "platform/DataHome.h"
#include "platform/FileSystem.h"

namespace pelimo::pictures {
namespace {

// A temporary file this old was left by a write that never finished (a crash); a younger one
// may be another copy's write in progress.
constexpr auto kStaleTemp = std::chrono::hours(1);

} // namespace

PictureDiskCache::PictureDiskCache(std::optional<std::string> folder, uint64_t bound)
    : folder(std::move(folder)), bound(bound)
{}

std::optional<std::string> PictureDiskCache::defaultFolder()
{
    return platform::makeCacheHome("pelimo/images");
}

std::string PictureDiskCache::pathOf(const std::string& name) const
{
    return platform::joinPath(*folder, name);
}

std::optional<std::string> PictureDiskCache::read(const std::string& address)
{
    if (!folder)
        return std::nullopt;
    const std::string name = pictureFileName(address);
    const std::string path = pathOf(name);
    const std::optional<std::string> bytes = platform::readWholeFile(path, maxPictureFileBytes());
    if (!bytes) {
        // Gone (another copy removed it), or larger than any file of ours.
        if (platform::fileKind(path) == platform::FileKind::regular)
            platform::removeFile(path);
        forget(name);
        return std::nullopt;
    }
    const std::optional<PictureFileContent> content = readPictureFile(*bytes);
    if (!content) {
        platform::removeFile(path);
        forget(name);
        return std::nullopt;
    }
    // Another address with the same hash: a miss; storing this one replaces it.
    if (content->address != address)
        return std::nullopt;
    platform::markFileUsed(path);
    if (listed)
        note(name, bytes->size(), Clock::now());
    return std::string(content->picture);
}

void PictureDiskCache::store(const std::string& address, std::string_view picture)
{
    if (!folder || !isPictureAddress(address) || picture.size() > kMaxPictureBytes)
        return;
    ensureListed();
    const std::string name = pictureFileName(address);
    const std::string bytes = pictureFileBytes(address, picture);
    if (!platform::replaceFileUnsynced(pathOf(name), bytes))
        return;
    note(name, bytes.size(), Clock::now());
    if (total > bound) {
        list(); // what another copy added counts too
        shrink(name);
    }
}

void PictureDiskCache::remove(const std::string& address)
{
    if (!folder)
        return;
    const std::string name = pictureFileName(address);
    platform::removeFile(pathOf(name));
    forget(name);
}

void PictureDiskCache::ensureListed()
{
    if (!listed)
        list();
}

void PictureDiskCache::list()
{
    entries.clear();
    byUse.clear();
    total = 0;
    listed = true;
    const auto files = platform::regularFilesIn(*folder);
    if (!files)
        return;
    const auto now = Clock::now();
    for (const platform::FolderFile& file : *files) {
        if (isPictureFileName(file.name)) {
            if (file.bytes <= maxPictureFileBytes())
                note(file.name, file.bytes, file.changed);
            else
                platform::removeFile(pathOf(file.name));
        } else if (isPictureTempName(file.name) && now - file.changed > kStaleTemp) {
            platform::removeFile(pathOf(file.name));
        }
        // Anything else is not ours: left alone and not counted.
    }
}

void PictureDiskCache::note(const std::string& name, uint64_t bytes, Clock::time_point used)
{
    forget(name);
    entries.emplace(name, Entry{bytes, used});
    byUse.emplace(used, name);
    total += bytes;
}

void PictureDiskCache::forget(const std::string& name)
{
    const auto found = entries.find(name);
    if (found == entries.end())
        return;
    total -= found->second.bytes;
    byUse.erase({found->second.used, name});
    entries.erase(found);
}

void PictureDiskCache::shrink(const std::string& keep)
{
    const uint64_t target = bound - bound / 10;
    for (auto oldest = byUse.begin(); total > target && oldest != byUse.end();) {
        const std::string name = oldest->second;
        ++oldest;
        if (name == keep)
            continue;
        platform::removeFile(pathOf(name));
        forget(name);
    }
}

} // namespace pelimo::pictures
