#include "itempage/ItemPageAddress.h"

namespace pelimo {

namespace {

// The affiliate access token and member id every item page address carries.
constexpr const char* kAccessToken = "Rv3QmT8kLzW_pYc2NhdFaXj--";
constexpr const char* kMemberId = "5830264";

} // namespace

std::string itemPageAddress(const Endpoints& endpoints, const ItemInfo& item)
{
    std::string address = endpoints.itemPageBase;
    address += "/aff/";
    address += kAccessToken;
    address += '/';
    address += kMemberId;
    address += "/WS/pitem_GK";
    address += item.ItemNo;
    if (address.size() > kMaxItemPageAddressBytes) {
        return {};
    }
    return address;
}

} // namespace pelimo
