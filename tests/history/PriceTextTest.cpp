#include "history/PriceText.h"

#include "HistoryTestTexts.h"

#include <gtest/gtest.h>

namespace pelimo {
namespace {

using namespace history_test_text;

TEST(PriceTextTest, PricesAreReadAsTheServiceWritesThemAndNothingElseIsTakenForOne)
{
    struct Case {
        std::string text;
        std::optional<int64_t> yen;
    };
    const Case cases[] = {
        {"1000", 1000},
        {kPrice1000, 1000},
        {kPrice1200, 1200},
        {kPriceFullWidth, 1234567},
        {kPriceFullWidthYen, 300},
        {kPriceWithBlanks, 2500},
        {"\\12,800", 12800},
        {"0", 0},
        {"999999999999999", 999999999999999},
        // Not a price: nothing, never a smaller number read from its start.
        {"", std::nullopt},
        {"-", std::nullopt},
        {kPriceStray, std::nullopt},
        {kPriceOtherCharacter, std::nullopt},
        {"1,,000", std::nullopt},
        {",100", std::nullopt},
        {"100,", std::nullopt},
        {"1 000", std::nullopt},
        {"-100", std::nullopt},
        {"1000000000000000", std::nullopt},
        {"99999999999999999999999", std::nullopt},
        {std::string("12\0"
                     "00",
                     5),
         std::nullopt},
        {"\x82", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parsePriceYen(c.text), c.yen);
    }
}

TEST(PriceTextTest, CountsTakeDigitsOfEitherWidthOnly)
{
    EXPECT_EQ(parseCount("12"), 12);
    EXPECT_EQ(parseCount(kCountFullWidth), 12);
    EXPECT_EQ(parseCount(" 3 "), 3);
    EXPECT_EQ(parseCount("-"), std::nullopt);
    EXPECT_EQ(parseCount(kPrice1000), std::nullopt);
}

} // namespace
} // namespace pelimo
