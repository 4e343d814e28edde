// An answer of the listing service as it may arrive: the records and the page totals a search
// page reads from it never crash the reader, every record found is one ItemInfo element with
// an item number, held without blanks around it, and every record can be kept in the watch
// list file and read back unchanged.
#include "FuzzSupport.h"
#include "platform/FileSystem.h"
#include "platform/text/NumberText.h"
#include "watch/AramFile.h"
#include "xmlclient/ItemInfo.h"
#include "xmlclient/ListingQueries.h"
#include "xmlclient/XmlDocumentClient.h"

#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace pelimo;
    const std::string path = platform::joinPath(fuzz::workFolder("listing"), "answer.xml");
    PELIMO_FUZZ_REQUIRE(
        platform::writeFileAtomically(path, std::string(reinterpret_cast<const char*>(data), size)));

    XmlDocumentClient client;
    PELIMO_FUZZ_REQUIRE(client.load(path, false) == 0);

    // The page totals, read the way a search page reads them.
    NodeCursor info;
    if (client.selectNodes("//ListingInfo", info) >= 1) {
        std::string total;
        std::string current;
        client.childText("TotalPage", info, total);
        client.childText("CurrentPage", info, current);
        (void)leadingInteger(total);
        (void)leadingInteger(current);
    }
    client.releaseCursor(info);

    // Every ItemInfo whose item number is not blank is one listing.
    NodeCursor items;
    const int32_t elements = client.selectNodes("//ListingInfo/ItemInfo", items);
    int32_t expected = 0;
    for (int32_t i = 0; i < elements; ++i) {
        std::string itemNo;
        PELIMO_FUZZ_REQUIRE(client.nodeAt(i, items) == 0);
        client.childText("ItemNo", items, itemNo);
        expected += itemNumberOf(itemNo).empty() ? 0 : 1;
    }
    client.releaseCursor(items);
    std::vector<ItemInfo> records;
    const int32_t count = parseListingItems(client, records);
    PELIMO_FUZZ_REQUIRE(count == -1 || (count >= 0 && static_cast<size_t>(count) == records.size()));
    if (elements > 0)
        PELIMO_FUZZ_REQUIRE(count == expected);
    for (const ItemInfo& r : records)
        PELIMO_FUZZ_REQUIRE(!r.ItemNo.empty() && itemNumberOf(r.ItemNo) == r.ItemNo);
    client.release();

    // What the user adds to the watch list from these rows survives the next start.
    if (count > 0) {
        const std::string folder = fuzz::workFolder("listing");
        PELIMO_FUZZ_REQUIRE(saveAramFile(records, folder));
        const AramFileLoad kept = loadAramFile(folder);
        PELIMO_FUZZ_REQUIRE(kept.outcome == AramFileLoad::Outcome::loaded);
        // The file gives an empty field the line break of its element, so a field that is a
        // single line break reads back empty; every other text comes back as it was.
        std::vector<ItemInfo> expected = records;
        for (ItemInfo& r : expected) {
            for (std::string* field : {&r.ItemNo, &r.ItemName, &r.CurrentPrice, &r.AuctionType, &r.ImageUrl,
                                       &r.BidNum, &r.ItemNum, &r.RemainTime}) {
                if (*field == "\n")
                    field->clear();
            }
        }
        PELIMO_FUZZ_REQUIRE(kept.records == expected);
    }
    return 0;
}
