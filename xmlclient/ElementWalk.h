#pragma once

#include <libxml/tree.h>

namespace pelimo {

// The node after current in document order below root, descending into elements only (what
// getElementsByTagName visits); nullptr past the last.
inline xmlNode* nextInTree(xmlNode* current, const xmlNode* root)
{
    if (current->type == XML_ELEMENT_NODE && current->children)
        return current->children;
    while (current != root && !current->next)
        current = current->parent;
    return current == root ? nullptr : current->next;
}

} // namespace pelimo
