#include "platform/EventPump.h"
#include "platform/FileSystem.h"
#include "platform/text/NumberText.h"
#include "platform/text/SjisText.h"
#include "platform/text/TextFill.h"
#include "tests/support/TempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace pelimo {
namespace {

TEST(NumberTextTest, LeadingInteger)
{
    struct Case {
        const char* text;
        int32_t value;
    };
    const Case cases[] = {
        {"", 0},
        {"abc", 0},
        {"42", 42},
        {"  \t-17x", -17},
        {"+8", 8},
        {"1,000", 1},
        {"- 5", 0},
        {"980", 980},
        {"99999999999", 2147483647},
        {"-99999999999", -2147483647 - 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(leadingInteger(c.text), c.value) << '"' << c.text << '"';
}

TEST(FillText, PlaceholdersInOrder)
{
    EXPECT_EQ(fillText("%s-%d-%%-%s", {std::string_view("a"), 42LL}), "a-42-%-");
}

TEST(SjisTextTest, RoundTripAndBrokenInput)
{
    const std::string utf8 = "価格 980円　残り時間 5分 ～";
    const std::string sjis = platform::utf8ToSjis(utf8);
    EXPECT_EQ(sjis.substr(0, 4), "\x89\xbf\x8a\x69");
    EXPECT_EQ(platform::sjisToUtf8(sjis), utf8);
    // A lone lead byte at the end and an undefined byte become '?', the rest survives.
    EXPECT_EQ(platform::sjisToUtf8("ab\x81"), "ab?");
    EXPECT_EQ(platform::sjisToUtf8("a\xa0z"), "a?z");
    // Characters Shift-JIS cannot hold become '?'.
    EXPECT_EQ(platform::utf8ToSjis("x\xf0\x9f\x98\x80y"), "x?y");
    EXPECT_EQ(platform::utf8ToSjis("\xff"), "?");
}

TEST(SjisTextTest, AsciiCrossesUnchangedAsTheConverterWouldGiveIt)
{
    std::string ascii;
    for (int c = 1; c < 0x80; ++c)
        ascii += static_cast<char>(c);
    std::string viaConverter;
    ASSERT_TRUE(platform::convertCharset(ascii, "CP932", "UTF-8", viaConverter));
    EXPECT_EQ(viaConverter, ascii) << "backslash and tilde included";
    EXPECT_EQ(platform::sjisToUtf8(ascii), ascii);
    EXPECT_EQ(platform::utf8ToSjis(ascii), ascii);
}

TEST(FileSystemTest, AtomicWriteReplacesWholeFilesAndRefusesFolders)
{
    const test::TempFolder temp("pelimo-fs");
    const std::string& dir = temp.path();
    ASSERT_FALSE(dir.empty());
    const std::string path = platform::joinPath(dir, "f.txt");

    ASSERT_TRUE(platform::writeFileAtomically(path, "first", 0600));
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(platform::writeFileAtomically(path, "second"));
    EXPECT_EQ(platform::readWholeFile(path, 100), "second");
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "an existing file keeps its permissions";
    EXPECT_EQ(platform::readWholeFile(path, 3), std::nullopt) << "over the size cap";

    const std::string folder = platform::joinPath(dir, "sub");
    std::filesystem::create_directory(folder);
    EXPECT_FALSE(platform::writeFileAtomically(folder, "x"));
    EXPECT_EQ(platform::readWholeFile(folder, 100), std::nullopt);

    size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir))
        ++entries;
    EXPECT_EQ(entries, 2u) << "no temporary file left behind";
}

TEST(FileSystemTest, RootRewritingAUsersFileLeavesItTheirs)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another owner";
    const test::TempFolder temp("pelimo-fs-owner");
    const std::string path = temp.file("AramList.xml");
    ASSERT_TRUE(platform::writeFileAtomically(path, "first"));
    ASSERT_EQ(::chown(path.c_str(), 1234, 5678), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);

    ASSERT_TRUE(platform::writeFileAtomically(path, "second", 0666, platform::FileAccess::ownerOnly));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 1234u) << "the user can still write their own file";
    EXPECT_EQ(st.st_gid, 5678u);
    EXPECT_EQ(st.st_mode & 07777, 0600u) << "closed to the group as asked";
}

TEST(EventPumpTest, PumpRunsTheInstalledHandler)
{
    int calls = 0;
    platform::setPendingEventHandler([&] { ++calls; });
    platform::dispatchPendingEvents();
    platform::pumpMessages();
    platform::setPendingEventHandler({});
    platform::pumpMessages();
    EXPECT_EQ(calls, 2);
}

} // namespace
} // namespace pelimo
