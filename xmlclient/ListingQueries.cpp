#include "xmlclient/ListingQueries.h"

#include "platform/text/NumberText.h"
#include "platform/text/SjisText.h"
#include "xmlclient/AuctionType.h"
#include "xmlclient/ElementWalk.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace pelimo {
namespace {

constexpr const char* kListingPath = "/bep/xml";

bool isUnreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

void appendPercentEncoded(std::string& out, std::string_view bytes, bool keepCommas)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (isUnreserved(c) || (keepCommas && c == ',')) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
}

// The type codes as they go on the wire: codes and commas stay as they are, anything else
// a caller might have put there is encoded so it cannot add query keys.
std::string wireTypeCodes(std::string_view codes)
{
    std::string out;
    appendPercentEncoded(out, codes, true);
    return out;
}

std::string_view withoutTrailingSlash(std::string_view base)
{
    while (!base.empty() && base.back() == '/')
        base.remove_suffix(1);
    return base;
}

std::string priceFilter(int32_t priceLow, int32_t priceHigh)
{
    char filter[64] = {};
    int used = 0;
    if (priceLow > 0)
        used = std::snprintf(filter, sizeof filter, "&clow=%ld", static_cast<long>(priceLow));
    if (priceHigh > 0 && used >= 0)
        std::snprintf(filter + used, sizeof filter - static_cast<size_t>(used), "&chigh=%ld",
                      static_cast<long>(priceHigh));
    return filter;
}

// The length limit counts the request path as given, before the wire encoding; the address
// itself carries the text encoded.
std::optional<std::string> requestAddress(std::string_view listingBase, std::string_view typedHead,
                                          std::string_view wireHead, std::string_view text,
                                          std::string_view tail)
{
    const size_t typedLength =
        std::string_view(kListingPath).size() + typedHead.size() + text.size() + tail.size();
    if (typedLength > kMaxRequestPathBytes)
        return std::nullopt;
    std::string address(withoutTrailingSlash(listingBase));
    address += kListingPath;
    address += wireHead;
    address += encodeQueryValue(text);
    address += tail;
    return address;
}

// Whether the answer just loaded asks us to wait; the shared record of paused services takes
// note of it, so no other client asks meanwhile.
bool toldToWait(const XmlDocumentClient& client, const std::string& address)
{
    const AnswerStatus& answer = client.lastAnswer();
    return ServicePause::shared().answered(address, answer.httpStatus, answer.retryAfter);
}

// An element whose name is the given one without any namespace prefix: the names childText
// finds (a default namespace allowed, as there).
bool hasPlainName(const xmlNode* node, const char* name)
{
    return node->type == XML_ELEMENT_NODE && (!node->ns || !node->ns->prefix) &&
           std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

// An element the path "//ListingInfo/ItemInfo" selects: both names in no namespace at all.
bool isListingRecord(const xmlNode* node)
{
    const auto named = [](const xmlNode* n, const char* name) {
        return n && n->type == XML_ELEMENT_NODE && !n->ns &&
               std::strcmp(reinterpret_cast<const char*>(n->name), name) == 0;
    };
    return named(node, "ItemInfo") && named(node->parent, "ListingInfo");
}

struct TextSlot {
    const char* name;
    std::string* out;
};

// Each slot gets the text of the first element of its name below parent (empty when none), as
// childText gives it, all in one walk that stops once every slot is filled. A page holds ten
// records of eight fields, and one walk per field went through each record eight times.
template <size_t N> void readFirstTexts(xmlNode* parent, const std::array<TextSlot, N>& slots)
{
    std::array<bool, N> found{};
    size_t left = N;
    for (const TextSlot& slot : slots)
        slot.out->clear();
    for (xmlNode* node = parent->children; node && left > 0; node = nextInTree(node, parent)) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        for (size_t i = 0; i < N; ++i) {
            if (found[i] || !hasPlainName(node, slots[i].name))
                continue;
            found[i] = true;
            --left;
            // A field usually holds one text node, whose text is the element's: read in place.
            const xmlNode* only = node->children;
            if (only && !only->next && only->type == XML_TEXT_NODE) {
                *slots[i].out =
                    platform::utf8ToSjis(only->content ? reinterpret_cast<const char*>(only->content) : "");
            } else if (xmlChar* content = xmlNodeGetContent(node)) {
                *slots[i].out = platform::utf8ToSjis(reinterpret_cast<const char*>(content));
                xmlFree(content);
            }
        }
    }
}

