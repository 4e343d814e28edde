#pragma once

#include "history/HistoryStore.h"
#include "tests/support/TempFolder.h"
#include "xmlclient/ItemInfo.h"

#include <chrono>
#include <gtest/gtest.h>
#include <string>

namespace pelimo::history_test {

using namespace std::chrono_literals;

// 2025-03-01 12:05:09 UTC.
inline const HistoryTime kStart{std::chrono::seconds(1740830709)};

inline ItemInfo listing(std::string itemNo, std::string title, std::string price, std::string bids,
                        std::string remain, std::string type = "NO")
{
    ItemInfo item;
    item.ItemNo = std::move(itemNo);
    item.ItemName = std::move(title);
    item.CurrentPrice = std::move(price);
    item.AuctionType = std::move(type);
    item.ImageUrl = "http://127.0.0.1:8931/img/" + item.ItemNo + ".jpg";
    item.BidNum = std::move(bids);
    item.ItemNum = "1";
    item.RemainTime = std::move(remain);
    return item;
}

// A store on a real file in a folder of the test's own, with a clock the test moves.
class StoreFixture : public ::testing::Test {
protected:
    HistoryFileOpen open(int32_t retentionDays = 365)
    {
        const HistoryFileOpen opened = store.open(path(), retentionDays);
        EXPECT_TRUE(store.isOpen()) << opened.status.message;
        return opened;
    }
    // Closes the file and opens it again, as a restart does.
    HistoryFileOpen restart(int32_t retentionDays = 365)
    {
        store.close();
        return open(retentionDays);
    }
    // One pass of the given origin that reports the listings now.
    BatchResult pass(const ListingOrigin& origin, const std::vector<ItemInfo>& items)
    {
        HistoryBatch batch = store.openBatch(origin);
        for (const ItemInfo& item : items)
            batch.record(item);
        const BatchResult result = store.commit(batch);
        EXPECT_TRUE(result.status.ok()) << result.status.message;
        return result;
    }
    BatchResult watchPass(const std::vector<ItemInfo>& items)
    {
        return pass(ListingOrigin::watchList(), items);
    }

    std::string path() const { return folder.file("history.db"); }

    test::TempFolder folder{"pelimo-history"};
    HistoryTime now = kStart;
    HistoryStore store{[this] {
        return now;
    }};
};

} // namespace pelimo::history_test
