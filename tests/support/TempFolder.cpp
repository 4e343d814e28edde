#include "tests/support/TempFolder.h"

#include <cstdlib>
#include <filesystem>

namespace pelimo::test {

namespace fs = std::filesystem;

TempFolder::TempFolder(const char* prefix)
{
    std::string pattern = std::string("/tmp/") + prefix + "-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr)
        dir = pattern;
}

TempFolder::~TempFolder()
{
    if (dir.empty())
        return;
    std::error_code ignored;
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (auto it = fs::recursive_directory_iterator(dir, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(dir, ignored);
}

} // namespace pelimo::test
