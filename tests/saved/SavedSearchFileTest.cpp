#include "search/saved/SavedSearchFile.h"

#include "RunPages.h"
#include "SavedSearchTestTexts.h"
#include "platform/FileSystem.h"
#include "platform/text/SjisText.h"
#include "search/saved/NewListingRules.h"
#include "search/saved/SavedSearchStatus.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace pelimo {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;
using namespace saved_search_test_text;
using namespace saved_search_test;

const SeenSet::Time t0 = sys_days{2026y / 12 / 8} + 9h + 20min + 31s;

class SavedSearchFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("savedsearch-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path file() const { return dir / "SearchList.xml"; }
    void writeFile(const std::string& bytes) const { std::ofstream(file(), std::ios::binary) << bytes; }
    std::string readFile() const
    {
        return platform::readWholeFile(file().string(), 1 << 20).value_or("<missing>");
    }

    // Saves the searches and reads them back, as a restart does.
    std::vector<SavedSearch> restart(const std::vector<SavedSearch>& searches, SeenSet::Time now) const
    {
        EXPECT_TRUE(saveSavedSearchFile(searches, dir.string()));
        SavedSearchFileLoad loaded = loadSavedSearchFile(dir.string(), now);
        EXPECT_EQ(loaded.outcome, SavedSearchFileLoad::Outcome::loaded);
        return std::move(loaded.searches);
    }

    fs::path dir;
};

TEST_F(SavedSearchFileTest, AHandWrittenFileLoads)
{
    const std::string noSeen =
        "<?xml version='1.0' encoding='Shift_JIS'?>\n<root>\n<SavedSearch>\n"
        "<Keyword>lens</Keyword>\n<LotNumberMode>0</LotNumberMode>\n"
        "<PriceLow>1000</PriceLow>\n<PriceHigh>0</PriceHigh>\n</SavedSearch>\n</root>\n";
    struct Case {
        std::string bytes;
        std::string keyword;
        std::string types;
        int32_t low, high;
        bool firstRunPending;
        std::vector<std::string> seen;
    };
    const Case cases[] = {
        {kHandWrittenFile, kKeywordCamera, "NO,PA,FL,FP,GB", 0, 5000, false, {"x123"}},
        {noSeen, "lens", "", 1000, 0, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keyword);
        writeFile(c.bytes);
        const SavedSearchFileLoad loaded = loadSavedSearchFile(dir.string(), t0);
        ASSERT_EQ(loaded.outcome, SavedSearchFileLoad::Outcome::loaded);
        ASSERT_EQ(loaded.searches.size(), 1u);
        const SavedSearch& s = loaded.searches[0];
        EXPECT_EQ(s.request.text, c.keyword);
        EXPECT_EQ(s.request.lotNumberMode, 0);
        EXPECT_EQ(s.request.auctionTypes, c.types);
        EXPECT_EQ(s.request.priceLow, c.low);
        EXPECT_EQ(s.request.priceHigh, c.high);
        EXPECT_EQ(s.firstRunPending, c.firstRunPending);
        EXPECT_EQ(s.seen.size(), c.seen.size());
        for (const std::string& no : c.seen)
            EXPECT_EQ(s.seen.lastSeen(no), t0); // no time of its own: seen when loaded
    }
}

