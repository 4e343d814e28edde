#include "files/UserFile.h"

#include "platform/FileSystem.h"
#include "platform/LocalTime.h"

#include <ctime>

namespace pelimo {
namespace {

bool nameTaken(const std::string& path)
{
    const platform::FileKind kind = platform::fileKind(path);
    return kind == platform::FileKind::regular || kind == platform::FileKind::other;
}

// A name beside the file that neither another file nor a companion of one has:
// "<path>.unreadable-YYYYMMDD-HHMMSS", with a counter when several failures fall in one
// second.
std::string asideName(const std::string& path, std::initializer_list<std::string_view> companions)
{
    std::tm local{};
    platform::localCalendarTime(std::time(nullptr), local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = path + ".unreadable-" + stamp;
    const auto taken = [&](const std::string& candidate) {
        if (nameTaken(candidate))
            return true;
        for (const std::string_view companion : companions) {
            if (nameTaken(candidate + std::string(companion)))
                return true;
        }
        return false;
    };
    std::string candidate = base;
    for (int n = 2; taken(candidate); ++n)
        candidate = base + "-" + std::to_string(n);
    return candidate;
}

} // namespace

std::string userFilePath(const std::string& directory, std::string_view name)
{
    const std::string folder = directory.empty() ? platform::currentDirectory() : directory;
    // Without a folder the name would land in the filesystem's root.
    return folder.empty() ? std::string() : platform::joinPath(folder, name);
}

UserFileOpen openUserFile(const std::string& path, const std::function<bool(const std::string& path)>& read)
{
    UserFileOpen result;
    if (path.empty()) {
        // No working folder to read: nothing that may ever be saved over.
        result.outcome = UserFileOutcome::unreadable;
        return result;
    }
    switch (platform::fileKind(path)) {
    case platform::FileKind::missing:
    case platform::FileKind::inaccessible:
        return result;
    case platform::FileKind::other:
        // Something else holds the name; it is neither read nor moved nor replaced.
        result.outcome = UserFileOutcome::unreadable;
        return result;
    case platform::FileKind::regular:
        break;
    }
    if (read(path)) {
        result.outcome = UserFileOutcome::loaded;
        return result;
    }
    return moveUserFileAside(path);
}

UserFileOpen moveUserFileAside(const std::string& path, std::initializer_list<std::string_view> companions)
{
    UserFileOpen result;
    const std::string aside = asideName(path, companions);
    if (!platform::renameFile(path, aside)) {
        result.outcome = UserFileOutcome::unreadable;
        return result;
    }
    for (const std::string_view companion : companions) {
        const std::string from = path + std::string(companion);
        if (platform::fileKind(from) == platform::FileKind::regular &&
            !platform::renameFile(from, aside + std::string(companion)))
            platform::removeFile(from);
    }
    result.outcome = UserFileOutcome::movedAside;
    result.movedTo = aside;
    return result;
}

bool saveUserFile(const std::string& path, std::string_view bytes)
{
    return !path.empty() && platform::writeFileAtomically(path, bytes);
}

} // namespace pelimo
