#include "xmlclient/XmlWriter.h"

#include "platform/text/SjisText.h"

#include <cstring>
#include <libxml/tree.h>

namespace pelimo {
namespace {

constexpr const char* kDeclaration = "<?xml version='1.0' encoding='Shift_JIS'?>";

// Escapes UTF-8 text for element content or a double-quoted attribute value.
void appendEscaped(std::string& out, const xmlChar* text, bool attribute)
{
    if (!text)
        return;
    for (const auto* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        const unsigned char c = *p;
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += attribute ? "&quot;" : "\"";
            break;
        case '\r':
            // A raw carriage return would come back as a line feed.
            out += "&#13;";
            break;
        case '\n':
        case '\t':
            if (attribute)
                out += c == '\n' ? "&#10;" : "&#9;";
            else
                out += static_cast<char>(c);
            break;
        default:
            // Control characters other than the three above cannot appear in an XML 1.0
            // document, not even as references; writing them would make the file unreadable.
            out += c < 0x20 ? '?' : static_cast<char>(c);
            break;
        }
    }
}

std::string qualifiedName(const xmlNode* node)
{
    std::string name;
    if (node->ns && node->ns->prefix) {
        name += reinterpret_cast<const char*>(node->ns->prefix);
        name += ':';
    }
    name += reinterpret_cast<const char*>(node->name);
    return name;
}

void appendNode(std::string& out, const xmlNode* node)
{
    switch (node->type) {
    case XML_ELEMENT_NODE: {
        const std::string name = qualifiedName(node);
        out += '<';
        out += name;
        for (const xmlNs* ns = node->nsDef; ns; ns = ns->next) {
            out += ns->prefix ? " xmlns:" : " xmlns";
            if (ns->prefix)
                out += reinterpret_cast<const char*>(ns->prefix);
            out += "=\"";
            appendEscaped(out, ns->href, true);
            out += '"';
        }
        for (const xmlAttr* attr = node->properties; attr; attr = attr->next) {
            out += ' ';
            out += qualifiedName(reinterpret_cast<const xmlNode*>(attr));
            out += "=\"";
            for (const xmlNode* child = attr->children; child; child = child->next)
                appendEscaped(out, child->content, true);
            out += '"';
        }
        if (!node->children) {
            out += "/>";
            break;
        }
        out += '>';
        for (const xmlNode* child = node->children; child; child = child->next)
            appendNode(out, child);
        out += "</";
        out += name;
        out += '>';
        break;
    }
    case XML_TEXT_NODE:
        appendEscaped(out, node->content, false);
        break;
    case XML_CDATA_SECTION_NODE:
        out += "<![CDATA[";
        if (node->content)
            out += reinterpret_cast<const char*>(node->content);
        out += "]]>";
        break;
    case XML_COMMENT_NODE:
        out += "<!--";
        if (node->content)
            out += reinterpret_cast<const char*>(node->content);
        out += "-->";
        break;
    case XML_PI_NODE:
        out += "<?";
        out += reinterpret_cast<const char*>(node->name);
        if (node->content && *node->content) {
            out += ' ';
            out += reinterpret_cast<const char*>(node->content);
        }
        out += "?>";
        break;
    case XML_ENTITY_REF_NODE:
        out += '&';
        out += reinterpret_cast<const char*>(node->name);
        out += ';';
        break;
    default:
        // Document type declarations and the like are not written.
        break;
    }
}

bool isDeclaration(const xmlNode* node)
{
    return node->type == XML_PI_NODE && node->name &&
           std::strcmp(reinterpret_cast<const char*>(node->name), "xml") == 0;
}

} // namespace

void appendEscapedXml(std::string& out, std::string_view utf8, bool attribute)
{
    const std::string text(utf8);
    appendEscaped(out, reinterpret_cast<const xmlChar*>(text.c_str()), attribute);
}

std::string serializeDocument(const _xmlDoc* document)
{
    std::string utf8;
    for (const xmlNode* node = document ? document->children : nullptr; node; node = node->next) {
        // The declaration is always written first and exactly; a copy in the tree is ours.
        if (isDeclaration(node) || node->type == XML_DTD_NODE)
            continue;
        appendNode(utf8, node);
        utf8 += '\n';
    }
    std::string out = kDeclaration;
    out += '\n';
    out += platform::utf8ToSjis(utf8);
    return out;
}

} // namespace pelimo
