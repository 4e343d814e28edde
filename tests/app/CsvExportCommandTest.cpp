#include "history/HistoryStore.h"
#include "platform/RunningCopy.h"
#include "platform/text/SjisText.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"
#include "watch/AramFile.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace pelimo {
namespace {

// Python's csv module reads the file back; the script fails on a missing byte-order mark or
// anything that is not RFC 4180 as Python writes it, and prints one line per row.
std::vector<std::string> readWithPython(const std::string& file)
{
    test::ChildProcess python;
    EXPECT_TRUE(python.start({"/usr/bin/python3", PELIMO_READ_CSV_SCRIPT, file}, {.readOutput = true}));
    std::vector<std::string> rows;
    while (const std::optional<std::string> line = python.readLine(std::chrono::seconds(30)))
        rows.push_back(*line);
    EXPECT_EQ(python.wait(std::chrono::seconds(30)), 0);
    return rows;
}

std::string hexOf(const std::string& utf8)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char c : utf8) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

std::optional<int> runExport(const std::string& folder, const std::vector<std::string>& args)
{
    std::vector<std::string> argv{PELIMO_PROGRAM_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    test::ChildProcess pelimo;
    // No display at all: the export must not need one.
    if (!pelimo.start(argv, {.environment = {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="},
                             .workingFolder = folder}))
        return std::nullopt;
    return pelimo.wait(std::chrono::seconds(60));
}

// Both exports write from a folder another copy holds, while that copy keeps history.db open
// for writing, and Python reads what they wrote.
TEST(CsvExportCommandTest, WatchListAndArchiveAreWrittenBesideTheRunningCopy)
{
    test::TempFolder folder("pelimo-export");
    const platform::FolderClaim claim = platform::claimDataFolder(
        folder.path(),
        {.lockFileName = ".pelimo.lock", .socketPrefix = "pelimo-", .patience = std::chrono::seconds(5)});
    ASSERT_EQ(claim.outcome, platform::FolderClaim::Outcome::owner);

    ItemInfo watched{"w1", "=SUM(A1)", "1200", "NO", "", "3", "1", "5"};
    ASSERT_TRUE(saveAramFile({watched}, folder.path()));
    HistoryStore store;
    ASSERT_EQ(store.open(folder.path() + "/history.db", 365).outcome, HistoryFileOpen::Outcome::opened);
    HistoryBatch cycle = store.openBatch(ListingOrigin::watchList());
    cycle.record(watched);
    ASSERT_TRUE(store.commit(cycle).status.ok());
    HistoryBatch ended = store.openBatch(ListingOrigin::watchList());
    ended.archiveEnded("w1");
    ASSERT_EQ(store.commit(ended).archived, 1);

    ASSERT_EQ(runExport(folder.path(), {"--export-csv", "watch", "watch.csv"}), 0);
    ASSERT_EQ(runExport(folder.path(), {"--export-csv", "archive", folder.path() + "/archive.csv"}), 0);

    const std::vector<std::string> watch = readWithPython(folder.path() + "/watch.csv");
    ASSERT_EQ(watch.size(), 2u);
    EXPECT_EQ(watch[1].substr(0, watch[1].find(' ')), hexOf("w1"));
    EXPECT_NE(watch[1].find(hexOf("'=SUM(A1)")), std::string::npos) << "a formula is made harmless";
    EXPECT_NE(watch[1].find(" " + hexOf("1200") + " "), std::string::npos);
    const std::vector<std::string> archive = readWithPython(folder.path() + "/archive.csv");
    ASSERT_EQ(archive.size(), 2u);
    EXPECT_NE(archive[1].find(" " + hexOf("1200") + " "), std::string::npos) << "the final price";

    // Asked wrongly, it says so and fails.
    EXPECT_NE(runExport(folder.path(), {"--export-csv", "other", "x.csv"}), 0);
    EXPECT_NE(runExport(folder.path(), {"--export-csv", "watch"}), 0);
}

} // namespace
} // namespace pelimo