TEST_F(SavedSearchFileTest, TheWrittenFileHasTheShapeOfTheWatchListFile)
{
    SavedSearch seen;
    seen.request.text = kKeywordCamera;
    seen.request.auctionTypes = "NO,PA";
    seen.request.priceHigh = 5000;
    seen.firstRunPending = false;
    seen.seen.markSeen("x2", t0);
    seen.seen.markSeen("x1", t0 - days(1));
    SavedSearch pending;
    pending.request.text = "a&b<c>";
    pending.request.lotNumberMode = 1;
    ASSERT_TRUE(saveSavedSearchFile({seen, pending}, dir.string()));
    EXPECT_EQ(readFile(),
              std::string("<?xml version='1.0' encoding='Shift_JIS'?>\n<root>\n<SavedSearch>\n<Keyword>") +
                  kKeywordCamera +
                  "</Keyword>\n<LotNumberMode>0</LotNumberMode>\n<AuctionTypes>NO,PA</AuctionTypes>\n"
                  "<PriceLow>0</PriceLow>\n<PriceHigh>5000</PriceHigh>\n<Seen>\n"
                  "<ItemNo lastSeen=\"2026-12-07T09:20:31Z\">x1</ItemNo>\n"
                  "<ItemNo lastSeen=\"2026-12-08T09:20:31Z\">x2</ItemNo>\n</Seen>\n</SavedSearch>\n"
                  "<SavedSearch>\n<Keyword>a&amp;b&lt;c&gt;</Keyword>\n<LotNumberMode>1</LotNumberMode>\n"
                  "<AuctionTypes>\n</AuctionTypes>\n<PriceLow>0</PriceLow>\n<PriceHigh>0</PriceHigh>\n"
                  "</SavedSearch>\n</root>\n");
    const std::vector<SavedSearch> back = restart({seen, pending}, t0 + days(2));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].seen.lastSeen("x1"), t0 - days(1));
    EXPECT_EQ(back[1].request.text, "a&b<c>");
    EXPECT_EQ(back[1].request.auctionTypes, "");
    EXPECT_TRUE(back[1].firstRunPending);
}

TEST_F(SavedSearchFileTest, ANewListingIsReportedOnceAcrossARestart)
{
    SavedSearch search;
    search.request.text = kKeywordCamera;
    EXPECT_EQ(runPages(search, {{"a", "b"}}, t0).newNumbers, std::vector<std::string>{});
    std::vector<SavedSearch> searches = restart({search}, t0 + 1h);
    EXPECT_EQ(runPages(searches[0], {{"a", "b"}}, t0 + 1h).newNumbers, std::vector<std::string>{});
    EXPECT_EQ(runPages(searches[0], {{"c", "a", "b"}}, t0 + 2h).newNumbers, std::vector<std::string>{"c"});
    searches = restart(searches, t0 + 3h);
    EXPECT_EQ(runPages(searches[0], {{"c", "a", "b"}}, t0 + 3h).newNumbers, std::vector<std::string>{});
}

TEST_F(SavedSearchFileTest, TextsEveryFieldMayHoldAreWrittenAsBeforeAndReadBackTheSame)
{
    // Escapes, control characters, a carriage return, bytes Shift-JIS does not hold, empty and
    // bare line-break fields: the bytes the writer has always given them, so that files written
    // before and after read and compare alike.
    SavedSearch odd;
    odd.request.text = "a\rb\tc\x01"
                       "d\"e'f&<>]]> " +
                       platform::utf8ToSjis("カメラ①") + "\x80z\x81";
    odd.request.lotNumberMode = -1;
    odd.request.auctionTypes = "\n";
    odd.request.priceLow = INT32_MIN;
    odd.request.priceHigh = INT32_MAX;
    odd.firstRunPending = false;
    odd.seen.markSeen("q\"&<>'", t0);
    odd.seen.markSeen("x\ry\tz", t0 - 30h);
    odd.seen.markSeen(platform::utf8ToSjis("番号"), t0 - 1s);
    SavedSearch empty;
    empty.firstRunPending = false;
    SavedSearch pending;
    pending.request.text = " \n";
    pending.request.auctionTypes = "NO";
    const std::string expected = platform::utf8ToSjis(
        "<?xml version='1.0' encoding='Shift_JIS'?>\n<root>\n<SavedSearch>\n"
        "<Keyword>a&#13;b\tc?d\"e'f&amp;&lt;&gt;]]&gt; カメラ①?z?</Keyword>\n"
        "<LotNumberMode>-1</LotNumberMode>\n<AuctionTypes>\n</AuctionTypes>\n"
        "<PriceLow>-2147483648</PriceLow>\n<PriceHigh>2147483647</PriceHigh>\n<Seen>\n"
        "<ItemNo lastSeen=\"2026-12-08T09:20:31Z\">q\"&amp;&lt;&gt;'</ItemNo>\n"
        "<ItemNo lastSeen=\"2026-12-07T03:20:31Z\">x&#13;y\tz</ItemNo>\n"
        "<ItemNo lastSeen=\"2026-12-08T09:20:30Z\">番号</ItemNo>\n</Seen>\n</SavedSearch>\n"
        "<SavedSearch>\n<Keyword>\n</Keyword>\n<LotNumberMode>0</LotNumberMode>\n<AuctionTypes>\n</"
        "AuctionTypes>\n"
        "<PriceLow>0</PriceLow>\n<PriceHigh>0</PriceHigh>\n<Seen>\n</Seen>\n</SavedSearch>\n"
        "<SavedSearch>\n<Keyword> "
        "\n</Keyword>\n<LotNumberMode>0</LotNumberMode>\n<AuctionTypes>NO</AuctionTypes>\n"
        "<PriceLow>0</PriceLow>\n<PriceHigh>0</PriceHigh>\n</SavedSearch>\n</root>\n");
    ASSERT_TRUE(saveSavedSearchFile({odd, empty, pending}, dir.string()));
    EXPECT_EQ(readFile(), expected);

    const std::vector<SavedSearch> back = restart(restart({odd, empty, pending}, t0), t0);
    EXPECT_EQ(readFile(), expected);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0].request.priceLow, INT32_MIN);
    EXPECT_EQ(back[0].seen.lastSeen("x\ry\tz"), t0 - 30h);
    EXPECT_EQ(back[2].request.text, " \n");
    EXPECT_TRUE(back[2].firstRunPending);
}

