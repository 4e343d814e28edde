#include "TestText.h"
#include "platform/FileSystem.h"
#include "tests/support/TempFolder.h"
#include "xmlclient/XmlDocumentClient.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace pelimo {
namespace {

using test::sjis;
using test::utf8;

class XmlDocumentTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir.empty()); }

    std::string writeFile(const std::string& name, const std::string& bytes)
    {
        const std::string path = platform::joinPath(dir, name);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    // Builds <root><ItemInfo><ItemNo>itemNo</ItemNo></ItemInfo></root> the way the writers do.
    static void buildOneItem(XmlDocumentClient& client, const std::string& itemNo)
    {
        ASSERT_EQ(client.createDocument("root"), 0);
        NodeCursor root;
        ASSERT_EQ(client.selectNodes("//root", root), 1);
        ASSERT_EQ(client.nodeAt(0, root), 0);
        NodeCursor item;
        ASSERT_EQ(client.addElement("ItemInfo", "", root, &item), 0);
        ASSERT_EQ(client.addElement("ItemNo", itemNo, item), 0);
        client.releaseCursor(item);
        client.releaseCursor(root);
    }

    static std::string firstText(XmlDocumentClient& client, const std::string& list, const std::string& field)
    {
        NodeCursor cursor;
        std::string text = "untouched";
        if (client.selectNodes(list, cursor) < 1 || client.nodeAt(0, cursor) != 0)
            return "<no node>";
        client.childText(field, cursor, text);
        client.releaseCursor(cursor);
        return text;
    }

    test::TempFolder folder{"pelimo-xmldocument"};
    const std::string dir = folder.path();
};

TEST_F(XmlDocumentTest, WrittenDocumentHasTheExactShapeAndEscapesText)
{
    XmlDocumentClient client;
    buildOneItem(client, sjis("テスト&<1>"));
    std::string bytes;
    ASSERT_TRUE(client.serialize(bytes));
    EXPECT_EQ(bytes,
              sjis("<?xml version='1.0' encoding='Shift_JIS'?>\n"
                   "<root>\n<ItemInfo>\n<ItemNo>テスト&amp;&lt;1&gt;</ItemNo>\n</ItemInfo>\n</root>\n"));
}

TEST_F(XmlDocumentTest, SavedFileLoadsBackWithTheSameTexts)
{
    const std::string text = sjis("ソニー　ＰＳ５ \\ ~ ① 100%&<>\"'");
    XmlDocumentClient writer;
    buildOneItem(writer, text);
    const std::string path = platform::joinPath(dir, "AramList.xml");
    ASSERT_EQ(writer.save(path), 0);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        EXPECT_EQ(entry.path().filename(), "AramList.xml") << "no temporary file is left behind";

    std::string serialized;
    writer.serialize(serialized);
    std::ifstream in(path, std::ios::binary);
    const std::string onDisk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(onDisk, serialized);

    for (const bool async : {false, true}) {
        XmlDocumentClient reader;
        ASSERT_EQ(reader.load(path, async), 0);
        EXPECT_EQ(firstText(reader, "//root/ItemInfo", "ItemNo"), text);
    }
}

TEST_F(XmlDocumentTest, TextsOutsideWhatTheFileCanHoldBecomeQuestionMarks)
{
    XmlDocumentClient writer;
    // A character Shift-JIS lacks, and a control character no XML file may contain.
    buildOneItem(writer, std::string("a") + "\x01" + "b");
    std::string bytes;
    writer.serialize(bytes);
    EXPECT_NE(bytes.find("<ItemNo>a?b</ItemNo>"), std::string::npos) << bytes;
    const std::string path = platform::joinPath(dir, "c.xml");
    ASSERT_EQ(writer.save(path), 0);
    XmlDocumentClient reader;
    ASSERT_EQ(reader.load(path, false), 0);
    EXPECT_EQ(firstText(reader, "//root/ItemInfo", "ItemNo"), "a?b");

    XmlDocumentClient emoji;
    ASSERT_EQ(emoji.createDocument("root"), 0);
    NodeCursor root;
    emoji.selectNodes("//root", root);
    emoji.nodeAt(0, root);
    // What reaches the layer is Shift-JIS; an unknown double-byte sequence is all it can see.
    ASSERT_EQ(emoji.addElement("t", "\x85\x40", root), 0);
    emoji.serialize(bytes);
    EXPECT_NE(bytes.find("<t>?</t>"), std::string::npos) << bytes;
}

