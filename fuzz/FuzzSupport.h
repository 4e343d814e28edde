#pragma once

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <unistd.h>

namespace pelimo::fuzz {

// A folder of the fuzz run's own under /tmp, made once per process.
inline const std::string& workFolder(const char* name)
{
    static const std::string folder = [name] {
        std::string pattern = std::string("/tmp/pelimo-fuzz-") + name + "-XXXXXX";
        const char* made = mkdtemp(pattern.data());
        if (!made)
            abort();
        return std::string(made);
    }();
    return folder;
}

// Removes every file in a folder of the run, so each input starts from an empty folder.
inline void removeFilesIn(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            ::unlink((folder + "/" + name).c_str());
    }
    ::closedir(dir);
}

// Stops the run with a finding when an expectation does not hold.
inline void fail(const char* file, int line)
{
    std::fprintf(stderr, "expectation failed at %s:%d\n", file, line);
    abort();
}

} // namespace pelimo::fuzz

#define PELIMO_FUZZ_REQUIRE(condition)                                                                       \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            ::pelimo::fuzz::fail(__FILE__, __LINE__);                                                        \
    } while (false)

namespace pelimo::fuzz {} // namespace pelimo::fuzz
