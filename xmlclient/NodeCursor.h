#pragma once

#include <vector>

struct _xmlNode;

namespace pelimo {

// A node list produced by a selection and one node taken from it. The nodes belong to the
// document of the client that filled the cursor and die with it.
struct NodeCursor {
    std::vector<_xmlNode*> list;
    _xmlNode* node = nullptr;
};

} // namespace pelimo
