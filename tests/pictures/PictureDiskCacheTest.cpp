// The disk cache on a real folder: its bound and the order it drops pictures in, what it does
// with files it did not write whole, and two copies of the program sharing one folder.
#include "pictures/PictureDiskCache.h"

#include "pictures/PictureAddress.h"
#include "platform/FileSystem.h"
#include "tests/support/TempFolder.h"

#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace pelimo::pictures {
namespace {

namespace fs = std::filesystem;

std::string address(int n)
{
    return "http://img.example/p/" + std::to_string(n) + ".jpg";
}

std::string picture(int n, size_t bytes)
{
    std::string body(bytes, static_cast<char>('a' + n % 26));
    body.replace(0, std::to_string(n).size(), std::to_string(n));
    return body;
}

class PictureDiskCacheTest : public ::testing::Test {
protected:
    std::string pathOf(int n) const { return folder.file(pictureFileName(address(n))); }
    // Makes the file look used at that many minutes ago, as a file of an earlier run.
    void usedMinutesAgo(int n, int minutes)
    {
        fs::last_write_time(pathOf(n), fs::file_time_type::clock::now() - std::chrono::minutes(minutes));
    }

    test::TempFolder folder{"picture-cache"};
};

TEST_F(PictureDiskCacheTest, KeepsWithinItsBoundDroppingTheLeastRecentlyUsed)
{
    // Ten pictures fill the bound; what a file adds to its picture is well under a kilobyte.
    constexpr size_t kPicture = 10000;
    const uint64_t bound = 10 * kPicture + 10 * 1000;
    {
        PictureDiskCache earlier(folder.path(), bound);
        for (int n = 0; n < 10; ++n)
            earlier.store(address(n), picture(n, kPicture));
    }
    // As an earlier run left them: 0 used longest ago, 9 last; then 0 and 1 are used again.
    for (int n = 0; n < 10; ++n)
        usedMinutesAgo(n, 100 - n);
    PictureDiskCache cache(folder.path(), bound);
    EXPECT_EQ(cache.read(address(0)), picture(0, kPicture));
    EXPECT_EQ(cache.read(address(1)), picture(1, kPicture));

    cache.store(address(10), picture(10, kPicture));
    cache.store(address(11), picture(11, kPicture));

    EXPECT_LE(cache.bytes(), bound);
    uint64_t onDisk = 0;
    for (const auto& entry : fs::directory_iterator(folder.path()))
        onDisk += entry.file_size();
    EXPECT_EQ(onDisk, cache.bytes());
    for (int n : {0, 1, 10, 11})
        EXPECT_EQ(cache.read(address(n)), picture(n, kPicture)) << n;
    // The oldest of the rest went first, and no more than the margin below the bound asks for.
    EXPECT_FALSE(fs::exists(pathOf(2)));
    EXPECT_FALSE(fs::exists(pathOf(3)));
    EXPECT_TRUE(fs::exists(pathOf(9)));
}

TEST_F(PictureDiskCacheTest, NeverTrustsAFileItDidNotWriteWhole)
{
    PictureDiskCache writer(folder.path());
    for (int n = 0; n < 4; ++n)
        writer.store(address(n), picture(n, 5000));
    const auto damage = [&](int n, auto change) {
        std::string bytes = *platform::readWholeFile(pathOf(n), 1 << 20);
        change(bytes);
        ASSERT_TRUE(platform::writeFileAtomically(pathOf(n), bytes));
    };
    damage(0, [](std::string& b) { b.resize(b.size() / 2); });   // cut short
    damage(1, [](std::string& b) { b[b.size() - 10] ^= 0x20; }); // one byte changed
    damage(2, [](std::string& b) { b = "GIF89a not ours"; });    // something else under its name
    // Files the cache did not make: a foreign file, one too large to be ours, the temporary
    // file of a write that died long ago and of one that may still be going on.
    const std::string foreign = folder.file("notes.txt");
    const std::string tooLarge = folder.file(pictureFileName("http://img.example/big"));
    const std::string staleTemp = pathOf(7) + ".Ab12Cd";
    const std::string freshTemp = pathOf(8) + ".Xy34Zw";
    ASSERT_TRUE(platform::writeFileAtomically(foreign, "mine"));
    ASSERT_TRUE(platform::writeFileAtomically(tooLarge, std::string(3u << 20, 'x')));
    ASSERT_TRUE(platform::writeFileAtomically(staleTemp, "half"));
    ASSERT_TRUE(platform::writeFileAtomically(freshTemp, "half"));
    fs::last_write_time(staleTemp, fs::file_time_type::clock::now() - std::chrono::hours(2));

    PictureDiskCache cache(folder.path());
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(cache.read(address(n)), std::nullopt) << n;
        EXPECT_FALSE(fs::exists(pathOf(n))) << n;
    }
    EXPECT_EQ(cache.read(address(3)), picture(3, 5000));
    EXPECT_EQ(cache.read("http://img.example/big"), std::nullopt);
    EXPECT_FALSE(fs::exists(tooLarge));

    cache.store(address(4), picture(4, 5000)); // the first store lists the folder
    EXPECT_EQ(cache.files(), 2u);
    EXPECT_TRUE(fs::exists(foreign));
    EXPECT_FALSE(fs::exists(staleTemp));
    EXPECT_TRUE(fs::exists(freshTemp));
}

TEST_F(PictureDiskCacheTest, AFolderThatIsNotThereKeepsNothingAndFailsNothing)
{
    ASSERT_TRUE(platform::writeFileAtomically(folder.file("file"), "x"));
    for (const std::optional<std::string>& where :
         {std::optional<std::string>(), std::optional<std::string>(folder.file("missing/images")),
          std::optional<std::string>(folder.file("file"))}) {
        PictureDiskCache cache(where);
        cache.store(address(1), picture(1, 100));
        EXPECT_EQ(cache.read(address(1)), std::nullopt);
        EXPECT_EQ(cache.bytes(), 0u);
    }
    EXPECT_FALSE(fs::exists(folder.file("missing")));
}

// Two copies on different data folders share the cache: each sees what the other stored,
// counts it against the bound, and neither ever reads a picture torn by the other's write.
TEST_F(PictureDiskCacheTest, TwoCopiesShareTheFolder)
{
    constexpr size_t kPicture = 10000;
    const uint64_t bound = 6 * (kPicture + 1000);
    PictureDiskCache one(folder.path(), bound);
    PictureDiskCache other(folder.path(), bound);
    for (int n = 0; n < 4; ++n)
        one.store(address(n), picture(n, kPicture));
    for (int n = 0; n < 4; ++n)
        usedMinutesAgo(n, 10 - n);
    EXPECT_EQ(other.read(address(2)), picture(2, kPicture));
    for (int n = 4; n < 7; ++n)
        other.store(address(n), picture(n, kPicture));
    EXPECT_FALSE(fs::exists(pathOf(0))) << "the other copy's oldest picture goes first";
    EXPECT_TRUE(fs::exists(pathOf(2)));

    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        PictureDiskCache third(folder.path(), bound);
        while (!done) {
            const std::optional<std::string> read = third.read(address(20));
            if (read && *read != picture(20, kPicture) && *read != picture(46, kPicture))
                ++torn;
        }
    });
    for (int round = 0; round < 300; ++round) {
        one.store(address(20), picture(20, kPicture));
        other.store(address(20), picture(46, kPicture));
    }
    done = true;
    reader.join();
    EXPECT_EQ(torn, 0);
}

} // namespace
} // namespace pelimo::pictures
