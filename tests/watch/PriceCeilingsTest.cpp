#include "watch/PriceCeilings.h"

#include "platform/FileSystem.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace pelimo {
namespace {

namespace fs = std::filesystem;

class PriceCeilingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("aramrules-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    void writeFile(const std::string& bytes)
    {
        std::ofstream(dir / "AramRules.xml", std::ios::binary) << bytes;
    }

    fs::path dir;
};

TEST_F(PriceCeilingsTest, RulesSurviveASaveInTheFilesShape)
{
    const std::vector<PriceRule> rules = {{"x123", 5000}, {"a&b", 0}};
    ASSERT_TRUE(savePriceCeilings(rules, dir.string()));
    EXPECT_EQ(platform::readWholeFile((dir / "AramRules.xml").string(), 1 << 20).value_or(""),
              "<?xml version='1.0' encoding='Shift_JIS'?>\n<root>\n"
              "<Rule>\n<ItemNo>x123</ItemNo>\n<CeilingPrice>5000</CeilingPrice>\n</Rule>\n"
              "<Rule>\n<ItemNo>a&amp;b</ItemNo>\n<CeilingPrice>0</CeilingPrice>\n</Rule>\n</root>\n");
    const PriceCeilingsLoad loaded = loadPriceCeilings(dir.string());
    EXPECT_EQ(loaded.outcome, PriceCeilingsLoad::Outcome::loaded);
    EXPECT_EQ(loaded.rules, rules);
}

TEST_F(PriceCeilingsTest, AHandWrittenFileLoadsItsUsableRules)
{
    writeFile("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<root>\r\n"
              "<Rule>\r\n<ItemNo>x123</ItemNo>\r\n<CeilingPrice> 5000 </CeilingPrice>\r\n</Rule>\r\n"
              "<Rule><CeilingPrice>7</CeilingPrice><ItemNo>y</ItemNo></Rule>\r\n"
              "<Rule><ItemNo>x123</ItemNo><CeilingPrice>1</CeilingPrice></Rule>\r\n" // a second rule
              "<Rule><ItemNo>z</ItemNo><CeilingPrice>5000yen</CeilingPrice></Rule>\r\n"
              "<Rule><ItemNo>w</ItemNo><CeilingPrice>99999999999</CeilingPrice></Rule>\r\n"
              "<Rule><CeilingPrice>3</CeilingPrice></Rule>\r\n</root>\r\n");
    const PriceCeilingsLoad loaded = loadPriceCeilings(dir.string());
    EXPECT_EQ(loaded.outcome, PriceCeilingsLoad::Outcome::loaded);
    EXPECT_EQ(loaded.rules, (std::vector<PriceRule>{{"x123", 5000}, {"y", 7}}));
}

TEST_F(PriceCeilingsTest, DamagedFileIsMovedAsideAndAMissingOneIsNoRules)
{
    EXPECT_EQ(loadPriceCeilings(dir.string()).outcome, PriceCeilingsLoad::Outcome::missing);
    writeFile("<root><Rule>");
    const PriceCeilingsLoad loaded = loadPriceCeilings(dir.string());
    EXPECT_EQ(loaded.outcome, PriceCeilingsLoad::Outcome::movedAside);
    EXPECT_TRUE(loaded.rules.empty());
    EXPECT_NE(loaded.movedTo.find("AramRules.xml.unreadable-"), std::string::npos);
    EXPECT_EQ(platform::readWholeFile(loaded.movedTo, 1 << 20).value_or(""), "<root><Rule>");
    EXPECT_FALSE(fs::exists(dir / "AramRules.xml"));
}

} // namespace
} // namespace pelimo
