#include "platform/text/PriceText.h"

#include "platform/text/SjisText.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace pelimo {
namespace {

using Kind = PriceText::Kind;

// Every case is typed in UTF-8 here and reaches the parser as the command bar hands it over,
// in Shift-JIS.
TEST(PriceTextTest, ReadsWhatPeopleTypeAndRefusesTheRest)
{
    struct Case {
        const char* typed;
        Kind kind;
        int32_t amount = 0;
    };
    const Case cases[] = {
        {"3000", Kind::amount, 3000},
        {"3,000", Kind::amount, 3000},
        {"1,234,567", Kind::amount, 1234567},
        {"１２，８００", Kind::amount, 12800},
        {" 5,000円 ", Kind::amount, 5000},
        {"　３０００円　", Kind::amount, 3000},
        {"3,000 円", Kind::amount, 3000},
        {"\t980\r\n", Kind::amount, 980},
        {"0", Kind::amount, 0},
        {"2147483647", Kind::amount, INT32_MAX},
        {"2,147,483,647", Kind::amount, INT32_MAX},
        {"00000000002147483647", Kind::amount, INT32_MAX},

        {"", Kind::noBound},
        {"   ", Kind::noBound},
        {"　\t", Kind::noBound},

        {"abc", Kind::refused},
        {"5000yen", Kind::refused},
        {"-100", Kind::refused},
        {"－１００", Kind::refused},
        {"3.5", Kind::refused},
        {"3 000", Kind::refused},
        {"3,00", Kind::refused},
        {"30,00", Kind::refused},
        {"1234,567", Kind::refused},
        {",300", Kind::refused},
        {"300,", Kind::refused},
        {"1,,000", Kind::refused},
        {"2147483648", Kind::refused},
        {"円", Kind::refused},
        {"3000円円", Kind::refused},
        {"円3000", Kind::refused},
        {"￥3000", Kind::refused},
        {"三千", Kind::refused},
    };
    for (const Case& c : cases) {
        const PriceText read = parsePriceText(platform::utf8ToSjis(c.typed));
        EXPECT_EQ(read.kind, c.kind) << '"' << c.typed << '"';
        if (c.kind == Kind::amount)
            EXPECT_EQ(read.bound(), std::optional<int32_t>(c.amount)) << '"' << c.typed << '"';
        else
            EXPECT_EQ(read.bound(), std::nullopt) << '"' << c.typed << '"';
    }
}

TEST(PriceTextTest, BrokenShiftJisIsRefusedAndNeverMisreadAsDigits)
{
    // A lead byte at the end, and a double-byte character whose trail byte is an ASCII letter.
    EXPECT_TRUE(parsePriceText("3000\x82").refused());
    EXPECT_TRUE(parsePriceText("\x82"
                               "3000")
                    .refused())
        << "the lead byte takes the first digit with it";
    EXPECT_TRUE(parsePriceText("30\x83\x5c"
                               "00")
                    .refused());
    EXPECT_TRUE(parsePriceText(std::string("30\0"
                                           "00",
                                           5))
                    .refused());
}

// The listing service's price texts, written in UTF-8 here and handed over in Shift-JIS.
TEST(PriceTextTest, ServicePricesAreReadAsWrittenAndNothingElseIsTakenForOne)
{
    struct Case {
        std::string text;
        std::optional<int64_t> yen;
    };
    const Case cases[] = {
        {"1000", 1000},
        {"1,000円", 1000},
        {"1200円", 1200},
        {"１，２３４，５６７円", 1234567},
        {"￥ ３００", 300},
        {"　2,500 円　", 2500},
        {"\\12,800", 12800},
        {"0", 0},
        {"999999999999999", 999999999999999},
        // Not a price: nothing, never a smaller number read from its start.
        {"", std::nullopt},
        {"-", std::nullopt},
        {"1000円(税込)", std::nullopt},
        {"千円", std::nullopt},
        {"1,,000", std::nullopt},
        {",100", std::nullopt},
        {"100,", std::nullopt},
        {"1 000", std::nullopt},
        {"-100", std::nullopt},
        {"1000000000000000", std::nullopt},
        {"99999999999999999999999", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parsePriceYen(platform::utf8ToSjis(c.text)), c.yen);
    }
    EXPECT_EQ(parsePriceYen(std::string("12\0"
                                        "00",
                                        5)),
              std::nullopt);
    EXPECT_EQ(parsePriceYen("\x82"), std::nullopt) << "a lead byte alone";
}

TEST(PriceTextTest, ServiceCountsTakeDigitsOfEitherWidthOnly)
{
    EXPECT_EQ(parseCount("12"), 12);
    EXPECT_EQ(parseCount(platform::utf8ToSjis("１２")), 12);
    EXPECT_EQ(parseCount(" 3 "), 3);
    EXPECT_EQ(parseCount("-"), std::nullopt);
    EXPECT_EQ(parseCount(platform::utf8ToSjis("1,000円")), std::nullopt);
}

} // namespace
} // namespace pelimo