void readRecord(xmlNode* node, ItemInfo& record)
{
    readFirstTexts(node, std::array<TextSlot, 8>{{{"ItemNo", &record.ItemNo},
                                                  {"ItemName", &record.ItemName},
                                                  {"CurrentPrice", &record.CurrentPrice},
                                                  {"ImageUrl", &record.ImageUrl},
                                                  {"AuctionType", &record.AuctionType},
                                                  {"ItemNum", &record.ItemNum},
                                                  {"BidNum", &record.BidNum},
                                                  {"RemainTime", &record.RemainTime}}});
    record.ItemNo = itemNumberOf(record.ItemNo);
}

// The document's root element, nullptr when the answer was no XML; nothing without a document.
std::optional<xmlNode*> rootOf(XmlDocumentClient& client)
{
    NodeCursor root;
    const int32_t count = client.selectNodes("/*", root);
    xmlNode* node = count == 1 ? root.list.front() : nullptr;
    client.releaseCursor(root);
    if (count < 0)
        return std::nullopt;
    return node;
}

void releaseAll(XmlDocumentClient& client, NodeCursor& cursor)
{
    client.releaseCursor(cursor);
    client.release();
}

// The page numbers of a loaded search page; 1 (numbers untouched) when it has none.
int32_t readPageNumbers(XmlDocumentClient& client, int32_t& totalPages, int32_t& currentPage)
{
    // The first ListingInfo in document order, as "//ListingInfo" selects it.
    xmlNode* const root = rootOf(client).value_or(nullptr);
    xmlNode* info = root;
    while (info && !(info->type == XML_ELEMENT_NODE && !info->ns &&
                     std::strcmp(reinterpret_cast<const char*>(info->name), "ListingInfo") == 0))
        info = nextInTree(info, root);
    if (!info)
        return 1;
    std::string total;
    std::string current;
    readFirstTexts(info, std::array<TextSlot, 2>{{{"TotalPage", &total}, {"CurrentPage", &current}}});
    totalPages = leadingInteger(total);
    currentPage = leadingInteger(current);
    return 0;
}

// The one listing of a loaded item answer; the document is released either way.
int32_t readFetchedItem(XmlDocumentClient& client, ItemInfo& record)
{
    NodeCursor cursor;
    ItemInfo fetched;
    const bool found = client.selectNodes("//ListingInfo/ItemInfo", cursor) >= 1 &&
                       readItemInfo(client, 0, fetched, cursor) == 0 && !fetched.ItemNo.empty();
    releaseAll(client, cursor);
    if (!found)
        return 1;
    record = std::move(fetched);
    return 0;
}

} // namespace

std::string encodeQueryValue(std::string_view sjis)
{
    std::string wire;
    if (!platform::convertCharset(sjis, "CP932", kKeywordWireCharset, wire))
        wire = platform::sjisToUtf8(sjis);
    std::string out;
    out.reserve(wire.size() * 3);
    appendPercentEncoded(out, wire, false);
    return out;
}

std::optional<std::string> searchAddress(std::string_view listingBase, const SearchRequest& request)
{
    if (request.lotNumberMode == 1) {
        constexpr std::string_view head = "?tf=xml_lite6&exhibit_id=";
        return requestAddress(listingBase, head, head, request.text, "");
    }
    const std::string_view types = request.auctionTypes.empty() ? kAllAuctionTypes : request.auctionTypes;
    const std::string typedHead = "?at=" + std::string(types) + "&tf=xml_lite3&keyword=";
    const std::string wireHead = "?at=" + wireTypeCodes(types) + "&tf=xml_lite3&keyword=";
    const std::string tail =
        "&ipp=10&page=" + std::to_string(request.page) + priceFilter(request.priceLow, request.priceHigh);
    return requestAddress(listingBase, typedHead, wireHead, request.text, tail);
}

