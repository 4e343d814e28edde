// env.ini and AramList.xml as other programs, a person or a failed disk may leave them:
// reading never fails the program, nothing the user kept is truncated or overwritten, and a
// save that cannot be made says so and leaves what was there.
#include "platform/FileSystem.h"
#include "settings/SettingsStore.h"
#include "tests/support/ScopedUmask.h"
#include "tests/support/TempFolder.h"
#include "watch/AramFile.h"

#include <dirent.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace pelimo {
namespace {

namespace fs = std::filesystem;

class FileFaultTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir.empty()); }

    std::string path(const char* name) const { return platform::joinPath(dir, name); }
    std::vector<std::string> names() const
    {
        std::vector<std::string> out;
        for (const auto& entry : fs::directory_iterator(dir))
            out.push_back(entry.path().filename().string());
        return out;
    }

    test::TempFolder folder{"pelimo-filefaults"};
    const std::string dir = folder.path();
};

std::string readAll(const std::string& file)
{
    return platform::readWholeFile(file, 1u << 24).value_or("<unreadable>");
}

const ItemInfo kWatched{"w100", "watched", "500", "NO", "", "1", "1", "3"};

std::string aramText(const char* declaration)
{
    return std::string(declaration) +
           "<root>\n<ItemInfo>\n<ItemNo>w100</ItemNo>\n<ItemName>watched</ItemName>\n<BidNum>1</BidNum>\n"
           "<CurrentPrice>500</CurrentPrice>\n<RemainTime>3</RemainTime>\n<ImageUrl>\n</ImageUrl>\n"
           "<ItemNum>1</ItemNum>\n<AuctionType>NO</AuctionType>\n</ItemInfo>\n</root>\n";
}