TEST_F(SavedSearchFileTest, ExcludeWordsAreKeptAsTypedAndOnlyWhereThereAreAny)
{
    SavedSearch excluding;
    excluding.request.text = kKeywordCamera;
    excluding.request.excludeWords = platform::utf8ToSjis("ジャンク　ｼﾞｬﾝｸ  a&b");
    excluding.firstRunPending = false;
    excluding.seen.markSeen("x1", t0);
    SavedSearch blank; // a field of blanks leaves nothing out: the record is written as before
    blank.request.text = "lens";
    blank.request.excludeWords = platform::utf8ToSjis(" 　");
    ASSERT_TRUE(saveSavedSearchFile({excluding, blank}, dir.string()));
    EXPECT_EQ(readFile(),
              platform::utf8ToSjis(
                  "<?xml version='1.0' encoding='Shift_JIS'?>\n<root>\n<SavedSearch>\n"
                  "<Keyword>カメラ</Keyword>\n<LotNumberMode>0</LotNumberMode>\n"
                  "<AuctionTypes>\n</AuctionTypes>\n<PriceLow>0</PriceLow>\n"
                  "<PriceHigh>0</PriceHigh>\n<Exclude>ジャンク　ｼﾞｬﾝｸ  a&amp;b</Exclude>\n<Seen>\n"
                  "<ItemNo lastSeen=\"2026-12-08T09:20:31Z\">x1</ItemNo>\n</Seen>\n</SavedSearch>\n"
                  "<SavedSearch>\n<Keyword>lens</Keyword>\n<LotNumberMode>0</LotNumberMode>\n"
                  "<AuctionTypes>\n</AuctionTypes>\n<PriceLow>0</PriceLow>\n"
                  "<PriceHigh>0</PriceHigh>\n</SavedSearch>\n</root>\n"));

    const std::vector<SavedSearch> back = restart({excluding, blank}, t0);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].request.excludeWords, excluding.request.excludeWords);
    EXPECT_TRUE(sameSearch(back[0].request, excluding.request));
    EXPECT_EQ(back[1].request.excludeWords, "");

    // The same query with other words is another search; the same words typed otherwise are not.
    SearchRequest other = excluding.request;
    other.excludeWords = platform::utf8ToSjis("部品取り");
    EXPECT_FALSE(sameSearch(other, excluding.request));
    other.excludeWords = platform::utf8ToSjis("JUNK ジャンク");
    SearchRequest retyped = other;
    retyped.excludeWords = platform::utf8ToSjis("ｊｕｎｋ　ｼﾞｬﾝｸ ジャンク");
    EXPECT_TRUE(sameSearch(other, retyped));
}

