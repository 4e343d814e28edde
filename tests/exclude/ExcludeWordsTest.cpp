#include "search/exclude/ExcludeWords.h"

#include "platform/text/SjisText.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace pelimo {
namespace {

ExcludeWords typed(const char* utf8)
{
    return ExcludeWords(platform::utf8ToSjis(utf8));
}

// The field as typed and a listing's title, both as the program holds them (Shift-JIS).
TEST(ExcludeWordsTest, LeavesOutTitlesHoldingAWordWhateverItsForm)
{
    struct Case {
        const char* words;
        const char* title;
        bool excluded;
    };
    const Case cases[] = {
        {"ジャンク", "【ジャンク】Nikon F3", true},
        {"ジャンク", "ジャンボ 旅客機 模型", false},
        // width of letters and digits, and case
        {"JUNK", "ｊｕｎｋ品 ラジオ", true},
        {"ｊｕｎｋ", "Junk radio", true},
        {"F3", "Ｎｉｋｏｎ　Ｆ３", true},
        {"f3", "Nikon F4", false},
        // half-width katakana against full-width, voiced marks included
        {"ｼﾞｬﾝｸ", "ジャンク品", true},
        {"ジャンク", "ｼﾞｬﾝｸ品", true},
        {"ｼﾞｬﾝｸ", "シャンク", false},
        // compatibility characters
        {"①", "ロット1番", true},
        {"(株)", "㈱ニコン 純正", true},
        {"㈱", "(株)ニコン 純正", true},
        {"平成", "㍻レトロ", true},
        // several words, separated by blanks of either width
        {"ジャンク 部品取り", "部品取りに カメラ", true},
        {"ジャンク　部品取り", "部品取りに カメラ", true},
        {"ジャンク 　 部品取り", "完動品 カメラ", false},
        // an empty or blank field leaves nothing out
        {"", "ジャンク", false},
        {"　 ", "ジャンク", false},
        {"", "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(typed(c.words).excludes(platform::utf8ToSjis(c.title)), c.excluded)
            << '"' << c.words << "\" in \"" << c.title << '"';
    }
}

TEST(ExcludeWordsTest, KeepsTheFieldAsTypedAndComparesByItsWords)
{
    const std::string field = platform::utf8ToSjis(" ｼﾞｬﾝｸ　JUNK  ジャンク junk ");
    const ExcludeWords words(field);
    EXPECT_EQ(words.typed(), field) << "the tooltip and the saved search keep what was typed";
    EXPECT_EQ(words.words().size(), 2u) << "one word for each form of the same word";
    EXPECT_FALSE(words.empty());
    EXPECT_TRUE(typed("　").empty());

    EXPECT_EQ(typed("ｶﾒﾗ JUNK"), typed("junk　カメラ"));
    EXPECT_FALSE(typed("カメラ") == typed("カメラ ジャンク"));
}

} // namespace
} // namespace pelimo
