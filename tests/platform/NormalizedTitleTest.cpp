#include "platform/text/NormalizedTitle.h"

#include "platform/text/SjisText.h"
#include "platform/text/SjisToUtf16.h"

#include <gtest/gtest.h>
#include <string>

namespace pelimo {
namespace {

std::string normalized(const char* utf8)
{
    return normalizedTitle(platform::utf8ToSjis(utf8));
}

// Two listings of one thing, written by different people, compare as one title.
TEST(NormalizedTitleTest, TitlesThatDifferOnlyInFormCompareEqual)
{
    struct Case {
        const char* a;
        const char* b;
    };
    const Case same[] = {
        {"Nikon F3 ボディ", "ＮＩＫＯＮ　Ｆ３　ボディ"},
        {"ﾆｺﾝ ｶﾒﾗ ｼﾞｬﾝｸ", "ニコン カメラ ジャンク"},
        {"パーフェクト", "ﾊﾟｰﾌｪｸﾄ"},
        {"①番 ㈱ニコン", "1番 (株)ニコン"},
        {"10㎝ ㍻", "10cm 平成"},
        {"  Canon \t AE-1  ", "canon ae-1"},
        {"ＡＢＣ　ａｂｃ", "abc abc"},
    };
    for (const Case& c : same)
        EXPECT_EQ(normalized(c.a), normalized(c.b)) << c.a << " / " << c.b;

    const Case different[] = {
        {"カメラ", "かめら"}, // kana of the two syllabaries stay apart
        {"ガラス", "カラス"},
        {"NikonF3", "Nikon F3"}, // a blank between two words is kept
        {"500円", "5000円"},
    };
    for (const Case& c : different)
        EXPECT_NE(normalized(c.a), normalized(c.b)) << c.a << " / " << c.b;
}

TEST(NormalizedTitleTest, GivesTheFoldedFormInUtf8)
{
    EXPECT_EQ(normalized("　Ｎｉｋｏｎ  Ｆ３　ﾎﾞﾃﾞｨ "), "nikon f3 ボディ");
    EXPECT_EQ(normalized("Leica M3"), "leica m3");
    EXPECT_EQ(normalized(""), "");
    EXPECT_EQ(normalized(" 　 "), "");
    // Bytes that are no Shift-JIS character compare as '?', the rest as usual.
    EXPECT_EQ(normalizedTitle("AB\xa0\x82\x60"), "ab?a");

    // The reusing form gives the same and leaves nothing of the previous title behind.
    std::string out = "previous title, longer than the next";
    normalizeTitle(platform::utf8ToSjis("ＸＹ"), out);
    EXPECT_EQ(out, "xy");
}

// The titles' fast decoding reads every character as the converter does, broken ones included.
TEST(NormalizedTitleTest, FastDecodingAgreesWithTheConverter)
{
    std::string sjis;
    for (int lead = 0x81; lead <= 0xfc; ++lead) {
        if (!platform::isSjisLeadByte(static_cast<unsigned char>(lead)))
            continue;
        for (int trail = 0; trail < 256; ++trail) {
            sjis += static_cast<char>(lead);
            sjis += static_cast<char>(trail);
        }
    }
    for (int b = 0; b < 256; ++b) {
        if (!platform::isSjisLeadByte(static_cast<unsigned char>(b)))
            sjis += static_cast<char>(b);
    }
    sjis += '\x81'; // a lead byte at the very end
    std::u16string utf16;
    platform::sjisToUtf16(sjis, utf16);
    const std::string bytes(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2);
    std::string utf8;
    ASSERT_TRUE(platform::convertCharset(bytes, "UTF-16LE", "UTF-8", utf8));
    EXPECT_EQ(utf8, platform::sjisToUtf8(sjis));
}

} // namespace
} // namespace pelimo
