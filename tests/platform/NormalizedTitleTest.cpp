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

// Two listings of one thing, written by different people, compare as one title (what the
// exclude words' table does not show already: the forms of the blanks, and what stays apart).
TEST(NormalizedTitleTest, TitlesThatDifferOnlyInFormCompareEqual)
{
    EXPECT_EQ(normalized("　Ｎｉｋｏｎ  Ｆ３\tﾎﾞﾃﾞｨ "), "nikon f3 ボディ");
    EXPECT_EQ(normalized("  Canon \t AE-1  "), "canon ae-1") << "ASCII only";
    EXPECT_EQ(normalized(" 　 "), "");
    // Bytes that are no Shift-JIS character compare as '?', the rest as usual.
    EXPECT_EQ(normalizedTitle("AB\xa0\x82\x60"), "ab?a");

    EXPECT_NE(normalized("カメラ"), normalized("かめら")) << "kana of the two syllabaries stay apart";
    EXPECT_NE(normalized("NikonF3"), normalized("Nikon F3")) << "a blank between two words is kept";

    // The reusing form leaves nothing of the previous title behind.
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
