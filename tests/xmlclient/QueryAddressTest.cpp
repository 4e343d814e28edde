#include "TestText.h"
#include "xmlclient/ListingQueries.h"

#include <gtest/gtest.h>

namespace pelimo {
namespace {

using test::sjis;

TEST(QueryAddressTest, ValuesAreEncodedSoTheyCannotAddKeys)
{
    const struct {
        const char* typed;
        const char* wire;
    } cases[] = {
        {"abc-._~XYZ09", "abc-._~XYZ09"},          {"a b", "a%20b"}, {"&=#+%?/", "%26%3D%23%2B%25%3F%2F"},
        {"テスト", "%E3%83%86%E3%82%B9%E3%83%88"}, {"\\~", "%5C~"},  {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(encodeQueryValue(sjis(c.typed)), c.wire) << c.typed;
}

TEST(QueryAddressTest, TypeCodesStayReadableButCannotInjectKeys)
{
    SearchRequest request;
    request.text = "k";
    request.auctionTypes = "NO,FL";
    EXPECT_EQ(searchAddress("http://h:1/", request),
              "http://h:1/bep/xml?at=NO,FL&tf=xml_lite3&keyword=k&ipp=10&page=1");
    request.auctionTypes = "NO&page=9";
    EXPECT_EQ(searchAddress("http://h:1", request),
              "http://h:1/bep/xml?at=NO%26page%3D9&tf=xml_lite3&keyword=k&ipp=10&page=1");
}

TEST(QueryAddressTest, OverlongRequestsAreRefusedNotCut)
{
    // Path and query as typed may hold at most 1023 bytes, whatever the base.
    const std::string keywordHead = "/bep/xml?at=NO,PA,FL,FP,GB&tf=xml_lite3&keyword=";
    const std::string keywordTail = "&ipp=10&page=1&clow=100";
    const size_t keywordRoom = kMaxRequestPathBytes - keywordHead.size() - keywordTail.size();
    SearchRequest request;
    request.priceLow = 100;
    request.text = std::string(keywordRoom, 'a');
    EXPECT_TRUE(searchAddress("http://h:1", request));
    request.text += 'a';
    EXPECT_FALSE(searchAddress("http://h:1", request));
    // A double-byte keyword counts its Shift-JIS bytes, not its longer wire form.
    std::string kana;
    for (size_t i = 0; i < keywordRoom / 2; ++i)
        kana += "ア";
    request.text = sjis(kana);
    ASSERT_EQ(request.text.size(), keywordRoom / 2 * 2);
    EXPECT_TRUE(searchAddress("http://h:1", request));

    const size_t lotRoom = kMaxRequestPathBytes - std::string("/bep/xml?tf=xml_lite6&exhibit_id=").size();
    SearchRequest lot;
    lot.lotNumberMode = 1;
    lot.text = std::string(lotRoom, '1');
    EXPECT_TRUE(searchAddress("http://h:1", lot));
    lot.text += '1';
    EXPECT_FALSE(searchAddress("http://h:1", lot));
    EXPECT_TRUE(itemAddress("http://h:1", std::string(lotRoom, '1')));
    EXPECT_FALSE(itemAddress("http://h:1", std::string(lotRoom + 1, '1')));

    XmlDocumentClient client;
    int32_t total = -7;
    int32_t current = -7;
    EXPECT_EQ(searchListing(client, Endpoints{}, lot, total, current), 1);
    EXPECT_EQ(total, -7);
    ItemInfo record;
    record.ItemNo = "keep";
    EXPECT_EQ(queryItem(client, Endpoints{}, std::string(lotRoom + 1, '1'), record), 1);
    EXPECT_EQ(record.ItemNo, "keep");
}

} // namespace
} // namespace pelimo
