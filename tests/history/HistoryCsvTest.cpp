#include "history/HistoryCsv.h"

#include "HistoryTestTexts.h"
#include "StoreFixture.h"
#include "platform/FileSystem.h"
#include "platform/text/SjisText.h"
#include "tests/support/ChildProcess.h"
#include "xmlclient/AuctionType.h"

#include <cstdlib>
#include <ctime>

namespace pelimo::history_test {
namespace {

using namespace history_test_text;
using Rows = std::vector<std::vector<std::string>>;

std::string fromHex(const std::string& hex)
{
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

// The rows as Python's csv module reads the file (UTF-8); the script fails the read when the
// file is not RFC 4180 as Python itself writes it.
Rows readWithPython(const std::string& file)
{
    test::ChildProcess python;
    EXPECT_TRUE(python.start({"/usr/bin/python3", PELIMO_HISTORY_TEST_DIR "/read_csv.py", file},
                             {.readOutput = true}));
    Rows rows;
    while (const std::optional<std::string> line = python.readLine(std::chrono::seconds(30))) {
        std::vector<std::string> fields;
        size_t start = 0;
        while (start <= line->size()) {
            size_t end = line->find(' ', start);
            if (end == std::string::npos)
                end = line->size();
            fields.push_back(fromHex(line->substr(start, end - start)));
            start = end + 1;
        }
        rows.push_back(std::move(fields));
    }
    EXPECT_EQ(python.wait(std::chrono::seconds(30)), 0);
    return rows;
}

class HistoryCsvTest : public StoreFixture {
protected:
    void SetUp() override
    {
        // A fixed zone, so the end times read the same on every machine.
        ::setenv("TZ", "JST-9", 1);
        ::tzset();
    }
    std::string csvPath() const { return folder.file("out.csv"); }
};

const std::string trickyUtf8 = platform::sjisToUtf8(kTitleTricky);

TEST_F(HistoryCsvTest, ListingListsAreWrittenAsTheyShowWithThePriceAsANumber)
{
    const ListingCsvRow rows[] = {
        {{"a1", kTitleTricky, kPrice1000, "NO", "1", "3", kRemain2Hours}, kNote},
        {{"a2", kTitleLens, "-", "FP", "1", "-", "-"}, ""},
    };
    for (const ListingCsvKind kind : {ListingCsvKind::resultList, ListingCsvKind::watchList}) {
        const bool watch = kind == ListingCsvKind::watchList;
        SCOPED_TRACE(watch ? "watch list" : "result list");
        ASSERT_TRUE(writeCsvFile(csvPath(), listingCsv(kind, {rows[0], rows[1]})));
        const Rows read = readWithPython(csvPath());
        ASSERT_EQ(read.size(), 3u);
        const size_t columns = watch ? 9 : 8;
        for (const std::vector<std::string>& row : read)
            EXPECT_EQ(row.size(), columns);
        EXPECT_EQ(read[1][1], "'" + trickyUtf8) << "a formula is made harmless, the rest kept";
        EXPECT_EQ(read[1][2], platform::sjisToUtf8(kPrice1000));
        EXPECT_EQ(read[1][7], "1000");
        EXPECT_EQ(read[1][6], platform::sjisToUtf8(kRemain2Hours));
        EXPECT_EQ(read[2][6], "-");
        EXPECT_EQ(read[2][7], "") << "no price, no number";
        if (watch) {
            EXPECT_EQ(read[1][8], platform::sjisToUtf8(kNote));
        }
    }
}

TEST_F(HistoryCsvTest, TheArchiveIsExportedBesideTheRunningStore)
{
    open();
    watchPass({listing("e1", kTitleTricky, kPrice1200, "4", kRemain30Seconds)});
    pass(ListingOrigin::savedSearch(kKeywordLens), {listing("e2", kTitleLens, "800", "0", kRemain10Minutes)});
    now += 1h;
    HistoryBatch cycle = store.openBatch(ListingOrigin::watchList());
    cycle.archiveEnded("e1");
    ASSERT_EQ(store.commit(cycle).archived, 1);
    HistoryBatch run = store.openBatch(ListingOrigin::savedSearch(kKeywordLens));
    run.archiveUnreported("e2");
    ASSERT_EQ(store.commit(run).archived, 1);

    // The program keeps the store open; the export reads it from a second connection.
    const CsvExport exported = exportArchiveCsv(path(), csvPath());
    ASSERT_TRUE(exported.written) << exported.error;
    EXPECT_EQ(exported.rows, 2u);
    const Rows read = readWithPython(csvPath());
    ASSERT_EQ(read.size(), 3u);
    for (const std::vector<std::string>& row : read)
        EXPECT_EQ(row.size(), 8u);
    // The latest end first: e2 ended at its ten minutes, e1 after its thirty seconds.
    const std::vector<std::string>& e2 = read[1];
    const std::vector<std::string>& e1 = read[2];
    EXPECT_EQ(e1[0], "e1");
    EXPECT_EQ(e1[1], "'" + trickyUtf8);
    EXPECT_EQ(e1[2], "1200");
    EXPECT_EQ(e1[3], "4");
    EXPECT_EQ(e1[4], platform::sjisToUtf8(shortTypeLabel("NO")));
    EXPECT_EQ(e1[5], "2025-03-01T21:05:39+09:00");
    EXPECT_EQ(e2[0], "e2");
    EXPECT_EQ(e2[2], "800");
    EXPECT_EQ(e2[5], "2025-03-01T21:15:09+09:00");
    EXPECT_EQ(e2[6], platform::sjisToUtf8(kKeywordLens));
    EXPECT_FALSE(e1[6].empty());
    EXPECT_NE(e1[6], e2[6]) << "the watch list is named as the origin";
    EXPECT_NE(e1[7], e2[7]) << "confirmed and unconfirmed read differently";

    // Without a history file there is nothing to export but the header.
    const CsvExport empty = exportArchiveCsv(folder.file("none.db"), csvPath());
    ASSERT_TRUE(empty.written) << empty.error;
    EXPECT_EQ(readWithPython(csvPath()).size(), 1u);
    EXPECT_EQ(platform::fileKind(folder.file("none.db")), platform::FileKind::missing);
}

} // namespace
} // namespace pelimo::history_test
