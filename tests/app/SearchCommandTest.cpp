#include "app/SearchCommand.h"

#include "platform/text/SjisText.h"

#include <gtest/gtest.h>

namespace pelimo {
namespace {

// Shift-JIS bytes written out, so the test reads the same on every machine.
const std::string kFullWidthSpace = "\x81\x40";
const std::string kKanjiA = "\x88\xa0"; // a two-byte character
const std::string kTrail40 = "\x81\x81"
                             "\x40"; // a two-byte character, then '@'

CommandBarInput withTypes(std::array<int32_t, kTypeBoxCount> flags)
{
    CommandBarInput in;
    in.keyword = "camera";
    in.typeFlags = flags;
    return in;
}

TEST(SearchCommand, EmptyKeywordSendsNothing)
{
    CommandBarInput in;
    in.priceLowText = "100";
    EXPECT_FALSE(buildSearchRequest(in).has_value());
}

TEST(SearchCommand, TypeCodesFollowControlIdOrder)
{
    struct Case {
        std::array<int32_t, kTypeBoxCount> flags; // ordinary, multiple, immediate, fixed, group
        const char* expected;
    };
    const Case cases[] = {
        {{1, 1, 1, 1, 1}, "NO,PA,FL,FP,GB"},
        {{0, 0, 0, 0, 0}, ""},
        {{0, 0, 0, 1, 1}, "FP,GB"},
        {{0, 0, 0, 0, 1}, "GB"},
        {{1, 0, 1, 0, 0}, "NO,FL"},
        // A flag counts only when it is exactly 1.
        {{2, 1, 0, 0, 0}, "PA"},
    };
    for (const Case& c : cases) {
        const auto request = buildSearchRequest(withTypes(c.flags));
        ASSERT_TRUE(request.has_value());
        EXPECT_EQ(request->auctionTypes, c.expected);
    }
}

// The boxes go through the price parser, which has its own table; here what the command bar
// makes of it: the bound in the request, or the box that stops the search.
TEST(SearchCommand, PricesAreReadAsTypedOrStopTheSearchNamingTheBox)
{
    struct Case {
        const char* low;
        const char* high;
        int32_t expectedLow;
        int32_t expectedHigh;
        std::optional<PriceField> refused;
    };
    const Case cases[] = {
        {"", "3,000", 0, 3000, std::nullopt},
        {"１，０００円", "", 1000, 0, std::nullopt},
        {"000000000000000123", "", 123, 0, std::nullopt},
        {"abc", "3,000", 0, 0, PriceField::low},
        {"100", "3.5", 0, 0, PriceField::high},
        {"-40", "x", 0, 0, PriceField::low},
    };
    for (const Case& c : cases) {
        CommandBarInput in;
        in.keyword = "x";
        in.priceLowText = platform::utf8ToSjis(c.low);
        in.priceHighText = platform::utf8ToSjis(c.high);
        EXPECT_EQ(refusedPriceField(in), c.refused) << c.low << " / " << c.high;
        const auto request = buildSearchRequest(in);
        ASSERT_EQ(request.has_value(), !c.refused.has_value()) << c.low << " / " << c.high;
        if (request) {
            EXPECT_EQ(request->priceLow, c.expectedLow) << c.low;
            EXPECT_EQ(request->priceHigh, c.expectedHigh) << c.high;
        }
    }
}

TEST(SearchCommand, KeywordKeepsItsTextButNarrowsFullWidthSpaces)
{
    struct Case {
        std::string keyword;
        std::string expected;
    };
    const Case cases[] = {
        {"ab" + kFullWidthSpace + "cd", "ab cd"},
        {kFullWidthSpace + kFullWidthSpace, "  "},
        {"  padded  ", "  padded  "},
        {kKanjiA + kFullWidthSpace + kKanjiA, kKanjiA + " " + kKanjiA},
        // The bytes 0x81 0x40 across a character boundary are no space.
        {kTrail40, kTrail40},
    };
    for (const Case& c : cases) {
        CommandBarInput in;
        in.keyword = c.keyword;
        const auto request = buildSearchRequest(in);
        ASSERT_TRUE(request.has_value());
        EXPECT_EQ(request->text, c.expected);
    }
}

TEST(SearchCommand, LotNumberModeAndFirstPageAreCarried)
{
    CommandBarInput in;
    in.keyword = "e123456";
    in.lotNumberFlag = 1;
    in.priceHighText = "5000";
    const auto request = buildSearchRequest(in);
    ASSERT_TRUE(request.has_value());
    EXPECT_EQ(request->lotNumberMode, 1);
    EXPECT_EQ(request->page, 1);
    EXPECT_EQ(request->text, "e123456");
    EXPECT_EQ(request->auctionTypes, "NO,PA,FL,FP,GB");
    EXPECT_EQ(request->priceHigh, 5000);
    EXPECT_EQ(request->priceLow, 0);
}

TEST(SearchCommand, OverlongKeywordIsCutOnACharacterBoundary)
{
    CommandBarInput in;
    in.keyword = "a";
    for (int i = 0; i < 600; ++i) {
        in.keyword += kKanjiA;
    }
    const auto request = buildSearchRequest(in);
    ASSERT_TRUE(request.has_value());
    // 1 + 511 * 2 = 1023 bytes; the next character would not fit whole.
    EXPECT_EQ(request->text.size(), 1023u);
    EXPECT_EQ(request->text.substr(request->text.size() - 2), kKanjiA);
}

TEST(SjisCut, NeverSplitsACharacter)
{
    struct Case {
        std::string text;
        size_t max;
        std::string expected;
    };
    const std::string kanji255 = std::string(253, 'x') + kKanjiA; // exactly 255 bytes
    const std::string kanji256 = std::string(254, 'x') + kKanjiA; // the character would end at 256
    const Case cases[] = {
        {kanji255, 255, kanji255},
        {kanji256, 255, std::string(254, 'x')},
        {kanji256 + "tail", 255, std::string(254, 'x')},
        {std::string(300, 'y'), 255, std::string(255, 'y')},
        {"short", 255, "short"},
        {kKanjiA + kKanjiA, 3, kKanjiA},
        // A lone lead byte at the very end stays one byte.
        {"ab\x88", 3, "ab\x88"},
        {"", 255, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::cutSjis(c.text, c.max), c.expected);
    }
}

} // namespace
} // namespace pelimo
