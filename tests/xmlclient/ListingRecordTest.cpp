#include "TestText.h"
#include "xmlclient/AuctionType.h"

#include <gtest/gtest.h>

namespace pelimo {
namespace {

using test::sjis;

TEST(ListingRecordTest, RemainingSeconds)
{
    const struct {
        const char* text;
        int32_t seconds;
    } cases[] = {
        {"30秒", 30},
        {"15分", 900},
        {"5時間", 18000},
        {"3日", 259200},
        {"", -1},
        {"まもなく", -1},
        {"12", -1},
        {"0分", 0},
        {"2日3時間", 7200},
        {" 7分", 420},
        {"100000日", 2147483647},
        // 秒 is 0x95 0x62: the trail byte of ヵ (0x83 0x95) followed by 'b' reads as 秒 to a
        // search that ignores character boundaries.
        {"1ヵb", -1},
        {"1ヵ秒", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(remainingSeconds(sjis(c.text)), c.seconds) << c.text;

    // Only the first 31 bytes count.
    EXPECT_EQ(remainingSeconds(std::string(30, '1') + sjis("分")), -1);
    EXPECT_EQ(remainingSeconds("5" + std::string(27, ' ') + sjis("分")), 300);
}

TEST(ListingRecordTest, PriceValue)
{
    const struct {
        const char* text;
        int32_t value;
    } cases[] = {
        {"980円", 980}, {"12,800円", 12}, {"", 0}, {"円1500", 1500}, {"1円2円", 12}, {"価格未定", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(priceValue(sjis(c.text)), c.value) << c.text;
}

TEST(ListingRecordTest, TypeLabels)
{
    const struct {
        const char* code;
        const char* label;
        int32_t index;
    } cases[] = {
        {"NO", "通常オク", 1}, {"PA", "複数オク", 2}, {"FL", "即決オク", 3}, {"GB", "共同購入", 4},
        {"FP", "固定価格", 5}, {"fl", "????", 0},     {"", "????", 0},       {"FLX", "????", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shortTypeLabel(c.code), sjis(c.label)) << c.code;
        EXPECT_EQ(typeIndexOfLabel(shortTypeLabel(c.code)), c.index) << c.code;
    }
    EXPECT_EQ(typeIndexOfLabel(sjis("通常オクX")), 0) << "the whole label must match";
    EXPECT_EQ(typeIndexOfLabel(sjis("通常")), 0);
}

} // namespace
} // namespace pelimo
