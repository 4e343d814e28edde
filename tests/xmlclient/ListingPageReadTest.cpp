#include "TestText.h"
#include "platform/FileSystem.h"
#include "tests/support/TempFolder.h"
#include "xmlclient/ListingQueries.h"
#include "xmlclient/XmlDocumentClient.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace pelimo {
namespace {

using test::sjis;

// The records of a page as the general selections read them: each "//ListingInfo/ItemInfo",
// each field the first element of its name below it.
std::vector<ItemInfo> readBySelection(XmlDocumentClient& client, const std::string& path)
{
    std::vector<ItemInfo> out;
    NodeCursor items;
    const int32_t count = client.selectNodes(path, items);
    for (int32_t i = 0; i < count; ++i) {
        client.nodeAt(i, items);
        ItemInfo r;
        for (auto [name, field] : {std::pair{"ItemNo", &r.ItemNo},
                                   {"ItemName", &r.ItemName},
                                   {"CurrentPrice", &r.CurrentPrice},
                                   {"ImageUrl", &r.ImageUrl},
                                   {"AuctionType", &r.AuctionType},
                                   {"ItemNum", &r.ItemNum},
                                   {"BidNum", &r.BidNum},
                                   {"RemainTime", &r.RemainTime}})
            client.childText(name, items, *field);
        r.ItemNo = itemNumberOf(r.ItemNo);
        out.push_back(std::move(r));
    }
    client.releaseCursor(items);
    return out;
}

// The page reader walks the tree itself; whatever the answer's shape, it must find the same
// records and texts as the selections the fuzz target and the item reader use.
TEST(ListingPageReadTest, FindsWhatTheSelectionsFind)
{
    const char* pages[] = {
        // An ordinary page: blanks around the number go, every other text stays as sent.
        "<ListingInfo><TotalPage>3</TotalPage><ItemInfo><ItemNo> 31 \n</ItemNo><ItemName>  カメラ ①～ "
        "</ItemName><CurrentPrice>980円</CurrentPrice><ImageUrl>http://p/1.png</ImageUrl>"
        "<AuctionType>NO</AuctionType><ItemNum>1</ItemNum><BidNum>0</BidNum><RemainTime>3日</RemainTime>"
        "</ItemInfo><ItemInfo><ItemNo>32</ItemNo><ItemName>\n</ItemName></ItemInfo></ListingInfo>",
        // Only direct children of a ListingInfo are records, at any depth and in document order;
        // a field is the first of its name, however deep.
        "<r><ListingInfo><ItemInfo><ItemNo>a</ItemNo><d><ItemName>deep</ItemName></d>"
        "<ItemName>shallow</ItemName></ItemInfo><x><ItemInfo><ItemNo>no</ItemNo></ItemInfo></x>"
        "<ListingInfo><ItemInfo><ItemNo>inner</ItemNo></ItemInfo></ListingInfo>"
        "<ItemInfo><ItemNo>b</ItemNo><ItemInfo><ItemNo>c</ItemNo></ItemInfo></ItemInfo></ListingInfo>"
        "<ItemInfo><ItemNo>outside</ItemNo></ItemInfo></r>",
        // Mixed content, sections, comments, empty and missing fields, blank numbers.
        "<ListingInfo><ItemInfo><ItemNo>m</ItemNo><ItemName>a<b>c</b><![CDATA[<d>]]>e<!--x-->f</ItemName>"
        "<CurrentPrice/><BidNum></BidNum></ItemInfo><ItemInfo><ItemNo>  </ItemNo><ItemName>n</ItemName>"
        "</ItemInfo><ItemInfo><ItemName>no number</ItemName></ItemInfo></ListingInfo>",
        // Namespaces: a prefixed field is another name; a default namespace keeps a field's name
        // but takes a record out of the path's reach.
        "<ListingInfo xmlns:p=\"urn:p\"><ItemInfo><p:ItemNo>p</p:ItemNo><ItemNo>q</ItemNo>"
        "<ItemName xmlns=\"urn:d\">default</ItemName></ItemInfo><ItemInfo xmlns=\"urn:d\"><ItemNo>r"
        "</ItemNo></ItemInfo><p:ItemInfo><ItemNo>s</ItemNo></p:ItemInfo></ListingInfo>",
        "<ListingInfo xmlns=\"urn:d\"><ItemInfo><ItemNo>t</ItemNo></ItemInfo></ListingInfo>",
        // The root itself, and what is no listing page at all.
        "<ItemInfo><ItemNo>root</ItemNo></ItemInfo>",
        "<ListingInfo/>",
        "not xml",
        "",
    };
    test::TempFolder folder{"pelimo-listingpage"};
    const std::string path = platform::joinPath(folder.path(), "page.xml");
    for (const char* page : pages) {
        ASSERT_TRUE(platform::writeFileAtomically(path, "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n" +
                                                            sjis(page)));
        XmlDocumentClient client;
        ASSERT_EQ(client.load(path, false), 0) << page;
        std::vector<ItemInfo> expected = readBySelection(client, "//ListingInfo/ItemInfo");
        std::erase_if(expected, [](const ItemInfo& r) { return r.ItemNo.empty(); });
        std::vector<ItemInfo> records;
        EXPECT_EQ(parseListingItems(client, records), static_cast<int32_t>(expected.size())) << page;
        EXPECT_EQ(records, expected) << page;

        // The item reader takes any node it is given.
        const std::vector<ItemInfo> anywhere = readBySelection(client, "//*");
        NodeCursor all;
        client.selectNodes("//*", all);
        for (size_t i = 0; i < anywhere.size(); ++i) {
            ItemInfo record;
            ASSERT_EQ(readItemInfo(client, static_cast<int32_t>(i), record, all), 0);
            EXPECT_EQ(record, anywhere[i]) << page << " node " << i;
        }
        client.releaseCursor(all);
        client.release();
        EXPECT_EQ(parseListingItems(client, records), -1) << "no document";
        EXPECT_TRUE(records.empty());
    }
}

} // namespace
} // namespace pelimo
