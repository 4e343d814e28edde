#pragma once

#include <string>

struct _xmlDoc;

namespace pelimo {

// The exact text the system writes for a document: the Shift_JIS declaration, a line break,
// then the top-level nodes as they are in the tree, each followed by a line break. Nothing
// is indented or added. Characters Shift-JIS cannot hold become '?', and characters XML
// cannot hold at all become '?' too, so a saved file always loads again.
std::string serializeDocument(const _xmlDoc* document);

} // namespace pelimo
