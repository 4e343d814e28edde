#include "files/XmlFileWriter.h"

#include "xmlclient/XmlDocumentClient.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace pelimo {
namespace {

// The texts whose bytes a writer could get wrong: markup characters, line ends and control
// characters, Shift-JIS the converter changes or cannot hold, and the empty text.
const std::vector<std::string> kTexts = {
    "",
    "\n",
    "plain 123",
    "a&b<c>\"d'",
    "line\r\nend\ttab",
    std::string("nul\x01"
                "bell\x07"),
    "\x83\x65\x83\x58\x83\x67", // katakana
    "\x87\x40\x87\x90\xfa\x40", // NEC and IBM extension characters
    "\x85\x40 \x81",            // an undefined pair and a lead byte without its trail
    "\\~\xb1",                  // backslash, tilde and a half-width katakana
};

// The document client's writer: the reference for the shape every file of ours has.
std::string throughDocument(const std::string& text)
{
    XmlDocumentClient client;
    EXPECT_EQ(client.createDocument("root"), 0);
    NodeCursor root;
    EXPECT_EQ(client.selectNodes("//root", root), 1);
    EXPECT_EQ(client.nodeAt(0, root), 0);
    NodeCursor item;
    EXPECT_EQ(client.addElement("ItemInfo", "", root, &item), 0);
    EXPECT_EQ(client.addElement("ItemNo", text, item), 0);
    EXPECT_EQ(client.addElement("ItemName", "x", item), 0);
    client.releaseCursor(item);
    EXPECT_EQ(client.addElement("Top", text, root), 0);
    client.releaseCursor(root);
    std::string bytes;
    EXPECT_TRUE(client.serialize(bytes));
    return bytes;
}

TEST(XmlFileWriter, WritesTheBytesTheDocumentWriterGives)
{
    for (const std::string& text : kTexts) {
        SCOPED_TRACE(text);
        XmlFileWriter writer("root");
        writer.openElement("ItemInfo");
        writer.element("ItemNo", text);
        writer.element("ItemName", "x");
        writer.closeElement();
        writer.element("Top", text);
        EXPECT_EQ(writer.finish(), throughDocument(text));
    }
}

TEST(XmlFileWriter, AttributesAreEscapedAndWhatIsLeftOpenIsClosed)
{
    XmlFileWriter writer("root");
    writer.openElement("Seen");
    writer.element("ItemNo", "", "lastSeen", "a\"b\n<");
    EXPECT_EQ(writer.finish(), "<?xml version='1.0' encoding='Shift_JIS'?>\n<root>\n<Seen>\n"
                               "<ItemNo lastSeen=\"a&quot;b&#10;&lt;\">\n</ItemNo>\n</Seen>\n</root>\n");
}

} // namespace
} // namespace pelimo
