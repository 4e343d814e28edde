#include "platform/DataHome.h"

#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace pelimo::platform {
namespace {

std::string withoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// Absolute paths only: the XDG rules say a relative one is to be ignored.
std::optional<std::string> absoluteVariable(const char* name)
{
    const char* value = std::getenv(name);
    if (!value || value[0] != '/')
        return std::nullopt;
    return withoutTrailingSlashes(value);
}

bool isFolder(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Every missing folder along the path is made with mode 0700, whatever the umask says.
bool makeFolders(const std::string& path)
{
    for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string prefix = path.substr(0, end);
        if (::mkdir(prefix.c_str(), 0700) == 0) {
            if (::chmod(prefix.c_str(), 0700) != 0)
                return false;
        } else if (errno != EEXIST || !isFolder(prefix)) {
            return false;
        }
        if (end == std::string::npos)
            return true;
    }
}

// name under $<variable>, or under $HOME/<fallback> when the variable gives no absolute path.
std::optional<std::string> makeFolderUnder(const char* variable, std::string_view fallback,
                                           std::string_view name)
{
    std::optional<std::string> base = absoluteVariable(variable);
    if (!base) {
        const std::optional<std::string> home = absoluteVariable("HOME");
        if (!home)
            return std::nullopt;
        base = joinPath(*home == "/" ? "" : *home, fallback);
    }
    std::string folder = joinPath(*base == "/" ? "" : *base, name);
    if (!makeFolders(folder))
        return std::nullopt;
    return folder;
}

} // namespace

std::optional<std::string> makeDataHome(std::string_view name)
{
    return makeFolderUnder("XDG_DATA_HOME", ".local/share", name);
}

std::optional<std::string> makeCacheHome(std::string_view name)
{
    return makeFolderUnder("XDG_CACHE_HOME", ".cache", name);
}

std::optional<std::string> enterDataHome(std::string_view name)
{
    std::optional<std::string> folder = makeDataHome(name);
    if (folder && ::chdir(folder->c_str()) != 0)
        return std::nullopt;
    return folder;
}

} // namespace pelimo::platform