std::string utf16(const std::string& ascii)
{
    std::string out = "\xff\xfe";
    for (const char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

TEST_F(FileFaultTest, WatchListFileAsFound)
{
    const std::string good = aramText("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n");
    struct Case {
        const char* name;
        std::string bytes;
        AramFileLoad::Outcome outcome;
        size_t records;
    };
    const std::vector<Case> cases{
        {"empty", "", AramFileLoad::Outcome::movedAside, 0},
        {"truncated", good.substr(0, good.size() / 2), AramFileLoad::Outcome::movedAside, 0},
        {"malformed", "<root><ItemInfo></root>", AramFileLoad::Outcome::movedAside, 0},
        {"other root", "<list/>", AramFileLoad::Outcome::movedAside, 0},
        {"UTF-8 without declaration", aramText(""), AramFileLoad::Outcome::loaded, 1},
        {"UTF-16 with a byte order mark", utf16(aramText("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n")),
         AramFileLoad::Outcome::loaded, 1},
        {"Shift_JIS", good, AramFileLoad::Outcome::loaded, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir);
        fs::create_directory(dir);
        ASSERT_TRUE(platform::writeFileAtomically(aramFilePath(dir), c.bytes));
        const AramFileLoad load = loadAramFile(dir);
        EXPECT_EQ(load.outcome, c.outcome);
        ASSERT_EQ(load.records.size(), c.records);
        if (c.records == 1) {
            EXPECT_EQ(load.records[0], kWatched);
        }
        if (c.outcome == AramFileLoad::Outcome::movedAside) {
            EXPECT_EQ(readAll(load.movedTo), c.bytes) << "the unreadable file lies beside, unchanged";
            // The next save starts a new file and leaves the one moved aside alone.
            ASSERT_TRUE(saveAramFile({kWatched}, dir));
            EXPECT_EQ(readAll(load.movedTo), c.bytes);
            EXPECT_EQ(loadAramFile(dir).records, std::vector<ItemInfo>{kWatched});
        } else {
            EXPECT_EQ(readAll(aramFilePath(dir)), c.bytes) << "reading never writes";
        }
    }
}

TEST_F(FileFaultTest, WatchListFileMissingReadOnlyOrAFolder)
{
    // Missing: an empty list and no file made by the read.
    EXPECT_EQ(loadAramFile(dir).outcome, AramFileLoad::Outcome::missing);
    EXPECT_TRUE(names().empty());

    // Read-only: read as usual; a save is refused and the file keeps its bytes.
    const std::string good = aramText("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n");
    ASSERT_TRUE(platform::writeFileAtomically(aramFilePath(dir), good, 0444));
    EXPECT_EQ(loadAramFile(dir).records, std::vector<ItemInfo>{kWatched});
    EXPECT_FALSE(saveAramFile({}, dir));
    EXPECT_EQ(readAll(aramFilePath(dir)), good);
    EXPECT_EQ(names().size(), 1u) << "no temp file left behind";
    fs::remove(aramFilePath(dir));

    // A folder in its place: left where it is with nothing inside it touched, and a save is
    // refused rather than put anywhere else.
    fs::create_directory(aramFilePath(dir));
    ASSERT_TRUE(platform::writeFileAtomically(platform::joinPath(aramFilePath(dir), "kept"), "mine"));
    const AramFileLoad load = loadAramFile(dir);
    EXPECT_EQ(load.outcome, AramFileLoad::Outcome::unreadable);
    EXPECT_TRUE(load.records.empty());
    EXPECT_FALSE(saveAramFile({kWatched}, dir));
    EXPECT_EQ(readAll(platform::joinPath(aramFilePath(dir), "kept")), "mine");
    EXPECT_EQ(names().size(), 1u) << "no temp file left behind";
}

TEST_F(FileFaultTest, SettingsFileAsFound)
{
    const std::string file = path("env.ini");
    const EnvSettings defaults = defaultSettings();
    struct Case {
        const char* name;
        std::string bytes;
    };
    const std::vector<Case> cases{
        {"empty", ""},
        {"truncated", "[\x8a\xc2"},
        {"malformed", "[\n=\n==\nkey without section\n\x00\xff\n"},
        {"UTF-8 text", "[\xe7\x92\xb0\xe5\xa2\x83\xe8\xa8\xad\xe5\xae\x9a]\n"},
        {"UTF-16 text", utf16("[x]\nkey=1\n")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(platform::writeFileAtomically(file, c.bytes));
        EnvSettings loaded;
        loadSettingsFrom(file, loaded);
        EXPECT_EQ(loaded, defaults) << "a file without the section gives the defaults";
        EXPECT_EQ(readAll(file), c.bytes) << "reading never writes";

        // A save keeps every line it does not own.
        ASSERT_TRUE(saveSettingsTo(file, loaded));
        EnvSettings again;
        loadSettingsFrom(file, again);
        EXPECT_EQ(again, loaded);
        ::unlink(file.c_str());
    }
}

TEST_F(FileFaultTest, SettingsFileMissingReadOnlyOrAFolder)
{
    const std::string file = path("env.ini");
    EnvSettings loaded;
    loadSettingsFrom(file, loaded);
    EXPECT_EQ(loaded, defaultSettings());
    EXPECT_TRUE(names().empty()) << "reading a missing file makes none";

    EnvSettings changed = defaultSettings();
    changed.mailTo = "someone@example.com";
    ASSERT_TRUE(saveSettingsTo(file, defaultSettings()));
    const std::string before = readAll(file);
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    EXPECT_FALSE(saveSettingsTo(file, changed));
    EXPECT_EQ(readAll(file), before);
    EXPECT_EQ(names().size(), 1u) << "no temp file left behind";
    ::unlink(file.c_str());

    fs::create_directory(file);
    loadSettingsFrom(file, loaded);
    EXPECT_EQ(loaded, defaultSettings());
    EXPECT_FALSE(saveSettingsTo(file, changed));
    EXPECT_TRUE(fs::is_directory(file));
}

mode_t modeOf(const std::string& file)
{
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST_F(FileFaultTest, FileModesFollowTheUmaskAndSecretsCloseEnvIni)
{
    const std::string ini = path("env.ini");
    const std::pair<const char*, void (*)(EnvSettings&)> secrets[] = {
        {"POP3 password",
         [](EnvSettings& s) {
             s.pop3Password = "pw";
         }},
        {"SMTP password",
         [](EnvSettings& s) {
             s.ext.smtpPassword = "pw";
         }},
        {"push address",
         [](EnvSettings& s) {
             s.ext.pushUrl = "https://push.example/secret-topic";
         }},
    };
    for (const mode_t mask : {mode_t{077}, mode_t{022}}) {
        SCOPED_TRACE(mask == 077 ? "umask 077" : "umask 022");
        fs::remove_all(dir);
        fs::create_directory(dir);
        const test::ScopedUmask umask(mask);

        // A new file is made as the user's umask says; a replaced one keeps what it had.
        ASSERT_TRUE(saveAramFile({kWatched}, dir));
        EXPECT_EQ(modeOf(aramFilePath(dir)), 0666 & ~mask);
        ASSERT_EQ(::chmod(aramFilePath(dir).c_str(), 0640), 0);
        ASSERT_TRUE(saveAramFile({}, dir));
        EXPECT_EQ(modeOf(aramFilePath(dir)), 0640u);

        // env.ini starts private; one left readable stays so until it holds a secret.
        ASSERT_TRUE(saveSettingsTo(ini, defaultSettings()));
        EXPECT_EQ(modeOf(ini), 0600u);
        for (const auto& [name, give] : secrets) {
            SCOPED_TRACE(name);
            ASSERT_EQ(::chmod(ini.c_str(), 0644), 0);
            ASSERT_TRUE(saveSettingsTo(ini, defaultSettings()));
            EXPECT_EQ(modeOf(ini), 0644u);
            EnvSettings withSecret = defaultSettings();
            give(withSecret);
            ASSERT_TRUE(saveSettingsTo(ini, withSecret));
            EXPECT_EQ(modeOf(ini), 0600u);
        }
        EXPECT_EQ(names().size(), 2u) << "no temp file left behind";
    }
}

TEST_F(FileFaultTest, WithoutAWorkingFolderNothingIsReadOrWritten)
{
    // Both files would otherwise fall back to the filesystem's root.
    ASSERT_FALSE(fs::exists("/env.ini"));
    ASSERT_FALSE(fs::exists("/AramList.xml"));
    const fs::path before = fs::current_path();
    const std::string gone = path("gone");
    ASSERT_TRUE(fs::create_directory(gone));
    ASSERT_EQ(::chdir(gone.c_str()), 0);
    ASSERT_EQ(::rmdir(gone.c_str()), 0);

    EnvSettings changed = defaultSettings();
    changed.pop3Password = "secret";
    const bool settingsSaved = saveSettings(changed);
    EnvSettings loaded;
    loadSettings(loaded);
    const bool watchSaved = saveAramFile({kWatched});
    const AramFileLoad watch = loadAramFile();
    fs::current_path(before);

    EXPECT_FALSE(settingsSaved);
    EXPECT_EQ(loaded, defaultSettings());
    EXPECT_FALSE(watchSaved);
    EXPECT_TRUE(watch.records.empty());
    EXPECT_EQ(watch.outcome, AramFileLoad::Outcome::unreadable);
    std::error_code ignored; // a wrong write is reported and taken away again
    EXPECT_FALSE(fs::remove("/env.ini", ignored));
    EXPECT_FALSE(fs::remove("/AramList.xml", ignored));
}

} // namespace
} // namespace pelimo