TEST_F(SavedSearchFileTest, ADoubleByteCharacterAcrossTheReadersChunksReadsWhole)
{
    // The reader takes the file 64 KiB at a time: the keyword's first or second character
    // starts on the last byte of the first chunk and ends in the next.
    const std::string head = "<?xml version='1.0' encoding='Shift_JIS'?>\n<root>\n<SavedSearch>\n";
    const std::string keyword = platform::utf8ToSjis("カメラ");
    for (const size_t at : {size_t{64} * 1024 - 1, size_t{64} * 1024 - 3}) {
        SCOPED_TRACE(at);
        const std::string filler = "<!--" + std::string(at - head.size() - 17, 'x') + "-->";
        const std::string bytes =
            head + filler + "\n<Keyword>" + keyword + "</Keyword>\n</SavedSearch>\n</root>\n";
        ASSERT_EQ(bytes.find(keyword), at);
        writeFile(bytes);
        const SavedSearchFileLoad loaded = loadSavedSearchFile(dir.string(), t0);
        ASSERT_EQ(loaded.outcome, SavedSearchFileLoad::Outcome::loaded);
        ASSERT_EQ(loaded.searches.size(), 1u);
        EXPECT_EQ(loaded.searches[0].request.text, keyword);
    }
}

TEST_F(SavedSearchFileTest, AnItemNumberWithBlanksIsNotToldAgainAfterARestart)
{
    SavedSearch search;
    search.request.text = kKeywordCamera;
    // The first run records what exists; a listing without a number is none.
    EXPECT_EQ(runPages(search, {{" a ", "b\t", "  "}}, t0).newNumbers, std::vector<std::string>{});
    std::vector<SavedSearch> searches = restart({search}, t0 + 1h);
    EXPECT_EQ(readFile().find("<ItemNo lastSeen=\"2026-12-08T09:20:31Z\">\n"), std::string::npos)
        << "an empty number is kept: " << readFile();
    EXPECT_EQ(runPages(searches[0], {{" a ", "a", "b\t", ""}, {"c "}}, t0 + 2h).newNumbers,
              std::vector<std::string>{"c "});
    EXPECT_EQ(searches[0].seen.size(), 3u);
    searches = restart(searches, t0 + 3h);
    EXPECT_EQ(runPages(searches[0], {{"a", " b", "c", " "}}, t0 + 3h).newNumbers, std::vector<std::string>{});
}

TEST_F(SavedSearchFileTest, ADamagedFileIsKeptAside)
{
    const std::string bad[] = {
        std::string(kHandWrittenFile).substr(0, 120),                     // cut short
        "<list><SavedSearch><Keyword>x</Keyword></SavedSearch></list>\n", // another root
        "",
        // Entities could expand a few bytes into gigabytes.
        "<?xml version='1.0'?>\n<!DOCTYPE root [<!ENTITY a "
        "\"aaaa\">]>\n<root><SavedSearch><Keyword>&a;</Keyword>"
        "</SavedSearch></root>\n",
    };
    for (const std::string& bytes : bad) {
        SCOPED_TRACE(bytes);
        writeFile(bytes);
        const SavedSearchFileLoad loaded = loadSavedSearchFile(dir.string(), t0);
        EXPECT_EQ(loaded.outcome, SavedSearchFileLoad::Outcome::movedAside);
        EXPECT_TRUE(loaded.searches.empty());
        EXPECT_FALSE(fs::exists(file()));
        EXPECT_NE(loaded.movedTo.find("SearchList.xml.unreadable-"), std::string::npos);
        EXPECT_EQ(platform::readWholeFile(loaded.movedTo, 1 << 20).value_or("<gone>"), bytes);
        EXPECT_NE(savedSearchFileMovedAsideStatus(loaded.movedTo).find(loaded.movedTo), std::string::npos);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 4);
}

TEST_F(SavedSearchFileTest, SomethingElseUnderTheNameIsLeftAloneAndNotSavedOver)
{
    fs::create_directories(file());
    EXPECT_EQ(loadSavedSearchFile(dir.string(), t0).outcome, SavedSearchFileLoad::Outcome::unreadable);
    EXPECT_FALSE(saveSavedSearchFile({SavedSearch{}}, dir.string()));
    EXPECT_TRUE(fs::is_directory(file()));
}

} // namespace
} // namespace pelimo
