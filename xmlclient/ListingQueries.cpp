#include "xmlclient/ListingQueries.h"

#include "platform/text/NumberText.h"
#include "platform/text/SjisText.h"
#include "xmlclient/AuctionType.h"

#include <cstdio>

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

void releaseAll(XmlDocumentClient& client, NodeCursor& cursor)
{
    client.releaseCursor(cursor);
    client.release();
}

// The page numbers of a loaded search page; 1 (numbers untouched) when it has none.
int32_t readPageNumbers(XmlDocumentClient& client, int32_t& totalPages, int32_t& currentPage)
{
    NodeCursor cursor;
    if (client.selectNodes("//ListingInfo", cursor) < 1) {
        client.releaseCursor(cursor);
        return 1;
    }
    client.nodeAt(0, cursor);
    std::string total;
    std::string current;
    client.childText("TotalPage", cursor, total);
    client.childText("CurrentPage", cursor, current);
    totalPages = leadingInteger(total);
    currentPage = leadingInteger(current);
    client.releaseCursor(cursor);
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
    NodeCursor cursor;
    const int32_t count = client.selectNodes("//ListingInfo/ItemInfo", cursor);
    if (count < 0) {
        client.releaseCursor(cursor);
        return -1;
    }
    target.reserve(static_cast<size_t>(count));
    ItemInfo scratch;
    for (int32_t i = 0; i < count; ++i) {
        if (readItemInfo(client, i, scratch, cursor) == 0 && !scratch.ItemNo.empty())
            target.push_back(scratch);
    }
    client.releaseCursor(cursor);
    return static_cast<int32_t>(target.size());
}

int32_t readItemInfo(XmlDocumentClient& client, int32_t index, ItemInfo& record, NodeCursor& cursor)
{
    // An index outside the list leaves the record alone rather than filling it from
    // whatever node the cursor held before.
    if (client.nodeAt(index, cursor) != 0)
        return -1;
    client.childText("ItemNo", cursor, record.ItemNo);
    record.ItemNo = itemNumberOf(record.ItemNo);
    client.childText("ItemName", cursor, record.ItemName);
    client.childText("CurrentPrice", cursor, record.CurrentPrice);
    client.childText("ImageUrl", cursor, record.ImageUrl);
    client.childText("AuctionType", cursor, record.AuctionType);
    client.childText("ItemNum", cursor, record.ItemNum);
    client.childText("BidNum", cursor, record.BidNum);
    client.childText("RemainTime", cursor, record.RemainTime);
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