TEST_F(XmlDocumentTest, WritersRefuseWhatWouldNotLoadAgain)
{
    XmlDocumentClient client;
    NodeCursor nowhere;
    EXPECT_EQ(client.addElement("a", "b", nowhere), -1) << "no document yet";
    EXPECT_EQ(client.save(platform::joinPath(dir, "none.xml")), -1);
    EXPECT_FALSE(std::filesystem::exists(platform::joinPath(dir, "none.xml")));
    EXPECT_EQ(client.createDocument("bad name"), -1);

    ASSERT_EQ(client.createDocument("root"), 0);
    NodeCursor root;
    client.selectNodes("//root", root);
    client.nodeAt(0, root);
    EXPECT_EQ(client.addElement("1abc", "x", root), -1);
    EXPECT_EQ(client.addElement("a<b", "x", root), -1);
    ASSERT_EQ(client.appendNewline(root), 0);
    std::string bytes;
    client.serialize(bytes);
    EXPECT_EQ(bytes, "<?xml version='1.0' encoding='Shift_JIS'?>\n<root>\n\n</root>\n");
}

TEST_F(XmlDocumentTest, ReadsCp932AnswersAndUtf8Answers)
{
    const std::string body = "<ListingInfo><ItemInfo><ItemNo>x1</ItemNo><ItemName>ＡＢ～①\\end</ItemName>"
                             "<ItemName>second</ItemName></ItemInfo></ListingInfo>";
    const std::string sjisFile =
        writeFile("s.xml", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n" + sjis(body));
    const std::string utf8File = writeFile("u.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + body);
    const std::string plainFile = writeFile("p.xml", body);
    for (const std::string& path : {sjisFile, utf8File, plainFile}) {
        XmlDocumentClient client;
        ASSERT_EQ(client.load(path, false), 0) << path;
        EXPECT_EQ(utf8(firstText(client, "//ListingInfo/ItemInfo", "ItemName")), "ＡＢ～①\\end") << path;
        EXPECT_EQ(firstText(client, "//ListingInfo/ItemInfo", "Missing"), "") << path;
    }
}

TEST_F(XmlDocumentTest, SelectionsAndDescendants)
{
    const std::string path =
        writeFile("l.xml", "<r><ListingInfo><ItemInfo><ItemNo>a</ItemNo></ItemInfo>"
                           "<x><ItemInfo><ItemNo>nested</ItemNo></ItemInfo></x>"
                           "<ItemInfo><ItemNo>b</ItemNo><d><ItemNo>deep</ItemNo></d></ItemInfo>"
                           "</ListingInfo></r>");
    XmlDocumentClient client;
    ASSERT_EQ(client.load(path, true), 0);
    NodeCursor items;
    ASSERT_EQ(client.selectNodes("//ListingInfo/ItemInfo", items), 2) << "only children of ListingInfo";
    NodeCursor all;
    ASSERT_EQ(client.nodeAt(0, items), 0);
    NodeCursor top;
    ASSERT_EQ(client.selectNodes("/r", top), 1);
    ASSERT_EQ(client.nodeAt(0, top), 0);
    ASSERT_EQ(client.childElements("ItemNo", top, all), 4);
    std::string text;
    const char* expected[] = {"a", "nested", "b", "deep"};
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(client.nodeAt(i, all), 0);
        client.nodeText(all, text);
        EXPECT_EQ(text, expected[i]) << "document order";
    }
    EXPECT_EQ(client.nodeAt(4, all), -1);
    EXPECT_EQ(client.nodeAt(-1, all), -1);
    EXPECT_EQ(client.selectNodes("//[", all), -1) << "a path that is not one";
    EXPECT_TRUE(all.list.empty());
    client.release();
    EXPECT_EQ(client.selectNodes("//ItemInfo", items), -1) << "no document";
}

TEST_F(XmlDocumentTest, UnreadableFilesSelectNothing)
{
    struct Case {
        const char* name;
        std::string bytes;
        int32_t load;
    };
    std::string laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE ListingInfo [\n<!ENTITY a0 \"lollollollol\">\n";
    for (int i = 1; i < 10; ++i) {
        laughs += "<!ENTITY a" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k)
            laughs += "&a" + std::to_string(i - 1) + ";";
        laughs += "\">\n";
    }
    laughs += "]>\n<ListingInfo><ItemInfo><ItemNo>&a9;</ItemNo></ItemInfo></ListingInfo>\n";
    // Stays under the parser's own amplification check but would still expand 4000-fold.
    const std::string quadratic = "<!DOCTYPE r [<!ENTITY b \"" + std::string(50000, 'x') +
                                  "\">]>\n<ListingInfo><ItemInfo><ItemNo>" +
                                  [] {
                                      std::string refs;
                                      for (int i = 0; i < 5000; ++i)
                                          refs += "&b;";
                                      return refs;
                                  }() +
                                  "</ItemNo></ItemInfo></ListingInfo>";
    const std::string secret = writeFile("secret.txt", "LEAK");
    const Case cases[] = {
        {"html", "<html><body><p>500 Internal Server Error<br></body></html>", 0},
        {"truncated", "<ListingInfo><ItemInfo><ItemNo>1</ItemNo></ItemInfo>", 0},
        {"empty", "", 0},
        {"external entity",
         "<!DOCTYPE r [<!ENTITY ext SYSTEM \"" + secret +
             "\">]><ListingInfo><ItemInfo>&ext;</ItemInfo></ListingInfo>",
         0},
        {"laughs", laughs, 0},
        {"quadratic", quadratic, 0},
    };
    for (const Case& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        XmlDocumentClient client;
        EXPECT_EQ(client.load(writeFile(c.name, c.bytes), true), c.load) << c.name;
        NodeCursor cursor;
        EXPECT_LE(client.selectNodes("//ListingInfo/ItemInfo", cursor), 0) << c.name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << c.name;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss, 200 * 1024) << "KiB; entity expansion must stay bounded";
}

TEST_F(XmlDocumentTest, ExternalDefinitionsAreNeverRead)
{
    writeFile("leak.dtd", "<!ENTITY ext \"LEAK\">");
    const std::string path =
        writeFile("d.xml", "<!DOCTYPE ListingInfo SYSTEM \"" + platform::joinPath(dir, "leak.dtd") +
                               "\"><ListingInfo><ItemInfo><ItemNo>a&ext;</ItemNo></ItemInfo></ListingInfo>");
    XmlDocumentClient client;
    ASSERT_EQ(client.load(path, false), 0);
    const std::string text = firstText(client, "//ListingInfo/ItemInfo", "ItemNo");
    EXPECT_EQ(text.find("LEAK"), std::string::npos) << text;
}

TEST_F(XmlDocumentTest, MissingAndOversizedFilesAreRefused)
{
    XmlDocumentClient client(LoadLimits{std::chrono::milliseconds(1000), 1024});
    EXPECT_EQ(client.load(platform::joinPath(dir, "absent.xml"), false), -1);
    EXPECT_EQ(client.load(platform::joinPath(dir, "absent.xml"), true), -1);
    EXPECT_EQ(client.load(dir, false), -1) << "a folder";
    const std::string big = writeFile("big.xml", "<r>" + std::string(2000, 'x') + "</r>");
    EXPECT_EQ(client.load(big, false), -1);
    NodeCursor cursor;
    EXPECT_EQ(client.selectNodes("//r", cursor), -1);
}

TEST_F(XmlDocumentTest, NewDocumentReplacesTheLoadedOne)
{
    const std::string path = writeFile("a.xml", "<ListingInfo/>");
    XmlDocumentClient client;
    ASSERT_EQ(client.load(path, false), 0);
    ASSERT_EQ(client.createDocument("root"), 0);
    NodeCursor cursor;
    EXPECT_EQ(client.selectNodes("//ListingInfo", cursor), 0);
    ASSERT_EQ(client.load(path, false), 0);
    EXPECT_EQ(client.selectNodes("//root", cursor), 0);
    EXPECT_EQ(client.selectNodes("//ListingInfo", cursor), 1);
}

} // namespace
} // namespace pelimo
