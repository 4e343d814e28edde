#include "watch/AramFile.h"

#include "TestTexts.h"
#include "platform/FileSystem.h"
#include "tests/support/TempFolder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace pelimo {
namespace {

namespace fs = std::filesystem;
using namespace watch_test_text;

class AramFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir.empty()); }

    void writeFile(const std::string& bytes)
    {
        std::ofstream(dir / "AramList.xml", std::ios::binary) << bytes;
    }
    std::string readFile() const
    {
        return platform::readWholeFile((dir / "AramList.xml").string(), 1 << 20).value_or("<missing>");
    }

    test::TempFolder folder{"pelimo-aramfile"};
    const fs::path dir = folder.path();
};

ItemInfo record(const std::string& no, const std::string& name, const std::string& price)
{
    return ItemInfo{no, name, price, "NO", "http://img/1.jpg", "3", "1", kRemain5Min};
}

TEST_F(AramFileTest, TwoRecordsHaveTheFileShapeAndFieldOrder)
{
    ASSERT_TRUE(saveAramFile({record("101", "A", "10"), record("102", "B", "20")}, dir.string()));
    auto item = [](const char* no, const char* name, const char* price) {
        return std::string("<ItemInfo>\n<ItemNo>") + no + "</ItemNo>\n<ItemName>" + name +
               "</ItemName>\n<BidNum>3</BidNum>\n<CurrentPrice>" + price + "</CurrentPrice>\n<RemainTime>" +
               kRemain5Min +
               "</RemainTime>\n<ImageUrl>http://img/1.jpg</ImageUrl>\n<ItemNum>1</ItemNum>\n"
               "<AuctionType>NO</AuctionType>\n</ItemInfo>\n";
    };
    const std::string expected = std::string("<?xml version='1.0' encoding='Shift_JIS'?>\n<root>\n") +
                                 item("101", "A", "10") + item("102", "B", "20") + "</root>\n";
    EXPECT_EQ(readFile(), expected);
}

TEST_F(AramFileTest, EmptyListIsARootWithOneLineBreak)
{
    ASSERT_TRUE(saveAramFile({}, dir.string()));
    EXPECT_EQ(readFile(), "<?xml version='1.0' encoding='Shift_JIS'?>\n<root>\n</root>\n");
    const AramFileLoad loaded = loadAramFile(dir.string());
    EXPECT_EQ(loaded.outcome, AramFileLoad::Outcome::loaded);
    EXPECT_TRUE(loaded.records.empty());
}

TEST_F(AramFileTest, RecordsSurviveASaveAndALoad)
{
    const std::vector<ItemInfo> records = {
        record("x1", kNameCamera, kPriceYen1000),                   // Japanese, '&' and '<'
        ItemInfo{"x2", "a&b<c>\"d'", "-", "FP", "", "-", "-", "-"}, // a failed update, empty url
        ItemInfo{"x3", "", "", "", "", "", "", ""},
    };
    ASSERT_TRUE(saveAramFile(records, dir.string()));
    const AramFileLoad loaded = loadAramFile(dir.string());
    EXPECT_EQ(loaded.outcome, AramFileLoad::Outcome::loaded);
    EXPECT_EQ(loaded.records, records);
}

TEST_F(AramFileTest, ReadsAFileAsTheWindowsProgramWroteIt)
{
    // CRLF line breaks, Shift_JIS bytes, fields in the file's order, an empty container line.
    const std::string crlf = std::string("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<root>\r\n") +
                             "<ItemInfo>\r\n<ItemNo>777</ItemNo>\r\n<ItemName>" + kNameWatch +
                             "</ItemName>\r\n<BidNum>2</BidNum>\r\n<CurrentPrice>" + kPriceYen1200 +
                             "</CurrentPrice>\r\n<RemainTime>" + kRemain3Day +
                             "</RemainTime>\r\n<ImageUrl>\r\n</ImageUrl>\r\n<ItemNum>1</ItemNum>\r\n"
                             "<AuctionType>PA</AuctionType>\r\n</ItemInfo>\r\n</root>\r\n";
    writeFile(crlf);
    const AramFileLoad loaded = loadAramFile(dir.string());
    ASSERT_EQ(loaded.records.size(), 1u);
    EXPECT_EQ(loaded.records[0],
              (ItemInfo{"777", kNameWatch, kPriceYen1200, "PA", "", "2", "1", kRemain3Day}));
}

TEST_F(AramFileTest, DuplicatesAndMissingFieldsAreReadAsTheyStand)
{
    writeFile("<?xml version='1.0' encoding='Shift_JIS'?>\n<root>\n"
              "<ItemInfo><ItemNo>5</ItemNo><ItemName>first</ItemName></ItemInfo>\n"
              "<ItemInfo><ItemNo>5</ItemNo><ItemName>second</ItemName></ItemInfo>\n</root>\n");
    const AramFileLoad loaded = loadAramFile(dir.string());
    ASSERT_EQ(loaded.records.size(), 2u);
    EXPECT_EQ(loaded.records[0].ItemName, "first");
    EXPECT_EQ(loaded.records[0].CurrentPrice, "");
}

TEST_F(AramFileTest, MissingFileIsAnEmptyList)
{
    const AramFileLoad loaded = loadAramFile(dir.string());
    EXPECT_EQ(loaded.outcome, AramFileLoad::Outcome::missing);
    EXPECT_TRUE(loaded.records.empty());
    EXPECT_FALSE(fs::exists(dir / "AramList.xml"));
}

TEST_F(AramFileTest, UnreadableFileIsMovedAsideUntouched)
{
    const std::vector<std::string> bad = {
        "<root><ItemInfo><ItemNo>1</ItemNo>",                   // cut short
        "<list><ItemInfo><ItemNo>1</ItemNo></ItemInfo></list>", // another root
        "",
    };
    for (const std::string& bytes : bad) {
        SCOPED_TRACE(bytes);
        fs::remove_all(dir);
        fs::create_directories(dir);
        writeFile(bytes);
        const AramFileLoad loaded = loadAramFile(dir.string());
        EXPECT_EQ(loaded.outcome, AramFileLoad::Outcome::movedAside);
        EXPECT_TRUE(loaded.records.empty());
        EXPECT_FALSE(fs::exists(dir / "AramList.xml"));
        EXPECT_NE(loaded.movedTo.find("AramList.xml.unreadable-"), std::string::npos);
        EXPECT_EQ(platform::readWholeFile(loaded.movedTo, 1 << 20).value_or("<gone>"), bytes);
    }
}

TEST_F(AramFileTest, AFolderInThePlaceOfTheFileIsLeftAlone)
{
    fs::create_directories(dir / "AramList.xml");
    EXPECT_EQ(loadAramFile(dir.string()).outcome, AramFileLoad::Outcome::unreadable);
    EXPECT_TRUE(fs::is_directory(dir / "AramList.xml"));
    EXPECT_FALSE(saveAramFile({}, dir.string()));
}

TEST_F(AramFileTest, WriteIntoAMissingFolderFailsAndLeavesNothing)
{
    EXPECT_FALSE(saveAramFile({record("1", "A", "1")}, (dir / "no-such-folder").string()));
}

} // namespace
} // namespace pelimo
