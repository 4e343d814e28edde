// The whole program, offscreen against the simulator, stopped by SIGTERM: it exits through
// its orderly shutdown with env.ini and AramList.xml both readable and the watched listings
// still in the watch list, whether it was idle, in the middle of a watch update or still
// starting with many saved searches.
#include "platform/FileSystem.h"
#include "search/saved/SavedSearchFile.h"
#include "settings/SettingsStore.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/SimulatorProcess.h"
#include "tests/support/TempFolder.h"
#include "watch/AramFile.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <thread>

namespace pelimo {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The program in the test's folder, offscreen, with the simulator as both of its services.
bool startProgram(test::ChildProcess& program, const std::string& folder, const std::string& listingBase)
{
    return program.start(
        {PELIMO_PROGRAM_PATH},
        {.environment = {"PELIMO_LISTING_BASE=" + listingBase, "PELIMO_ITEMPAGE_BASE=" + listingBase,
                         "QT_QPA_PLATFORM=offscreen", "QTWEBENGINE_DISABLE_SANDBOX=1"},
         .workingFolder = folder});
}

class ProgramSignalTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(folder.empty());
        ASSERT_TRUE(sim.start());
        for (int i = 1; i <= kWatched; ++i) {
            const std::string no = "sig" + std::to_string(i);
            ASSERT_TRUE(
                sim.control("/sim/put?ItemNo=" + no + "&ItemName=" + no +
                            "&CurrentPrice=100&RemainTime=3&AuctionType=NO&BidNum=0&ItemNum=1&ImageUrl=x"));
            watched.push_back(ItemInfo{no, no, "100", "NO", "x", "0", "1", "3"});
        }
        EnvSettings settings = defaultSettings();
        settings.watchIntervalMinutes = 1;
        ASSERT_TRUE(saveSettingsTo(platform::joinPath(folder, "env.ini"), settings));
        ASSERT_TRUE(saveAramFile(watched, folder));
    }
    int exhibitRequests()
    {
        int n = 0;
        for (const std::string& line : sim.requests())
            n += line.find("exhibit_id=") != std::string::npos ? 1 : 0;
        return n;
    }

    // Both files parse, the watch list holds every seeded listing, and nothing was moved
    // aside or left half-written.
    void expectFilesIntact()
    {
        const AramFileLoad load = loadAramFile(folder);
        ASSERT_EQ(load.outcome, AramFileLoad::Outcome::loaded);
        std::set<std::string> numbers;
        for (const ItemInfo& r : load.records)
            numbers.insert(r.ItemNo);
        std::set<std::string> expected;
        for (const ItemInfo& r : watched)
            expected.insert(r.ItemNo);
        EXPECT_EQ(numbers, expected);
        EnvSettings settings;
        loadSettingsFrom(platform::joinPath(folder, "env.ini"), settings);
        EXPECT_EQ(settings.watchIntervalMinutes, 1) << "env.ini keeps the user's settings";
        // The lock file stays, empty but for the last holder's process id, for the next start.
        for (const auto& entry : fs::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            EXPECT_TRUE(name == "env.ini" || name == "AramList.xml" || name == "SearchList.xml" ||
                        name == "history.db" || name == "WindowLayout.ini" || name == kLockFile)
                << "left behind: " << name;
        }
    }

    static constexpr int kWatched = 6;
    static constexpr const char* kLockFile = ".pelimo.lock";
    test::SimulatorProcess sim;
    test::TempFolder temp{"pelimo-program"};
    const std::string folder = temp.path();
    std::vector<ItemInfo> watched;
};

TEST_F(ProgramSignalTest, StopsCleanlyWhenIdle)
{
    test::ChildProcess program;
    ASSERT_TRUE(startProgram(program, folder, sim.baseUrl()));
    std::this_thread::sleep_for(4s);
    EXPECT_EQ(program.terminate(30s), 0);
    expectFilesIntact();
}

TEST_F(ProgramSignalTest, StopsCleanlyDuringAWatchUpdate)
{
    // Each answer takes long enough that the update is still running when the signal comes.
    ASSERT_TRUE(sim.control("/sim/delay?ms=700"));
    test::ChildProcess program;
    ASSERT_TRUE(startProgram(program, folder, sim.baseUrl()));
    // The watch timer fires a minute after the start.
    const auto until = std::chrono::steady_clock::now() + 90s;
    while (exhibitRequests() == 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(100ms);
    ASSERT_GT(exhibitRequests(), 0) << "the watch update did not start";
    std::this_thread::sleep_for(1s);
    ASSERT_LT(exhibitRequests(), kWatched) << "the update ended before the signal";
    EXPECT_EQ(program.terminate(30s), 0);
    expectFilesIntact();
}

TEST_F(ProgramSignalTest, StopsCleanlyWhileStartingWithManySavedSearches)
{
    // Far more saved searches than run: the start-up has much to read, and a save must keep
    // every one of them.
    constexpr size_t kSaved = 2000;
    std::vector<SavedSearch> saved(kSaved);
    for (size_t i = 0; i < kSaved; ++i) {
        saved[i].request.text = "sigstart" + std::to_string(i);
        saved[i].firstRunPending = false;
        saved[i].seen.markSeen("s" + std::to_string(i),
                               std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now() -
                                                                        std::chrono::hours(1)));
    }
    // The moments: the folder just taken, before any file is read; the first saved search's
    // request out, the window built and its runs going.
    const std::vector<std::function<bool()>> moments = {
        [this] { return fs::exists(platform::joinPath(folder, kLockFile)); },
        [this] { return !sim.requests().empty(); },
    };
    for (size_t m = 0; m < moments.size(); ++m) {
        SCOPED_TRACE("moment " + std::to_string(m));
        fs::remove(platform::joinPath(folder, kLockFile));
        ASSERT_TRUE(sim.control("/sim/reset"));
        ASSERT_TRUE(saveSavedSearchFile(saved, folder));
        test::ChildProcess program;
        ASSERT_TRUE(startProgram(program, folder, sim.baseUrl()));
        const auto until = std::chrono::steady_clock::now() + 60s;
        while (!moments[m]() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(2ms);
        ASSERT_TRUE(moments[m]()) << "the moment did not come";
        EXPECT_EQ(program.terminate(30s), 0);
        expectFilesIntact();
        // The searches the start-up left out come back as they were; those that ran may have
        // seen more.
        const SavedSearchFileLoad after = loadSavedSearchFile(
            folder, std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()));
        ASSERT_EQ(after.outcome, SavedSearchFileLoad::Outcome::loaded);
        ASSERT_EQ(after.searches.size(), kSaved);
        EXPECT_TRUE(serializeSavedSearchFile({after.searches.begin() + 20, after.searches.end()}) ==
                    serializeSavedSearchFile({saved.begin() + 20, saved.end()}));
        for (size_t i = 0; i < 20; ++i)
            EXPECT_EQ(after.searches[i].request.text, saved[i].request.text);
    }
}

} // namespace
} // namespace pelimo
