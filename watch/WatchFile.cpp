#include "watch/WatchFile.h"

#include "platform/FileSystem.h"
#include "xmlclient/XmlDocumentClient.h"

#include <cstdio>
#include <ctime>

namespace pelimo {
namespace {

bool fileExists(const std::string& path)
{
    const platform::FileKind kind = platform::fileKind(path);
    return kind == platform::FileKind::regular || kind == platform::FileKind::other;
}

// A name beside the file that no other file has: "<path>.unreadable-YYYYMMDD-HHMMSS", with
// a counter when several failures fall in one second.
std::string asideName(const std::string& path)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string base = path + ".unreadable-" + stamp;
    std::string candidate = base;
    for (int n = 2; fileExists(candidate); ++n)
        candidate = base + "-" + std::to_string(n);
    return candidate;
}

} // namespace

std::string watchFilePath(const std::string& directory, const char* name)
{
    const std::string folder = directory.empty() ? platform::currentDirectory() : directory;
    // Without a folder the name would land in the filesystem's root.
    return folder.empty() ? std::string() : platform::joinPath(folder, name);
}

WatchFileOpen openWatchFile(XmlDocumentClient& client, const std::string& path)
{
    WatchFileOpen result;
    if (path.empty()) {
        // No working folder to read: nothing that may ever be saved over.
        result.outcome = WatchFileOutcome::unreadable;
        return result;
    }
    switch (platform::fileKind(path)) {
    case platform::FileKind::missing:
    case platform::FileKind::inaccessible:
        return result;
    case platform::FileKind::other:
        // Something else holds the name; it is neither read nor moved nor replaced.
        result.outcome = WatchFileOutcome::unreadable;
        return result;
    case platform::FileKind::regular:
        break;
    }

    NodeCursor rootCursor;
    const bool readable = client.load(path, true) == 0 && client.selectNodes("/root", rootCursor) == 1;
    client.releaseCursor(rootCursor);
    if (readable) {
        result.outcome = WatchFileOutcome::loaded;
        return result;
    }
    client.release();
    return moveWatchFileAside(path);
}

WatchFileOpen moveWatchFileAside(const std::string& path)
{
    WatchFileOpen result;
    const std::string aside = asideName(path);
    if (std::rename(path.c_str(), aside.c_str()) == 0) {
        result.outcome = WatchFileOutcome::movedAside;
        result.movedTo = aside;
    } else {
        result.outcome = WatchFileOutcome::unreadable;
    }
    return result;
}

} // namespace pelimo
