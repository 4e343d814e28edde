#include "platform/DataHome.h"

#include "platform/FileSystem.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace pelimo {
namespace {

namespace fs = std::filesystem;

// Sets or clears one variable for the life of the object.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : variable(name)
    {
        if (const char* old = std::getenv(name))
            saved = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedVariable() { saved ? ::setenv(variable, saved->c_str(), 1) : ::unsetenv(variable); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* variable;
    std::optional<std::string> saved;
};

class DataHomeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "datahome-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
    }
    void TearDown() override { fs::remove_all(root); }

    static mode_t modeOf(const std::string& path)
    {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
    }

    std::string root;
};

TEST_F(DataHomeTest, FolderOfItsOwnUnderTheDataHomeMadePrivate)
{
    struct Case {
        const char* xdgDataHome; // under root when it starts with '/'
        const char* expected;    // relative to root
    };
    const Case cases[] = {
        {nullptr, "home/.local/share/pelimo"},
        {"", "home/.local/share/pelimo"},
        {"relative/data", "home/.local/share/pelimo"},
        {"/xdg/data/", "xdg/data/pelimo"},
    };
    const mode_t oldMask = ::umask(022);
    for (const Case& c : cases) {
        std::string xdg = c.xdgDataHome ? c.xdgDataHome : "";
        if (xdg.starts_with('/'))
            xdg = root + xdg;
        ScopedVariable home("HOME", (root + "/home").c_str());
        ScopedVariable data("XDG_DATA_HOME", c.xdgDataHome ? xdg.c_str() : nullptr);
        const std::string expected = platform::joinPath(root, c.expected);

        EXPECT_EQ(platform::makeDataHome("pelimo"), expected) << c.expected;
        EXPECT_EQ(modeOf(expected), 0700u) << c.expected;
        EXPECT_EQ(modeOf(fs::path(expected).parent_path().string()), 0700u) << "a missing parent";
        fs::remove_all(root + "/home");
        fs::remove_all(root + "/xdg");
    }
    ::umask(oldMask);
}

TEST_F(DataHomeTest, ExistingFolderKeptAndEnteredAFileInItsPlaceRefused)
{
    ScopedVariable data("XDG_DATA_HOME", root.c_str());
    const std::string folder = root + "/pelimo";
    ASSERT_EQ(::mkdir(folder.c_str(), 0750), 0);
    ASSERT_TRUE(platform::writeFileAtomically(folder + "/env.ini", "kept"));

    const std::string before = platform::currentDirectory();
    EXPECT_EQ(platform::enterDataHome("pelimo"), folder);
    EXPECT_EQ(platform::currentDirectory(), fs::canonical(folder).string());
    EXPECT_EQ(modeOf(folder), 0750u);
    EXPECT_EQ(platform::readWholeFile("env.ini", 100), "kept");
    ASSERT_EQ(::chdir(before.c_str()), 0);

    ASSERT_TRUE(platform::writeFileAtomically(root + "/other", "a file"));
    EXPECT_EQ(platform::makeDataHome("other"), std::nullopt);
    EXPECT_EQ(platform::enterDataHome("other"), std::nullopt);
    EXPECT_EQ(platform::currentDirectory(), before);
}

TEST_F(DataHomeTest, NoHomeNoFolder)
{
    ScopedVariable data("XDG_DATA_HOME", nullptr);
    ScopedVariable cache("XDG_CACHE_HOME", nullptr);
    ScopedVariable home("HOME", nullptr);
    EXPECT_EQ(platform::makeDataHome("pelimo"), std::nullopt);
    EXPECT_EQ(platform::makeCacheHome("pelimo/images"), std::nullopt);
}

// Pictures go to the cache home, whichever data folder the program runs on.
TEST_F(DataHomeTest, CacheFolderUnderTheCacheHome)
{
    ScopedVariable home("HOME", (root + "/home").c_str());
    {
        ScopedVariable cache("XDG_CACHE_HOME", nullptr);
        const std::string expected = root + "/home/.cache/pelimo/images";
        EXPECT_EQ(platform::makeCacheHome("pelimo/images"), expected);
        EXPECT_EQ(modeOf(expected), 0700u);
        EXPECT_EQ(modeOf(root + "/home/.cache/pelimo"), 0700u);
    }
    {
        ScopedVariable cache("XDG_CACHE_HOME", (root + "/xdg-cache").c_str());
        EXPECT_EQ(platform::makeCacheHome("pelimo/images"), root + "/xdg-cache/pelimo/images");
    }
}

} // namespace
} // namespace pelimo
