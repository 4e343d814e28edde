#pragma once

#include <string>
#include <string_view>

struct _xmlDoc;

namespace pelimo {

// The exact text the system writes for a document: the Shift_JIS declaration, a line break,
// then the top-level nodes as they are in the tree, each followed by a line break. Nothing
// is indented or added. Characters Shift-JIS cannot hold become '?', and characters XML
// cannot hold at all become '?' too, so a saved file always loads again.
std::string serializeDocument(const _xmlDoc* document);

// Appends UTF-8 text escaped as serializeDocument writes element content, or with attribute
// set a double-quoted attribute value.
void appendEscapedXml(std::string& out, std::string_view utf8, bool attribute);

} // namespace pelimo
