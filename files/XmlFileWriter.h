#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelimo {

// Writes one of the user's XML files element by element, in the shape the program has always
// given them: the Shift_JIS declaration and the root on lines of their own, every element
// followed by a line break, a container's content starting with one, and an empty text
// written as a line break. Names are ASCII; texts go in as Shift-JIS and are escaped, and what
// Shift-JIS or an XML file cannot hold becomes '?', so a written file always loads again.
// Each element under the root is converted as it closes: memory follows one of them, not the
// whole file.
class XmlFileWriter {
public:
    explicit XmlFileWriter(std::string_view rootName);

    // A container element: its start tag, then the elements added until closeElement.
    void openElement(std::string_view name);
    void closeElement();
    // An element holding a text, and optionally one attribute (an ASCII name, a Shift-JIS value).
    void element(std::string_view name, std::string_view sjisText);
    void element(std::string_view name, std::string_view sjisText, std::string_view attribute,
                 std::string_view sjisValue);

    // Closes what is still open and the root, and gives the file's bytes.
    std::string finish();

private:
    void appendText(std::string_view sjis, bool attribute);
    void endElement(std::string_view name, std::string_view sjisText);
    // Converts the element just ended when it stands directly under the root.
    void flushAtTop();

    std::string bytes;
    std::string utf8;              // the element under the root being written
    std::vector<std::string> open; // the root first
};

} // namespace pelimo
