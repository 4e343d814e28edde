#include "HistoryTestTexts.h"
#include "StoreFixture.h"
#include "history/HistorySchema.h"
#include "history/SqliteDatabase.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <fstream>
#include <functional>

namespace pelimo::history_test {
namespace {

using namespace history_test_text;

class HistoryFileTest : public StoreFixture {
protected:
    void writeBytes(const std::string& file, const std::string& bytes) const
    {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    }
    std::string readBytes(const std::string& file) const
    {
        return platform::readWholeFile(file, 64 << 20).value_or("<missing>");
    }
    // A store of some size, so that its file has pages to damage.
    void fillStore()
    {
        open();
        std::vector<ItemInfo> items;
        for (int i = 0; i < 400; ++i)
            items.push_back(
                listing("f" + std::to_string(i), kTitleCamera, std::to_string(1000 + i), "0", kRemain3Days));
        watchPass(items);
        store.close();
    }
    int64_t schemaVersion() const
    {
        SqliteDatabase db;
        db.open(path(), SqliteDatabase::Mode::readOnly);
        return db.queryInteger("PRAGMA user_version").value_or(-1);
    }
};

// The first version's layout, as the program created it before notes were kept.
constexpr const char* kVersion1Schema = R"sql(
CREATE TABLE searches (id INTEGER PRIMARY KEY, keyword TEXT NOT NULL UNIQUE);
CREATE TABLE listings (
    id INTEGER PRIMARY KEY, item_no TEXT NOT NULL UNIQUE, title TEXT NOT NULL, title_key TEXT NOT NULL,
    auction_type TEXT NOT NULL, image_url TEXT NOT NULL, origin_search INTEGER, first_seen INTEGER NOT NULL,
    last_seen INTEGER NOT NULL, last_price INTEGER, last_bids INTEGER, last_remain TEXT NOT NULL,
    ends_at INTEGER, oldest_observation INTEGER, ended_at INTEGER, final_price INTEGER, final_bids INTEGER,
    confirmed INTEGER);
CREATE INDEX listings_ended_title ON listings(title_key) WHERE ended_at IS NOT NULL;
CREATE TABLE found_by (search_id INTEGER NOT NULL, listing_id INTEGER NOT NULL,
    PRIMARY KEY (search_id, listing_id)) WITHOUT ROWID;
CREATE TABLE observations (listing_id INTEGER NOT NULL, at INTEGER NOT NULL, price INTEGER, bids INTEGER,
    remain TEXT NOT NULL, PRIMARY KEY (listing_id, at)) WITHOUT ROWID;
INSERT INTO listings VALUES (1, 'v1', 'old camera', 'old camera', 'NO', '', NULL, 1740830709, 1740834309,
    5000, 7, '', 1740834309, 1740830709, 1740834309, 5000, 7, 1);
INSERT INTO observations VALUES (1, 1740830709, 4000, 3, '1');
PRAGMA user_version = 1;
)sql";

TEST_F(HistoryFileTest, AVersionOneFileIsUpgradedAndKeepsItsHistory)
{
    {
        SqliteDatabase db;
        ASSERT_TRUE(db.open(path(), SqliteDatabase::Mode::readWrite).ok());
        ASSERT_TRUE(db.exec(kVersion1Schema).ok());
    }
    const HistoryFileOpen opened = open();
    EXPECT_EQ(opened.outcome, HistoryFileOpen::Outcome::opened);
    EXPECT_EQ(opened.upgradedFrom, 1);

    const std::vector<ArchiveRow> archive = store.archiveRows();
    ASSERT_EQ(archive.size(), 1u);
    EXPECT_EQ(archive[0].finalPrice, 5000);
    EXPECT_EQ(store.listingHistory("v1").observations.size(), 2u);
    EXPECT_TRUE(store.setNote("v1", kNote).ok());
    watchPass({listing("v2", kTitleLens, kPrice1000, "0", kRemain3Days)});

    EXPECT_EQ(restart().upgradedFrom, -1) << "upgraded once";
    EXPECT_EQ(store.note("v1"), kNote);
    EXPECT_TRUE(store.listingHistory("v2").known);
    store.close();
    EXPECT_EQ(schemaVersion(), kHistorySchemaVersion);
}

TEST_F(HistoryFileTest, ADamagedFileIsMovedAsideAndAFreshOneStarted)
{
    struct Case {
        const char* name;
        std::function<void()> damage;
    };
    const Case cases[] = {
        {"not a database",
         [&] {
             writeBytes(path(), "this was never a database\n");
         }},
        {"pages overwritten",
         [&] {
             fillStore();
             std::string bytes = readBytes(path());
             ASSERT_GT(bytes.size(), 3 * 4096u);
             std::fill(bytes.begin() + 4096, bytes.begin() + 3 * 4096, '\x5a');
             writeBytes(path(), bytes);
         }},
        {"another program's tables",
         [&] {
             SqliteDatabase db;
             ASSERT_TRUE(db.open(path(), SqliteDatabase::Mode::readWrite).ok());
             ASSERT_TRUE(db.exec("CREATE TABLE listings (x); INSERT INTO listings VALUES (1);").ok());
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        store.close();
        std::filesystem::remove_all(folder.path());
        std::filesystem::create_directories(folder.path());
        c.damage();
        const std::string damaged = readBytes(path());

        const HistoryFileOpen opened = open();
        EXPECT_EQ(opened.outcome, HistoryFileOpen::Outcome::movedAside);
        EXPECT_EQ(opened.movedTo.rfind(path() + ".unreadable-", 0), 0u) << opened.movedTo;
        EXPECT_TRUE(readBytes(opened.movedTo) == damaged) << "moved as it was";
        EXPECT_EQ(watchPass({listing("n1", kTitleLens, kPrice1000, "0", kRemain3Days)}).sightings, 1);
        EXPECT_TRUE(store.archiveRows().empty());
    }
}

TEST_F(HistoryFileTest, AFileOfANewerVersionOrSomethingElseIsLeftAlone)
{
    {
        SqliteDatabase db;
        ASSERT_TRUE(db.open(path(), SqliteDatabase::Mode::readWrite).ok());
        ASSERT_TRUE(db.exec("PRAGMA user_version = 99").ok());
    }
    const std::string before = readBytes(path());
    const HistoryFileOpen newer = store.open(path(), 365);
    EXPECT_EQ(newer.outcome, HistoryFileOpen::Outcome::unavailable);
    EXPECT_FALSE(store.isOpen());
    HistoryBatch batch = store.openBatch(ListingOrigin::watchList());
    batch.record(listing("x", kTitleLens, kPrice1000, "0", kRemain3Days));
    EXPECT_FALSE(store.commit(batch).status.ok()) << "a write while the history is off is no success";
    EXPECT_TRUE(readBytes(path()) == before) << "left as it was";

    std::filesystem::remove(path());
    std::filesystem::create_directory(path());
    EXPECT_EQ(store.open(path(), 365).outcome, HistoryFileOpen::Outcome::unavailable);
    EXPECT_TRUE(std::filesystem::is_directory(path()));
}

} // namespace
} // namespace pelimo::history_test
