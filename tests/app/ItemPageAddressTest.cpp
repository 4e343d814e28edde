#include "itempage/ItemPageAddress.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace pelimo {
namespace {

TEST(ItemPageAddress, IsBuiltOnTheItemPageHost)
{
    Endpoints endpoints;
    endpoints.listingBase = "http://127.0.0.1:1";
    endpoints.itemPageBase = "http://127.0.0.1:4242";
    ItemInfo item;
    item.ItemNo = "b123456789";
    EXPECT_EQ(itemPageAddress(endpoints, item),
              "http://127.0.0.1:4242/aff/Rv3QmT8kLzW_pYc2NhdFaXj--/5830264/WS/pitem_GKb123456789");
}

TEST(ItemPageAddress, HostComesFromTheEnvironment)
{
    ::setenv("PELIMO_ITEMPAGE_BASE", "http://127.0.0.1:5555", 1);
    const Endpoints endpoints = endpointsFromEnvironment();
    ::unsetenv("PELIMO_ITEMPAGE_BASE");
    ItemInfo item;
    item.ItemNo = "42";
    const std::string address = itemPageAddress(endpoints, item);
    EXPECT_EQ(address.rfind("http://127.0.0.1:5555/aff/", 0), 0u) << address;
    EXPECT_TRUE(address.ends_with("/WS/pitem_GK42")) << address;
}

TEST(ItemPageAddress, RefusesAnAddressBeyondTheLimit)
{
    Endpoints endpoints;
    ItemInfo item;
    const size_t fixed = itemPageAddress(endpoints, item).size();
    item.ItemNo = std::string(kMaxItemPageAddressBytes - fixed, '7');
    EXPECT_EQ(itemPageAddress(endpoints, item).size(), kMaxItemPageAddressBytes);
    item.ItemNo += '7';
    EXPECT_EQ(itemPageAddress(endpoints, item), "");
}

} // namespace
} // namespace pelimo
