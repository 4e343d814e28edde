#include "listing/ListingOrder.h"

#include "ListingTestTexts.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace pelimo {
namespace {

int sign(int value)
{
    return (value > 0) - (value < 0);
}

TEST(ListingOrder, TextsCompareByCharacterCode)
{
    struct Case {
        std::string a;
        std::string b;
        int expected;
    };
    const std::vector<Case> cases = {
        {"abc", "abd", -1},
        {"ab", "abc", -1}, // a prefix sorts first
        {"", "a", -1},
        {"same", "same", 0},
        {"Z", "a", -1}, // by code, not by letter
        {testtext::kKanaA, testtext::kKanaI, -1},
        {testtext::kKanaA, testtext::kKanaAI, -1},
        // A half-width kana is one byte (0xB1); any double-byte character is lead * 256 +
        // trail and so above it, although a plain byte comparison says the opposite.
        {testtext::kHalfKanaA, testtext::kKanaA, -1},
        {"z", testtext::kKanjiTitle, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sign(compareSjisText(c.a, c.b)), c.expected) << c.a << " vs " << c.b;
        EXPECT_EQ(sign(compareSjisText(c.b, c.a)), -c.expected) << c.b << " vs " << c.a;
    }
}

TEST(ListingOrder, NumericColumnsReadTheirNumbers)
{
    struct Case {
        int column;
        std::string text;
        int64_t expected;
    };
    const std::vector<Case> cases = {
        {kColumnPrice, testtext::kYen980, 980},
        {kColumnPrice, testtext::kYen12000, 12000},
        {kColumnPrice, "", 0},
        {kColumnUnits, " 12", 12},
        {kColumnBids, "x", 0},
        {kColumnRemainTime, testtext::kMinutes15, 900},
        {kColumnRemainTime, testtext::kDash, -1},
        {kColumnRemainTime, testtext::kNoUnit, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(numericSortValue(c.column, c.text), c.expected) << c.column << " " << c.text;
}

std::vector<int32_t> sorted(const std::vector<std::string>& cells, int column, bool ascending)
{
    std::vector<int32_t> ids;
    for (size_t i = 0; i < cells.size(); ++i)
        ids.push_back(static_cast<int32_t>(i));
    sortRowIds(ids, column, ascending,
               [&](int32_t id) -> std::string_view { return cells[static_cast<size_t>(id)]; });
    return ids;
}

TEST(ListingOrder, SortsRowIdsBothWays)
{
    const std::vector<std::string> prices = {testtext::kYen12000, testtext::kYen980, testtext::kYen500};
    EXPECT_EQ(sorted(prices, kColumnPrice, true), (std::vector<int32_t>{2, 1, 0}));
    EXPECT_EQ(sorted(prices, kColumnPrice, false), (std::vector<int32_t>{0, 1, 2}));

    const std::vector<std::string> remain = {testtext::kDays2, testtext::kDash, testtext::kSeconds30,
                                             testtext::kHours5};
    EXPECT_EQ(sorted(remain, kColumnRemainTime, true), (std::vector<int32_t>{1, 2, 3, 0}));

    // Extreme values order correctly where a difference of two 32-bit numbers would not.
    const std::vector<std::string> bids = {"2147483647", "-2147483647", "0"};
    EXPECT_EQ(sorted(bids, kColumnBids, true), (std::vector<int32_t>{1, 2, 0}));

    const std::vector<std::string> names = {testtext::kKanaI, "b", testtext::kKanaA, "a"};
    EXPECT_EQ(sorted(names, kColumnItemName, true), (std::vector<int32_t>{3, 1, 2, 0}));

    // Equal keys keep their order in both directions.
    const std::vector<std::string> ties = {"5", "5", "1"};
    EXPECT_EQ(sorted(ties, kColumnUnits, true), (std::vector<int32_t>{2, 0, 1}));
    EXPECT_EQ(sorted(ties, kColumnUnits, false), (std::vector<int32_t>{0, 1, 2}));
}

// The watch list compares its rows two at a time; the result lists sort keys computed once.
// Both must put the same rows in the same order, in every column.
TEST(ListingOrder, CellComparisonAgreesWithTheSort)
{
    const std::vector<std::string> cells = {
        testtext::kYen980,
        testtext::kYen12000,
        testtext::kMinutes15,
        testtext::kDash,
        testtext::kKanaA,
        testtext::kKanaAI,
        "12",
        "9",
        "",
        testtext::kHalfKanaA,
    };
    for (int column = 0; column < kListingColumnCount; ++column) {
        std::vector<int32_t> compared;
        for (size_t i = 0; i < cells.size(); ++i)
            compared.push_back(static_cast<int32_t>(i));
        std::stable_sort(compared.begin(), compared.end(), [&](int32_t a, int32_t b) {
            return cellLess(column, cells[static_cast<size_t>(a)], cells[static_cast<size_t>(b)]);
        });
        EXPECT_EQ(compared, sorted(cells, column, true)) << "column " << column;
    }
    // A number column reads the number; a text column compares the characters.
    EXPECT_TRUE(cellLess(kColumnPrice, testtext::kYen980, testtext::kYen12000));
    EXPECT_FALSE(cellLess(kColumnItemName, testtext::kYen980, testtext::kYen12000));
}

} // namespace
} // namespace pelimo