std::optional<std::string> itemAddress(std::string_view listingBase, std::string_view itemNo)
{
    constexpr std::string_view head = "?tf=xml_lite3&exhibit_id=";
    return requestAddress(listingBase, head, head, itemNo, "");
}

std::optional<ServiceWait> listingServiceWait(const Endpoints& endpoints)
{
    return ServicePause::shared().waitFor(endpoints.listingBase);
}

int32_t searchListing(XmlDocumentClient& client, const Endpoints& endpoints, SearchRequest request,
                      int32_t& totalPages, int32_t& currentPage)
{
    const std::optional<std::string> address = searchAddress(endpoints.listingBase, request);
    if (!address)
        return 1;
    if (listingServiceWait(endpoints))
        return kServiceWaiting;
    if (client.load(*address, true) != 0)
        return 1;
    if (toldToWait(client, *address)) {
        client.release();
        return kServiceWaiting;
    }
    return readPageNumbers(client, totalPages, currentPage);
}

int32_t startSearchListing(XmlDocumentClient& client, const Endpoints& endpoints,
                           const SearchRequest& request, SearchListingDone done)
{
    const std::optional<std::string> address = searchAddress(endpoints.listingBase, request);
    if (!address || !done)
        return 1;
    if (listingServiceWait(endpoints))
        return kServiceWaiting;
    const int32_t started =
        client.startLoad(*address, [&client, address = *address, done = std::move(done)](int32_t loaded) {
            int32_t totalPages = 0;
            int32_t currentPage = 0;
            int32_t result = 1;
            if (loaded == 0 && toldToWait(client, address)) {
                client.release();
                result = kServiceWaiting;
            } else if (loaded == 0) {
                result = readPageNumbers(client, totalPages, currentPage);
            }
            done(result, totalPages, currentPage);
        });
    return started == 0 ? 0 : 1;
}

int32_t parseListingItems(XmlDocumentClient& client, std::vector<ItemInfo>& target)
{
    target.clear();
    // The records "//ListingInfo/ItemInfo" selects, in document order, found in one walk.
    const std::optional<xmlNode*> root = rootOf(client);
    if (!root)
        return -1;
    ItemInfo scratch;
    for (xmlNode* node = *root; node; node = nextInTree(node, *root)) {
        if (!isListingRecord(node))
            continue;
        readRecord(node, scratch);
        if (!scratch.ItemNo.empty())
            target.push_back(std::move(scratch));
    }
    return static_cast<int32_t>(target.size());
}

int32_t readItemInfo(XmlDocumentClient& client, int32_t index, ItemInfo& record, NodeCursor& cursor)
{
    // An index outside the list leaves the record alone rather than filling it from
    // whatever node the cursor held before.
    if (client.nodeAt(index, cursor) != 0)
        return -1;
    readRecord(cursor.node, record);
    return 0;
}

int32_t queryItem(XmlDocumentClient& client, const Endpoints& endpoints, const std::string& itemNo,
                  ItemInfo& record)
{
    const std::optional<std::string> address = itemAddress(endpoints.listingBase, itemNo);
    if (!address)
        return 1;
    if (listingServiceWait(endpoints))
        return kServiceWaiting;
    if (client.load(*address, true) != 0) {
        client.release();
        return 1;
    }
    if (toldToWait(client, *address)) {
        client.release();
        return kServiceWaiting;
    }
    return readFetchedItem(client, record);
}

int32_t startQueryItem(XmlDocumentClient& client, const Endpoints& endpoints, const std::string& itemNo,
                       QueryItemDone done)
{
    const std::optional<std::string> address = itemAddress(endpoints.listingBase, itemNo);
    if (!address || !done)
        return 1;
    if (listingServiceWait(endpoints))
        return kServiceWaiting;
    const int32_t started =
        client.startLoad(*address, [&client, address = *address, done = std::move(done)](int32_t loaded) {
            ItemInfo record;
            int32_t result = 1;
            if (loaded == 0 && toldToWait(client, address)) {
                client.release();
                result = kServiceWaiting;
            } else if (loaded == 0) {
                result = readFetchedItem(client, record);
            } else {
                client.release();
            }
            done(result, std::move(record));
        });
    return started == 0 ? 0 : 1;
}

} // namespace pelimo
