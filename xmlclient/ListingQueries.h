#pragma once

#include "xmlclient/Endpoints.h"
#include "xmlclient/ItemInfo.h"
#include "xmlclient/SearchRequest.h"
#include "xmlclient/ServicePause.h"
#include "xmlclient/XmlDocumentClient.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelimo {

// Longest request path the system builds (path and query as the user typed the keyword,
// before the wire encoding); a longer request is refused, never cut.
inline constexpr size_t kMaxRequestPathBytes = 1023;

// Keywords and lot numbers go on the wire percent-encoded in this charset.
inline constexpr const char* kKeywordWireCharset = "UTF-8";

// A Shift-JIS text converted to kKeywordWireCharset and percent-encoded, every byte but
// the unreserved ones (letters, digits, "-._~") written as %XX.
std::string encodeQueryValue(std::string_view sjis);

// The address of one search page (keyword or lot-number form) on the wire, or nothing when
// the request path exceeds kMaxRequestPathBytes.
std::optional<std::string> searchAddress(std::string_view listingBase, const SearchRequest& request);
// The address of one listing by its exhibit identifier, or nothing when too long.
std::optional<std::string> itemAddress(std::string_view listingBase, std::string_view itemNo);

// The queries' result when the listing service has asked us to wait (an answer 429 or 503,
// now or earlier): nothing was read, and nothing is sent to it while the wait lasts.
inline constexpr int32_t kServiceWaiting = 2;

// The wait the listing service asked for that is still ahead; nothing when it may be asked.
std::optional<ServiceWait> listingServiceWait(const Endpoints& endpoints);

// Loads one search page; 0 success with the document kept for parseListingItems, 1 failure,
// kServiceWaiting.
int32_t searchListing(XmlDocumentClient& client, const Endpoints& endpoints, SearchRequest request,
                      int32_t& totalPages, int32_t& currentPage);
// searchListing without the wait: 0 started, and done runs later from the event loop with
// searchListing's result and the page numbers; 1 not started, kServiceWaiting not sent (done
// never runs).
using SearchListingDone = std::function<void(int32_t result, int32_t totalPages, int32_t currentPage)>;
int32_t startSearchListing(XmlDocumentClient& client, const Endpoints& endpoints,
                           const SearchRequest& request, SearchListingDone done);
// Fills target with one record per ItemInfo of the loaded answer that names a listing (an
// item number that is not blank); the count, or -1 when selection fails.
int32_t parseListingItems(XmlDocumentClient& client, std::vector<ItemInfo>& target);
// Reads the ItemInfo at index, its item number as itemNumberOf gives it; -1 when there is none.
int32_t readItemInfo(XmlDocumentClient& client, int32_t index, ItemInfo& record, NodeCursor& cursor);
// Fetches one listing; 0 and the record filled, 1 failure (an answer without an item number
// included) or kServiceWaiting, with the record untouched.
int32_t queryItem(XmlDocumentClient& client, const Endpoints& endpoints, const std::string& itemNo,
                  ItemInfo& record);
// queryItem without the wait: 0 started, and done runs later with queryItem's result and,
// on 0, the record; 1 not started, kServiceWaiting not sent (done never runs).
using QueryItemDone = std::function<void(int32_t result, ItemInfo record)>;
int32_t startQueryItem(XmlDocumentClient& client, const Endpoints& endpoints, const std::string& itemNo,
                       QueryItemDone done);

} // namespace pelimo
