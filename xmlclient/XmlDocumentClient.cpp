#include "xmlclient/XmlDocumentClient.h"

#include "platform/EventLoop.h"
#include "platform/FileSystem.h"
#include "platform/text/SjisText.h"
#include "platform/text/WebAddress.h"
#include "xmlclient/ElementWalk.h"
#include "xmlclient/TransferEngine.h"
#include "xmlclient/XmlWriter.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <libxml/hash.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xpath.h>

namespace pelimo {
namespace {

void ignoreStructuredError(void*, xmlErrorPtr) {}
void ignoreGenericError(void*, const char*, ...) {}

// libxml2 reports parse and path errors on stderr by default; a bad answer of the service
// is an ordinary event here and is seen by the callers as a document without nodes.
void initialiseLibxml()
{
    static const bool done = [] {
        xmlInitParser();
        xmlSetStructuredErrorFunc(nullptr, &ignoreStructuredError);
        xmlSetGenericErrorFunc(nullptr, &ignoreGenericError);
        return true;
    }();
    (void)done;
}

bool isWebAddress(std::string_view address)
{
    return webSchemeLength(address) != 0;
}

std::string lowerCase(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// The encoding named by the XML declaration at the start of the bytes, lower-cased; empty
// when there is none.
std::string declaredEncoding(std::string_view bytes)
{
    if (bytes.substr(0, 5) != "<?xml")
        return {};
    const size_t end = bytes.find("?>");
    const std::string_view decl = bytes.substr(0, end == std::string_view::npos ? 0 : end);
    const size_t key = decl.find("encoding");
    if (key == std::string_view::npos)
        return {};
    const size_t quote = decl.find_first_of("'\"", key);
    if (quote == std::string_view::npos)
        return {};
    const size_t close = decl.find(decl[quote], quote + 1);
    if (close == std::string_view::npos)
        return {};
    return lowerCase(decl.substr(quote + 1, close - quote - 1));
}

bool isShiftJisName(const std::string& encoding)
{
    static constexpr const char* kNames[] = {"shift_jis", "shift-jis",  "sjis",        "x-sjis",
                                             "ms_kanji",  "csshiftjis", "windows-31j", "cp932"};
    return std::any_of(std::begin(kNames), std::end(kNames),
                       [&](const char* name) { return encoding == name; });
}

bool declaresEntities(const xmlDoc* doc)
{
    for (const xmlDtd* dtd : {doc->intSubset, doc->extSubset}) {
        if (!dtd)
            continue;
        for (void* table : {dtd->entities, dtd->pentities}) {
            if (table && xmlHashSize(static_cast<xmlHashTablePtr>(table)) > 0)
                return true;
        }
    }
    return false;
}

// Parses without network access, without loading any DTD and without substituting
// entities; a document that is not well-formed, or declares entities, yields an empty
// document.
xmlDoc* parseDocument(const std::string& bytes)
{
    initialiseLibxml();
    int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    const char* encoding = nullptr;
    std::string converted;
    const std::string* input = &bytes;
    // The service and our own files say Shift_JIS but use the Windows code page (CP932),
    // whose backslash, tilde and vendor characters plain Shift_JIS reads differently.
    if (isShiftJisName(declaredEncoding(bytes))) {
        converted = platform::sjisToUtf8(bytes);
        input = &converted;
        encoding = "UTF-8";
        options |= XML_PARSE_IGNORE_ENC;
    }
    xmlDoc* doc = nullptr;
    if (input->size() <= static_cast<size_t>(INT32_MAX))
        doc = xmlReadMemory(input->data(), static_cast<int>(input->size()), nullptr, encoding, options);
    // Neither the listing service nor our own files declare entities. A document that does
    // could make its texts expand a thousandfold when read, so it is taken as unreadable.
    if (doc && declaresEntities(doc)) {
        xmlFreeDoc(doc);
        doc = nullptr;
    }
    return doc ? doc : xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"));
}

const xmlChar* asXml(const std::string& utf8)
{
    return reinterpret_cast<const xmlChar*>(utf8.c_str());
}

// A fresh path context registers every XPath function in a table of its own; one context per
// thread, pointed at the document of each selection, saves that per page read.
class PathContext {
public:
    PathContext() : context(xmlXPathNewContext(nullptr)) {}
    ~PathContext()
    {
        if (context)
            xmlXPathFreeContext(context);
    }
    PathContext(const PathContext&) = delete;
    PathContext& operator=(const PathContext&) = delete;

    // The context as a new one for doc would start; nullptr when it could not be made.
    xmlXPathContext* on(xmlDoc* doc)
    {
        if (!context)
            return nullptr;
        context->doc = doc;
        context->node = nullptr;
        context->contextSize = -1;
        context->proximityPosition = -1;
        return context;
    }

private:
    xmlXPathContext* context;
};

bool nameMatches(const xmlNode* node, const std::string& name)
{
    if (name == "*")
        return true;
    const char* local = reinterpret_cast<const char*>(node->name);
    if (!node->ns || !node->ns->prefix)
        return name == local;
    const std::string qualified = std::string(reinterpret_cast<const char*>(node->ns->prefix)) + ':' + local;
    return name == qualified;
}

} // namespace

XmlDocumentClient::XmlDocumentClient(LoadLimits limits) : limits(limits) {}

XmlDocumentClient::~XmlDocumentClient()
{
    release();
}

int32_t XmlDocumentClient::load(const std::string& urlOrPath, bool async)
{
    // A handler run by this client's own wait must not start a second load on it.
    if (loading)
        return -1;
    release();
    answer = AnswerStatus{};
    if (async)
        abortRequested = 0;
    return isWebAddress(urlOrPath) ? loadUrl(urlOrPath, async) : loadFile(urlOrPath);
}

bool XmlDocumentClient::beginTransfer(const std::string& url, std::function<void(int32_t result)> done)
{
    if (!http)
        http = std::make_unique<WebTransfer>();
    answer = AnswerStatus{};
    auto finished = [this, done = std::move(done)](TransferOutcome outcome, std::string body) {
        loading = false;
        int32_t result = -1;
        if (outcome == TransferOutcome::Answered) {
            answer = AnswerStatus{http->httpStatus(), http->retryAfter(), false};
            adopt(body);
            result = 0;
        } else if (outcome == TransferOutcome::Aborted) {
            result = 1;
        } else {
            answer.timedOut = http->timedOut();
        }
        done(result);
    };
    if (!TransferEngine::shared().start(*http, platform::sjisToUtf8(url), limits, std::move(finished)))
        return false;
    loading = true;
    return true;
}

int32_t XmlDocumentClient::startLoad(const std::string& url, std::function<void(int32_t result)> done)
{
    if (loading || !isWebAddress(url) || !done)
        return -1;
    release();
    abortRequested = 0;
    return beginTransfer(url, std::move(done)) ? 0 : -1;
}

int32_t XmlDocumentClient::loadUrl(const std::string& url, bool async)
{
    bool finished = false;
    int32_t result = -1;
    if (!beginTransfer(url, [&](int32_t r) {
            finished = true;
            result = r;
        }))
        return -1;
    if (!async) {
        TransferEngine::shared().runAlone(*http);
        return result;
    }
    // Other transfers, timers and the program's events are handled meanwhile, other loads'
    // waits included; this transfer moves on in theirs as they do in this one. abortLoad
    // ends the transfer at once, with 1.
    while (!finished)
        platform::eventLoop().waitForEvents();
    return result;
}

int32_t XmlDocumentClient::loadFile(const std::string& path)
{
    const std::optional<std::string> bytes = platform::readWholeFile(path, limits.maxBytes);
    if (!bytes)
        return -1;
    adopt(*bytes);
    return 0;
}

void XmlDocumentClient::adopt(const std::string& bytes)
{
    release();
    document = parseDocument(bytes);
}

void XmlDocumentClient::abortLoad()
{
    abortRequested = 1;
    if (http && loading)
        TransferEngine::shared().abort(*http);
}

void XmlDocumentClient::release()
{
    if (document) {
        xmlFreeDoc(document);
        document = nullptr;
    }
}

int32_t XmlDocumentClient::selectNodes(const std::string& path, NodeCursor& cursor)
{
    cursor.list.clear();
    if (!document)
        return -1;
    thread_local PathContext paths;
    xmlXPathContext* context = paths.on(document);
    if (!context)
        return -1;
    const std::string utf8 = platform::sjisToUtf8(path);
    xmlXPathObject* result = xmlXPathEvalExpression(asXml(utf8), context);
    int32_t count = -1;
    if (result && result->type == XPATH_NODESET) {
        count = 0;
        if (const xmlNodeSet* nodes = result->nodesetval) {
            for (int i = 0; i < nodes->nodeNr; ++i) {
                // Namespace nodes of a node set are copies that die with the result.
                if (nodes->nodeTab[i]->type != XML_NAMESPACE_DECL)
                    cursor.list.push_back(nodes->nodeTab[i]);
            }
            count = static_cast<int32_t>(cursor.list.size());
        }
    }
    if (result)
        xmlXPathFreeObject(result);
    context->doc = nullptr;
    return count;
}

int32_t XmlDocumentClient::nodeAt(int32_t index, NodeCursor& cursor)
{
    if (index < 0 || static_cast<size_t>(index) >= cursor.list.size()) {
        cursor.node = nullptr;
        return -1;
    }
    cursor.node = cursor.list[static_cast<size_t>(index)];
    return 0;
}

int32_t XmlDocumentClient::childElements(const std::string& name, const NodeCursor& parent,
                                         NodeCursor& cursor)
{
    cursor.list.clear();
    xmlNode* root = parent.node;
    if (!document || !root)
        return -1;
    const std::string wanted = platform::sjisToUtf8(name);
    // Descendant elements in document order, like getElementsByTagName.
    for (xmlNode* current = root->children; current; current = nextInTree(current, root)) {
        if (current->type == XML_ELEMENT_NODE && nameMatches(current, wanted))
            cursor.list.push_back(current);
    }
    return static_cast<int32_t>(cursor.list.size());
}

int32_t XmlDocumentClient::nodeText(const NodeCursor& cursor, std::string& out)
{
    out.clear();
    if (!cursor.node)
        return 0;
    xmlChar* content = xmlNodeGetContent(cursor.node);
    if (content) {
        out = platform::utf8ToSjis(reinterpret_cast<const char*>(content));
        xmlFree(content);
    }
    return 0;
}

int32_t XmlDocumentClient::childText(const std::string& name, const NodeCursor& parent, std::string& out)
{
    out.clear();
    xmlNode* root = parent.node;
    if (!document || !root)
        return 0;
    // The first of childElements' list: the walk ends at it.
    const std::string wanted = platform::sjisToUtf8(name);
    for (xmlNode* current = root->children; current; current = nextInTree(current, root)) {
        if (current->type == XML_ELEMENT_NODE && nameMatches(current, wanted)) {
            NodeCursor found;
            found.node = current;
            return nodeText(found, out);
        }
    }
    return 0;
}

int32_t XmlDocumentClient::attributeText(const std::string& name, const NodeCursor& cursor, std::string& out)
{
    out.clear();
    if (!document || !cursor.node || cursor.node->type != XML_ELEMENT_NODE)
        return 1;
    xmlChar* value = xmlGetNoNsProp(cursor.node, asXml(platform::sjisToUtf8(name)));
    if (!value)
        return 1;
    out = platform::utf8ToSjis(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return 0;
}

void XmlDocumentClient::releaseCursor(NodeCursor& cursor)
{
    cursor.node = nullptr;
    cursor.list.clear();
}

int32_t XmlDocumentClient::createDocument(const std::string& rootName)
{
    if (loading)
        return -1;
    release();
    initialiseLibxml();
    document = xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"));
    if (!document)
        return -1;
    const std::string name = platform::sjisToUtf8(rootName);
    xmlNode* declaration =
        xmlNewDocPI(document, reinterpret_cast<const xmlChar*>("xml"),
                    reinterpret_cast<const xmlChar*>("version='1.0' encoding='Shift_JIS'"));
    if (!declaration || !xmlAddChild(reinterpret_cast<xmlNode*>(document), declaration)) {
        xmlFreeNode(declaration);
        release();
        return -1;
    }
    xmlNode* root = xmlValidateName(asXml(name), 0) == 0
                        ? xmlNewDocNode(document, nullptr, asXml(name), nullptr)
                        : nullptr;
    if (!root) {
        release();
        return -1;
    }
    xmlDocSetRootElement(document, root);
    xmlAddChild(root, xmlNewDocText(document, reinterpret_cast<const xmlChar*>("\n")));
    return 0;
}

int32_t XmlDocumentClient::addElement(const std::string& name, const std::string& text, NodeCursor& parent,
                                      NodeCursor* out)
{
    if (!document || !parent.node || parent.node->doc != document)
        return -1;
    const std::string utf8Name = platform::sjisToUtf8(name);
    // A name that is not an XML name would make the saved file unreadable.
    if (xmlValidateName(asXml(utf8Name), 0) != 0)
        return -1;
    xmlNode* element = xmlNewDocNode(document, nullptr, asXml(utf8Name), nullptr);
    if (!element)
        return -1;
    if (!text.empty())
        xmlAddChild(element, xmlNewDocText(document, asXml(platform::sjisToUtf8(text))));
    if (!xmlAddChild(parent.node, element)) {
        xmlFreeNode(element);
        return -1;
    }
    if (text.empty())
        xmlAddChild(element, xmlNewDocText(document, reinterpret_cast<const xmlChar*>("\n")));
    if (out)
        out->node = element;
    xmlAddChild(parent.node, xmlNewDocText(document, reinterpret_cast<const xmlChar*>("\n")));
    return 0;
}

int32_t XmlDocumentClient::appendNewline(NodeCursor& cursor)
{
    if (!document || !cursor.node || cursor.node->doc != document)
        return -1;
    return xmlAddChild(cursor.node, xmlNewDocText(document, reinterpret_cast<const xmlChar*>("\n"))) ? 0 : -1;
}

int32_t XmlDocumentClient::setAttribute(const std::string& name, const std::string& value, NodeCursor& cursor)
{
    if (!document || !cursor.node || cursor.node->doc != document || cursor.node->type != XML_ELEMENT_NODE)
        return -1;
    const std::string utf8Name = platform::sjisToUtf8(name);
    if (xmlValidateName(asXml(utf8Name), 0) != 0)
        return -1;
    return xmlSetProp(cursor.node, asXml(utf8Name), asXml(platform::sjisToUtf8(value))) ? 0 : -1;
}

int32_t XmlDocumentClient::save(const std::string& path)
{
    std::string bytes;
    if (!serialize(bytes))
        return -1;
    return platform::writeFileAtomically(path, bytes) ? 0 : -1;
}

bool XmlDocumentClient::serialize(std::string& out) const
{
    out.clear();
    if (!document)
        return false;
    out = serializeDocument(document);
    return true;
}

} // namespace pelimo
